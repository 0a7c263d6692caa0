#include "app/logviewer.h"

#include "common/errors.h"
#include "db/database.h"
#include "db/session.h"
#include "widgets/conventions.h"
#include "widgets/dateedit.h"
#include "widgets/dialogs.h"
#include "widgets/spreadsheetexport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlQuery>
#include <QStyle>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

namespace tarvest {

namespace {

template <typename T>
T* named(T* widget, const char* name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

} // namespace

QHash<QString, QString> Tlog::gridTitles()
{
    return {{"karbar", QStringLiteral("نام کاربر")},
            {"ip", QStringLiteral("IP")},
            {"computer_name", QStringLiteral("نام کامپيوتر")},
            {"saat", QStringLiteral("ساعت")},
            {"tarikh", QStringLiteral("تاريخ")},
            {"cmt", QStringLiteral("شرح عمليات")},
            {"saat_sys", QStringLiteral("تاريخ و ساعت سرور")}};
}

QHash<QString, QString> Tlog::exportTitles()
{
    return {{"id", QStringLiteral("شناسه")},       {"karbar", QStringLiteral("نام کاربري")},
            {"ip", QStringLiteral("آي پي")},       {"computer_name", QStringLiteral("نام کامپيوتر")},
            {"saat", QStringLiteral("ساعت")},      {"tarikh", QStringLiteral("تاريخ")},
            {"cmt", QStringLiteral("شرح عمليات")}, {"saat_sys", QStringLiteral("ساعت سرور")}};
}

Tlog::Tlog(Session& session, QWidget* parent) : QDialog(parent), m_session(session), m_rows(nullptr, this)
{
    setObjectName(QStringLiteral("Tlog"));
    setWindowTitle(QStringLiteral("log"));
    setLayoutDirection(Qt::RightToLeft);

    m_userBox = named(new QCheckBox(QStringLiteral("نام کاربر")), "CheckBox1");
    m_dateBox = named(new QCheckBox(QStringLiteral("تاريخ")), "CheckBox2");
    m_hostBox = named(new QCheckBox(QStringLiteral("نام كامپيوتر")), "CheckBox3");
    m_descriptionBox = named(new QCheckBox(QStringLiteral("شرح عمليات")), "CheckBox4");
    m_addressBox = named(new QCheckBox(QStringLiteral("IP")), "CheckBox5");

    m_user = named(new QComboBox, "karbar");
    m_user->setEditable(true);
    m_user->setInsertPolicy(QComboBox::NoInsert);
    m_from = named(new DateEdit, "dat1");
    m_to = named(new DateEdit, "dat2");
    auto* until = named(new QLabel(QStringLiteral("تـــــــــــــا")), "Label1");
    m_host = named(new QLineEdit, "computer_name");
    m_description = named(new QLineEdit, "cmt");
    m_address = named(new QLineEdit, "ip");
    m_address->setLayoutDirection(Qt::LeftToRight);

    m_search = named(new QPushButton(QStringLiteral("جستجو")), "BitBtn1");
    m_search->setAutoDefault(false);
    m_export = named(new QToolButton, "SpeedButton1");
    m_export->setIcon(style()->standardIcon(QStyle::SP_DialogSaveButton));
    m_export->setToolTip(QStringLiteral("ارسال فهرست به صفحه گسترده"));
    m_export->setAutoRaise(true);
    auto* countCaption = named(new QLabel(QStringLiteral("تعداد :")), "Label2");
    m_count = named(new QLabel, "cnt");
    m_count->setMinimumWidth(60);

    m_grid = named(new QTableView, "DBGrid1");
    m_model = new ResultSetModel(&m_rows, this);
    m_model->setTitles(gridTitles());
    m_grid->setModel(m_model);
    setUpListGrid(m_grid);
    TitleSort::attach(m_grid);
    // The grid's current row is the result set's current record.
    connect(m_grid, &QTableView::clicked, this, [this](const QModelIndex& index) { m_rows.moveTo(index.row() + 1); });

    auto* filters = new QGridLayout;
    filters->addWidget(m_userBox, 0, 0);
    filters->addWidget(m_user, 0, 1);
    filters->addWidget(m_dateBox, 0, 2);
    auto* range = new QHBoxLayout;
    range->addWidget(m_from);
    range->addWidget(until);
    range->addWidget(m_to);
    range->addStretch();
    filters->addLayout(range, 0, 3);
    filters->addWidget(m_hostBox, 1, 0);
    filters->addWidget(m_host, 1, 1);
    filters->addWidget(m_descriptionBox, 1, 2);
    filters->addWidget(m_description, 1, 3);
    filters->addWidget(m_addressBox, 2, 0);
    filters->addWidget(m_address, 2, 1);
    auto* commands = new QHBoxLayout;
    commands->addWidget(m_search);
    commands->addWidget(m_export);
    commands->addStretch();
    commands->addWidget(countCaption);
    commands->addWidget(m_count);
    filters->addLayout(commands, 2, 3);
    filters->setColumnStretch(1, 1);
    filters->setColumnStretch(3, 2);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(filters);
    layout->addWidget(m_grid, 1);

    bindFilter(m_userBox, {m_user});
    bindFilter(m_dateBox, {m_from, m_to});
    bindFilter(m_hostBox, {m_host});
    bindFilter(m_descriptionBox, {m_description});
    bindFilter(m_addressBox, {m_address});

    // Enter in a filter field searches; in the first date it moves to the second.
    m_enter = new EnterChain(this);
    m_enter->add(m_user, m_search)
        .addRange(m_from, m_to)
        .add(m_to, m_search)
        .add(m_host, m_search)
        .add(m_description, m_search)
        .add(m_address, m_search);

    connect(m_search, &QPushButton::clicked, this, &Tlog::search);
    connect(m_export, &QToolButton::clicked, this, &Tlog::exportList);

    resize(900, 520);
}

void Tlog::fillUserNames()
{
    QStringList names;
    QSqlQuery q = m_session.db()->exec(QStringLiteral("SELECT DISTINCT us FROM users WHERE us <> ? ORDER BY us"),
                                       {QStringLiteral("")});
    while (q.next())
        names << q.value(0).toString();
    m_user->clear();
    m_user->addItems(names);
}

void Tlog::prepare()
{
    m_user->clearEditText();
    m_host->clear();
    m_description->clear();
    m_address->clear();
    try {
        if (m_session.db())
            fillUserNames();
    } catch (const Error& e) {
        Dialogs::instance().error(e.message());
    }
    m_user->setCurrentIndex(-1);
    m_user->clearEditText();
    search();
}

void Tlog::search()
{
    if (!DateEdit::acceptAll(this)) // the date range is read as it stands
        return;
    try {
        Database* db = m_session.db();
        if (!db)
            throw Error(QStringLiteral("خطا! اتصال به بانک اطلاعاتي برقرار نيست."));

        // The filters in their fixed order; only those whose fields are enabled.
        QString where = QStringLiteral(" FROM log WHERE karbar <> ?");
        QVariantList params{QStringLiteral("")}; // empty text, not NULL
        const QString like = containsCondition(db->kind());
        if (filterOn(m_user)) {
            where += QStringLiteral(" AND karbar") + like;
            params << containsPattern(m_user->currentText());
        }
        if (filterOn(m_from)) {
            where += QStringLiteral(" AND tarikh >= ? AND tarikh <= ?");
            params << m_from->dateText() << m_to->dateText();
        }
        if (filterOn(m_description)) {
            where += QStringLiteral(" AND cmt") + like;
            params << containsPattern(m_description->text());
        }
        if (filterOn(m_host)) {
            where += QStringLiteral(" AND computer_name") + like;
            params << containsPattern(m_host->text());
        }
        if (filterOn(m_address)) {
            where += QStringLiteral(" AND ip") + like;
            params << containsPattern(m_address->text());
        }

        const QVariant count = db->scalar(QStringLiteral("SELECT count(*) AS c") + where, params);
        m_rows.setDatabase(db);
        m_rows.open(QStringLiteral("SELECT *") + where + QStringLiteral(" ORDER BY saat_sys DESC, id DESC"), params,
                    QStringLiteral("log"));
        m_count->setText(QString::number(count.toLongLong()));
        const int id = m_rows.fieldIndex(QStringLiteral("id"));
        for (int c = 0; c < m_rows.fieldCount(); ++c)
            m_grid->setColumnHidden(c, c == id);
        m_grid->resizeColumnsToContents();
        const int description = m_rows.fieldIndex(QStringLiteral("cmt"));
        if (description >= 0 && m_grid->columnWidth(description) > 420)
            m_grid->setColumnWidth(description, 420);
        if (!m_rows.isEmpty())
            m_grid->selectRow(0);
    } catch (const Error& e) {
        Dialogs::instance().error(e.message());
    }
}

void Tlog::exportList()
{
    if (!m_rows.isOpen()) {
        search();
        if (!m_rows.isOpen())
            return;
    }
    exportAndOpen(m_rows, QStringLiteral("log"), exportTitles());
}

} // namespace tarvest

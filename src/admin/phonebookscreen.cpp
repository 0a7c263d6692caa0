#include "admin/phonebookscreen.h"

#include "common/errors.h"
#include "db/database.h"
#include "db/session.h"
#include "widgets/conventions.h"
#include "widgets/dialogs.h"
#include "widgets/entryguard.h"

#include <QAction>
#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QVBoxLayout>

namespace tarvest {

namespace {
const QString kDuplicate = QStringLiteral("نام تکراري است");
const QString kSaved = QStringLiteral("ثبت شد");
const QString kDeleted = QStringLiteral("حذف شد");

QLineEdit* field(const char* name)
{
    auto* f = new QLineEdit;
    f->setObjectName(QLatin1String(name));
    return f;
}
} // namespace

Tphone::Tphone(Session& session, QWidget* parent) : QDialog(parent), m_session(session)
{
    setObjectName(QStringLiteral("Tphone"));
    setWindowTitle(QStringLiteral("دفترچه تلفن"));
    setLayoutDirection(Qt::RightToLeft);
    m_entries.setObjectName(QStringLiteral("ADOQuery1"));

    m_name = field("name");
    m_tel = field("tel");
    m_cmt = field("cmt");
    m_insert = new QPushButton(QStringLiteral("ثبت"));
    m_insert->setObjectName(QStringLiteral("ins_btn"));
    auto* entry = new QGridLayout;
    entry->addWidget(new QLabel(QStringLiteral("نام")), 0, 0);
    entry->addWidget(m_name, 0, 1);
    entry->addWidget(new QLabel(QStringLiteral("تلفن")), 0, 2);
    entry->addWidget(m_tel, 0, 3);
    entry->addWidget(new QLabel(QStringLiteral("شرح")), 1, 0);
    entry->addWidget(m_cmt, 1, 1, 1, 3);
    entry->addWidget(m_insert, 0, 4, 2, 1);
    entry->setColumnStretch(1, 3);
    entry->setColumnStretch(3, 2);

    auto* radios = new QGroupBox(QStringLiteral("جستجو بر اساس"));
    radios->setObjectName(QStringLiteral("RadioGroup1"));
    auto* radioRow = new QHBoxLayout(radios);
    m_columns = new QButtonGroup(this);
    const QStringList captions{QStringLiteral("نام"), QStringLiteral("تلفن"), QStringLiteral("شرح")};
    for (int i = 0; i < captions.size(); ++i) {
        auto* b = new QRadioButton(captions[i]);
        b->setObjectName(QStringLiteral("RadioGroup1_%1").arg(i));
        m_columns->addButton(b, i);
        radioRow->addWidget(b);
    }
    m_columns->button(0)->setChecked(true);
    m_src = field("src");
    m_count = new QLabel;
    m_count->setObjectName(QStringLiteral("cnt"));
    m_count->setMinimumWidth(m_count->fontMetrics().horizontalAdvance(QStringLiteral("000000")));
    auto* searchRow = new QHBoxLayout;
    searchRow->addWidget(radios);
    searchRow->addWidget(m_src, 1);
    searchRow->addWidget(new QLabel(QStringLiteral("تعداد:")));
    searchRow->addWidget(m_count);

    m_model = new ResultSetModel(&m_entries, this);
    m_model->setTitles({{QStringLiteral("name"), QStringLiteral("نام")},
                        {QStringLiteral("tel"), QStringLiteral("تلفن")},
                        {QStringLiteral("cmt"), QStringLiteral("شرح")}});
    m_grid = new QTableView;
    m_grid->setObjectName(QStringLiteral("DBGrid1"));
    m_grid->setModel(m_model);
    setUpListGrid(m_grid);
    m_grid->setMinimumHeight(m_grid->verticalHeader()->defaultSectionSize() * 8);
    m_grid->setContextMenuPolicy(Qt::ActionsContextMenu);
    m_delete = new QAction(QStringLiteral("حذف"), m_grid);
    m_delete->setObjectName(QStringLiteral("N1"));
    m_grid->addAction(m_delete);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(entry);
    layout->addLayout(searchRow);
    layout->addWidget(m_grid, 1);
    resize(720, 520);

    // Names, numbers and descriptions take at most their columns' widths.
    limitToColumnWidths(this, QStringLiteral("phone"));
    // The new entry's fields are work to keep: Escape never closes the screen, closing
    // with a typed entry asks, and Enter saves nothing.
    keepOpenOnEscape(this);
    new EntryGuard(this, {m_insert}, {m_name, m_tel, m_cmt});

    connect(m_src, &QLineEdit::textChanged, this, &Tphone::searchTextChanged);
    connect(m_insert, &QPushButton::clicked, this, &Tphone::addEntry);
    connect(m_delete, &QAction::triggered, this, &Tphone::deleteCurrent);
    connect(&m_entries, &ResultSet::reset, this, &Tphone::arrangeColumns);
    connect(m_grid->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (current.isValid())
                    m_entries.moveTo(current.row() + 1);
            });
}

void Tphone::applyRights(const PageRights& rights)
{
    m_insert->setEnabled(rights.insert);
    m_delete->setEnabled(rights.remove);
}

void Tphone::prepare()
{
    m_entries.setDatabase(m_session.db());
    {
        // One search below, whether or not the search text was empty already.
        const QSignalBlocker quiet(m_src);
        m_src->clear();
    }
    m_name->clear();
    m_tel->clear();
    m_cmt->clear();
    EntryGuard::of(this)->markLoaded();
    search();
}

PhoneColumn Tphone::searchColumn() const
{
    switch (m_columns->checkedId()) {
    case 1:
        return PhoneColumn::Tel;
    case 2:
        return PhoneColumn::Cmt;
    default:
        return PhoneColumn::Name;
    }
}

void Tphone::searchTextChanged()
{
    // The search text keeps the Arabic kaf; the change that writes it searches.
    const QString converted = phoneSearchText(m_src->text());
    if (converted != m_src->text()) {
        const int cursor = m_src->cursorPosition();
        m_src->setText(converted);
        m_src->setCursorPosition(cursor);
        return;
    }
    search();
}

void Tphone::search()
{
    Database* db = m_session.db();
    if (!db)
        return;
    // A search that fails leaves the list as it was: it runs at every typed letter, so
    // it never interrupts the typing with a message.
    try {
        m_entries.setDatabase(db);
        m_entries.open(phoneQuery(*db, searchColumn(), m_src->text()));
        m_count->setText(QString::number(m_entries.recordCount()));
        // Names and numbers whole, as wide as the rows in view need; the description
        // takes the room left.
        for (const char* column : {"name", "tel"}) {
            const int i = m_entries.fieldIndex(QLatin1String(column));
            if (i < 0)
                continue;
            const int least = m_grid->fontMetrics().horizontalAdvance(QLatin1Char('0'))
                              * (qstrcmp(column, "tel") == 0 ? 12 : 18);
            m_grid->resizeColumnToContents(i);
            m_grid->setColumnWidth(i, std::max(least, m_grid->columnWidth(i)));
        }
    } catch (const Error&) {
    }
}

void Tphone::addEntry()
{
    Database* db = m_session.db();
    if (!db || !m_insert->isEnabled())
        return;
    try {
        if (addPhoneEntry(*db, m_name->text(), m_tel->text(), m_cmt->text()) == PhoneAdd::Duplicate) {
            Dialogs::instance().message(kDuplicate);
            return;
        }
    } catch (const Error& e) {
        Dialogs::instance().error(e.message());
        return;
    }
    EntryGuard::of(this)->markSaved();
    search();
    Dialogs::instance().message(kSaved);
    m_name->setFocus();
}

void Tphone::deleteCurrent()
{
    Database* db = m_session.db();
    if (!db || !m_delete->isEnabled() || !m_entries.isOpen() || m_entries.isEmpty())
        return;
    // The grid's current row is the entry deleted.
    const QModelIndex current = m_grid->currentIndex();
    if (current.isValid())
        m_entries.moveTo(current.row() + 1);
    // A row another workstation deleted since the search: nothing to put back.
    if (m_entries.isGone(m_entries.recNo() - 1)) {
        search();
        return;
    }
    const qint64 id = m_entries.asInteger(QStringLiteral("id"));
    // The entry's values stay in the fields, so "ثبت" adds it again.
    m_name->setText(m_entries.asString(QStringLiteral("name")));
    m_tel->setText(m_entries.asString(QStringLiteral("tel")));
    m_cmt->setText(m_entries.asString(QStringLiteral("cmt")));
    try {
        deletePhoneEntry(*db, id);
    } catch (const Error& e) {
        Dialogs::instance().error(e.message());
        return;
    }
    // What the deletion put in the fields is no typing of the clerk's.
    EntryGuard::of(this)->markLoaded();
    Dialogs::instance().message(kDeleted);
    search();
}

void Tphone::arrangeColumns()
{
    for (int i = 0; i < m_entries.fieldCount(); ++i)
        m_grid->setColumnHidden(i, m_entries.fieldName(i).compare(QLatin1String("id"), Qt::CaseInsensitive) == 0);
}

} // namespace tarvest

#include "app/settingscreen.h"

#include "common/errors.h"
#include "db/database.h"
#include "db/session.h"
#include "db/settinglists.h"
#include "fees/prints/core/statement.h"
#include "widgets/conventions.h"
#include "widgets/dialogs.h"

#include <QAction>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace tarvest {

namespace {
const QString kAskValue = QStringLiteral("لطفا مقدار مناسب را وارد نماييد");
const QString kDuplicate = QStringLiteral("تكراري است");
const QString kAdded = QStringLiteral("ثبت شد");
const QString kDeleted = QStringLiteral("حذف شد");
} // namespace

Tsetting::Tsetting(Session& session, QWidget* parent) : QDialog(parent), m_session(session)
{
    setObjectName(QStringLiteral("Tsetting"));
    setWindowTitle(QStringLiteral("تنظيمات"));
    setLayoutDirection(Qt::RightToLeft);
    m_rows.setObjectName(QStringLiteral("adoq_set"));

    m_component = new QComboBox;
    m_component->setObjectName(QStringLiteral("component"));
    m_component->setEditable(false);
    m_component->addItems(settingListNames());
    // After the fixed lists, the holder name of each named post of the fee statements: an
    // office sets its own people here, without a new version of the program.
    m_component->addItems(fees::holderListNames());
    m_component->addItem(lists::OfficeProvince);
    m_component->setCurrentIndex(-1);
    m_component->setSizeAdjustPolicy(QComboBox::AdjustToContents);

    m_cmt = new QLineEdit;
    m_cmt->setObjectName(QStringLiteral("cmt"));
    m_cmt->setMaxLength(150);

    m_insert = new QPushButton(QStringLiteral("ثبت"));
    m_insert->setObjectName(QStringLiteral("ins_btn"));

    m_model = new ResultSetModel(&m_rows, this);
    m_model->setTitles(
        {{QStringLiteral("component"), QStringLiteral("عنوان")}, {QStringLiteral("cmt"), QStringLiteral("شرح")}});
    m_grid = new QTableView;
    m_grid->setObjectName(QStringLiteral("DBGrid1"));
    m_grid->setModel(m_model);
    setUpListGrid(m_grid);
    m_grid->setContextMenuPolicy(Qt::ActionsContextMenu);
    m_delete = new QAction(QStringLiteral("حذف"), m_grid);
    m_delete->setObjectName(QStringLiteral("delete_row"));
    m_grid->addAction(m_delete);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("انتخاب عنوان"), m_component);
    auto* valueRow = new QHBoxLayout;
    valueRow->addWidget(m_cmt, 1);
    valueRow->addWidget(m_insert);
    form->addRow(QStringLiteral("ثبت توضيح جديد براي عنوان انتخاب شده"), valueRow);
    // Where the province printed in the forms' titles comes from.
    m_province = new QLabel;
    m_province->setObjectName(QStringLiteral("province_source"));
    m_province->setWordWrap(true);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_province);
    layout->addWidget(m_grid, 1);
    setMinimumSize(560, 420);
    resize(640, 480);

    connect(m_component, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0)
            showList(m_component->currentText());
    });
    connect(m_insert, &QPushButton::clicked, this, &Tsetting::addValue);
    connect(m_delete, &QAction::triggered, this, &Tsetting::deleteSelected);
    connect(&m_rows, &ResultSet::reset, this, &Tsetting::arrangeColumns);
}

void Tsetting::prepare()
{
    m_rows.setDatabase(m_session.db());
    try {
        m_rows.open(QStringLiteral("select * from setting"));
    } catch (const Error& e) {
        Dialogs::instance().error(e.message());
    }
    m_component->setCurrentIndex(-1);
    m_cmt->clear();
    showProvince();
}

QString Tsetting::provinceText(const OfficeProvinceName& province)
{
    switch (province.source) {
    case OfficeProvinceName::Source::Setting:
        return QStringLiteral("استان عنوان فرم ها: «%1»، از فهرست «%2»").arg(province.name, lists::OfficeProvince);
    case OfficeProvinceName::Source::Gazetteer:
        return QStringLiteral(
                   "استان عنوان فرم ها: «%1»، تنها استان جدول آبادي ها (براي استاني ديگر آن را در فهرست «%2» "
                   "ثبت کنيد)")
            .arg(province.name, lists::OfficeProvince);
    case OfficeProvinceName::Source::None:
        break;
    }
    return QStringLiteral("استان عنوان فرم ها تعيين نشده است: آن را در فهرست «%1» ثبت کنيد").arg(lists::OfficeProvince);
}

void Tsetting::showProvince()
{
    Database* db = m_session.db();
    try {
        m_province->setText(db ? provinceText(officeProvince(*db)) : QString());
    } catch (const Error& e) {
        m_province->setText(e.message());
    }
}

void Tsetting::applyRights(const PageRights& rights)
{
    m_insert->setEnabled(rights.insert);
    m_delete->setEnabled(rights.remove);
}

void Tsetting::showList(const QString& list)
{
    m_rows.setDatabase(m_session.db());
    try {
        // Exactly the chosen list: a name contained in a longer name does not bring the
        // longer one's rows along.
        m_rows.open(QStringLiteral("select * from setting where component = ? order by cmt, id"), {list});
    } catch (const Error& e) {
        Dialogs::instance().error(e.message());
    }
}

void Tsetting::addValue()
{
    Database* db = m_session.db();
    if (!db)
        return;
    const QString list = m_component->currentIndex() >= 0 ? m_component->currentText() : QString();
    try {
        switch (addSettingValue(*db, list, m_cmt->text())) {
        case SettingAdd::Empty:
            Dialogs::instance().message(kAskValue);
            return;
        case SettingAdd::Duplicate:
            Dialogs::instance().message(kDuplicate);
            return;
        case SettingAdd::Added:
            Dialogs::instance().message(kAdded);
            showList(list);
            showProvince();
            return;
        }
    } catch (const Error& e) {
        Dialogs::instance().error(e.message());
    }
}

void Tsetting::deleteSelected()
{
    Database* db = m_session.db();
    const QModelIndex current = m_grid->currentIndex();
    if (!db || !m_delete->isEnabled() || !current.isValid() || !m_rows.moveTo(current.row() + 1))
        return;
    const QString list = m_rows.asString(QStringLiteral("component"));
    const QString value = m_rows.asString(QStringLiteral("cmt"));
    m_cmt->setText(value);
    try {
        removeSettingValue(*db, list, value);
        Dialogs::instance().message(kDeleted);
        m_rows.open(QStringLiteral("select * from setting order by component, id"));
        showProvince();
    } catch (const Error& e) {
        Dialogs::instance().error(e.message());
    }
}

void Tsetting::arrangeColumns()
{
    for (int i = 0; i < m_rows.fieldCount(); ++i) {
        const QString name = m_rows.fieldName(i).toLower();
        m_grid->setColumnHidden(i, name == QLatin1String("id") || name == QLatin1String("def"));
        if (name == QLatin1String("component"))
            m_grid->resizeColumnToContents(i);
    }
}

} // namespace tarvest

#include "pricing/transfertypes.h"

#include "common/errors.h"
#include "db/database.h"
#include "pricing/core/derivedprices.h"
#include "pricing/core/pricing.h"
#include "widgets/conventions.h"
#include "widgets/dialogs.h"
#include "widgets/entryguard.h"
#include "widgets/numericedits.h"
#include "widgets/recordchanged.h"

#include <QAction>
#include <QComboBox>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTableView>
#include <QVBoxLayout>

namespace tarvest {

Tghimat_typ::Tghimat_typ(Session& session, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint), m_session(session)
{
    setObjectName(QStringLiteral("Tghimat_typ"));
    setWindowTitle(QStringLiteral("انواع واگذاري و ضرائب آن"));
    setLayoutDirection(Qt::RightToLeft);

    m_name = new QComboBox(this);
    m_name->setObjectName(QStringLiteral("vagozari"));
    m_name->setEditable(true);
    m_name->setInsertPolicy(QComboBox::NoInsert);
    m_name->addItems({QStringLiteral("عادي"), QStringLiteral("متقاضيان غيربومي"), QStringLiteral("مسکن شهري")});
    m_name->setMinimumWidth(220);
    m_zarib = new TRealEdit(this);
    m_zarib->setObjectName(QStringLiteral("zarib"));
    m_add = new QPushButton(this);
    m_add->setObjectName(QStringLiteral("ins_btn"));
    m_add->setIcon(style()->standardIcon(QStyle::SP_DialogSaveButton));
    m_add->setToolTip(QStringLiteral("ثبت"));

    auto* inputs = new QGridLayout;
    inputs->addWidget(new QLabel(QStringLiteral("نوع واگذاري"), this), 0, 0);
    inputs->addWidget(m_name, 0, 1);
    inputs->addWidget(new QLabel(QStringLiteral("ضريب قيمت پايه"), this), 1, 0);
    inputs->addWidget(m_zarib, 1, 1);
    inputs->addWidget(m_add, 0, 2, 2, 1);

    m_grid = new QTableView(this);
    m_grid->setObjectName(QStringLiteral("DBGrid1"));
    setUpRecordGrid(m_grid);
    m_model = new ResultSetModel(&m_types, this);
    m_model->setTitles({{QStringLiteral("vagozari"), QStringLiteral("نوع واگذاري")},
                        {QStringLiteral("zarib"), QStringLiteral("ضريب")}});
    m_grid->setModel(m_model);
    m_grid->setContextMenuPolicy(Qt::ActionsContextMenu);
    m_delete = new QAction(QStringLiteral("حذف"), m_grid);
    m_delete->setObjectName(QStringLiteral("N1"));
    m_grid->addAction(m_delete);
    connect(m_grid->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this](const QModelIndex& index) {
        if (index.isValid())
            m_types.moveTo(index.row() + 1);
    });
    connect(m_model, &QAbstractItemModel::modelReset, this, [this] {
        m_grid->setColumnHidden(0, true);
        m_grid->setColumnWidth(1, 250);
    });

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(inputs);
    layout->addWidget(m_grid);
    resize(460, 400);

    connect(m_add, &QPushButton::clicked, this, &Tghimat_typ::add);
    connect(m_delete, &QAction::triggered, this, &Tghimat_typ::removeType);
    limitToColumnWidths(this, QStringLiteral("vagozarityp"));
    keepOpenOnEscape(this);
    new EntryGuard(this, {m_add}, {m_name, m_zarib});
}

Tghimat_typ::~Tghimat_typ() = default;

void Tghimat_typ::applyRights(const PageRights& rights)
{
    m_add->setEnabled(rights.insert);
    m_delete->setEnabled(rights.remove);
}

void Tghimat_typ::reopen()
{
    m_types.setDatabase(m_session.db());
    m_types.open(QStringLiteral("select * from vagozarityp"));
    m_grid->setColumnHidden(0, true);
    m_grid->setColumnWidth(1, 250);
}

void Tghimat_typ::prepare()
{
    reopen();
    m_name->setEditText(QString());
    m_zarib->setText(QStringLiteral("0"));
    EntryGuard::of(this)->markLoaded();
}

void Tghimat_typ::add()
{
    if (!m_add->isEnabled())
        return;
    if (!m_zarib->text().trimmed().isEmpty() && !pricing::normalisedCoefficient(m_zarib->text())) {
        Dialogs::instance().warning(pricing::text::CoefficientNotNumber);
        return;
    }
    try {
        QStringList problems;
        const auto result = pricing::addTransferType(*m_session.db(), m_name->currentText(), m_zarib->text(), problems);
        for (const QString& p : problems)
            Dialogs::instance().warning(p);
        if (result == pricing::TransferTypeAdd::Added) {
            reopen();
            EntryGuard::of(this)->markSaved();
        }
    } catch (const Error& e) {
        Dialogs::instance().error(e.message());
    }
}

void Tghimat_typ::removeType()
{
    if (!m_delete->isEnabled() || m_types.isEmpty())
        return;
    try {
        m_name->setEditText(m_types.asString(QStringLiteral("vagozari")));
        m_zarib->setText(m_types.asString(QStringLiteral("zarib")));
        m_types.remove();
        reopen();
        // The deleted type's values wait in the fields for a new add; they are no typing.
        EntryGuard::of(this)->markLoaded();
    } catch (const RecordChanged& changed) {
        if (offerReload(changed))
            reopen();
    } catch (const Error& e) {
        Dialogs::instance().error(e.message());
    }
}

} // namespace tarvest

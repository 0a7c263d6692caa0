#include "fees/otherexperts.h"

#include "common/errors.h"
#include "db/database.h"
#include "fees/core/distribution.h"
#include "fees/core/feedocs.h"
#include "widgets/conventions.h"
#include "widgets/dialogs.h"
#include "widgets/entryguard.h"
#include "widgets/numericedits.h"
#include "widgets/recordchanged.h"

#include <QAction>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QStyle>
#include <QTableView>
#include <QVBoxLayout>

namespace tarvest {

Tasnad_sayer_kar::Tasnad_sayer_kar(Session& session, QWidget* parent)
    : QDialog(parent), m_session(session), m_rows(nullptr)
{
    setObjectName(QStringLiteral("Tasnad_sayer_kar"));
    setWindowTitle(QStringLiteral("ساير کارشناسان"));
    setLayoutDirection(Qt::RightToLeft);
    setWindowFlags((windowFlags() | Qt::WindowCloseButtonHint) & ~Qt::WindowContextHelpButtonHint);

    m_amount = new QLabel(this);
    m_amount->setObjectName(QStringLiteral("sayer_mablagh"));
    m_nam = new QLineEdit(this);
    m_nam->setObjectName(QStringLiteral("nam"));
    m_darsad = new QLineEdit(this);
    m_darsad->setObjectName(QStringLiteral("darsad"));
    acceptDigitKeysOnly(m_darsad);
    m_mablagh = new TMonEdit(this);
    m_mablagh->setObjectName(QStringLiteral("mablagh"));
    auto* ins = new QPushButton(this);
    ins->setObjectName(QStringLiteral("ins_btn"));
    ins->setIcon(style()->standardIcon(QStyle::SP_DialogApplyButton));
    ins->setToolTip(QStringLiteral("ثبت"));
    m_key = new QLabel(this);
    m_key->setObjectName(QStringLiteral("asnad_id"));

    auto* form = new QGridLayout;
    form->addWidget(new QLabel(QStringLiteral("حق الزحمه ساير کارشناسان"), this), 0, 0);
    form->addWidget(m_amount, 0, 1, 1, 3);
    form->addWidget(new QLabel(QStringLiteral("نام کارشناس"), this), 1, 0);
    form->addWidget(new QLabel(QStringLiteral("درصد"), this), 1, 1);
    form->addWidget(new QLabel(QStringLiteral("مبلغ"), this), 1, 2);
    form->addWidget(m_nam, 2, 0);
    form->addWidget(m_darsad, 2, 1);
    form->addWidget(m_mablagh, 2, 2);
    form->addWidget(ins, 2, 3);
    m_darsad->setMaximumWidth(70);

    m_grid = new QTableView(this);
    m_grid->setObjectName(QStringLiteral("DBGrid1"));
    m_grid->setLayoutDirection(Qt::RightToLeft);
    auto* model = new ResultSetModel(&m_rows, this);
    model->setTitles({{"nam", QStringLiteral("نام کارشناس")},
                      {"darsad", QStringLiteral("درصد%")},
                      {"mablagh", QStringLiteral("مبلغ")}});
    m_grid->setModel(model);
    setUpRecordGrid(m_grid);
    m_grid->verticalHeader()->setDefaultSectionSize(22);
    connect(&m_rows, &ResultSet::reset, this, [this] {
        const struct {
            const char* c;
            int w;
        } widths[] = {{"nam", 120}, {"darsad", 60}, {"mablagh", 80}};
        for (int c = 0; c < m_rows.fieldCount(); ++c)
            m_grid->setColumnHidden(c, true);
        for (const auto& w : widths) {
            const int i = m_rows.fieldIndex(QLatin1String(w.c));
            if (i >= 0) {
                m_grid->setColumnHidden(i, false);
                m_grid->setColumnWidth(i, w.w);
            }
        }
    });
    connect(m_grid->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (current.isValid() && current.row() + 1 != m_rows.recNo())
                    m_rows.moveTo(current.row() + 1);
            });
    auto* popup = new QMenu(this);
    QAction* del = popup->addAction(QStringLiteral("حذف"));
    del->setObjectName(QStringLiteral("N1"));
    connect(del, &QAction::triggered, this, &Tasnad_sayer_kar::removeCurrent);
    m_grid->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_grid, &QWidget::customContextMenuRequested, this,
            [this, popup](const QPoint& at) { popup->popup(m_grid->viewport()->mapToGlobal(at)); });

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_grid, 1);
    layout->addWidget(m_key);

    connect(m_darsad, &QLineEdit::textChanged, this, &Tasnad_sayer_kar::updateAmount);
    connect(ins, &QPushButton::clicked, this, &Tasnad_sayer_kar::add);
    setTabOrder(m_nam, m_darsad);
    setTabOrder(m_darsad, m_mablagh);
    setTabOrder(m_mablagh, ins);
    setTabOrder(ins, m_grid);
    keepOpenOnEscape(this);
    new EntryGuard(this, {ins}, {m_nam, m_darsad, m_mablagh});
    resize(420, 360);
}

Tasnad_sayer_kar::~Tasnad_sayer_kar() = default;

void Tasnad_sayer_kar::prepare(qint64 documentId, qint64 amount, QList<qint64>* pending)
{
    m_documentId = documentId;
    m_pending = pending;
    m_key->setText(QString::number(documentId));
    m_rows.setDatabase(m_session.db());
    const fees::ExpertRows q = fees::expertRowsQuery(documentId);
    m_rows.open(q.sql, q.params, QStringLiteral("sayerkar"));
    m_amount->setText(QString::number(amount));
    m_nam->clear();
    m_mablagh->setText(QStringLiteral("0"));
    m_darsad->setText(QStringLiteral("0"));
    m_nam->setFocus();
    EntryGuard::of(this)->markLoaded();
}

void Tasnad_sayer_kar::updateAmount()
{
    m_mablagh->setText(QString::number(fees::expertAmount(m_amount->text(), m_darsad->text())));
}

void Tasnad_sayer_kar::add()
{
    try {
        const QString percent = m_darsad->text().trimmed();
        m_rows.append({{"asnad_id", m_documentId},
                       {"nam", m_nam->text()},
                       {"darsad", percent.isEmpty() ? QVariant() : QVariant(percent)},
                       {"mablagh", m_mablagh->asInteger()}});
        if (m_documentId == 0 && m_pending)
            m_pending->append(m_rows.value(QStringLiteral("id")).toLongLong());
        m_grid->selectRow(m_rows.recNo() - 1);
        EntryGuard::of(this)->markSaved();
    } catch (const Error& e) {
        Dialogs::instance().error(e.message());
    }
}

void Tasnad_sayer_kar::removeCurrent()
{
    if (!m_rows.isOpen() || m_rows.isEmpty())
        return;
    try {
        const qint64 id = m_rows.value(QStringLiteral("id")).toLongLong();
        m_rows.remove();
        if (m_pending)
            m_pending->removeAll(id);
    } catch (const RecordChanged& changed) {
        if (offerReload(changed))
            m_rows.reloadCurrent();
    } catch (const Error& e) {
        Dialogs::instance().error(e.message());
    }
}

} // namespace tarvest

#include "widgets/loadprogress.h"

#include "db/resultset.h"

#include <QApplication>
#include <QCoreApplication>
#include <QProgressDialog>
#include <QTimer>
#include <QWidget>

namespace tarvest {

namespace {

constexpr int kShowAfterMs = 400;
const QString kCancel = QStringLiteral("انصراف");

QProgressDialog* makeDialog(QWidget* parent, const QString& caption)
{
    auto* d = new QProgressDialog(caption, kCancel, 0, 0, parent);
    d->setObjectName(QStringLiteral("load_progress"));
    d->setWindowTitle(caption);
    d->setLayoutDirection(Qt::RightToLeft);
    d->setWindowModality(Qt::WindowModal);
    d->setAutoClose(false);
    d->setAutoReset(false);
    d->setMinimumDuration(0);
    return d;
}

} // namespace

LoadProgress* LoadProgress::attach(QWidget* parent, ResultSet* rs)
{
    return new LoadProgress(parent, rs);
}

LoadProgress::LoadProgress(QWidget* parent, ResultSet* rs) : QObject(parent), m_parent(parent), m_rs(rs)
{
    connect(rs, &ResultSet::loadStarted, this, &LoadProgress::started);
    connect(rs, &ResultSet::loadProgress, this, &LoadProgress::progress);
    connect(rs, &ResultSet::loadFinished, this, &LoadProgress::finished);
}

void LoadProgress::started()
{
    m_loading = true;
    QTimer::singleShot(kShowAfterMs, this, [this] {
        if (!m_loading || m_dialog || !m_rs->isLoading() || !m_parent->isVisible())
            return;
        m_dialog = makeDialog(m_parent, QStringLiteral("در حال جستجو ..."));
        connect(m_dialog, &QProgressDialog::canceled, m_rs, &ResultSet::cancelLoad);
        if (m_rs->expectedCount() > 0)
            m_dialog->setLabelText(QStringLiteral("در حال جستجو ... (%1 رکورد)").arg(m_rs->expectedCount()));
        m_dialog->show();
    });
}

void LoadProgress::progress(qint64 read, qint64 expected)
{
    if (!m_dialog)
        return;
    if (expected > 0) {
        m_dialog->setLabelText(QStringLiteral("در حال جستجو ... (%1 رکورد)").arg(expected));
        m_dialog->setMaximum(int(std::min<qint64>(expected, INT_MAX)));
        m_dialog->setValue(int(std::min(read, expected)));
    }
}

void LoadProgress::finished()
{
    m_loading = false;
    if (m_dialog) {
        m_dialog->hide();
        m_dialog->deleteLater();
        m_dialog = nullptr;
    }
}

WalkProgress::WalkProgress(const ResultSet& rs, const QString& caption) : m_rs(rs), m_caption(caption)
{
    m_clock.start();
    m_connection = QObject::connect(const_cast<ResultSet*>(&rs), &ResultSet::pageReading,
                                    [this](int row) { reading(row); });
}

WalkProgress::~WalkProgress()
{
    QObject::disconnect(m_connection);
    delete m_dialog;
}

void WalkProgress::reading(int row)
{
    if (!m_dialog) {
        if (m_clock.elapsed() < kShowAfterMs)
            return;
        m_dialog = makeDialog(QApplication::activeWindow(), m_caption);
        m_dialog->setCancelButton(nullptr);
        m_dialog->setWindowModality(Qt::ApplicationModal);
        m_dialog->setMaximum(std::max(1, m_rs.recordCount()));
        m_dialog->show();
    }
    // A modal progress window repaints the screens as it moves.
    m_dialog->setValue(std::min(row, m_dialog->maximum()));
}

} // namespace tarvest

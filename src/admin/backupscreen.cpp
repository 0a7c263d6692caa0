#include "admin/backupscreen.h"

#include "admin/core/backup.h"
#include "common/errors.h"
#include "common/jalali.h"
#include "common/safefile.h"
#include "db/database.h"
#include "widgets/background.h"
#include "widgets/dialogs.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStandardPaths>
#include <QTreeView>
#include <QVBoxLayout>

namespace tarvest {

namespace {
const QString kNoFolder = QStringLiteral(
    "پوشه‌اي براي فايل پشتيبان انتخاب نشده است");
}

Tbackup::Tbackup(Session& session, QWidget* parent) : QDialog(parent), m_session(session)
{
    setObjectName(QStringLiteral("Tbackup"));
    setWindowTitle(QStringLiteral("پشتيبان گيري"));
    setLayoutDirection(Qt::RightToLeft);

    auto* caption = new QLabel(QStringLiteral("محل فايل پشتيبان را مشخص نماييد:"));
    caption->setObjectName(QStringLiteral("Label1"));

    // Folders only, from the top of the file system.
    m_folders = new QFileSystemModel(this);
    m_folders->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
    m_folders->setRootPath(QDir::rootPath());
    m_tree = new QTreeView;
    m_tree->setObjectName(QStringLiteral("ShellTreeView1"));
    m_tree->setModel(m_folders);
    m_tree->setRootIndex(m_folders->index(QDir::rootPath()));
    for (int c = 1; c < m_folders->columnCount(); ++c)
        m_tree->hideColumn(c);
    m_tree->header()->hide();
    m_tree->setSortingEnabled(true);
    m_tree->sortByColumn(0, Qt::AscendingOrder);
    m_tree->setSelectionMode(QAbstractItemView::SingleSelection);

    m_chosen = new QLabel;
    m_chosen->setObjectName(QStringLiteral("chosenFolder"));
    m_chosen->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_chosen->setWordWrap(true);
    m_progress = new QProgressBar;
    m_progress->setObjectName(QStringLiteral("progress"));
    m_progress->setTextVisible(false);
    m_progress->hide();
    m_create = new QPushButton(QStringLiteral("ايجاد فايل"));
    m_create->setObjectName(QStringLiteral("BitBtn1"));
    m_create->setAutoDefault(false);
    m_written = new QLabel;
    m_written->setObjectName(QStringLiteral("lastFile"));
    m_written->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(caption);
    layout->addWidget(m_tree, 1);
    layout->addWidget(m_chosen);
    layout->addWidget(m_progress);
    layout->addWidget(m_written);
    layout->addWidget(m_create, 0, Qt::AlignHCenter);
    resize(420, 460);

    // The folder is the one the user picks (selects); the tree's current item alone (the
    // first row when the tree takes the focus) chooses nothing.
    connect(m_tree->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        const QModelIndexList picked = m_tree->selectionModel()->selectedRows();
        m_folder = picked.isEmpty() ? QString() : m_folders->filePath(picked.first());
        showChosen();
    });
    connect(m_create, &QPushButton::clicked, this, &Tbackup::createBackup);
    showChosen();
}

Tbackup::~Tbackup() = default;

void Tbackup::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    const QString start = m_lastFolder.isEmpty() ? QDir::homePath() : m_lastFolder;
    const QModelIndex startIndex = m_folders->index(start);
    m_tree->expand(startIndex);
    m_tree->scrollTo(startIndex, QAbstractItemView::PositionAtTop);
}

void Tbackup::showChosen()
{
    m_chosen->setText(m_folder.isEmpty() ? kNoFolder : QStringLiteral("پوشه انتخاب شده: ") + shownPath(m_folder));
}

void Tbackup::setFolder(const QString& path)
{
    const QModelIndex index = path.isEmpty() ? QModelIndex() : m_folders->index(path);
    if (index.isValid()) {
        m_tree->setCurrentIndex(index);
        m_tree->scrollTo(index);
    } else {
        m_tree->clearSelection();
    }
    // A path the tree does not show (not there) is still what the user named.
    m_folder = path;
    showChosen();
}

void Tbackup::closeEvent(QCloseEvent* event)
{
    if (m_running) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void Tbackup::reject()
{
    if (!m_running)
        QDialog::reject();
}

void Tbackup::createBackup()
{
    Database* db = m_session.db();
    if (!db || m_running)
        return;
    if (m_folder.trimmed().isEmpty()) {
        Dialogs::instance().warning(backupFailureMessage(kNoFolder));
        return;
    }
    const BackupSource source = backupSourceOf(*db);
    const QString folder = m_folder;
    const QString today = TodayJalali();

    m_running = true;
    m_create->setEnabled(false);
    m_tree->setEnabled(false);

    // The backup reads through its own connection (or pg_dump), never the program's.
    QString written, failure;
    try {
        runOffTheWindowThread(
            m_progress, [&](const WorkProgress& progress) { written = backupFrom(source, folder, today, progress); });
    } catch (const Error& e) {
        failure = e.message();
    } catch (const std::exception& e) {
        failure = QString::fromLocal8Bit(e.what());
    }

    m_progress->hide();
    m_tree->setEnabled(true);
    m_create->setEnabled(true);
    m_running = false;
    if (!failure.isEmpty()) {
        Dialogs::instance().warning(backupFailureMessage(failure));
        return;
    }
    m_lastWritten = written;
    m_lastFolder = QFileInfo(written).absolutePath();
    m_written->setText(shownPath(m_lastWritten));
    Dialogs::instance().message(backupDoneMessage() + QLatin1Char('\n') + shownPath(m_lastWritten));
}

} // namespace tarvest

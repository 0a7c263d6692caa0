#include "admin/backupscreen.h"

#include "admin/core/backup.h"
#include "common/errors.h"
#include "common/jalali.h"
#include "common/safefile.h"
#include "db/database.h"
#include "widgets/dialogs.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStandardPaths>
#include <QTreeView>
#include <QVBoxLayout>

namespace tarvest {

Tbackup::Tbackup(Session& session, QWidget* parent) : QDialog(parent), m_session(session)
{
    setObjectName(QStringLiteral("Tbackup"));
    setWindowTitle(QStringLiteral("پشتيبان گيري"));
    setLayoutDirection(Qt::RightToLeft);

    auto* caption = new QLabel(QStringLiteral("محل فايل پشتيبان را مشخص نماييد:"));
    caption->setObjectName(QStringLiteral("Label1"));

    // Folders only, from the top of the file system, opened at the user's desktop (or home).
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

    m_create = new QPushButton(QStringLiteral("ايجاد فايل"));
    m_create->setObjectName(QStringLiteral("BitBtn1"));
    m_written = new QLabel;
    m_written->setObjectName(QStringLiteral("lastFile"));
    m_written->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(caption);
    layout->addWidget(m_tree, 1);
    layout->addWidget(m_written);
    layout->addWidget(m_create, 0, Qt::AlignHCenter);
    resize(420, 460);

    connect(m_tree->selectionModel(), &QItemSelectionModel::currentChanged, this, [this](const QModelIndex& current) {
        m_folder = current.isValid() ? m_folders->filePath(current) : QString();
    });
    connect(m_create, &QPushButton::clicked, this, &Tbackup::createBackup);

    QString start = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    if (!QFileInfo(start).isDir())
        start = QDir::homePath();
    const QModelIndex startIndex = m_folders->index(start);
    m_tree->scrollTo(startIndex);
    m_tree->expand(startIndex);
}

Tbackup::~Tbackup() = default;

void Tbackup::setFolder(const QString& path)
{
    const QModelIndex index = m_folders->index(path);
    if (index.isValid()) {
        m_tree->setCurrentIndex(index);
        m_tree->scrollTo(index);
    }
    // A path the tree does not show (not there) is still what the user named.
    m_folder = path;
}

void Tbackup::createBackup()
{
    Database* db = m_session.db();
    if (!db)
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        m_lastWritten = backupDatabase(*db, m_folder, TodayJalali());
    } catch (const Error& e) {
        QApplication::restoreOverrideCursor();
        Dialogs::instance().warning(backupFailureMessage(e.message()));
        return;
    }
    QApplication::restoreOverrideCursor();
    m_written->setText(shownPath(m_lastWritten));
    Dialogs::instance().message(backupDoneMessage());
}

} // namespace tarvest

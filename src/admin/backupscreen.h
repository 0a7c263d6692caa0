#pragma once
// The database backup "پشتيبان گيري": a folder tree and "ايجاد فايل", which writes a full
// backup of the database the program is connected to into the chosen folder
// (admin/core/backup.h). Opened from the main menu for every user.
#include "db/session.h"

#include <QDialog>

class QFileSystemModel;
class QLabel;
class QProgressBar;
class QPushButton;
class QTreeView;

namespace tarvest {

class Tbackup : public QDialog {
    Q_OBJECT
public:
    explicit Tbackup(Session& session, QWidget* parent = nullptr);
    ~Tbackup() override;

    // The chosen folder: the folder the user picked in the tree, empty when none is chosen
    // (the tree opening at a folder chooses nothing).
    QString folder() const { return m_folder; }
    void setFolder(const QString& path); // chooses a folder in the tree
    // BitBtn1: the backup runs on a thread of its own while the window keeps answering
    // (its progress bar moving); returns when it is done and said so.
    void createBackup();
    QString lastWritten() const { return m_lastWritten; }
    bool running() const { return m_running; }

protected:
    // The tree opens at the folder of the last backup of this run, or at the user's home.
    void showEvent(QShowEvent* event) override;
    // A running backup keeps the window open.
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void showChosen();

    Session& m_session;
    QFileSystemModel* m_folders;
    QTreeView* m_tree;
    QPushButton* m_create;
    QLabel* m_chosen;
    QProgressBar* m_progress;
    QLabel* m_written;
    QString m_folder;
    QString m_lastFolder;
    QString m_lastWritten;
    bool m_running = false;
};

} // namespace tarvest

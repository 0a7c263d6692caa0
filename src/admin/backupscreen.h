#pragma once
// The database backup "پشتيبان گيري": a folder tree and "ايجاد فايل", which writes a full
// backup of the database the program is connected to into the chosen folder
// (admin/core/backup.h). Opened from the main menu for every user.
#include "db/session.h"

#include <QDialog>

class QFileSystemModel;
class QLabel;
class QPushButton;
class QTreeView;

namespace tarvest {

class Tbackup : public QDialog {
    Q_OBJECT
public:
    explicit Tbackup(Session& session, QWidget* parent = nullptr);
    ~Tbackup() override;

    // The chosen folder: where the tree's current item points, empty when none is chosen.
    QString folder() const { return m_folder; }
    void setFolder(const QString& path); // chooses a folder in the tree
    void createBackup();                 // BitBtn1
    QString lastWritten() const { return m_lastWritten; }

private:
    Session& m_session;
    QFileSystemModel* m_folders;
    QTreeView* m_tree;
    QPushButton* m_create;
    QLabel* m_written;
    QString m_folder;
    QString m_lastWritten;
};

} // namespace tarvest

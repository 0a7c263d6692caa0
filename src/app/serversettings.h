#pragma once
// The connection settings screen: edits the saved settings of the Local profile and
// makes the connected database ready (its "- - -" label).
#include "db/connection.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QRadioButton;
class QToolButton;

namespace tarvest {

class Shell;

class Tserver : public QDialog {
    Q_OBJECT
public:
    explicit Tserver(Shell& shell, QWidget* parent = nullptr);

    // Fills the fields from the saved settings (what opening the screen does).
    void prepare();
    void save();      // "تاييد"
    void provision(); // "- - -"
    // "آزمايش اتصال": opens the database the fields name (without saving them) and
    // says in Persian whether it worked and, if not, why. True when it worked.
    bool testConnection();

private:
    ConnectionSettings typedSettings() const;
    // The fields the chosen kind needs: a server's host and port, or a file's path.
    void showKind();

    Shell& m_shell;
    QLineEdit* m_server;
    QLineEdit* m_database;
    QLineEdit* m_user;
    QLineEdit* m_password;
    QRadioButton* m_windows;
    QRadioButton* m_sql;
    QRadioButton* m_file;
    QLabel* m_serverLabel = nullptr;
    QLabel* m_serverHint = nullptr;
    QToolButton* m_chooseFile = nullptr;
};

} // namespace tarvest

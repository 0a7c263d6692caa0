#pragma once
// The connection settings screen: edits the saved settings of the Local profile and
// makes the connected database ready (its "- - -" label).
#include <QDialog>

class QLineEdit;
class QRadioButton;

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

private:
    Shell& m_shell;
    QLineEdit* m_server;
    QLineEdit* m_database;
    QLineEdit* m_user;
    QLineEdit* m_password;
    QRadioButton* m_windows;
    QRadioButton* m_sql;
    QRadioButton* m_file;
};

} // namespace tarvest

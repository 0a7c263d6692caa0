#pragma once
// The password change screen, reached from the login window after the current user
// name and password were accepted there.
#include <QDialog>

class QLineEdit;

namespace tarvest {

class Shell;

class Tchange_pass : public QDialog {
    Q_OBJECT
public:
    explicit Tchange_pass(Shell& shell, QWidget* parent = nullptr);

    void change(); // "تغيير"
    // Escape and "انصراف": back to the login window, as the close box does.
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    Shell& m_shell;
    QLineEdit* m_new;
    QLineEdit* m_repeat;
};

} // namespace tarvest

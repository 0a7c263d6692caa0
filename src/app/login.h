#pragma once
// The login window, the program's first window: it chooses the connection profile,
// checks the user, and opens the main window.
#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace tarvest {

class LinkLabel;
class Shell;

class Tlogin : public QWidget {
    Q_OBJECT
public:
    explicit Tlogin(Shell& shell, QWidget* parent = nullptr);

    // The profile chosen on the radio group: Internet (item 0) or Local (item 1).
    int profileItem() const;
    QString typedUserName() const;
    QString typedPassword() const;

    void logIn();                  // "ورود"
    void openPasswordChange();     // "تغيير كلمه عبور"
    void openConnectionSettings(); // "تغيير بانك اطلاعاتي"
    void fetchFontHelp();          // "click here"

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool connect_();
    void showDatabase();
    void offerNewestPackage();
    // Saves the stored file of the attachment titled `title` under a name the user
    // chooses (suggested `suggestedName`); returns the file written, or empty.
    QString saveAttachment(const QString& title, const QString& suggestedName, const QString& caption);

    Shell& m_shell;
    QLineEdit* m_us;
    QLineEdit* m_ps;
    QRadioButton* m_internet;
    QRadioButton* m_local;
    QPushButton* m_ok;
    QPushButton* m_cancel;
    QLabel* m_database;
};

} // namespace tarvest

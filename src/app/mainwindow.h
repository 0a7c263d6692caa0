#pragma once
// The main window: its menu is the way into every working screen. Each command checks
// the user's rights on its page, passes them to the screen, presets it and shows it.
#include <QMainWindow>

#include <functional>

class QAction;
class QLabel;
class QTimer;

namespace tarvest {

class AccessTarget;
class Shell;

class Tmain : public QMainWindow {
    Q_OBJECT
public:
    explicit Tmain(Shell& shell, QWidget* parent = nullptr);
    ~Tmain() override;

    // The "پيام" caption after login: "پيام*" while unread messages exist. Also starts
    // the five-second check for new messages.
    void setUnreadMessages(int count);
    // The five-second check: refreshes the caption and tells the user when the number
    // of unread messages has grown since the last check.
    void checkMessages();

    // The page check of a menu command: no rights row, or no right to view, refuses
    // with a message (the insert, edit and delete rights are applied to the target
    // even when viewing is refused). True when the screen may open.
    bool checkPageAccess(const QString& page, AccessTarget* target);

    // The status line: which database is open, the user and the level.
    void showSessionInfo();
    // Opens the main menu from the keyboard (F10, or Alt alone): its first command is
    // highlighted and the arrow keys walk the menu.
    void openMenuFromKeyboard();

    QAction* menuAction(const QString& objectName) const;
    QTimer* messageTimer() const { return m_timer; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    QAction* addCommand(QWidget* menu, const char* name, const QString& caption, std::function<void()> run);
    void openSettings();
    void openCases();
    void openLog();

    Shell& m_shell;
    QAction* m_messages = nullptr;
    QTimer* m_timer = nullptr;
    int m_lastUnread = 0;
    bool m_altAlone = false; // Alt is down and no other key came since
    QLabel* m_databaseInfo = nullptr;
    QLabel* m_userInfo = nullptr;
    struct Screens;
    std::unique_ptr<Screens> m_screens;
};

} // namespace tarvest

#pragma once
// The running program: the session (connection and logged-in user), the per-user
// settings, and the screens, each created on first use and kept for the run so its
// controls keep their contents between openings.
#include "db/connection.h"
#include "db/session.h"

#include <QString>

#include <functional>
#include <memory>

class QSettings;

namespace tarvest {

class Tchange_pass;
class Tlogin;
class Tmain;
class Tserver;

class Shell {
public:
    // `store` holds the connection settings and the last user name; `embeddedPath`
    // overrides where the embedded database lives (empty: the user's data folder).
    explicit Shell(std::unique_ptr<QSettings> store, QString embeddedPath = {});
    ~Shell();
    Shell(const Shell&) = delete;
    Shell& operator=(const Shell&) = delete;

    Session& session() { return m_session; }
    QSettings& store() { return *m_store; }

    Tlogin& login();
    Tserver& server();
    Tmain& main();
    Tchange_pass& changePass();

    // Opens the connection of a profile, replacing any open one. On failure shows
    // the message and the connection settings screen (unless that screen is the
    // caller, already open) and returns false.
    bool buildConnection(Profile profile, bool fromSettingsScreen = false);

    // Which database the profile opens (the one open now when it is open): the file's
    // path, or server and database, for the windows to show.
    QString databaseText(Profile profile);

    // Ends the program; tests replace it to watch for the end.
    void quit();
    void setQuitHandler(std::function<void()> handler) { m_quit = std::move(handler); }

    // The user name of the last successful login on this workstation.
    QString lastUser() const;
    void setLastUser(const QString& name);

private:
    Session m_session;
    std::unique_ptr<QSettings> m_store;
    QString m_embeddedPath;
    std::function<void()> m_quit;
    std::unique_ptr<Tlogin> m_login;
    std::unique_ptr<Tserver> m_server;
    std::unique_ptr<Tmain> m_main;
    std::unique_ptr<Tchange_pass> m_changePass;
};

} // namespace tarvest

#pragma once
// The running program's one connection, the logged-in user, and the result sets the
// search screens share with their entry screens and prints.
#include "db/resultset.h"

#include <QString>

#include <memory>
#include <optional>

namespace tarvest {

class Database;

// Who is logged in: set once at login, read by every screen.
struct LoginState {
    QString userId;   // users.id, as text
    QString level;    // users.lev: "city", "ostan", "keshvar", "admin", or a case-entry role
    QString userName; // the user name as stored in users.us (matched without regard to case)
    bool isLoggedIn() const { return !userId.isEmpty(); }
    // The user named "admin" (not the level): the attachments screen and all messages.
    bool isAdministrator() const { return userName == QLatin1String("admin"); }
};

// A user's rights on one page (table dastrasi).
struct PageRights {
    bool insert = false; // darj
    bool edit = false;   // virayesh
    bool remove = false; // hazf
    bool view = false;   // namayesh
};

class Session {
public:
    Session();
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // The open connection, or nullptr before the first successful connection.
    Database* db() const { return m_db.get(); }
    // Replaces the connection (closing the previous one).
    void setDatabase(std::unique_ptr<Database> db);

    LoginState login;

    // The rights row of the logged-in user on a page; nullopt when there is none.
    std::optional<PageRights> pageRights(const QString& page) const;

    // Shared snapshot cursors: cases, fee documents, prices, land records.
    ResultSet cases;
    ResultSet feeDocuments;
    ResultSet prices;
    ResultSet lands;

private:
    std::unique_ptr<Database> m_db;
};

} // namespace tarvest

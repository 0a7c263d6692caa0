#pragma once
// Checking a user at login and changing a password, on the users table.
#include "db/session.h"

#include <QString>

#include <optional>

namespace tarvest {

class Database;

// The program's own version; the users row of "admin" holds the newest one.
constexpr int kProgramVersion = 1;

struct UserRow {
    qint64 id = 0;
    QString us, lev, nam, status;
};

// The user whose name matches (without regard to letter case and trailing blanks)
// and whose password matches exactly. A row that still holds a plain password is
// accepted when it matches exactly, and its password is stored as a hash from then on.
std::optional<UserRow> findUser(Database& db, const QString& userName, const QString& password);

struct LoginOutcome {
    enum class Result { WrongPassword, Inactive, Outdated, LoggedIn };
    Result result = Result::WrongPassword;
    LoginState state;      // set when logged in; the stored user name also when outdated
    QString newestVersion; // the admin row's version text, when outdated
    int unreadMessages = 0;
};

// The whole check of a login: user and password, status "فعال", the version test
// (this login marks its own row with this version first), and the activity log
// records of a refused outdated login or a successful one.
LoginOutcome logIn(Database& db, const QString& userName, const QString& password);

// Messages sent to the user and not yet marked read.
int unreadMessageCount(Database& db, const QString& userId);

// Changes the password of the user who typed the right current one; false when no
// row was changed (the current password was not accepted).
bool changePassword(Database& db, const QString& userName, const QString& currentPassword, const QString& newPassword);

} // namespace tarvest

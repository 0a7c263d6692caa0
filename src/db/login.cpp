#include "db/login.h"

#include "common/errors.h"
#include "common/password.h"
#include "db/activitylog.h"
#include "db/database.h"

#include <QSqlQuery>

namespace tarvest {

std::optional<UserRow> findUser(Database& db, const QString& userName, const QString& password)
{
    // The old server compared names without case and trailing blanks; so do we.
    QSqlQuery q = db.exec(QStringLiteral("SELECT id, us, ps, lev, nam, status FROM users "
                                         "WHERE lower(rtrim(us)) = lower(rtrim(?)) ORDER BY id"),
                          {userName});
    while (q.next()) {
        const QString stored = q.value(2).toString();
        if (!verifyPassword(stored, password))
            continue;
        UserRow row{q.value(0).toLongLong(), q.value(1).toString(), q.value(3).toString(), q.value(4).toString(),
                    q.value(5).toString()};
        if (!isPasswordHash(stored)) {
            try {
                db.update(QStringLiteral("users"), {{"ps", hashPassword(password)}}, row.id);
            } catch (const Error&) {
                // A server column still too narrow for the hash (provisioning widens it):
                // the user still logs in, and the hash is stored at a later login.
            }
        }
        return row;
    }
    return std::nullopt;
}

LoginOutcome logIn(Database& db, const QString& userName, const QString& password)
{
    LoginOutcome out;
    const std::optional<UserRow> user = findUser(db, userName, password);
    if (!user)
        return out;
    if (user->status != QStringLiteral("فعال")) {
        out.result = LoginOutcome::Result::Inactive;
        return out;
    }
    // From here on the user is known by the stored name, whatever letter case was
    // typed: "ADMIN" is the administrator, and the log says "admin".
    const QString name = user->us;
    out.state.userName = name;

    // Version test: this login marks its own row, so a login of "admin" itself passes.
    db.update(QStringLiteral("users"), {{"ver", QString::number(kProgramVersion)}}, user->id);
    const QVariant newest = db.scalar(QStringLiteral("SELECT ver FROM users WHERE us = ? ORDER BY id"), {"admin"});
    bool isNumber = false;
    const double version = newest.toString().trimmed().toDouble(&isNumber);
    if (isNumber && version > kProgramVersion) {
        out.result = LoginOutcome::Result::Outdated;
        out.newestVersion = newest.toString();
        writeLogRecord(db, name,
                       QStringLiteral("  ورود ناموفق به نرم افزار بدليل استفاده از نسخه قديمي   ") + out.newestVersion
                           + QStringLiteral(" ") + name);
        return out;
    }

    writeLogRecord(db, name, QStringLiteral("  ورود موفق به نرم افزار  ") + name + QStringLiteral(" ") + user->nam);
    out.result = LoginOutcome::Result::LoggedIn;
    out.state = LoginState{QString::number(user->id), user->lev, name};
    out.unreadMessages = unreadMessageCount(db, out.state.userId);
    return out;
}

int unreadMessageCount(Database& db, const QString& userId)
{
    return db
        .scalar(QStringLiteral("SELECT count(*) FROM payamha WHERE rec_prs_id = ? AND show_dat = ?"),
                {userId.toLongLong(), QString("")})
        .toInt();
}

bool changePassword(Database& db, const QString& userName, const QString& currentPassword, const QString& newPassword)
{
    const std::optional<UserRow> user = findUser(db, userName, currentPassword);
    if (!user)
        return false;
    return db.update(QStringLiteral("users"), {{"ps", hashPassword(newPassword)}}, user->id) == 1;
}

} // namespace tarvest

#pragma once
// The program's users and their rights: the pages of the rights block, the default
// profile by level and user group, saving page rights and county rights each in one
// transaction, and adding, editing and deleting users under the user-name rule.
#include "db/session.h"
#include "db/uniquekey.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantMap>

namespace tarvest {

class Database;

// One page of the rights block: the prefix of its four check boxes, the page name
// stored in dastrasi, and the label on the screen.
struct RightsPage {
    QString prefix;
    QString page;
    QString label;
};

// The eleven pages in the order their rights are shown and saved.
const QList<RightsPage>& rightsPages();

// The levels offered by the level lists: "ostan", "city", "keshvar", "admin".
const QStringList& userLevels();

// Rights by page name.
using RightsByPage = QHash<QString, PageRights>;

// The rights the screen proposes for a level and a user group: a county expert
// ("city" + "کارشناس") gets the profile of a county office, everyone else no box.
RightsByPage defaultRights(const QString& level, const QString& group);

// The user's stored rights on the eleven pages; rows of other page names are ignored.
RightsByPage loadPageRights(Database& db, qint64 userId);
// Replaces the user's rows of all eleven pages (a page without an entry is stored as
// four zeros), in one transaction: a failure leaves the earlier rights whole.
void savePageRights(Database& db, qint64 userId, const RightsByPage& rights);

// The counties the user may see (dastrasi2), in the order saved.
QStringList loadCounties(Database& db, qint64 userId);
// Replaces the user's counties by the list, as it stands (repeats kept), in one
// transaction; an empty list removes them all.
void saveCounties(Database& db, qint64 userId, const QStringList& counties);

// User names are unique without regard to letter case and trailing blanks, as the
// login matches them.
const UniqueRule& userNameRule();

// True for the administrator's row, which this screen neither edits nor deletes.
bool isAdministratorName(const QString& userName);

// What the user entry dialog writes.
struct UserFields {
    QString us, ps, lev, ostan, semat, mobile, nam, status;
};

enum class UserSave {
    Saved,
    NoName,        // the user name is blank
    Duplicate,     // another user has this name
    Administrator, // the administrator's row is not changed here
};

// Adds a user (empty version, the password stored as a hash) and writes the log
// record " ثبت کاربر جديد " + us + " " + ostan for `actor`. `newId` receives the key.
UserSave addUser(Database& db, const UserFields& fields, const QString& actor, qint64* newId = nullptr);

// Edits the user `id` loaded with `loaded` (the columns the screen read): an empty
// password keeps the stored one, any other is stored as a new hash. A row changed
// meanwhile throws RecordChanged with nothing written. Log record " ويرايش کاربر ".
UserSave updateUser(Database& db, qint64 id, const UserFields& fields, const QVariantMap& loaded, const QString& actor);

// Deletes the user with the user's page and county rights, in one transaction, and
// writes the log record " حذف کاربر " + us + " " + ostan.
UserSave deleteUser(Database& db, qint64 id, const QVariantMap& loaded, const QString& actor);

// The search of the users screen: every enabled filter (an empty optional is off)
// matches anywhere in its column.
struct UserFilters {
    std::optional<QString> us, ostan, nam, lev;
};
struct UserQuery {
    QString where; // " and ..." conditions after "where id<>-1"
    QVariantList params;
};
UserQuery userQuery(Database& db, const UserFilters& filters);
// The grid's statement (every column but the password) and the export's, with the
// texts trimmed.
QString userListSql(const UserQuery& q);
QString userExportSql(const UserQuery& q);
int countUsers(Database& db, const UserQuery& q);
// The export's header texts by column.
QHash<QString, QString> userExportTitles();

} // namespace tarvest

#pragma once
// Connection profiles: where the program finds its database.
//
// "Local" reads the user's saved connection settings (written by the connection
// settings screen): a PostgreSQL server with a login and password ("SQL Server"), a
// PostgreSQL server with the operating system's own authentication ("Windows"), or a
// single SQLite file ("Access"). With no settings saved it uses the embedded database.
// "Internet" reads the central server and its login from a system-wide file.
#include <QString>

#include <memory>

class QSettings;

namespace tarvest {

class Database;

enum class Profile { Internet = 0, Local = 1 };

// The saved settings, under the value names the settings screen writes. Names are
// matched without regard to case when read.
struct ConnectionSettings {
    QString server;         // TarvestSqlServerName: server name or address; file path for "Access"
    QString database;       // TarvestDataBase
    QString authentication; // TarvestAuthentication: "SQL Server", "Windows" or "Access"
    QString userName;       // TarvestUserName
    QString password;       // TarvestPassword, unscrambled
    QString systemType;     // TarvestSystemType (kept, not needed here)

    static ConnectionSettings read(QSettings& store);
    void write(QSettings& store) const;
    // True when the store holds any connection value.
    static bool exist(QSettings& store);
};

// The per-user store of the settings (readable by its owner only).
std::unique_ptr<QSettings> userSettings();
// A settings file at path that is readable by its owner only from its creation on; an
// existing file that others could read is narrowed first.
std::unique_ptr<QSettings> ownerOnlySettings(const QString& path);
void restrictToOwner(QSettings& store);

// The reversible transformation of the stored server password: reverse the text and
// lower (scramble) or raise (unscramble) every character code by one.
QString scramblePassword(const QString& password);
QString unscramblePassword(const QString& stored);

// Why a connection failed, as the caller reacts to it.
struct ConnectionFailure {
    enum class Kind {
        InternetUnreachable, // "از اتصال خود به اينترنت مطمئن شويد"
        ServerRefused,       // server settings wrong or server unreachable
        FileMissing,         // the database file is not there
        UnknownKind,         // an authentication kind the program does not know
        // The Internet profile's settings file is readable by every account.
        CentralSettingsExposed,
    };
    Kind kind;
    QString reason;          // the database's own reason, for the record
    QString message() const; // the Persian message shown to the user
};

// Where the Internet profile's settings live; the environment variable
// TARVEST_INTERNET_CONFIG names another file (tests, unusual installations).
QString internetConfigPath();

// Opens the database of a profile. Throws ConnectionFailure.
std::unique_ptr<Database> openProfile(Profile profile, QSettings& store, const QString& embeddedPath = {});
// Opens the database the given settings name (what the Local profile does with the
// saved ones). Throws ConnectionFailure.
std::unique_ptr<Database> openSettings(const ConnectionSettings& settings);

// Why a connection failed, in Persian words an office can act on: the server
// refused, the host is unknown, the password was wrong, no such database, ...
QString connectionProblem(const ConnectionFailure& failure);

// Which database is open, for the windows: the file's path, or server and database.
QString describeDatabase(const Database& db);
// Which database a profile will open, before it is opened.
QString describeProfile(Profile profile, QSettings& store, const QString& embeddedPath = {});

} // namespace tarvest

#include "db/connection.h"

#include "common/bidi.h"
#include "common/errors.h"
#include "db/database.h"
#include "db/embedded.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

#include <algorithm>

namespace tarvest {

namespace {

const char* const kServer = "TarvestSqlServerName";
const char* const kDatabase = "TarvestDataBase";
const char* const kAuthentication = "TarvestAuthentication";
const char* const kUserName = "TarvestUserName";
const char* const kPassword = "TarvestPassword";
const char* const kSystemType = "TarvestSystemType";

// The value of a name written in any case ("tarvestSqlServerName" and
// "TarvestSqlServerName" are one value); a missing value reads as empty text.
QString readValue(QSettings& store, const char* name)
{
    const QString wanted = QString::fromLatin1(name);
    const QStringList keys = store.childKeys();
    for (const QString& key : keys)
        if (key.compare(wanted, Qt::CaseInsensitive) == 0)
            return store.value(key).toString();
    return {};
}

void writeValue(QSettings& store, const char* name, const QString& value)
{
    const QString wanted = QString::fromLatin1(name);
    for (const QString& key : store.childKeys())
        if (key.compare(wanted, Qt::CaseInsensitive) == 0 && key != wanted)
            store.remove(key);
    store.setValue(wanted, value);
}

// A server written as "host:port" or "host,port" reaches that port.
void splitServer(const QString& server, PgParams& p)
{
    QString host = server.trimmed();
    const qsizetype sep = std::max(host.lastIndexOf(u':'), host.lastIndexOf(u','));
    if (sep > 0) {
        bool ok = false;
        const int port = host.mid(sep + 1).toInt(&ok);
        if (ok) {
            p.port = port;
            host = host.left(sep);
        }
    }
    p.host = host;
}

std::unique_ptr<Database> openServer(const PgParams& p)
{
    try {
        return Database::openPostgres(p);
    } catch (const Error& e) {
        throw ConnectionFailure{ConnectionFailure::Kind::ServerRefused, e.message()};
    }
}

} // namespace

ConnectionSettings ConnectionSettings::read(QSettings& store)
{
    ConnectionSettings s;
    s.server = readValue(store, kServer);
    s.database = readValue(store, kDatabase);
    s.authentication = readValue(store, kAuthentication);
    s.userName = readValue(store, kUserName);
    s.password = unscramblePassword(readValue(store, kPassword));
    s.systemType = readValue(store, kSystemType);
    return s;
}

void ConnectionSettings::write(QSettings& store) const
{
    writeValue(store, kServer, server);
    writeValue(store, kDatabase, database);
    writeValue(store, kAuthentication, authentication);
    writeValue(store, kUserName, userName);
    writeValue(store, kPassword, scramblePassword(password));
    store.sync();
    restrictToOwner(store);
}

bool ConnectionSettings::exist(QSettings& store)
{
    for (const char* name : {kServer, kDatabase, kAuthentication, kUserName, kPassword})
        if (!readValue(store, name).isEmpty())
            return true;
    return false;
}

std::unique_ptr<QSettings> userSettings()
{
    const QSettings located(QSettings::NativeFormat, QSettings::UserScope, QCoreApplication::organizationName(),
                            QCoreApplication::applicationName());
    return ownerOnlySettings(located.fileName());
}

std::unique_ptr<QSettings> ownerOnlySettings(const QString& path)
{
    // The file is made empty and owner-only before anything is written to it: QSettings
    // then writes through a temporary file that takes the existing file's permissions,
    // so the saved server password is never readable by others, whatever the umask.
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly, QFileDevice::ReadOwner | QFileDevice::WriteOwner))
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner); // an older, wider file
    file.close();
    return std::make_unique<QSettings>(path, QSettings::NativeFormat);
}

void restrictToOwner(QSettings& store)
{
    if (QFileInfo::exists(store.fileName()))
        QFile::setPermissions(store.fileName(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

QString scramblePassword(const QString& password)
{
    QString out;
    out.reserve(password.size());
    for (qsizetype i = password.size() - 1; i >= 0; --i)
        out.append(QChar(char16_t(password.at(i).unicode() - 1)));
    return out;
}

QString unscramblePassword(const QString& stored)
{
    QString out;
    out.reserve(stored.size());
    for (qsizetype i = stored.size() - 1; i >= 0; --i)
        out.append(QChar(char16_t(stored.at(i).unicode() + 1)));
    return out;
}

QString ConnectionFailure::message() const
{
    switch (kind) {
    case Kind::InternetUnreachable:
        return QStringLiteral("از اتصال خود به اينترنت مطمئن شويد");
    case Kind::FileMissing:
        return QStringLiteral("فايل اكسس يافت نشد");
    case Kind::CentralSettingsExposed:
        return QStringLiteral("فايل تنظيمات سرور مرکزي (%1) را همه کاربران اين رايانه مي توانند بخوانند و به همين دليل "
                              "استفاده نشد؛ لطفا با مدير شبکه تماس حاصل کنيد تا دسترسي ديگران به آن را بردارد")
            .arg(reason);
    case Kind::ServerRefused:
    case Kind::UnknownKind:
        break;
    }
    return QStringLiteral("تنظيمات اتصال به بانک اطلاعاتي اشتباه انجام شده است، لطفا با مدير شبکه تماس حاصل کنيد");
}

QString internetConfigPath()
{
    const QString given = qEnvironmentVariable("TARVEST_INTERNET_CONFIG");
    return given.isEmpty() ? QStringLiteral("/etc/tarvest/internet.conf") : given;
}

std::unique_ptr<Database> openProfile(Profile profile, QSettings& store, const QString& embeddedPath)
{
    if (profile == Profile::Internet) {
        const QString path = internetConfigPath();
        if (!QFileInfo::exists(path))
            throw ConnectionFailure{ConnectionFailure::Kind::InternetUnreachable,
                                    QStringLiteral("no central server configured in %1").arg(path)};
        // The file holds the central server's password: one that every account on the
        // workstation may read is refused (owner and group, such as the office's staff
        // group, may read it).
        if (QFileInfo(path).permissions() & QFileDevice::ReadOther)
            throw ConnectionFailure{ConnectionFailure::Kind::CentralSettingsExposed, path};
        QSettings central(path, QSettings::IniFormat);
        PgParams p;
        splitServer(central.value(QStringLiteral("server")).toString(), p);
        if (central.contains(QStringLiteral("port")))
            p.port = central.value(QStringLiteral("port")).toInt();
        p.database = central.value(QStringLiteral("database"), QStringLiteral("tarvest")).toString();
        p.user = central.value(QStringLiteral("user")).toString();
        p.password = central.value(QStringLiteral("password")).toString();
        try {
            return Database::openPostgres(p);
        } catch (const Error& e) {
            throw ConnectionFailure{ConnectionFailure::Kind::InternetUnreachable, e.message()};
        }
    }

    if (!ConnectionSettings::exist(store)) {
        try {
            return openEmbeddedDatabase(embeddedPath);
        } catch (const Error& e) {
            throw ConnectionFailure{ConnectionFailure::Kind::FileMissing, e.message()};
        }
    }
    return openSettings(ConnectionSettings::read(store));
}

std::unique_ptr<Database> openSettings(const ConnectionSettings& s)
{
    if (s.authentication == QLatin1String("SQL Server")) {
        PgParams p;
        splitServer(s.server, p);
        p.database = s.database;
        p.user = s.userName;
        p.password = s.password;
        return openServer(p);
    }
    if (s.authentication == QLatin1String("Windows")) {
        // The operating system's own authentication: through the local socket when the
        // server is this machine, otherwise as the saved user without a password.
        PgParams p;
        const QString server = s.server.trimmed();
        if (!(server.isEmpty() || server == QLatin1String(".")
              || server.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0
              || server.compare(QLatin1String("(local)"), Qt::CaseInsensitive) == 0))
            splitServer(server, p);
        p.database = s.database;
        p.user = s.userName.isEmpty() ? qEnvironmentVariable("USER") : s.userName;
        return openServer(p);
    }
    if (s.authentication == QLatin1String("Access")) {
        if (!QFileInfo(s.server).isFile())
            throw ConnectionFailure{ConnectionFailure::Kind::FileMissing, s.server};
        try {
            return Database::openSqlite(s.server, false);
        } catch (const Error& e) {
            throw ConnectionFailure{ConnectionFailure::Kind::FileMissing, e.message()};
        }
    }
    throw ConnectionFailure{ConnectionFailure::Kind::UnknownKind, s.authentication};
}

QString connectionProblem(const ConnectionFailure& failure)
{
    const QString why = failure.reason;
    auto has = [&why](const char* text) { return why.contains(QLatin1String(text), Qt::CaseInsensitive); };
    switch (failure.kind) {
    case ConnectionFailure::Kind::InternetUnreachable:
    case ConnectionFailure::Kind::CentralSettingsExposed:
        return failure.message();
    case ConnectionFailure::Kind::FileMissing:
        return QStringLiteral("فايل بانک اطلاعاتي يافت نشد يا باز نشد: %1").arg(why);
    case ConnectionFailure::Kind::UnknownKind:
        return QStringLiteral("نوع اتصال «%1» شناخته نيست.").arg(why);
    case ConnectionFailure::Kind::ServerRefused:
        break;
    }
    if (has("could not translate host name") || has("Name or service not known") || has("nodename nor servname"))
        return QStringLiteral("نام سرور شناخته نشد؛ نام يا نشاني سرور را بررسي کنيد.");
    if (has("Connection refused"))
        return QStringLiteral("سرور اتصال را نپذيرفت؛ PostgreSQL روي اين سرور و درگاه در حال کار نيست.");
    if (has("timeout expired") || has("timed out") || has("No route to host") || has("Network is unreachable"))
        return QStringLiteral("سرور پاسخ نداد؛ شبکه يا نشاني سرور را بررسي کنيد.");
    if (has("password authentication failed") || has("no password supplied") || has("authentication failed")
        || has("Peer authentication failed") || (has("role") && has("does not exist")))
        return QStringLiteral("نام کاربري يا رمز عبور پذيرفته نشد.");
    if (has("database") && has("does not exist"))
        return QStringLiteral("بانک اطلاعاتي با اين نام روي سرور وجود ندارد.");
    return QStringLiteral("اتصال برقرار نشد: %1").arg(why);
}

QString describeDatabase(const Database& db)
{
    if (db.kind() == DbKind::Sqlite)
        return QStringLiteral("فايل بانک اطلاعاتي: %1").arg(isolateLeftToRight(db.description()));
    const PgParams p = PgParams::parse(db.description());
    return QStringLiteral("سرور PostgreSQL: %1، بانک اطلاعاتي: %2")
        .arg(isolateLeftToRight((p.host.isEmpty() ? QStringLiteral("localhost") : p.host) + u':'
                                + QString::number(p.port)),
             isolateLeftToRight(p.database));
}

QString describeProfile(Profile profile, QSettings& store, const QString& embeddedPath)
{
    if (profile == Profile::Internet)
        return QStringLiteral("سرور مرکزي (Internet)");
    if (!ConnectionSettings::exist(store))
        return QStringLiteral("فايل بانک اطلاعاتي: %1")
            .arg(isolateLeftToRight(embeddedPath.isEmpty() ? embeddedDatabasePath() : embeddedPath));
    const ConnectionSettings s = ConnectionSettings::read(store);
    if (s.authentication == QLatin1String("Access"))
        return QStringLiteral("فايل بانک اطلاعاتي: %1").arg(isolateLeftToRight(s.server));
    return QStringLiteral("سرور PostgreSQL: %1، بانک اطلاعاتي: %2")
        .arg(isolateLeftToRight(s.server), isolateLeftToRight(s.database));
}

} // namespace tarvest

// Connection profiles: saved settings, the password scrambling, and which database
// each profile opens.
#include "db/connection.h"
#include "db/database.h"
#include "testdb.h"

#include <QFile>
#include <QSettings>

#include <sys/stat.h>

using namespace tarvest;
using namespace tarvest::test;

namespace {

QSettings* store(QTemporaryDir& dir)
{
    return new QSettings(dir.filePath("tarvest.conf"), QSettings::IniFormat);
}

// The permission bits of a file, as ls shows them.
mode_t modeOf(const QString& path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return mode_t(-1);
    return st.st_mode & 0777;
}

// Runs with the given umask and restores the previous one afterwards.
struct Umask {
    explicit Umask(mode_t mask) : previous(::umask(mask)) {}
    ~Umask() { ::umask(previous); }
    mode_t previous;
};

TEST(PasswordScramble, ReversesAndShiftsAndRoundTrips)
{
    EXPECT_EQ(scramblePassword("abc"), QString("b") + QChar(u'a') + QChar(96));
    EXPECT_EQ(unscramblePassword(QString("ba") + QChar(96)), "abc");
    EXPECT_EQ(scramblePassword(""), "");
    for (const QString& p : {QString("korvex@*#"), QStringLiteral("رمز ۱۲۳"), QString(QChar(0)) + "x"})
        EXPECT_EQ(unscramblePassword(scramblePassword(p)), p);
}

TEST(ConnectionSettings, ValueNamesAreReadWithoutRegardToCaseAndThePasswordIsStoredScrambled)
{
    QTemporaryDir dir;
    std::unique_ptr<QSettings> s(store(dir));
    EXPECT_FALSE(ConnectionSettings::exist(*s));
    s->setValue("tarvestSqlServerName", "db.ostan.local");
    s->setValue("TARVESTAUTHENTICATION", "SQL Server");
    EXPECT_TRUE(ConnectionSettings::exist(*s));
    ConnectionSettings c = ConnectionSettings::read(*s);
    EXPECT_EQ(c.server, "db.ostan.local");
    EXPECT_EQ(c.authentication, "SQL Server");
    EXPECT_EQ(c.database, "");

    c.database = "Tarvest";
    c.userName = "sa";
    c.password = "korvex@*#";
    c.write(*s);
    EXPECT_EQ(s->value("TarvestPassword").toString(), scramblePassword("korvex@*#"));
    EXPECT_FALSE(s->contains("tarvestSqlServerName")) << "one value per name, whatever its case";
    EXPECT_EQ(ConnectionSettings::read(*s).password, "korvex@*#");
    EXPECT_EQ(QFile::permissions(s->fileName()) & (QFileDevice::ReadOther | QFileDevice::ReadGroup), 0)
        << "the settings file is readable by its owner only";
}

TEST(ConnectionSettings, TheFileIsReadableByItsOwnerOnlyFromItsCreation)
{
    QTemporaryDir dir;
    const Umask anyoneMayRead(0); // a naive file would come out readable and writable by everyone
    const QString path = dir.filePath("config/vartalis/Tarvest.conf");
    {
        std::unique_ptr<QSettings> s = ownerOnlySettings(path);
        EXPECT_EQ(modeOf(path), mode_t(0600)) << "before anything is written";
        ConnectionSettings{"db.office", "Tarvest", "SQL Server", "sa", "korvex@*#", {}}.write(*s);
        s->setValue("lastUser", "ali");
        s->sync();
        EXPECT_EQ(s->status(), QSettings::NoError);
        EXPECT_EQ(modeOf(path), mode_t(0600)) << "after saving";
    }
    EXPECT_EQ(ConnectionSettings::read(*ownerOnlySettings(path)).password, "korvex@*#");
    EXPECT_EQ(modeOf(path), mode_t(0600));

    // A file an earlier version left readable by others is narrowed and keeps its values.
    const QString older = dir.filePath("older.conf");
    {
        QSettings wide(older, QSettings::IniFormat);
        ConnectionSettings{"db.office", "Tarvest", "SQL Server", "sa", "pw", {}}.write(wide);
    }
    ASSERT_TRUE(
        QFile::setPermissions(older, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther));
    EXPECT_EQ(ConnectionSettings::read(*ownerOnlySettings(older)).password, "pw");
    EXPECT_EQ(modeOf(older), mode_t(0600));
}

TEST(ConnectionProfiles, ACentralSettingsFileReadableByEveryoneIsRefused)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("internet.conf");
    {
        QSettings central(path, QSettings::IniFormat);
        central.setValue("server", "127.0.0.1:1"); // nothing listens: an allowed file fails to connect
        central.setValue("password", "central-secret");
    }
    qputenv("TARVEST_INTERNET_CONFIG", path.toUtf8());
    std::unique_ptr<QSettings> s(store(dir));
    struct Case {
        mode_t mode;
        ConnectionFailure::Kind kind;
    };
    const Case cases[] = {
        {0644, ConnectionFailure::Kind::CentralSettingsExposed},
        {0604, ConnectionFailure::Kind::CentralSettingsExposed},
        {0640, ConnectionFailure::Kind::InternetUnreachable}, // the staff group may read it
        {0600, ConnectionFailure::Kind::InternetUnreachable},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), c.mode), 0);
        try {
            openProfile(Profile::Internet, *s);
            ADD_FAILURE() << "connected with mode " << std::oct << c.mode;
        } catch (const ConnectionFailure& f) {
            EXPECT_EQ(int(f.kind), int(c.kind)) << std::oct << c.mode;
            if (c.kind == ConnectionFailure::Kind::CentralSettingsExposed) {
                EXPECT_TRUE(f.message().startsWith(QStringLiteral("فايل تنظيمات سرور مرکزي")))
                    << f.message().toStdString();
                EXPECT_TRUE(f.message().contains(path));
            } else {
                EXPECT_EQ(f.message(), QStringLiteral("از اتصال خود به اينترنت مطمئن شويد"));
            }
        }
    }
    qunsetenv("TARVEST_INTERNET_CONFIG");
}

TEST(ConnectionProfiles, LocalWithoutSettingsOpensTheEmbeddedDatabase)
{
    QTemporaryDir dir;
    std::unique_ptr<QSettings> s(store(dir));
    auto db = openProfile(Profile::Local, *s, dir.filePath("embedded/tarvest.sqlite"));
    EXPECT_EQ(db->kind(), DbKind::Sqlite);
    EXPECT_TRUE(db->tableExists("users"));
}

TEST(ConnectionProfiles, FailuresNameTheirKind)
{
    QTemporaryDir dir;
    struct Case {
        QString authentication, server;
        ConnectionFailure::Kind kind;
    };
    const Case cases[] = {
        {"Access", dir.filePath("missing.sqlite"), ConnectionFailure::Kind::FileMissing},
        {"Access", dir.path(), ConnectionFailure::Kind::FileMissing},
        {"Oracle", "x", ConnectionFailure::Kind::UnknownKind},
        {"SQL Server", "127.0.0.1:1", ConnectionFailure::Kind::ServerRefused},
    };
    for (const Case& c : cases) {
        std::unique_ptr<QSettings> s(store(dir));
        ConnectionSettings{c.server, "Tarvest", c.authentication, "sa", "x", {}}.write(*s);
        try {
            openProfile(Profile::Local, *s);
            ADD_FAILURE() << "connected with " << c.authentication.toStdString();
        } catch (const ConnectionFailure& f) {
            EXPECT_EQ(int(f.kind), int(c.kind)) << c.authentication.toStdString();
            EXPECT_FALSE(f.message().isEmpty());
        }
    }
    EXPECT_EQ((ConnectionFailure{ConnectionFailure::Kind::FileMissing, {}}).message(),
              QStringLiteral("فايل اكسس يافت نشد"));

    qputenv("TARVEST_INTERNET_CONFIG", dir.filePath("none.conf").toUtf8());
    std::unique_ptr<QSettings> s(store(dir));
    try {
        openProfile(Profile::Internet, *s);
        ADD_FAILURE();
    } catch (const ConnectionFailure& f) {
        EXPECT_EQ(f.message(), QStringLiteral("از اتصال خود به اينترنت مطمئن شويد"));
    }
    qunsetenv("TARVEST_INTERNET_CONFIG");
}

TEST(ConnectionProfiles, FileKindOpensTheSavedFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("office.sqlite");
    Database::openSqlite(path, true)->exec("CREATE TABLE marker (a integer)");
    std::unique_ptr<QSettings> s(store(dir));
    ConnectionSettings{path, "", "Access", "", "", {}}.write(*s);
    EXPECT_TRUE(openProfile(Profile::Local, *s)->tableExists("marker"));
}

TEST(ConnectionProfiles, ServerKindAndInternetReachPostgres)
{
    if (!postgresAvailable())
        GTEST_SKIP() << "no PostgreSQL server given (TARVEST_TEST_PG)";
    const PgParams server = PgParams::parse(qEnvironmentVariable("TARVEST_TEST_PG"));
    QTemporaryDir dir;
    std::unique_ptr<QSettings> s(store(dir));
    ConnectionSettings{server.host + ":" + QString::number(server.port),
                       server.database,
                       "SQL Server",
                       server.user,
                       server.password,
                       {}}
        .write(*s);
    EXPECT_EQ(openProfile(Profile::Local, *s)->kind(), DbKind::Postgres);

    QSettings central(dir.filePath("internet.conf"), QSettings::IniFormat);
    central.setValue("server", server.host);
    central.setValue("port", server.port);
    central.setValue("database", server.database);
    central.setValue("user", server.user);
    central.sync();
    QFile::setPermissions(central.fileName(), QFile::ReadOwner | QFile::WriteOwner);
    qputenv("TARVEST_INTERNET_CONFIG", central.fileName().toUtf8());
    EXPECT_EQ(openProfile(Profile::Internet, *s)->kind(), DbKind::Postgres);
    qunsetenv("TARVEST_INTERNET_CONFIG");
}

} // namespace

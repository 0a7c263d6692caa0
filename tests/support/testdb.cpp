#include "testdb.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

#include <atomic>

namespace tarvest::test {

std::vector<Backend> allBackends()
{
    return {Backend::Sqlite, Backend::Postgres};
}

std::string backendName(Backend b)
{
    return b == Backend::Sqlite ? "Sqlite" : "Postgres";
}

bool postgresAvailable()
{
    return !qEnvironmentVariableIsEmpty("TARVEST_TEST_PG");
}

TempDatabase::TempDatabase(Backend backend) : m_backend(backend)
{
    if (backend == Backend::Sqlite) {
        m_location = m_dir.filePath(QStringLiteral("test.sqlite"));
        m_db = Database::openSqlite(m_location, true);
        return;
    }
    if (!postgresAvailable())
        return;
    static std::atomic<int> counter{0};
    const PgParams server = PgParams::parse(qEnvironmentVariable("TARVEST_TEST_PG"));
    m_pgName = QStringLiteral("tarvest_test_%1_%2").arg(QCoreApplication::applicationPid()).arg(++counter);
    {
        auto admin = Database::openPostgres(server);
        admin->exec("DROP DATABASE IF EXISTS " + m_pgName);
        admin->exec("CREATE DATABASE " + m_pgName + " TEMPLATE template0 ENCODING 'UTF8'");
    }
    PgParams mine = server;
    mine.database = m_pgName;
    m_location = mine.toConninfo();
    if (!mine.password.isEmpty())
        m_location += " password=" + mine.password;
    m_db = Database::openPostgres(mine);
}

TempDatabase::~TempDatabase()
{
    m_db.reset();
    if (!m_pgName.isEmpty()) {
        try {
            auto admin = Database::openPostgres(qEnvironmentVariable("TARVEST_TEST_PG"));
            admin->exec("DROP DATABASE IF EXISTS " + m_pgName + " WITH (FORCE)");
        } catch (...) {
        }
    }
}

std::unique_ptr<Database> TempDatabase::openAnother() const
{
    return m_backend == Backend::Sqlite ? Database::openSqlite(m_location, false) : Database::openPostgres(m_location);
}

} // namespace tarvest::test

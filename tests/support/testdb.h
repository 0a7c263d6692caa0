#pragma once
// Fresh databases for the tests: a new SQLite file, and a new PostgreSQL database
// on the server named by TARVEST_TEST_PG (the test script starts a throwaway one).
#include "db/database.h"

#include <QTemporaryDir>

#include <memory>
#include <string>
#include <vector>

namespace tarvest::test {

enum class Backend { Sqlite, Postgres };

// Every backend; Postgres is skipped by TempDatabase users when no server is given.
std::vector<Backend> allBackends();
std::string backendName(Backend b);
bool postgresAvailable();

// A database that exists for the life of the object. On Postgres without a
// server the constructor leaves db() null; callers GTEST_SKIP then.
class TempDatabase {
public:
    explicit TempDatabase(Backend backend);
    ~TempDatabase();
    Database* db() { return m_db.get(); }
    Backend backend() const { return m_backend; }
    // Where the database lives: the SQLite file path, or a libpq conninfo.
    QString location() const { return m_location; }
    // A second connection to the same database, as a second workstation has.
    std::unique_ptr<Database> openAnother() const;

private:
    Backend m_backend;
    QTemporaryDir m_dir;
    QString m_location;
    QString m_pgName;
    std::unique_ptr<Database> m_db;
};

} // namespace tarvest::test

#include <gtest/gtest.h>

namespace tarvest::test {

inline void PrintTo(Backend b, std::ostream* os)
{
    *os << backendName(b);
}

// Base of the tests that run once per database kind.
class DbTest : public ::testing::TestWithParam<Backend> {
protected:
    void SetUp() override
    {
        tmp = std::make_unique<TempDatabase>(GetParam());
        if (!tmp->db())
            GTEST_SKIP() << "no PostgreSQL server given (TARVEST_TEST_PG)";
        db = tmp->db();
    }
    std::unique_ptr<TempDatabase> tmp;
    Database* db = nullptr;
};

} // namespace tarvest::test

#define TARVEST_FOR_EACH_DATABASE(Suite)                                                                               \
    INSTANTIATE_TEST_SUITE_P(Db, Suite, ::testing::ValuesIn(::tarvest::test::allBackends()),                           \
                             [](const auto& info) { return ::tarvest::test::backendName(info.param); })

// Readable QString values in assertion messages.
inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}

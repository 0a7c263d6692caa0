#pragma once
// What every benchmark shares: its memory and CPU report, the run on each database, and
// its failures' report.
#include "common/errors.h"
#include "db/database.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <cstdio>
#include <functional>

// The process's peak resident memory so far, in MiB.
inline long peakRssMiB()
{
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return ru.ru_maxrss / 1024;
}

// CPU time (user and system, every thread) of this process, or of its finished
// children, in ms: steadier than the wall clock on a busy machine.
inline double cpuMs(int who = RUSAGE_SELF)
{
    rusage ru{};
    getrusage(who, &ru);
    return (ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) * 1e3 + (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e3;
}

namespace bench {

// Runs `body` on a fresh SQLite database in `dir` (kind "SQLite"), then, when
// TARVEST_TEST_PG names a server, on a PostgreSQL database made for the run, named
// tarvest_bench_<name>_<process id> (kind "PostgreSQL"), which is dropped afterwards.
inline void onEachDatabase(const QTemporaryDir& dir, const char* name,
                           const std::function<void(const char* kind, tarvest::Database& db)>& body)
{
    using tarvest::Database;
    auto sqlite = Database::openSqlite(dir.filePath(QStringLiteral("bench.sqlite")));
    body("SQLite", *sqlite);

    const QString server = qEnvironmentVariable("TARVEST_TEST_PG");
    if (server.isEmpty())
        return;
    const QString database =
        QStringLiteral("tarvest_bench_%1_%2").arg(QLatin1String(name)).arg(QCoreApplication::applicationPid());
    tarvest::PgParams p = tarvest::PgParams::parse(server);
    {
        auto admin = Database::openPostgres(p);
        admin->exec(QStringLiteral("CREATE DATABASE ") + database);
    }
    {
        tarvest::PgParams mine = p;
        mine.database = database;
        auto pg = Database::openPostgres(mine);
        body("PostgreSQL", *pg);
    }
    auto admin = Database::openPostgres(p);
    admin->exec(QStringLiteral("DROP DATABASE ") + database + QStringLiteral(" WITH (FORCE)"));
}

// A benchmark's main body: an Error it throws is printed, and the exit status is 1.
inline int reportingErrors(const std::function<void()>& body)
{
    try {
        body();
    } catch (const tarvest::Error& e) {
        std::fprintf(stderr, "%s\n", e.message().toUtf8().constData());
        return 1;
    }
    return 0;
}

} // namespace bench

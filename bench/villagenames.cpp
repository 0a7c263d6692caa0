// The case screen's village-names maintenance over a gazetteer of N villages (half of
// them with a keheh in the name): wall time on SQLite, and on PostgreSQL when
// TARVEST_TEST_PG names a server (a database is made and dropped for the run).
//   bench_villagenames [villages]
#include "cases/core/caserules.h"
#include "db/database.h"
#include "db/provision.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include "benchsupport.h"

#include <cstdio>

using namespace tarvest;

namespace {

void fill(Database& db, int villages)
{
    provision(db);
    db.exec(
        QStringLiteral(
            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < ?) "
            "INSERT INTO abadiha (ostan, shahrestan, rosta) SELECT ?, ?, "
            "CASE WHEN i % 2 = 0 THEN ? || CAST(i AS varchar(10)) ELSE ? || CAST(i AS varchar(10)) END FROM n"),
        {villages, QStringLiteral("فارس"), QStringLiteral("لارستان"), QStringLiteral("کلاته "), QStringLiteral("ده ")});
}

void run(const char* kind, Database& db, int villages)
{
    fill(db, villages);
    QElapsedTimer t;
    t.start();
    const int changed = normaliseVillageNames(db);
    std::printf("%s: %d villages, %d renamed in %.3f s, peak RSS %ld MiB\n", kind, villages, changed,
                t.elapsed() / 1000.0, peakRssMiB());
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int villages = argc > 1 ? atoi(argv[1]) : 20000;
    return bench::reportingErrors([&] {
        QTemporaryDir tmp;
        bench::onEachDatabase(tmp, "villages", [&](const char* kind, Database& db) { run(kind, db, villages); });
    });
}

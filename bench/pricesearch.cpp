// The price search over N assessments (50,000 by default) spread over 60 counties, for
// a provincial user who sees 6 of them: the count and the keys of the search with the
// county restriction alone and with a letter filter, the first page of rows, and a walk
// over every row found; wall time on SQLite, and on PostgreSQL when TARVEST_TEST_PG
// names a server (a database is made and dropped for the run).
//   bench_pricesearch [assessments]
#include "db/database.h"
#include "db/provision.h"
#include "db/resultset.h"
#include "pricing/core/pricing.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include "benchsupport.h"

#include <cstdio>

using namespace tarvest;

namespace {

constexpr int kCounties = 60;

void fill(Database& db, int rows)
{
    provision(db);
    db.exec(
        QStringLiteral(
            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < ?) "
            "INSERT INTO ghimat (city, bakhsh, dehestan, rosta, abadi_cod, karbari, sal, tamin, paper_no, paper_dat, "
            "arzesh, vagozari, paye_zarib, paye, mojaver12, mojaver16, mojaver_max, khadamati) "
            "SELECT ? || CAST(i % ? AS varchar(10)), ?, ?, ? || CAST(i AS varchar(10)), CAST(i AS varchar(10)), "
            "?, '1402', ?, CAST(i AS varchar(10)) || '/ص', '1403/02/10', 1000000 + i, ?, 1.5, 1500000, "
            "1500000, 1650000, 1800000, 1000000 FROM n"),
        {rows, QStringLiteral("شهرستان "), kCounties, QStringLiteral("بخش مركزي"), QStringLiteral("دهستان"),
         QStringLiteral("روستاي "), QStringLiteral("مسكوني"), QStringLiteral("منابع طبيعي"), QStringLiteral("عادي")});
    for (int c = 0; c < 6; ++c)
        db.insert(QStringLiteral("dastrasi2"),
                  {{QStringLiteral("user_id"), 8}, {QStringLiteral("cmt"), QStringLiteral("شهرستان %1").arg(c)}});
}

double timed(const std::function<void()>& f)
{
    QElapsedTimer t;
    t.start();
    f();
    return t.nsecsElapsed() / 1e6;
}

void run(const char* kind, Database& db, int rows)
{
    fill(db, rows);
    const LoginState user{QStringLiteral("8"), QStringLiteral("ostan"), QStringLiteral("ostan1")};
    pricing::PriceFilters byLetter;
    byLetter.paperNo = QStringLiteral("12");
    for (const auto& [label, filters] : {std::pair{"county restriction", pricing::PriceFilters{}},
                                         std::pair{"restriction + letter \"12\"", byLetter}}) {
        const pricing::PriceQuery q = pricing::buildPriceSearch(filters, user, db.kind());
        qint64 count = 0;
        const double countMs = timed([&] { count = db.scalar(q.countSql, q.params).toLongLong(); });
        ResultSet rs(&db);
        const double openMs = timed([&] { rs.open(q.paged); });
        const double firstPageMs = timed([&] {
            for (int r = 0; r < std::min(256, rs.recordCount()); ++r)
                rs.textAt(r, 1);
        });
        qint64 sum = 0;
        const double walkMs = timed([&] {
            const int col = rs.fieldIndex(QStringLiteral("arzesh"));
            for (int r = 0; r < rs.recordCount(); ++r)
                sum += rs.valueAt(r, col).toLongLong();
        });
        std::printf("%s, %d assessments, %s: %lld found; count %.1f ms, keys %.1f ms, first page %.1f ms, "
                    "walk of every row %.1f ms; peak RSS %ld MiB\n",
                    kind, rows, label, count, countMs, openMs, firstPageMs, walkMs, peakRssMiB());
        if (sum == -1)
            std::printf("\n");
    }
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int rows = argc > 1 ? atoi(argv[1]) : 50000;
    return bench::reportingErrors([&] {
        QTemporaryDir tmp;
        bench::onEachDatabase(tmp, "prices", [&](const char* kind, Database& db) { run(kind, db, rows); });
    });
}

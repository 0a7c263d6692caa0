// Fee documents at an office's scale: N documents (with their distribution) and N/2 other
// experts' rows, then the fee search with its count, totals and band1 and its grid rows
// read, with a county and a year filter and without, and the statement by source built
// and read: wall and CPU times on SQLite, and on PostgreSQL when TARVEST_TEST_PG names a
// server (a database is made and dropped for the run).
//   bench_fees [documents]
#include "db/database.h"
#include "db/provision.h"
#include "db/resultset.h"
#include "fees/core/distribution.h"
#include "fees/core/feedocs.h"
#include "fees/prints/core/statement.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSqlQuery>
#include <QTemporaryDir>

#include "benchsupport.h"

#include <algorithm>
#include <cstdio>

using namespace tarvest;

namespace {

void fill(Database& db, int documents)
{
    db.begin();
    for (int i = 0; i < documents; ++i) {
        fees::FeeInputs in;
        in.receipts = i % 4 == 0;
        in.rostaCnt = QString::number(10 + i % 300);
        in.shahrCnt = QString::number(i % 50);
        in.ozvCnt = QStringLiteral("5");
        in.ozvMablagh = 2500000;
        in.vartalisSahm = in.sabtSahm = 1250000;
        in.fishMablagh = in.receipts ? 12345678901 : 0;
        in.fishMablagh2 = in.receipts ? 9876543210 : 0;
        in.percentTexts = fees::defaultPercentTexts();
        QVariantMap row{{"city", QStringLiteral("شهرستان %1").arg(i % 300)},
                        {"sal", QString::number(1370 + i / 300)},
                        {"fish", in.receipts ? 1 : 0},
                        {"rosta_cnt", in.rostaCnt},
                        {"shahr_cnt", in.shahrCnt},
                        {"ozv_cnt", 5},
                        {"ozv_mablagh", in.ozvMablagh},
                        {"vartalis_sahm", in.vartalisSahm},
                        {"sabt_sahm", in.sabtSahm},
                        {"fish_mablagh", in.fishMablagh},
                        {"fish_mablagh2", in.fishMablagh2}};
        for (const auto& [column, text] : fees::distribute(in))
            row.insert(column, text);
        const qint64 id = db.insert(QStringLiteral("asnad"), row);
        if (i % 2 == 0)
            db.insert(QStringLiteral("sayerkar"), {{"asnad_id", id},
                                                   {"nam", QStringLiteral("کارشناس %1").arg(i % 400)},
                                                   {"darsad", 25},
                                                   {"mablagh", row.value("sayer_kar").toLongLong() / 4}});
    }
    db.commit();
}

void search(const char* what, Database& db, const fees::FeeFilters& f)
{
    QElapsedTimer t;
    t.start();
    const double cpu = cpuMs();
    const fees::FeeTotals totals = fees::feeTotals(db, f);
    ResultSet rs(&db);
    rs.open(fees::feeSearchQuery(db, f));
    // The grid's first screenful and the last row, as a user scrolling to the end reads them.
    for (int r = 0; r < std::min(40, rs.recordCount()); ++r)
        rs.valueAt(r, 1);
    if (rs.recordCount() > 0)
        rs.valueAt(rs.recordCount() - 1, 1);
    std::printf("  search %s: %d rows, band1 %s; %.3f s (CPU %.0f ms)\n", what, rs.recordCount(),
                qPrintable(totals.band1), t.elapsed() / 1000.0, cpuMs() - cpu);
}

void run(const char* kind, Database& db, int documents)
{
    provision(db);
    QElapsedTimer t;
    t.start();
    fill(db, documents);
    std::printf("%s: %d documents and %d other experts' rows written in %.3f s\n", kind, documents, (documents + 1) / 2,
                t.elapsed() / 1000.0);
    search("without filters", db, {});
    search("county and year", db, {QStringLiteral("شهرستان 12"), QStringLiteral("139"), {}});
    search("receipts only", db, {{}, {}, QStringLiteral("1")});

    t.restart();
    const double cpu = cpuMs();
    fees::fillStatement(db, false);
    ResultSet rows(&db);
    rows.open(fees::bySourceQuery(db.kind()));
    int n = 0;
    for (rows.first(); !rows.eof(); rows.next())
        ++n;
    std::printf("  statement by source: %d rows built and read in %.3f s (CPU %.0f ms); peak RSS %ld MiB\n", n,
                t.elapsed() / 1000.0, cpuMs() - cpu, peakRssMiB());
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int documents = argc > 1 ? atoi(argv[1]) : 10000;
    return bench::reportingErrors([&] {
        QTemporaryDir tmp;
        bench::onEachDatabase(tmp, "fees", [&](const char* kind, Database& db) { run(kind, db, documents); });
    });
}

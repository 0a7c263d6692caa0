// Replacing the village gazetteer from an .xlsx sheet of N villages (read, checked and
// written in one transaction), then the gazetteer search with two filters (count and
// list) over it: wall times on SQLite, and on PostgreSQL when TARVEST_TEST_PG names a
// server (a database is made and dropped for the run).
//   bench_gazetteer [villages]
#include "admin/core/gazetteer.h"
#include "common/spreadsheet.h"
#include "db/database.h"
#include "db/provision.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSqlQuery>
#include <QTemporaryDir>

#include "benchsupport.h"

#include <cstdio>

using namespace tarvest;

namespace {

// A made-up country: 30 provinces, 10 counties each, 4 districts, 5 rural districts.
struct Villages : SheetSource {
    int n;
    explicit Villages(int count) : n(count) {}
    int columnCount() const override { return 7; }
    QString columnName(int c) const override { return gazetteerColumns()[c].caption; }
    int rowCount() const override { return n; }
    QString text(int r, int c) const override
    {
        switch (c) {
        case 0:
            return QStringLiteral("%1").arg(r + 1, 7, 10, QLatin1Char('0'));
        case 1:
            return QStringLiteral("استان %1").arg(r % 30);
        case 2:
            return QStringLiteral("شهرستان %1").arg(r % 300);
        case 3:
            return QStringLiteral("شهر %1").arg(r % 300);
        case 4:
            return QStringLiteral("بخش %1").arg(r % 1200);
        case 5:
            return QStringLiteral("دهستان %1").arg(r % 6000);
        default:
            return QStringLiteral("روستا %1").arg(r);
        }
    }
};

void run(const char* kind, Database& db, const QString& sheetPath)
{
    provision(db);
    QElapsedTimer t;
    t.start();
    const QList<Village> villages = gazetteerFromSheet(readSheet(sheetPath, QStringLiteral("Sheet1")));
    const double readSeconds = t.elapsed() / 1000.0;
    t.restart();
    const int n = replaceGazetteer(db, villages);
    const double replaceSeconds = t.elapsed() / 1000.0;

    GazetteerFilters f;
    f.ostan = QStringLiteral("استان 7");
    f.rosta = QStringLiteral("روستا 12");
    t.restart();
    const qint64 count = countVillages(db, f);
    const SqlWithParams list = gazetteerListQuery(db, f);
    QSqlQuery q = db.exec(list.sql, list.params);
    int rows = 0;
    while (q.next())
        ++rows;
    const double searchSeconds = t.elapsed() / 1000.0;
    std::printf("%s: %d villages; sheet read and checked %.3f s, replaced %.3f s; "
                "search with two filters %.3f s (%lld counted, %d listed); peak RSS %ld MiB\n",
                kind, n, readSeconds, replaceSeconds, searchSeconds, static_cast<long long>(count), rows, peakRssMiB());
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int villages = argc > 1 ? atoi(argv[1]) : 60000;
    return bench::reportingErrors([&] {
        QTemporaryDir tmp;
        const QString sheet = tmp.filePath(QStringLiteral("gazetteer.xlsx"));
        QElapsedTimer t;
        t.start();
        writeXlsx(sheet, Villages(villages), {});
        std::printf("sheet of %d villages written in %.3f s\n", villages, t.elapsed() / 1000.0);

        bench::onEachDatabase(tmp, "gazetteer", [&](const char* kind, Database& db) { run(kind, db, sheet); });
    });
}

// Replacing the land data from an .xlsx sheet of N rows x 58 columns (read, mapped onto
// the 54 land columns and written to `arazi` and `sh` in one transaction): wall times on
// SQLite, and on PostgreSQL when TARVEST_TEST_PG names a server (a database is made and
// dropped for the run). The floor: the same rows, as CSV, loaded by the sqlite3
// command-line shell's ".import" into a fresh table.
//   bench_lands [rows]
#include "lands/core/lands.h"
#include "common/errors.h"
#include "common/spreadsheet.h"
#include "db/database.h"
#include "db/provision.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include "benchsupport.h"

#include <cstdio>

using namespace tarvest;

namespace {

// Survey rows with texts of the usual lengths: places, figures, dates and a sentence.
struct LandSheet : SheetSource {
    int n;
    explicit LandSheet(int count) : n(count) {}
    int columnCount() const override { return 58; }
    QString columnName(int c) const override { return QStringLiteral("ستون %1").arg(c + 1); }
    int rowCount() const override { return n; }
    QString text(int r, int c) const override
    {
        switch (c % 6) {
        case 0:
            return QStringLiteral("شهرستان %1").arg(r % 300);
        case 1:
            return QString::number(r * 7 + c);
        case 2:
            return QStringLiteral("روستاي %1").arg(r);
        case 3:
            return QStringLiteral("1403/%1/%2")
                .arg(1 + r % 12, 2, 10, QLatin1Char('0'))
                .arg(1 + c % 28, 2, 10, QLatin1Char('0'));
        case 4:
            return QStringLiteral("مكاتبه با فرمانداري انجام شد و پاسخ آن در پرونده است");
        default:
            return QStringLiteral("دارد");
        }
    }
};

QString csvField(const QString& s)
{
    QString q = s;
    q.replace(u'"', QStringLiteral("\"\""));
    return u'"' + q + u'"';
}

// Wall seconds and this process's CPU seconds of one whole replacement.
struct Times {
    double wall = 0, cpu = 0;
};

Times replaceTimes(const char* kind, Database& db, const QString& sheetPath, int expected)
{
    provision(db);
    const double cpu0 = cpuMs();
    QElapsedTimer t;
    t.start();
    const QList<QStringList> rows = landRowsFromSheet(readSheet(sheetPath, QStringLiteral("Sheet1")));
    const double read = t.elapsed() / 1000.0;
    t.restart();
    const int n = replaceLands(db, rows);
    const double write = t.elapsed() / 1000.0;
    const double cpu = (cpuMs() - cpu0) / 1000.0;
    if (n != expected)
        throw Error(QStringLiteral("rows written: %1").arg(n));
    std::printf("%s: %d rows; sheet read and mapped %.3f s, replaced (arazi and sh) %.3f s, total %.3f s wall, "
                "%.3f s CPU of this process; peak RSS %ld MiB\n",
                kind, n, read, write, read + write, cpu, peakRssMiB());
    return {read + write, cpu};
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int rows = argc > 1 ? atoi(argv[1]) : 10000;
    return bench::reportingErrors([&] {
        QTemporaryDir tmp;
        const QString sheet = tmp.filePath(QStringLiteral("lands.xlsx"));
        const LandSheet source(rows);
        writeXlsx(sheet, source, {});

        // The floor: sqlite3's own CSV import of the same 58 columns.
        const QString csv = tmp.filePath(QStringLiteral("lands.csv"));
        {
            QFile f(csv);
            if (!f.open(QIODevice::WriteOnly))
                throw Error(QStringLiteral("csv not written"));
            QStringList line;
            for (int c = 0; c < 58; ++c)
                line << csvField(QStringLiteral("c%1").arg(c));
            f.write((line.join(u',') + u'\n').toUtf8());
            for (int r = 0; r < rows; ++r) {
                line.clear();
                for (int c = 0; c < 58; ++c)
                    line << csvField(source.text(r, c));
                f.write((line.join(u',') + u'\n').toUtf8());
            }
        }
        QElapsedTimer t;
        t.start();
        QProcess sqlite3;
        sqlite3.start(QStringLiteral("sqlite3"),
                      {tmp.filePath(QStringLiteral("floor.sqlite")), QStringLiteral(".import --csv %1 sh").arg(csv)});
        if (!sqlite3.waitForFinished(600000) || sqlite3.exitCode() != 0)
            throw Error(QStringLiteral("sqlite3 .import failed: ") + QString::fromUtf8(sqlite3.readAllStandardError()));
        const double floor = t.elapsed() / 1000.0;
        const double floorCpu = cpuMs(RUSAGE_CHILDREN) / 1000.0;
        std::printf("floor: sqlite3 .import of %d CSV rows x 58 columns %.3f s wall, %.3f s CPU\n", rows, floor,
                    floorCpu);

        bench::onEachDatabase(tmp, "lands", [&](const char* kind, Database& db) {
            const Times times = replaceTimes(kind, db, sheet, rows);
            if (db.kind() == DbKind::Sqlite)
                std::printf("SQLite / floor: %.1f wall, %.1f CPU\n", times.wall / floor, times.cpu / floorCpu);
            else
                std::printf("PostgreSQL / floor: %.1f wall (the server's own work not in CPU)\n", times.wall / floor);
        });
    });
}

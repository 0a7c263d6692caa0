// Migrating the old program's database: a Management Studio data script (UTF-16 with its
// mark, as Management Studio writes by default) of N cases, 2 % of them with a picture,
// and optionally one very large picture, run through `tarvest-admin migrate` into a new
// SQLite file (and into a PostgreSQL database when TARVEST_TEST_PG names a server): wall
// time and the command's peak memory. The floor: the same rows, as CSV, loaded by the
// sqlite3 command-line shell's ".import" into the same tables.
//   bench_migrate [cases] [picture KiB] [one extra picture of MiB]
#include "common/errors.h"
#include "db/database.h"
#include "db/provision.h"
#include "db/schema.h"
#include "legacyscriptwriter.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "benchsupport.h"

#include <spawn.h>
#include <sys/wait.h>

#include <vector>

#include <cstdio>

using namespace tarvest;
using tarvest::test::LegacyScriptShape;
using tarvest::test::LegacyScriptWriter;

namespace {

// A case's value for a column: the texts, dates and figures an office types.
QVariant caseValue(const Column& c, int r)
{
    if (c.name == QLatin1String("pk"))
        return r + 1;
    if (c.name.endsWith(QLatin1String("_dat")))
        return QStringLiteral("1402/%1/%2")
            .arg(1 + r % 12, 2, 10, QLatin1Char('0'))
            .arg(1 + r % 28, 2, 10, QLatin1Char('0'));
    if (c.name == QLatin1String("darkhast"))
        return QStringLiteral("سید محمدعلی کریمی‌پور %1").arg(r);
    if (c.name == QLatin1String("city"))
        return QStringLiteral("شهرستان %1").arg(r % 30);
    if (c.name == QLatin1String("rosta"))
        return QStringLiteral("روستای %1").arg(r % 900);
    if (c.name == QLatin1String("cmt"))
        return r % 7 ? QVariant() : QVariant(QStringLiteral("پرونده 'ویژه'\r\nپیگیری شود"));
    if (c.type == ColType::Text)
        return QStringLiteral("استان نمونه");
    const int w = c.width;
    if (w >= 50)
        return QStringLiteral("نظر کارشناس: با تغییر کاربری موافقت می‌شود %1")
            .arg(r)
            .left(w);
    return QString::number(qint64(r) * 7919 % 1000000000).left(w);
}

QString csvField(const QVariant& v, const Column& c)
{
    if (v.isNull())
        return {};
    QString q = c.type == ColType::Blob ? QString::fromLatin1(v.toByteArray().toHex()) : v.toString();
    q.replace(u'"', QStringLiteral("\"\""));
    return u'"' + q + u'"';
}

struct Run {
    double wall = 0;
    long peakMiB = 0;
};

// Runs a program to its end: its wall time and its own peak memory.
Run runChild(const QString& program, const QStringList& args)
{
    QList<QByteArray> words{program.toLocal8Bit()};
    for (const QString& a : args)
        words << a.toLocal8Bit();
    std::vector<char*> argv;
    for (QByteArray& w : words)
        argv.push_back(w.data());
    argv.push_back(nullptr);
    QElapsedTimer t;
    t.start();
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        throw Error(QStringLiteral("%1 did not start").arg(program));
    int status = 0;
    rusage ru{};
    if (wait4(pid, &status, 0, &ru) < 0)
        throw Error(QStringLiteral("%1: wait failed").arg(program));
    Run r;
    r.wall = t.elapsed() / 1000.0;
    r.peakMiB = ru.ru_maxrss / 1024;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw Error(QStringLiteral("%1 failed").arg(program));
    return r;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int cases = argc > 1 ? atoi(argv[1]) : 100000;
    const int pictureKiB = argc > 2 ? atoi(argv[2]) : 100;
    const int largeMiB = argc > 3 ? atoi(argv[3]) : 0;
    return bench::reportingErrors([&] {
        QTemporaryDir tmp(QStringLiteral("/tmp/tarvest-bench-migrate-XXXXXX"));
        const QString script = tmp.filePath(QStringLiteral("legacy.sql"));
        const QString casesCsv = tmp.filePath(QStringLiteral("komision.csv"));
        const QString picturesCsv = tmp.filePath(QStringLiteral("komision_pic.csv"));
        const Table& kom = *findTable(QStringLiteral("komision"));
        const Table& pics = *findTable(QStringLiteral("komision_pic"));
        QByteArray picture(pictureKiB * 1024, Qt::Uninitialized);
        for (qsizetype i = 0; i < picture.size(); ++i)
            picture[i] = char((i * 2654435761u) >> 13);

        QElapsedTimer gen;
        gen.start();
        {
            LegacyScriptShape shape;
            LegacyScriptWriter w(script, shape);
            QFile cc(casesCsv), pc(picturesCsv);
            if (!cc.open(QIODevice::WriteOnly) || !pc.open(QIODevice::WriteOnly))
                throw Error(QStringLiteral("csv not written"));
            QStringList names;
            for (const Column& c : kom.columns)
                names << c.name;
            w.beginRows(kom.name, names, true);
            for (int r = 0; r < cases; ++r) {
                QStringList literals, fields;
                for (const Column& c : kom.columns) {
                    const QVariant v = caseValue(c, r);
                    literals << LegacyScriptWriter::literal(c, v);
                    fields << csvField(v, c);
                }
                w.row(literals);
                cc.write((fields.join(u',') + u'\n').toUtf8());
            }
            w.endRows();
            names.clear();
            for (const Column& c : pics.columns)
                names << c.name;
            w.beginRows(pics.name, names, true);
            int pk = 0;
            for (int r = 0; r < cases; r += 50) {
                const QVariantList v{++pk, r + 1, QStringLiteral(".jpg"), picture, QStringLiteral("نقشه")};
                QStringList literals, fields;
                for (int i = 0; i < pics.columns.size(); ++i) {
                    literals << LegacyScriptWriter::literal(pics.columns[i], v[i]);
                    fields << csvField(v[i], pics.columns[i]);
                }
                w.row(literals);
                pc.write((fields.join(u',') + u'\n').toUtf8());
            }
            if (largeMiB > 0) {
                // One very large file, as a scanned map of many pages.
                w.raw(QStringLiteral("INSERT [dbo].[komision_pic] ([pk], [cod], [ext], [pic], [cmt]) VALUES (%1, 1, "
                                     "N'.tif', 0x")
                          .arg(++pk));
                const QString piece = QString::fromLatin1(QByteArray(1024 * 1024, '\x5a').toHex());
                for (int i = 0; i < largeMiB; ++i)
                    w.raw(piece);
                w.raw(QStringLiteral(", N'نقشه بزرگ')\r\n"));
            }
            w.endRows();
            w.finish();
        }
        const double scriptMiB = QFileInfo(script).size() / (1024.0 * 1024.0);
        std::printf("script: %d cases, %d pictures of %d KiB%s; %.0f MiB (UTF-16), written in %.1f s\n", cases,
                    (cases + 49) / 50, pictureKiB,
                    largeMiB > 0 ? qPrintable(QStringLiteral(" and one of %1 MiB").arg(largeMiB)) : "", scriptMiB,
                    gen.elapsed() / 1000.0);

        // The floor: sqlite3 loading the same rows from CSV into the same tables.
        const QString floorDb = tmp.filePath(QStringLiteral("floor.sqlite"));
        {
            auto db = Database::openSqlite(floorDb);
            provision(*db, FirstRunRows::Omit);
        }
        const Run floor = runChild(QStringLiteral("sqlite3"),
                                   {floorDb, QStringLiteral(".import --csv %1 komision").arg(casesCsv),
                                    QStringLiteral(".import --csv %1 komision_pic").arg(picturesCsv)});
        std::printf("floor (sqlite3 .import of the same rows from CSV): %.2f s, peak %ld MiB\n", floor.wall,
                    floor.peakMiB);

        const QString target = tmp.filePath(QStringLiteral("migrated.sqlite"));
        const Run sqlite = runChild(QStringLiteral(TARVEST_ADMIN_EXE),
                                    {QStringLiteral("migrate"), script, QStringLiteral("--sqlite"), target});
        std::printf("SQLite: migrated in %.2f s (%.2f x the floor), peak %ld MiB\n", sqlite.wall,
                    sqlite.wall / floor.wall, sqlite.peakMiB);

        const QString server = qEnvironmentVariable("TARVEST_TEST_PG");
        if (!server.isEmpty()) {
            const QString name = QStringLiteral("tarvest_bench_migrate_%1").arg(QCoreApplication::applicationPid());
            PgParams p = PgParams::parse(server);
            Database::openPostgres(p)->exec(QStringLiteral("CREATE DATABASE ") + name);
            PgParams mine = p;
            mine.database = name;
            const Run pg = runChild(QStringLiteral(TARVEST_ADMIN_EXE),
                                    {QStringLiteral("migrate"), script, QStringLiteral("--pg"), mine.toConninfo()});
            std::printf("PostgreSQL: migrated in %.2f s (%.2f x the SQLite floor), peak %ld MiB\n", pg.wall,
                        pg.wall / floor.wall, pg.peakMiB);
            Database::openPostgres(p)->exec(QStringLiteral("DROP DATABASE ") + name + QStringLiteral(" WITH (FORCE)"));
        }
    });
}

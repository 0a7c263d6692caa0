// The case search over a large register, beside the database's own command-line tool
// running the same statements on the same data, in one run:
//   bench_ui_casesearch [rows] [sqlite|CONNINFO] [sqlite file to keep and reuse]
// It times, in the screen and in the tool (`sqlite3`, or `psql` on PostgreSQL):
//   - the search with no filter and with three filters: count and first rows shown
//     (the tool: the count and the key statement), and all keys in;
//   - sorting by the applicant's name (the tool: the same ORDER BY);
//   - going to the last row (the tool: reading that page of rows by key);
//   - exporting every row to .xlsx (the tool: every row to a CSV file).
// With a PostgreSQL conninfo it works in a new database on that server and drops it.
#include "cases/casesearchscreen.h"
#include "cases/core/caseexport.h"
#include "cases/core/casesearch.h"
#include "common/errors.h"
#include "db/database.h"
#include "db/provision.h"
#include "db/resultset.h"
#include "db/session.h"
#include "widgets/appearance.h"
#include "widgets/dateedit.h"
#include "widgets/screen.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QProcess>
#include <QTableView>
#include <QTemporaryDir>

#include "benchsupport.h"

#include <cstdio>

using namespace tarvest;

namespace {

// The generator of the register: cases spread over six counties, 500 villages, two
// request kinds and four years, each with its own applicant. One statement, so a
// million cases take seconds.
void fill(Database& db, int rows)
{
    const bool pg = db.kind() == DbKind::Postgres;
    const QString two = pg ? QStringLiteral("lpad((%1)::text, 2, '0')") : QStringLiteral("printf('%02d', %1)");
    const QString date = QStringLiteral("'14' || %1 || '/' || %2 || '/' || %3")
                             .arg(two.arg("i % 4 + 1"), two.arg("i % 12 + 1"), two.arg("i % 28 + 1"));
    const QString text = pg ? QStringLiteral("(%1)::text") : QStringLiteral("CAST(%1 AS TEXT)");
    const QString series = pg ? QStringLiteral("generate_series(0, %1 - 1) AS g(i)").arg(rows) : QStringLiteral("n");
    const QString with = pg ? QString()
                            : QStringLiteral(
                                  "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < %1 - 1) ")
                                  .arg(rows);
    const QString sql = QStringLiteral(
                            "INSERT INTO komision (paper_no, paper_dat, city, rosta, darkhast, manzor, metraj, "
                            "masahat_khales, price_metr, melk_arzesh, malek_pardakhti, malek_varizi, reg_dat, "
                            "komision_t_k_dat, ostan, taeid_zamin, karbar) ")
                        + with + QStringLiteral("SELECT ") + text.arg("i") + " || '/' || " + text.arg("i % 97") + ", "
                        + date
                        + QStringLiteral(", CASE i % 6 WHEN 0 THEN 'اروميه' WHEN 1 THEN 'خوي' WHEN 2 THEN 'مياندوآب' "
                                         "WHEN 3 THEN 'مهاباد' WHEN 4 THEN 'بوكان' ELSE 'نقده' END, 'روستاي ' || ")
                        + text.arg("i % 500") + ", 'متقاضي ' || " + text.arg("i")
                        + QStringLiteral(", CASE i % 2 WHEN 0 THEN 'تغيير كاربري' ELSE 'افزايش محدوده' END, ")
                        + text.arg("200 + i % 3000") + ", " + text.arg("150 + i % 2800") + ", "
                        + text.arg("1000000 + i % 5000") + ", " + text.arg("300000000 + i")
                        + QStringLiteral(", '28350000', '14175000', ") + date + ", " + date
                        + QStringLiteral(
                            ", 'آذربايجان غربي', CASE WHEN i % 3 = 0 THEN 'تاييد امور زمين' ELSE '' END, 'admin' FROM ")
                        + series;
    db.exec(sql);
    if (pg)
        db.exec(QStringLiteral("ANALYZE komision"));
}

// A statement with its values written in, for the command-line tool.
QString literal(QString sql, const QVariantList& params)
{
    QString out;
    int p = 0;
    for (const QChar c : sql) {
        if (c == u'?' && p < params.size()) {
            const QVariant& v = params[p++];
            if (v.typeId() == QMetaType::QString)
                out += u'\'' + v.toString().replace(u'\'', QStringLiteral("''")) + u'\'';
            else
                out += v.toString();
        } else {
            out += c;
        }
    }
    return out;
}

// Wall and CPU time of one measure, in ms.
struct Cost {
    double wall = 0, cpu = 0;
};

// Times f, wall and CPU of this process (every thread).
template <typename F>
Cost measure(F&& f)
{
    const double cpu0 = cpuMs();
    QElapsedTimer t;
    t.start();
    f();
    return {double(t.nsecsElapsed()) / 1e6, cpuMs() - cpu0};
}

struct Tool {
    QString program;
    QStringList args;
    // Runs a script of statements; their output goes to /dev/null. The server's own
    // work on PostgreSQL is in neither program's CPU time.
    Cost run(const QString& script) const
    {
        QProcess p;
        p.setStandardOutputFile(QProcess::nullDevice());
        const double cpu0 = cpuMs(RUSAGE_CHILDREN);
        QElapsedTimer t;
        t.start();
        p.start(program, args);
        p.write(script.toUtf8());
        p.closeWriteChannel();
        p.waitForFinished(-1);
        const double ms = double(t.nsecsElapsed()) / 1e6;
        if (p.exitCode() != 0)
            std::fprintf(stderr, "%s failed: %s\n", qPrintable(program), p.readAllStandardError().constData());
        return {ms, cpuMs(RUSAGE_CHILDREN) - cpu0};
    }
};

// The best of a few runs, wall and CPU each.
template <typename F>
Cost best(int times, F&& f)
{
    Cost b{1e300, 1e300};
    for (int i = 0; i < times; ++i) {
        const Cost c = f();
        b.wall = std::min(b.wall, c.wall);
        b.cpu = std::min(b.cpu, c.cpu);
    }
    return b;
}

struct Row {
    const char* what;
    Cost app, tool;
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    applyInterfaceLook(app);
    const int rows = argc > 1 ? QByteArray(argv[1]).toInt() : 100000;
    const QString where = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("sqlite");
    const QString keep = argc > 3 ? QString::fromLocal8Bit(argv[3]) : QString();

    QTemporaryDir dir;
    Session session;
    QString pgName;
    std::unique_ptr<Database> admin;
    Tool tool;
    bool filled = false;
    if (where == QLatin1String("sqlite")) {
        const QString file = keep.isEmpty() ? dir.filePath(QStringLiteral("bench.sqlite")) : keep;
        const bool reuse = QFileInfo::exists(file);
        session.setDatabase(Database::openSqlite(file));
        if (reuse && session.db()->tableExists("komision")
            && session.db()->scalar("SELECT count(*) FROM komision").toInt() == rows)
            filled = true;
        tool = {QStringLiteral("sqlite3"), {file}};
    } else {
        admin = Database::openPostgres(where);
        pgName = QStringLiteral("tarvest_bench_%1").arg(QCoreApplication::applicationPid());
        admin->exec("CREATE DATABASE " + pgName);
        PgParams p = PgParams::parse(where);
        p.database = pgName;
        session.setDatabase(Database::openPostgres(p));
        tool = {QStringLiteral("psql"),
                {QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-v"), QStringLiteral("ON_ERROR_STOP=1"),
                 where + " dbname=" + pgName}};
    }
    Database& db = *session.db();
    if (!filled) {
        provision(db);
        db.exec("DELETE FROM komision");
        QElapsedTimer t;
        t.start();
        fill(db, rows);
        std::printf("%s: filled %d cases in %.1f s\n", qPrintable(kindName(db.kind())), rows, t.elapsed() / 1000.0);
    }
    const bool pg = db.kind() == DbKind::Postgres;
    const long rssAfterFill = peakRssMiB();

    session.login = LoginState{QStringLiteral("1"), QStringLiteral("admin"), QStringLiteral("admin")};
    setModalShower([](QWidget*) {});
    Tkomision_rep screen(session);
    screen.resize(1200, 800);
    screen.show();
    QApplication::processEvents();
    auto* grid = screen.findChild<QTableView*>(QStringLiteral("DBGrid1"));
    ResultSet& cases = session.cases;

    // Count and first rows on the screen, then all keys in.
    Cost firstShown;
    double countShown = 0, cpuStart = 0;
    QElapsedTimer clock;
    QObject::connect(&cases, &ResultSet::counted, &screen, [&] { countShown = double(clock.nsecsElapsed()) / 1e6; });
    QObject::connect(&cases, &ResultSet::currentChanged, &screen, [&](int r) {
        if (r == 0 && firstShown.wall == 0) {
            grid->repaint();
            firstShown = {double(clock.nsecsElapsed()) / 1e6, cpuMs() - cpuStart};
        }
    });
    Cost firstBest{1e300, 1e300};
    auto search = [&] {
        firstShown = {};
        cpuStart = cpuMs();
        clock.start();
        const Cost all = measure([&] {
            screen.search();
            QApplication::processEvents();
            grid->repaint();
        });
        if (firstShown.wall == 0)
            firstShown = all;
        firstBest = {std::min(firstBest.wall, firstShown.wall), std::min(firstBest.cpu, firstShown.cpu)};
        return all;
    };
    auto toolSearch = [&] {
        const QVariantList params = cases.statementParams();
        return tool.run(literal(cases.countStatement(), params) + ";\n" + literal(cases.keyStatement(), params)
                        + ";\n");
    };

    std::vector<Row> table;
    tool.run(QStringLiteral("SELECT count(*) FROM komision;\n")); // both start from a warm cache
    const Cost allNoFilter = best(3, search);
    const QString shown = screen.findChild<QLabel*>(QStringLiteral("cnt"))->text();
    const Cost toolNoFilter = best(3, toolSearch);
    table.push_back({"search, no filter: count + first rows", firstBest, toolNoFilter});
    table.push_back({"search, no filter: all keys in", allNoFilter, toolNoFilter});
    {
        // The result set alone, without the grid: what the screen adds is the rest.
        const CaseQuery q = buildCaseSearch({}, session.login, db.kind());
        ResultSet bare(&db);
        table.push_back({"search, no filter: all keys in, without the grid",
                         best(3, [&] { return measure([&] { bare.open(q.paged); }); }), toolNoFilter});
    }
    std::printf("no filter: %s cases, the count shown after %.0f ms\n", qPrintable(shown), countShown);

    screen.findChild<QCheckBox*>(QStringLiteral("CheckBox2"))->setChecked(true);
    screen.findChild<QComboBox*>(QStringLiteral("city"))->setEditText(QStringLiteral("خوي"));
    screen.findChild<QCheckBox*>(QStringLiteral("CheckBox7"))->setChecked(true);
    screen.findChild<QCheckBox*>(QStringLiteral("CheckBox10"))->setChecked(true);
    screen.findChild<QComboBox*>(QStringLiteral("manzor"))->setEditText(QStringLiteral("افزايش محدوده"));
    screen.findChild<DateEdit*>(QStringLiteral("reg_dat1"))->setDateText(QStringLiteral("1402/01/01"));
    screen.findChild<DateEdit*>(QStringLiteral("reg_dat2"))->setDateText(QStringLiteral("1403/06/31"));
    firstBest = {1e300, 1e300};
    const Cost allThree = best(3, search);
    std::printf("county + registration dates + request type: %s cases\n",
                qPrintable(screen.findChild<QLabel*>(QStringLiteral("cnt"))->text()));
    const Cost toolThree = best(3, toolSearch);
    table.push_back({"search, three filters: count + first rows", firstBest, toolThree});
    table.push_back({"search, three filters: all keys in", allThree, toolThree});

    screen.findChild<QCheckBox*>(QStringLiteral("CheckBox2"))->setChecked(false);
    screen.findChild<QCheckBox*>(QStringLiteral("CheckBox7"))->setChecked(false);
    screen.findChild<QCheckBox*>(QStringLiteral("CheckBox10"))->setChecked(false);
    screen.search();

    // Sorting by the applicant's name through its column title, as a click does.
    const int darkhast = cases.fieldIndex(QStringLiteral("darkhast"));
    const Cost sortApp = best(3, [&] {
        cases.sort(QStringLiteral("pk"), Qt::AscendingOrder);
        return measure([&] {
            grid->model()->sort(darkhast, Qt::AscendingOrder);
            QApplication::processEvents();
            grid->repaint();
        });
    });
    const QString sortedKeys = cases.keyStatement();
    const Cost sortTool = best(3, [&] { return tool.run(literal(sortedKeys, cases.statementParams()) + ";\n"); });
    table.push_back({"sort by applicant name", sortApp, sortTool});
    std::printf("sorted: first %s, last %s\n", qPrintable(cases.textAt(0, darkhast)),
                qPrintable(cases.textAt(cases.recordCount() - 1, darkhast)));

    // The last row: its page is read by key.
    QVariantList lastKeys;
    const int pk = cases.fieldIndex(QStringLiteral("pk"));
    const Cost lastApp = best(3, [&] {
        cases.first();
        QApplication::processEvents();
        return measure([&] {
            cases.last();
            grid->scrollToBottom();
            QApplication::processEvents();
            grid->repaint();
        });
    });
    for (int r = std::max(0, cases.recordCount() - 256); r < cases.recordCount(); ++r)
        lastKeys << cases.valueAt(r, pk);
    const Cost lastTool = best(
        3, [&] { return tool.run(literal(cases.rowStatement(int(lastKeys.size())), lastKeys) + ";\n"); });
    table.push_back({"go to the last row", lastApp, lastTool});

    // Every row to a workbook; the tool writes every row to a CSV file.
    cases.sort(QStringLiteral("pk"), Qt::AscendingOrder);
    qint64 chars = 0;
    const Cost walk = measure([&] {
        for (int r = 0; r < cases.recordCount(); ++r)
            for (int c = 0; c < cases.fieldCount(); ++c)
                chars += cases.textAt(r, c).size();
    });
    const Cost exportApp = measure([&] { writeCaseListHtml(cases, dir.filePath(QStringLiteral("rep.xlsx"))); });
    const QString all = QStringLiteral("SELECT * FROM (") + cases.keyedQuery().select
                        + QStringLiteral(") s ORDER BY s.pk");
    const QString csv = dir.filePath(QStringLiteral("rep.csv"));
    const Cost exportTool = pg ? tool.run(QStringLiteral("\\copy (%1) TO '%2' WITH CSV\n").arg(all, csv))
                               : tool.run(QStringLiteral(".mode csv\n.once %2\n%1;\n").arg(all, csv));
    table.push_back({"read every cell of every row (tool: all rows to CSV)", walk, exportTool});
    table.push_back({"export all rows to .xlsx (tool: all rows to CSV)", exportApp, exportTool});
    std::printf("%lld characters in all cells\n", chars);

    std::printf("\n%s, %d cases (best of 3; the export once)\n", qPrintable(kindName(db.kind())), rows);
    std::printf("| Measure | Tarvest wall | %1$s wall | Ratio | Tarvest CPU | %1$s CPU | Ratio |\n"
                "|---|---|---|---|---|---|---|\n",
                qPrintable(tool.program));
    for (const Row& r : table)
        std::printf("| %s | %.0f ms | %.0f ms | %.2f | %.0f ms | %.0f ms | %.2f |\n", r.what, r.app.wall, r.tool.wall,
                    r.app.wall / r.tool.wall, r.app.cpu, r.tool.cpu, r.tool.cpu > 0 ? r.app.cpu / r.tool.cpu : 0.0);
    std::printf("peak RSS %ld MiB (after filling %ld MiB)\n", peakRssMiB(), rssAfterFill);

    session.setDatabase(nullptr);
    if (admin)
        admin->exec("DROP DATABASE " + pgName + " WITH (FORCE)");
    return 0;
}

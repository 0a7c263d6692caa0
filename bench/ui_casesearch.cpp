// The case search over a large register: fills N cases, then times the search (count
// and the result shown in the grid) with no filter and with three filters.
//   bench_ui_casesearch [rows] [sqlite|CONNINFO]
// With a PostgreSQL conninfo it works in a new database on that server and drops it.
#include "cases/casesearchscreen.h"
#include "cases/core/caseexport.h"
#include "common/errors.h"
#include "db/database.h"
#include "db/provision.h"
#include "db/session.h"
#include "widgets/appearance.h"
#include "widgets/dateedit.h"
#include "widgets/screen.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QSqlError>
#include <QSqlQuery>
#include <QTableView>
#include <QTemporaryDir>

#include "benchsupport.h"

#include <cstdio>

using namespace tarvest;

namespace {

void fill(Database& db, int rows)
{
    const QStringList cities = {QStringLiteral("اروميه"), QStringLiteral("خوي"), QStringLiteral("مياندوآب"),
                                QStringLiteral("مهاباد"), QStringLiteral("بوكان"), QStringLiteral("نقده")};
    const QStringList kinds = {QStringLiteral("تغيير كاربري"), QStringLiteral("افزايش محدوده")};
    db.begin();
    QSqlQuery q(db.handle());
    q.prepare(QStringLiteral("INSERT INTO komision (paper_no, paper_dat, city, rosta, darkhast, manzor, metraj, "
                             "masahat_khales, price_metr, melk_arzesh, malek_pardakhti, malek_varizi, reg_dat, "
                             "komision_t_k_dat, ostan, taeid_zamin, karbar) VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)"));
    for (int i = 0; i < rows; ++i) {
        const QString date = QStringLiteral("14%1/%2/%3").arg(i % 4 + 1, 2, 10, QLatin1Char('0'))
                                 .arg(i % 12 + 1, 2, 10, QLatin1Char('0')).arg(i % 28 + 1, 2, 10, QLatin1Char('0'));
        const QVariantList values = {
            QStringLiteral("%1/%2").arg(i).arg(i % 97), date, cities[i % cities.size()],
            QStringLiteral("روستاي %1").arg(i % 500), QStringLiteral("متقاضي %1").arg(i),
            kinds[i % 2], QString::number(200 + i % 3000), QString::number(150 + i % 2800),
            QString::number(1000000 + i % 5000), QString::number(300000000 + i), QStringLiteral("28350000"),
            QStringLiteral("14175000"), date, date, QStringLiteral("آذربايجان غربي"),
            i % 3 == 0 ? QStringLiteral("تاييد امور زمين") : QString(""), QStringLiteral("admin")};
        for (int v = 0; v < values.size(); ++v)
            q.bindValue(v, values[v]);
        if (!q.exec())
            throw Error(q.lastError().text());
    }
    db.commit();
}

double timeSearch(Tkomision_rep& screen)
{
    QElapsedTimer t;
    t.start();
    screen.search();
    QApplication::processEvents(); // the grid takes the new rows and paints
    screen.findChild<QTableView*>(QStringLiteral("DBGrid1"))->repaint();
    return double(t.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    applyInterfaceLook(app);
    const int rows = argc > 1 ? QByteArray(argv[1]).toInt() : 100000;
    const QString where = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("sqlite");

    QTemporaryDir dir;
    Session session;
    QString pgName;
    std::unique_ptr<Database> admin;
    if (where == QLatin1String("sqlite")) {
        session.setDatabase(Database::openSqlite(dir.filePath(QStringLiteral("bench.sqlite"))));
    } else {
        admin = Database::openPostgres(where);
        pgName = QStringLiteral("tarvest_bench_%1").arg(QCoreApplication::applicationPid());
        admin->exec("CREATE DATABASE " + pgName);
        PgParams p = PgParams::parse(where);
        p.database = pgName;
        session.setDatabase(Database::openPostgres(p));
    }
    provision(*session.db());
    QElapsedTimer t;
    t.start();
    fill(*session.db(), rows);
    std::printf("%s: filled %d cases in %.1f s\n", qPrintable(kindName(session.db()->kind())), rows, t.elapsed() / 1000.0);

    session.login = LoginState{QStringLiteral("1"), QStringLiteral("admin"), QStringLiteral("admin")};
    setModalShower([](QWidget*) {});
    Tkomision_rep screen(session);
    screen.resize(1200, 800);
    screen.show();
    QApplication::processEvents();

    const double all = timeSearch(screen);
    std::printf("search, no filter: %.0f ms, %s cases shown\n", all,
                qPrintable(screen.findChild<QLabel*>(QStringLiteral("cnt"))->text()));
    screen.findChild<QCheckBox*>(QStringLiteral("CheckBox2"))->setChecked(true);
    screen.findChild<QComboBox*>(QStringLiteral("city"))->setEditText(QStringLiteral("خوي"));
    screen.findChild<QCheckBox*>(QStringLiteral("CheckBox7"))->setChecked(true);
    screen.findChild<QCheckBox*>(QStringLiteral("CheckBox10"))->setChecked(true);
    screen.findChild<QComboBox*>(QStringLiteral("manzor"))->setEditText(QStringLiteral("افزايش محدوده"));
    screen.findChild<DateEdit*>(QStringLiteral("reg_dat1"))->setDateText(QStringLiteral("1402/01/01"));
    screen.findChild<DateEdit*>(QStringLiteral("reg_dat2"))->setDateText(QStringLiteral("1403/06/31"));
    const double three = timeSearch(screen);
    std::printf("search, county + registration dates + request type: %.0f ms, %s cases shown\n", three,
                qPrintable(screen.findChild<QLabel*>(QStringLiteral("cnt"))->text()));
    // The export of the whole register, as a table file and as a workbook.
    screen.findChild<QCheckBox*>(QStringLiteral("CheckBox2"))->setChecked(false);
    screen.findChild<QCheckBox*>(QStringLiteral("CheckBox7"))->setChecked(false);
    screen.findChild<QCheckBox*>(QStringLiteral("CheckBox10"))->setChecked(false);
    screen.search();
    for (const char* name : {"rep.xls", "rep.xlsx"}) {
        QElapsedTimer e;
        e.start();
        writeCaseListHtml(session.cases, dir.filePath(QLatin1String(name)));
        std::printf("export of %d cases to %s: %.0f ms\n", session.cases.recordCount(), name, e.elapsed() * 1.0);
    }
    std::printf("peak RSS %ld MiB\n", peakRssMiB());

    session.setDatabase(nullptr);
    if (admin)
        admin->exec("DROP DATABASE " + pgName + " WITH (FORCE)");
    return 0;
}

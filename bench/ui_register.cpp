// The register "فرم شماره 12" over a large result: fills N cases, opens them as the case
// search does, and times writing the register to a PDF file; prints the page count, the
// time and the peak resident memory.
//   bench_ui_register [rows]          (default 1000)
#include "common/errors.h"
#include "db/database.h"
#include "db/provision.h"
#include "db/session.h"
#include "cases/prints/caseprints.h"
#include "reports/reportrenderer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <cstdio>

using namespace tarvest;

namespace {

long peakRssMiB()
{
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return ru.ru_maxrss / 1024;
}

void fill(Database& db, int rows)
{
    const QStringList cities = {QStringLiteral("اروميه"), QStringLiteral("خوي"), QStringLiteral("مياندوآب")};
    db.begin();
    QSqlQuery q(db.handle());
    q.prepare(QStringLiteral("INSERT INTO komision (paper_no, paper_dat, city, rosta, abadi_cod, moshaver, tasvib_dat, "
                             "darkhast, phone, manzor, m_paper_no, m_paper_dat, sanad, karbari1, karbari2, metraj, "
                             "bazdid_dat, reg_dat, komision_t_k_dat, komision_t_k, tasvib_b_dat, tasvib_result, "
                             "tasvib_paper_no, tasvib_paper_dat, cmt) "
                             "VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)"));
    for (int i = 0; i < rows; ++i) {
        const QString date = QStringLiteral("1403/%1/%2").arg(i % 12 + 1, 2, 10, QLatin1Char('0'))
                                 .arg(i % 28 + 1, 2, 10, QLatin1Char('0'));
        const QVariantList values = {
            QStringLiteral("%1/12").arg(4000 + i), date, cities[i % cities.size()], QStringLiteral("روستاي %1").arg(i % 500),
            QString::number(230000 + i), QStringLiteral("طرح و انديشه"), date, QStringLiteral("متقاضي %1").arg(i),
            QStringLiteral("0914%1").arg(3000000 + i), QStringLiteral("تغيير كاربري"), QString::number(800 + i), date,
            QStringLiteral("شش دانگ"), QStringLiteral("باغ"), QStringLiteral("مسكوني"), QString::number(200 + i % 3000),
            date, date, date, QStringLiteral("موافقت شد"), date, QStringLiteral("تصويب شد"),
            QStringLiteral("%1/ص").arg(7000 + i), date, QStringLiteral("پرونده كامل است")};
        for (int v = 0; v < values.size(); ++v)
            q.bindValue(v, values[v]);
        if (!q.exec())
            throw Error(QStringLiteral("insert failed"));
    }
    db.commit();
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const int rows = argc > 1 ? std::atoi(argv[1]) : 1000;
    try {
        QTemporaryDir dir;
        Session session;
        session.setDatabase(Database::openSqlite(dir.filePath(QStringLiteral("bench.sqlite"))));
        provision(*session.db());
        fill(*session.db(), rows);
        session.cases.open(QStringLiteral("select * from komision order by pk"));
        session.cases.moveTo(1);
        std::printf("cases: %d, peak RSS before printing: %ld MiB\n", session.cases.recordCount(), peakRssMiB());

        QElapsedTimer timer;
        timer.start();
        const caseprints::PreparedPrint p = caseprints::prepareRegister(session);
        const QString pdf = dir.filePath(QStringLiteral("register.pdf"));
        const int pages = report::renderToPdf(p.layout, p.data, pdf);
        const qint64 ms = timer.elapsed();
        std::printf("register to PDF: %d pages, %lld ms, %lld KiB, peak RSS %ld MiB, selected case %d\n", pages,
                    static_cast<long long>(ms), static_cast<long long>(QFileInfo(pdf).size() / 1024), peakRssMiB(),
                    session.cases.recNo());
    } catch (const Error& e) {
        std::fprintf(stderr, "%s\n", e.message().toLocal8Bit().constData());
        return 1;
    }
    return 0;
}

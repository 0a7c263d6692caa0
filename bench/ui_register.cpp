// The register "فرم شماره 12" over a large result: fills N cases, opens them as the case
// search does, and times writing the register to a PDF file; prints the page count, the
// time, the file size and the peak resident memory. Beside it, in the same run, a floor:
// a plain QPdfWriter loop that draws the same pages (the layout's boxes, the same texts
// in the same fonts, each cell with one drawText) and nothing else, and the ratios of
// the engine to the floor in time and in file size.
//   bench_ui_register [rows]          (default 1000)
#include "cases/prints/caseprints.h"
#include "common/errors.h"
#include "db/database.h"
#include "db/provision.h"
#include "db/session.h"
#include "reports/reportrenderer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPainter>
#include <QPdfWriter>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <limits>

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
        const QString date = QStringLiteral("1403/%1/%2")
                                 .arg(i % 12 + 1, 2, 10, QLatin1Char('0'))
                                 .arg(i % 28 + 1, 2, 10, QLatin1Char('0'));
        const QVariantList values = {QStringLiteral("%1/12").arg(4000 + i),
                                     date,
                                     cities[i % cities.size()],
                                     QStringLiteral("روستاي %1").arg(i % 500),
                                     QString::number(230000 + i),
                                     QStringLiteral("طرح و انديشه"),
                                     date,
                                     QStringLiteral("متقاضي %1").arg(i),
                                     QStringLiteral("0914%1").arg(3000000 + i),
                                     QStringLiteral("تغيير كاربري"),
                                     QString::number(800 + i),
                                     date,
                                     QStringLiteral("شش دانگ"),
                                     QStringLiteral("باغ"),
                                     QStringLiteral("مسكوني"),
                                     QString::number(200 + i % 3000),
                                     date,
                                     date,
                                     date,
                                     QStringLiteral("موافقت شد"),
                                     date,
                                     QStringLiteral("تصويب شد"),
                                     QStringLiteral("%1/ص").arg(7000 + i),
                                     date,
                                     QStringLiteral("پرونده كامل است")};
        for (int v = 0; v < values.size(); ++v)
            q.bindValue(v, values[v]);
        if (!q.exec())
            throw Error(QStringLiteral("insert failed"));
    }
    db.commit();
}

// The floor: the same pages drawn straight onto a QPdfWriter.
int floorPdf(const report::Layout& layout, const ResultSet& data, const QString& path)
{
    QPdfWriter writer(path);
    writer.setResolution(1200);
    writer.setPageLayout(layout.pageLayout());
    QPainter p(&writer);
    p.setRenderHint(QPainter::Antialiasing);
    const double s = writer.logicalDpiX() / 25.4;
    const double pageHeight = layout.printableSize().height();
    const report::Band* header = layout.band(report::BandKind::ColumnHeader);
    const report::Band* detail = layout.band(report::BandKind::Detail);
    auto rect = [&](const QRectF& mm, double y) {
        return QRectF(mm.x() * s, (mm.y() + y) * s, mm.width() * s, mm.height() * s);
    };
    auto drawBand = [&](const report::Band& band, double y, int row, int page) {
        for (const report::Element& e : band.elements) {
            const QRectF r = rect(e.rect, y);
            if (e.type == report::ElementType::Shape) {
                p.setPen(QPen(e.lineColor, e.lineWidth * s));
                p.setBrush(e.fill.isValid() ? QBrush(e.fill) : QBrush(Qt::NoBrush));
                if (e.shape == report::ShapeKind::HorizontalLine)
                    p.drawLine(QPointF(r.left(), r.center().y()), QPointF(r.right(), r.center().y()));
                else
                    p.drawRect(r);
                continue;
            }
            QString text;
            if (e.type == report::ElementType::Label)
                text = e.text;
            else if (e.type == report::ElementType::Field)
                text = data.textAt(row, data.fieldIndex(e.expression));
            else if (e.type == report::ElementType::System)
                text = QString::number(e.system == report::SystemValue::RowNumber ? row + 1 : page);
            if (text.isEmpty())
                continue;
            QFont font(report::fontEquivalent(e.fontFamily));
            font.setPointSizeF(e.fontSize);
            font.setBold(e.bold);
            p.setFont(font);
            p.setPen(e.color);
            p.drawText(r, int(e.alignment) | Qt::TextWordWrap, text);
        }
    };
    int page = 1;
    double y = 0;
    auto startPage = [&] {
        if (header)
            drawBand(*header, 0, -1, page);
        y = header ? header->height : 0;
    };
    startPage();
    for (int row = 0; row < data.recordCount(); ++row) {
        if (y + detail->height > pageHeight) {
            writer.newPage();
            ++page;
            startPage();
        }
        drawBand(*detail, y, row, page);
        y += detail->height;
    }
    p.end();
    return page;
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

        // The engine and the floor take turns, three times each; the best time of each
        // counts, so another program's load on the machine weighs on both alike.
        const caseprints::PreparedPrint p = caseprints::prepareRegister(session);
        const QString pdf = dir.filePath(QStringLiteral("register.pdf"));
        const QString floor = dir.filePath(QStringLiteral("floor.pdf"));
        qint64 ms = std::numeric_limits<qint64>::max();
        qint64 floorMs = std::numeric_limits<qint64>::max();
        int pages = 0;
        int floorPages = 0;
        for (int round = 0; round < 3; ++round) {
            QElapsedTimer timer;
            timer.start();
            pages = report::renderToPdf(p.layout, p.data, pdf);
            ms = std::min(ms, timer.elapsed());
            timer.restart();
            floorPages = floorPdf(p.layout, session.cases, floor);
            floorMs = std::min(floorMs, std::max<qint64>(1, timer.elapsed()));
        }
        const qint64 size = QFileInfo(pdf).size();
        const qint64 floorSize = QFileInfo(floor).size();
        std::printf("register to PDF: %d pages, %lld ms, %lld KiB, peak RSS %ld MiB, selected case %d\n", pages,
                    static_cast<long long>(ms), static_cast<long long>(size / 1024), peakRssMiB(),
                    session.cases.recNo());
        std::printf("floor (plain QPdfWriter): %d pages, %lld ms, %lld KiB\n", floorPages,
                    static_cast<long long>(floorMs), static_cast<long long>(floorSize / 1024));
        std::printf("engine / floor: time %.2fx, size %.2fx\n", double(ms) / double(floorMs),
                    double(size) / double(std::max<qint64>(1, floorSize)));
    } catch (const Error& e) {
        std::fprintf(stderr, "%s\n", e.message().toLocal8Bit().constData());
        return 1;
    }
    return 0;
}

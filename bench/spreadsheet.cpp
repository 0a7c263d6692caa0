// Export of 100,000 rows x 50 text columns to .xlsx and reading it back: wall time of each
// and the process's peak resident memory after each step.
//   bench_spreadsheet [rows] [columns] [folder]
#include "common/spreadsheet.h"
#include "common/errors.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

#include "benchsupport.h"

#include <cstdio>

using namespace tarvest;

namespace {

// Short Persian names, places, dates and amounts, as in the case and land lists.
class SampleSource : public SheetSource {
public:
    SampleSource(int rows, int cols) : m_rows(rows), m_cols(cols)
    {
        const QStringList words = {QStringLiteral("تهران"),
                                   QStringLiteral("اصفهان"),
                                   QStringLiteral("کاشان"),
                                   QStringLiteral("نطنز"),
                                   QStringLiteral("مسکوني"),
                                   QStringLiteral("کشاورزي"),
                                   QStringLiteral("تاييد امور زمين"),
                                   QStringLiteral("علي رضايي"),
                                   QStringLiteral("دهستان مرکزي"),
                                   QStringLiteral("روستاي قمصر"),
                                   QStringLiteral("فقط هزينه كارشناسي"),
                                   QStringLiteral("سند تک برگ")};
        for (int i = 0; i < 997; ++i) {
            switch (i % 4) {
            case 0:
                m_pool << QStringLiteral(" %1 ").arg(words[i % words.size()]);
                break;
            case 1:
                m_pool << QString::number(1000 + i * 7919 % 900000);
                break;
            case 2:
                m_pool << QStringLiteral("14%1/%2/%3")
                              .arg(i % 3 + 1, 2, 10, QLatin1Char('0'))
                              .arg(i % 12 + 1, 2, 10, QLatin1Char('0'))
                              .arg(i % 29 + 1, 2, 10, QLatin1Char('0'));
                break;
            default:
                m_pool << QStringLiteral("%1 %2").arg(words[(i / 4) % words.size()]).arg(i);
                break;
            }
        }
    }
    int columnCount() const override { return m_cols; }
    QString columnName(int c) const override { return QStringLiteral("field_%1").arg(c); }
    int rowCount() const override { return m_rows; }
    // Column 0 is a unique id and column 1 a unique file number; the rest repeat, as lists do.
    QString text(int row, int col) const override
    {
        if (col == 0)
            return QString::number(row + 1);
        if (col == 1)
            return QStringLiteral("%1/%2").arg(1400 + row % 5).arg(row * 13 + 7);
        return m_pool[(row * 31 + col * 17) % m_pool.size()];
    }

private:
    int m_rows, m_cols;
    QStringList m_pool;
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int rows = argc > 1 ? atoi(argv[1]) : 100000;
    const int cols = argc > 2 ? atoi(argv[2]) : 50;
    QTemporaryDir tmp(argc > 3 ? QString::fromLocal8Bit(argv[3]) + QStringLiteral("/benchXXXXXX") : QString());
    const QString path = tmp.filePath(QStringLiteral("bench.xlsx"));
    const SampleSource src(rows, cols);
    std::printf("rows %d x columns %d, start peak RSS %ld MiB\n", rows, cols, peakRssMiB());

    try {
        QElapsedTimer t;
        t.start();
        writeXlsx(path, src, {{QStringLiteral("field_0"), QStringLiteral("شناسه")}});
        const qint64 writeMs = t.elapsed();
        std::printf("write: %.2f s, file %.1f MiB, peak RSS %ld MiB\n", writeMs / 1000.0,
                    QFileInfo(path).size() / 1048576.0, peakRssMiB());

        t.restart();
        const SheetTable table = readSheet(path, QStringLiteral("Sheet1"));
        const qint64 readMs = t.elapsed();
        std::printf("read:  %.2f s, %lld rows x %lld columns, peak RSS %ld MiB\n", readMs / 1000.0,
                    static_cast<long long>(table.rows.size()), static_cast<long long>(table.columns.size()),
                    peakRssMiB());
        if (table.rows.size() != rows || table.columns.size() != cols
            || table.rows.back().back() != src.text(rows - 1, cols - 1).trimmed()) {
            std::fprintf(stderr, "read back a different table\n");
            return 1;
        }
    } catch (const Error& e) {
        std::fprintf(stderr, "%s\n", e.message().toLocal8Bit().constData());
        return 1;
    }
    return 0;
}

// A child process for the file-safety tests: writes or reads one file the way the program
// does, under limits the test sets (a maximum file size, a temporary folder), and can pause
// half way so that the test kills it there.
//   tarvest_test_filewriter xlsx TARGET ROWS [--fsize BYTES] [--signal-at ROW]
//   tarvest_test_filewriter bytes TARGET SIZE [--fsize BYTES]
//   tarvest_test_filewriter read FILE SHEET       (xls files are parsed by TARVEST_ADMIN)
// Prints "ok" (or the table's size and the peak memory for "read") and exits 0, or prints
// the Persian message and exits 1.
#include "common/errors.h"
#include "common/safefile.h"
#include "common/spreadsheet.h"

#include <QCoreApplication>
#include <QThread>

#include <csignal>
#include <cstdio>

#include <sys/resource.h>

using namespace tarvest;

namespace {

class Rows : public SheetSource {
public:
    Rows(int rows, int signalAt) : m_rows(rows), m_signalAt(signalAt) {}
    int columnCount() const override { return 8; }
    QString columnName(int c) const override { return QStringLiteral("c%1").arg(c); }
    int rowCount() const override { return m_rows; }
    Kind columnKind(int c) const override { return c == 1 ? Number : Text; }
    QString text(int row, int col) const override
    {
        if (col == 0 && row == m_signalAt) {
            std::puts("writing");
            std::fflush(stdout);
            QThread::sleep(60); // the test kills us here
        }
        if (col == 1)
            return QString::number(row * 1000);
        return QStringLiteral("روستاي نمونه %1").arg(col);
    }

private:
    int m_rows, m_signalAt;
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (args.size() < 3)
        return 2;
    const QString mode = args.takeFirst(), target = args.takeFirst();
    const QString third = args.takeFirst();
    const qint64 amount = third.toLongLong();
    int signalAt = -1;
    while (args.size() >= 2) {
        const QString opt = args.takeFirst(), value = args.takeFirst();
        if (opt == QLatin1String("--fsize")) {
            // Every file of this process stops at this size, as on a full disk.
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit lim{rlim_t(value.toLongLong()), rlim_t(value.toLongLong())};
            setrlimit(RLIMIT_FSIZE, &lim);
        } else if (opt == QLatin1String("--signal-at")) {
            signalAt = value.toInt();
        }
    }
    try {
        if (mode == QLatin1String("xlsx")) {
            writeXlsx(target, Rows(int(amount), signalAt), {});
        } else if (mode == QLatin1String("bytes")) {
            writeFileSafely(target, QByteArray(amount, 'x'));
        } else if (mode == QLatin1String("read")) {
            const SheetTable t = readSheet(target, third);
            rusage u{};
            getrusage(RUSAGE_SELF, &u);
            std::printf("ok %lld rows, peak %ld MiB\n", static_cast<long long>(t.rows.size()), u.ru_maxrss / 1024);
            return 0;
        } else {
            return 2;
        }
    } catch (const Error& e) {
        rusage u{};
        getrusage(RUSAGE_SELF, &u);
        std::printf("%s\npeak %ld MiB\n", e.message().toUtf8().constData(), u.ru_maxrss / 1024);
        return 1;
    }
    std::puts("ok");
    return 0;
}

// Storing and opening a stored file of N MB (50 by default) as the attachments screen does
// (the bytes in pieces, db/blobio.h): wall time and the peak resident memory of each step
// against the memory before it, on SQLite, and on PostgreSQL when TARVEST_TEST_PG names a
// server (a database is made and dropped for the run). The goal: a peak under three times
// the file's size above the memory before the step.
//   bench_attachments [megabytes]
#include "admin/core/attachments.h"
#include "common/errors.h"
#include "db/database.h"
#include "db/provision.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include "benchsupport.h"

#include <cstdio>
#include <cstdlib>

using namespace tarvest;

namespace {

// A field of /proc/self/status ("VmRSS", "VmHWM") in MiB.
double statusMiB(const char* field)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray name = QByteArray(field) + ':';
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(name))
            return line.mid(name.size()).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return 0;
}

// Starts a new peak: the kernel's high-water mark is set back to the memory in use now.
void resetPeak()
{
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    if (f.open(QIODevice::WriteOnly))
        f.write("5");
}

struct Step {
    double seconds = 0, before = 0, peak = 0;
};

template <typename F>
Step measure(F&& work)
{
    resetPeak();
    Step s;
    s.before = statusMiB("VmRSS");
    QElapsedTimer t;
    t.start();
    work();
    s.seconds = t.elapsed() / 1000.0;
    s.peak = statusMiB("VmHWM");
    return s;
}

void report(const char* kind, const char* what, const Step& s, double fileMiB)
{
    const double above = s.peak - s.before;
    std::printf("%-10s %-6s %6.2f s  memory before %6.1f MiB  peak %6.1f MiB  (+%.1f MiB = %.2f x file) %s\n", kind,
                what, s.seconds, s.before, s.peak, above, above / fileMiB, above < 3 * fileMiB ? "ok" : "OVER GOAL");
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int megabytes = argc > 1 ? std::atoi(argv[1]) : 50;
    return bench::reportingErrors([&] {
        QTemporaryDir tmp;
        const QString path = tmp.filePath(QStringLiteral("plan.pdf"));
        {
            QFile f(path);
            if (!f.open(QIODevice::WriteOnly))
                throw Error(QStringLiteral("file not written"));
            QByteArray block(1024 * 1024, '\0');
            for (int m = 0; m < megabytes; ++m) {
                for (qsizetype i = 0; i < block.size(); ++i)
                    block[i] = char((i * 31 + m * 7) % 251); // hardly compressible
                f.write(block);
            }
        }
        const double fileMiB = megabytes;
        bench::onEachDatabase(tmp, "attachments", [&](const char* kind, Database& db) {
            provision(db);
            qint64 id = 0;
            const Step store = measure([&] { id = storeAttachment(db, attachment::NewestPackage, QString(), path); });
            report(kind, "store", store, fileMiB);
            QString opened;
            const Step open = measure([&] { opened = saveAttachmentToTemp(db, id); });
            report(kind, "open", open, fileMiB);
            if (QFile(opened).size() != qint64(megabytes) * 1024 * 1024)
                throw Error(QStringLiteral("the opened copy has the wrong size"));
            QFile::remove(opened);
            deleteAttachment(db, id);
        });
    });
}

// libFuzzer target: any bytes parsed as a legacy .xls file (compound file and BIFF records),
// every worksheet of it, in this process (the program itself does it in a child process,
// so that a fault found here would cost a message there, not the program).
#include "common/errors.h"
#include "common/spreadsheet.h"
#include "common/xls_reader.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    QString first;
    try {
        const tarvest::xls::Workbook book(bytes, (qint64(64) << 20) + 64 * qint64(size));
        qint64 cells = 0;
        for (qsizetype i = 0; i < book.sheetNames().size(); ++i)
            book.readSheet(i, [&](tarvest::xls::Cell&& c) { cells += c.text.size() + 1; });
        if (!book.sheetNames().isEmpty())
            first = book.sheetNames().front();
    } catch (const tarvest::xls::Failure&) {
        return 0;
    }
    // The same bytes through the table builder, as the child process reads them.
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("input.xls"));
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        f.write(bytes);
    }
    try {
        tarvest::readXlsHere(path, first);
    } catch (const tarvest::Error&) {
    }
    return 0;
}

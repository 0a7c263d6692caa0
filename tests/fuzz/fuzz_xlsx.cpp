// libFuzzer target: any bytes read as an .xlsx workbook must give a table or a
// tarvest::Error, never a crash, a hang or unbounded memory.
#include "common/errors.h"
#include "common/spreadsheet.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("input.xlsx"));
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        f.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    try {
        tarvest::sheetNames(path);
        tarvest::readSheet(path, QStringLiteral("Sheet1"));
    } catch (const tarvest::Error&) {
    }
    return 0;
}

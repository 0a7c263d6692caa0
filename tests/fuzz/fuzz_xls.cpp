// libFuzzer target: any bytes parsed as a legacy .xls file by FreeXL, in this process (the
// program itself does it in a child process, so that what this target finds in FreeXL
// costs a message there, not the program).
#include "common/errors.h"
#include "common/spreadsheet.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("input.xls"));
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        f.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    try {
        tarvest::readXlsHere(path, QStringLiteral("Sheet1"));
    } catch (const tarvest::Error&) {
    }
    return 0;
}

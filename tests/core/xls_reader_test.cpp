// Legacy .xls workbooks: files written by Excel (97-2003, 95, 3 and 2), by LibreOffice and
// by python-xlwt, read by our compound-file and BIFF reader, directly and through the
// child process the program uses.
#include "common/errors.h"
#include "common/spreadsheet.h"
#include "common/xls_reader.h"
#include "pyhelpers.h"

#include <QFile>
#include <QHash>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstring>

using namespace tarvest;

namespace {

QString S(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

QString data(const char* name)
{
    return QStringLiteral(TARVEST_XLS_DATA_DIR "/") + QString::fromUtf8(name);
}

QByteArray bytesOf(const QString& path)
{
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
    return f.readAll();
}

// Every value of a worksheet by "row,col" from A1; numbers as plain digits.
QHash<QString, QString> cellsOf(const QByteArray& file, qsizetype sheet = 0)
{
    const xls::Workbook book(file, qint64(1) << 30);
    QHash<QString, QString> cells;
    book.readSheet(sheet, [&](xls::Cell&& c) {
        cells.insert(QStringLiteral("%1,%2").arg(c.row).arg(c.col),
                     c.isNumber ? QString::number(c.number, 'g', 17) : c.text);
    });
    return cells;
}

class XlsReader : public ::testing::Test {
protected:
    QTemporaryDir dir;

    void SetUp() override { setXlsReaderProgram(QStringLiteral(TARVEST_ADMIN_EXE)); }

    QString makeWithPython(const char* name, const char* script)
    {
        const QString path = dir.filePath(QString::fromUtf8(name));
        const auto r = tarvest::testing::runPython(QString::fromUtf8(script), {path});
        EXPECT_EQ(r.exitCode, 0) << r.err.constData();
        return path;
    }
};

} // namespace

// What the imports see of files from several writers and BIFF versions: formula cells give
// their cached result, dates come from the cell's format, texts from the shared strings,
// BIFF2 and BIFF3 worksheets need no compound file.
TEST_F(XlsReader, ReadsWhatExcelAndLibreOfficeWrite)
{
    struct Case {
        const char* file;
        const char* sheet;
        qsizetype row; // in the table: 0 is the first row below the heading row
        qsizetype col;
        const char* text;
    };
    const Case cases[] = {
        // LibreOffice Calc 7.4, sheet "sh": formulas of each result kind.
        {"libreoffice_formulas.xls", "sh", 0, 0, "2"},                   // =1+1
        {"libreoffice_formulas.xls", "sh", 0, 1, "تهران - قم"},          // a text joined by a formula
        {"libreoffice_formulas.xls", "sh", 0, 2, "2024-03-05"},          // =DATE(2024,3,5), yyyy-mm-dd
        {"libreoffice_formulas.xls", "sh", 0, 3, "1"},                   // =1>0
        {"libreoffice_formulas.xls", "sh", 1, 0, "#DIV/0!"},             // =1/0
        {"libreoffice_formulas.xls", "sh", 1, 1, ""},                    // =""
        {"libreoffice_formulas.xls", "sh", 1, 2, "2024-03-05 12:00:00"}, // a date and time
        {"libreoffice_formulas.xls", "sh", 1, 3, "0"},                   // =1<0
        {"libreoffice_formulas.xls", "sh", 2, 0, "123456789012345"},     // 15 digits
        {"libreoffice_formulas.xls", "sh", 2, 2, "#N/A"},                // =NA()
        {"libreoffice_formulas.xls", "sh", 2, 3, "0.30000000000000004"}, // =0.1+0.2
        // Excel 2003 formulas, texts in Cyrillic.
        {"excel_formulas.xls", "Sheet1", 0, 1, "МОСКВА Москва"},
        {"excel_formulas.xls", "Sheet1", 1, 1, "0.14285714285714285"},
        {"excel_formulas.xls", "Sheet1", 2, 1, "ABCDEF"},
        {"excel_formulas.xls", "Sheet1", 3, 1, ""},
        {"excel_formulas.xls", "Sheet1", 4, 1, "1"},
        {"excel_formulas.xls", "Sheet1", 5, 1, "#DIV/0!"},
        {"excel_formulas.xls", "Sheet1", 6, 1, "МОСКВА Москва"},
        // Excel 95 (BIFF5, Macintosh code page) and Excel 3 (a bare BIFF3 stream).
        {"biff5_macroman.xls", "Sheet1", 0, 1, "How"},
        {"biff5_macroman.xls", "Sheet1", 0, 2, "2007-02-22"},
        {"biff5_macroman.xls", "Sheet1", 2, 2, "Saturday"},
        {"biff3.xls", "Sheet1", 0, 2, "2007-02-22"},
        {"biff3.xls", "Sheet1", 1, 2, "2002-01-19"},
        {"biff3.xls", "Sheet1", 5, 1, "and "},
        // Excel 2 (BIFF2): the format index sits in the cell's own attributes.
        {"biff2.xls", "Sheet1", 0, 0, "1"},
        {"biff2.xls", "Sheet1", 62, 0, "3"},
    };
    QHash<QString, SheetTable> tables;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.file) + " " + std::to_string(c.row) + "," + std::to_string(c.col));
        const QString key = S(c.file) + S("/") + S(c.sheet);
        if (!tables.contains(key))
            tables.insert(key, readSheet(data(c.file), S(c.sheet)));
        EXPECT_EQ(tables[key].text(c.row, c.col).toStdString(), c.text);
    }
    EXPECT_EQ(sheetNames(data("excel_formulas.xls")), (QStringList{S("Sheet1"), S("Sheet2"), S("Sheet3")}));
    EXPECT_EQ(sheetNames(data("biff3.xls")), QStringList{S("Sheet1")}); // one worksheet, no name of its own
}

// Shared strings longer than one record go on in CONTINUE records; a string cut there goes on
// after a new 8/16-bit flag, so Latin and Persian strings both cross the cut.
TEST_F(XlsReader, SharedStringsAcrossContinueRecords)
{
    const QString path = makeWithPython("sst.xls", R"(
import sys, xlwt
wb = xlwt.Workbook(encoding='utf-8')
ws = wb.add_sheet('sh')
for i in range(1500):
    ws.write(i, 0, ('روستای شماره %d از دهستان مرکزی' if i % 3 else 'village number %d of the district') % i)
    ws.write(i, 1, i)
wb.save(sys.argv[1])
)");
    const QHash<QString, QString> cells = cellsOf(bytesOf(path));
    ASSERT_EQ(cells.size(), 3000);
    for (int i = 0; i < 1500; ++i) {
        const QString expected = (i % 3 ? S("روستای شماره %1 از دهستان مرکزی") : S("village number %1 of the district"))
                                     .arg(i);
        ASSERT_EQ(cells.value(QStringLiteral("%1,0").arg(i)), expected) << i;
        ASSERT_EQ(cells.value(QStringLiteral("%1,1").arg(i)), QString::number(i)) << i;
    }
    // Written by Excel: long strings up to a CONTINUE record, then one starting in it.
    const QHash<QString, QString> excel = cellsOf(bytesOf(data("sst_continue.xls")));
    EXPECT_EQ(excel.size(), 136);
    EXPECT_EQ(excel.value(S("133,0")), S("This is a long string with a serial number at the end 0134"));
    EXPECT_EQ(excel.value(S("134,0")), S("This is a long string with a serial num"));
    EXPECT_EQ(excel.value(S("135,0")), S("New CONTINUE block"));
}

// A merged range shows its top-left cell only: values left under the rest of it are hidden
// in the spreadsheet program and read empty here.
TEST_F(XlsReader, CellsUnderAMergedRangeReadEmpty)
{
    const QString path = makeWithPython("merged.xls", R"(
import sys, xlwt
wb = xlwt.Workbook(encoding='utf-8')
ws = wb.add_sheet('sh')
ws.write(0, 0, 'کد'); ws.write(0, 1, 'زیر ادغام'); ws.write(1, 0, 'پنهان'); ws.write(1, 1, 7)
ws.write(0, 2, 'ستون سوم'); ws.write(2, 0, 'بیرون')
ws._Worksheet__merged_ranges.append((0, 1, 0, 1))  # A1:B2, the values under it left in place
wb.save(sys.argv[1])
)");
    const QHash<QString, QString> cells = cellsOf(bytesOf(path));
    EXPECT_EQ(cells, (QHash<QString, QString>{{S("0,0"), S("کد")}, {S("0,2"), S("ستون سوم")}, {S("2,0"), S("بیرون")}}));
}

// Excel 2 to 5 store texts in the workbook's code page (a missing CODEPAGE record means
// Windows Latin); here a bare BIFF3 worksheet per code page.
TEST_F(XlsReader, ByteStringsInTheirCodePage)
{
    struct Case {
        int codePage; // 0: no CODEPAGE record
        QByteArray bytes;
        QString text;
    };
    const Case cases[] = {
        {1256, QByteArray("\xca\xe5\xd1\xc7\xe4", 5), S("تهران")},
        {10000, QByteArray("Caf\x8e \xa5", 6), S("Café •")},
        {1252, QByteArray("Caf\xe9 \x80", 6), S("Café €")},
        {0, QByteArray("Caf\xe9", 4), S("Café")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.codePage);
        auto record = [](quint16 type, const QByteArray& body) {
            QByteArray r;
            r.append(char(type & 0xFF)).append(char(type >> 8));
            r.append(char(body.size() & 0xFF)).append(char(body.size() >> 8));
            return r + body;
        };
        QByteArray label("\x01\x00\x02\x00\x00\x00", 6); // row 1, column 2, XF 0
        label.append(char(c.bytes.size())).append('\0').append(c.bytes);
        QByteArray stream = record(0x0209, QByteArray("\x00\x00\x10\x00\x00\x00", 6));
        if (c.codePage)
            stream += record(0x0042, QByteArray(1, char(c.codePage & 0xFF)) + char(c.codePage >> 8));
        stream += record(0x0204, label) + record(0x000A, {});
        EXPECT_EQ(cellsOf(stream).value(S("1,2")), c.text);
    }
}

// Some programs write a workbook's BIFF8 records bare, without the compound file around
// them; the sheet list's offsets then count from the file's start.
TEST_F(XlsReader, BareBiff8Workbook)
{
    auto record = [](quint16 type, const QByteArray& body) {
        QByteArray r;
        r.append(char(type & 0xFF)).append(char(type >> 8));
        r.append(char(body.size() & 0xFF)).append(char(body.size() >> 8));
        return r + body;
    };
    const QByteArray bof = QByteArray("\x00\x06\x05\x00", 4) + QByteArray(12, '\0');
    const QByteArray sheetBof = QByteArray("\x00\x06\x10\x00", 4) + QByteArray(12, '\0');
    const QString name = S("روستاها");
    QByteArray sheetName(1, char(name.size()));
    sheetName.append('\x01'); // 16-bit characters
    for (QChar ch : name)
        sheetName.append(char(ch.unicode() & 0xFF)).append(char(ch.unicode() >> 8));
    const qsizetype globals = 4 + bof.size() + 4 + 6 + sheetName.size() + 4;
    QByteArray boundSheet;
    for (int i = 0; i < 4; ++i)
        boundSheet.append(char((globals >> (8 * i)) & 0xFF));
    boundSheet.append(QByteArray(2, '\0')).append(sheetName);
    QByteArray number("\x00\x00\x00\x00\x00\x00", 6); // A1, XF 0
    const double v = 1234567.5;
    quint64 bits;
    std::memcpy(&bits, &v, sizeof v);
    for (int i = 0; i < 8; ++i)
        number.append(char((bits >> (8 * i)) & 0xFF));
    const QByteArray label = QByteArray("\x00\x00\x01\x00\x00\x00\x03\x00\x00", 9) + "abc"; // B1
    const QByteArray stream = record(0x0809, bof) + record(0x0085, boundSheet) + record(0x000A, {})
                              + record(0x0809, sheetBof) + record(0x0203, number) + record(0x0204, label)
                              + record(0x000A, {});
    ASSERT_EQ(stream.indexOf(record(0x0809, sheetBof)), globals);
    const QString path = dir.filePath(QStringLiteral("bare.xls"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(stream);
    f.close();
    EXPECT_EQ(sheetNames(path), QStringList{name});
    EXPECT_EQ(readSheet(path, name).columns, (QStringList{S("1234567.5"), S("abc")}));
}

// A workbook protected by a password is refused with a message that says so, whether it
// is read or only its sheet names are asked.
TEST_F(XlsReader, PasswordProtectedFilesAreRefusedAsSuch)
{
    for (const char* name : {"encrypted_xor.xls", "encrypted_rc4.xls", "encrypted_aes.xlsx"}) {
        SCOPED_TRACE(name);
        for (bool namesOnly : {false, true}) {
            try {
                if (namesOnly)
                    sheetNames(data(name));
                else
                    readSheet(data(name), S("Sheet1"));
                ADD_FAILURE() << "no error";
            } catch (const Error& e) {
                EXPECT_TRUE(e.message().contains(S("رمز عبور محافظت شده است"))) << e.message().toStdString();
                EXPECT_FALSE(e.message().contains(S("خراب"))) << e.message().toStdString();
            }
        }
    }
}

// Damage that must end the reading, never loop it: sector chains that come round again,
// a directory that points at itself, string counts far beyond the strings there are.
TEST_F(XlsReader, CraftedCompoundFilesEndTheirReading)
{
    const QByteArray good = bytesOf(data("excel_formulas.xls"));
    auto patch32 = [](QByteArray b, qsizetype at, quint32 v) {
        for (int i = 0; i < 4; ++i)
            b[at + i] = char((v >> (8 * i)) & 0xFF);
        return b;
    };
    const quint32 firstFat = quint8(good[0x4C]) | (quint8(good[0x4D]) << 8);
    const qsizetype fatAt = (qsizetype(firstFat) + 1) * 512;
    struct Case {
        const char* name;
        QByteArray bytes;
    };
    QList<Case> cases;
    // Every sector of the file points at sector 0: every chain comes round at once.
    QByteArray loops = good;
    for (qsizetype i = 0; i < 128; ++i)
        loops = patch32(loops, fatAt + 4 * i, 0);
    cases.append({"sector table of loops", loops});
    cases.append({"directory start past the end", patch32(good, 0x30, 0x7FFFFFF0)});
    cases.append({"sector table list of loops", patch32(patch32(good, 0x44, 0), 0x48, 1000000)});
    QByteArray sst = good;
    const qsizetype at = sst.indexOf(QByteArray("\xFC\x00", 2));
    ASSERT_GT(at, 0);
    cases.append({"string count beyond the strings", patch32(patch32(sst, at + 4, 0xFFFFFFFF), at + 8, 0xFFFFFFFF)});
    cases.append({"header only", good.left(512)});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            const xls::Workbook book(c.bytes, qint64(64) << 20);
            for (qsizetype i = 0; i < book.sheetNames().size(); ++i)
                book.readSheet(i, [](xls::Cell&&) {});
        } catch (const xls::Failure& f) {
            EXPECT_EQ(f.reason, xls::Failure::Corrupt);
        }
    }
}

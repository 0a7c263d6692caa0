// Reading worksheets as text tables, from files made by openpyxl, by hand-written XML,
// by python-xlwt (legacy .xls) and by our own export.
#include "common/errors.h"
#include "common/spreadsheet.h"
#include "pyhelpers.h"
#include "table_source.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

using namespace tarvest;
using tarvest::testing::TableSource;

namespace {

QString S(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

std::string show(const QList<QStringList>& rows)
{
    std::string out;
    for (const QStringList& r : rows)
        out += "[" + r.join(QStringLiteral("|")).toStdString() + "]\n";
    return out;
}

class SpreadsheetImport : public ::testing::Test {
protected:
    QTemporaryDir dir;

    void SetUp() override { setXlsReaderProgram(QStringLiteral(TARVEST_ADMIN_EXE)); }

    QString file(const char* name) const { return dir.filePath(QString::fromUtf8(name)); }

    QString makeWithPython(const char* name, const char* script)
    {
        const QString path = file(name);
        const auto r = tarvest::testing::runPython(QString::fromUtf8(script), {path});
        EXPECT_EQ(r.exitCode, 0) << r.err.constData();
        return path;
    }
    QString makeBytes(const char* name, const QByteArray& bytes)
    {
        QFile f(file(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return f.fileName();
    }
    // Rows are stored sparsely: none is longer than the heading row or ends in an empty cell;
    // read through text(), the table is the expected one cell for cell.
    static void expectTable(const SheetTable& t, const QStringList& columns, const QList<QStringList>& rows)
    {
        EXPECT_EQ(t.columns, columns) << t.columns.join(u'|').toStdString();
        QList<QStringList> full;
        for (qsizetype r = 0; r < t.rows.size(); ++r) {
            const QStringList& row = t.rows[r];
            EXPECT_LE(row.size(), t.columns.size()) << r;
            EXPECT_TRUE(row.isEmpty() || !row.back().isEmpty()) << r;
            QStringList padded;
            for (qsizetype c = 0; c < t.columns.size(); ++c)
                padded << t.text(r, c);
            full << padded;
        }
        EXPECT_EQ(full, rows) << show(full);
    }
};

// openpyxl stores texts as shared strings and numbers as their shortest text.
const char* kOpenpyxlBook = R"PY(
import sys, openpyxl
from openpyxl.styles import Font
wb = openpyxl.Workbook()
wb.active.title = "Sheet1"
wb.active["A1"] = "other sheet"
ws = wb.create_sheet("sh")
ws["A1"] = "نام"; ws["C1"] = "مقدار"          # B1: a column without a heading
ws["A2"] = "تهران"; ws["B2"] = 42; ws["C2"] = 12.5
ws["A3"] = "  فاصله "; ws["B3"] = -0.1; ws["C3"] = True
ws["E5"] = "دور"                               # row 4 empty; a cell beyond the headings
ws["A7"].font = Font(bold=True)                # a formatted blank cell after the data
wb.save(sys.argv[1])
)PY";

// Written by hand to reach what openpyxl does not write: rich-text runs, phonetic hints,
// rows and cells without "r", formulas with cached values, error and boolean cells, an
// absolute relationship target, and a namespace prefix other than "r".
const char* kHandMadeBook = R"PY(
import sys, zipfile
NS = 'xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"'
REL = 'http://schemas.openxmlformats.org/officeDocument/2006/relationships'
workbook = f'''<?xml version="1.0" encoding="UTF-8"?>
<workbook {NS} xmlns:rel="{REL}"><sheets>
<sheet name="Other" sheetId="1" rel:id="rId1"/><sheet name="Data" sheetId="2" rel:id="rId7"/>
</sheets></workbook>'''
rels = '''<?xml version="1.0" encoding="UTF-8"?>
<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">
<Relationship Id="rId1" Type="x/worksheet" Target="worksheets/sheet1.xml"/>
<Relationship Id="rId7" Type="x/worksheet" Target="/xl/worksheets/data.xml"/>
</Relationships>'''
shared = f'''<?xml version="1.0" encoding="UTF-8"?>
<sst {NS} count="2" uniqueCount="2">
<si><r><t>رنگ</t></r><r><rPr><b/></rPr><t xml:space="preserve"> آبي</t></r><rPh sb="0" eb="1"><t>hint</t></rPh></si>
<si><t>ta&lt;g</t></si></sst>'''
other = f'<worksheet {NS}><sheetData><row r="1"><c r="A1" t="s"><v>1</v></c></row></sheetData></worksheet>'
data = f'''<?xml version="1.0" encoding="UTF-8"?>
<worksheet {NS}><dimension ref="A1:E4"/><sheetData>
<row><c t="inlineStr"><is><r><t>سر</t></r><r><rPr><i/></rPr><t>ستون</t></r></is></c><c t="s"><v>0</v></c><c r="D1" t="s"><v>1</v></c></row>
<row r="3"><c r="B3"><f>1+1</f><v>2</v></c><c t="str"><f>"a"&amp;"b"</f><v>ab</v></c><c t="e"><v>#DIV/0!</v></c><c t="b"><v>0</v></c></row>
<row><c r="A4" s="1"/><c r="B4"><v>1E-3</v></c></row>
<row r="9"><c r="C9" s="1"/></row>
</sheetData></worksheet>'''
with zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED) as z:
    z.writestr('xl/workbook.xml', workbook)
    z.writestr('xl/_rels/workbook.xml.rels', rels)
    z.writestr('xl/sharedStrings.xml', shared)
    z.writestr('xl/worksheets/sheet1.xml', other)
    z.writestr('xl/worksheets/data.xml', data)
)PY";

const char* kXlwtBook = R"PY(
import sys, xlwt
wb = xlwt.Workbook(encoding="utf-8")
wb.add_sheet("Sheet1").write(0, 0, "other sheet")
ws = wb.add_sheet("sh")
ws.write(0, 0, "کد"); ws.write(0, 1, "نام"); ws.write(0, 3, "مبلغ")   # C1 without a heading
ws.write(1, 0, 42); ws.write(1, 1, "تهران"); ws.write(1, 2, 12.5); ws.write(1, 3, 1234567)
ws.write(2, 0, 0.1); ws.write(2, 3, -7); ws.write(2, 2, 1e20)
ws.write(4, 1, "آخر")                                                # row 4 empty
ws.write(6, 0, "", xlwt.easyxf("font: bold on"))                     # a formatted blank cell
wb.save(sys.argv[1])
)PY";

} // namespace

TEST_F(SpreadsheetImport, XlsxFromOpenpyxl)
{
    const QString path = makeWithPython("openpyxl.xlsx", kOpenpyxlBook);
    EXPECT_EQ(sheetNames(path), (QStringList{S("Sheet1"), S("sh")}));
    for (const char* sheet : {"sh", "SH"}) { // sheet names match without regard to case
        SCOPED_TRACE(sheet);
        expectTable(readSheet(path, S(sheet)), {S("نام"), S("F2"), S("مقدار"), S("F4"), S("F5")},
                    {{S("تهران"), S("42"), S("12.5"), S(""), S("")},
                     {S("  فاصله "), S("-0.1"), S("1"), S(""), S("")},
                     {S(""), S(""), S(""), S(""), S("")},
                     {S(""), S(""), S(""), S(""), S("دور")}});
    }
    expectTable(readSheet(path, S("Sheet1")), {S("other sheet")}, {});
}

TEST_F(SpreadsheetImport, XlsxRichTextFormulasAndCellsWithoutReferences)
{
    const QString path = makeWithPython("hand.xlsx", kHandMadeBook);
    EXPECT_EQ(sheetNames(path), (QStringList{S("Other"), S("Data")}));
    expectTable(readSheet(path, S("Data")), {S("سرستون"), S("رنگ آبي"), S("F3"), S("ta<g"), S("F5")},
                {{S(""), S(""), S(""), S(""), S("")},
                 {S(""), S("2"), S("ab"), S("#DIV/0!"), S("0")},
                 {S(""), S("0.001"), S(""), S(""), S("")}});
    expectTable(readSheet(path, S("other")), {S("ta<g")}, {});
}

TEST_F(SpreadsheetImport, XlsFromXlwt)
{
    const QString path = makeWithPython("xlwt.xls", kXlwtBook);
    EXPECT_EQ(sheetNames(path), (QStringList{S("Sheet1"), S("sh")}));
    expectTable(readSheet(path, S("sh")), {S("کد"), S("نام"), S("F3"), S("مبلغ")},
                {{S("42"), S("تهران"), S("12.5"), S("1234567")},
                 {S("0.1"), S(""), S("100000000000000000000"), S("-7")},
                 {S(""), S(""), S(""), S("")},
                 {S(""), S("آخر"), S(""), S("")}});
}

// Our own export writes inline strings and blank bordered cells out to column M (AA in the
// header); none of those blanks may widen or lengthen the table read back.
TEST_F(SpreadsheetImport, RoundTripThroughOurExport)
{
    struct Case {
        const char* name;
        int columns;
        int rows;
    };
    for (const Case& c : {Case{"narrow", 3, 4}, Case{"wide", 30, 3}, Case{"empty", 2, 0}}) {
        SCOPED_TRACE(c.name);
        TableSource src;
        QStringList expectedColumns;
        QList<QStringList> expectedRows(c.rows);
        for (int col = 0; col < c.columns; ++col) {
            src.names << QStringLiteral("f%1").arg(col);
            expectedColumns << (col == 1 ? S("عنوان <و> & 'نقل'") : src.names.last());
        }
        for (int r = 0; r < c.rows; ++r) {
            QStringList row;
            for (int col = 0; col < c.columns; ++col) {
                // Row 1 is empty in the middle of the table and must stay a row.
                const QString v = r == 1 ? QString() : S("مقدار %1-%2").arg(r).arg(col);
                row << (col % 2 ? S("  ") + v + S(" ") : v);
                expectedRows[r] << v;
            }
            src.data << row;
        }
        const QString path = file(c.name) + S(".xlsx");
        writeXlsx(path, src, {{S("F1"), S("عنوان <و> & 'نقل'")}});
        expectTable(readSheet(path, S("sheet1")), expectedColumns, expectedRows);
    }
}

TEST_F(SpreadsheetImport, FailuresAreReportedInPersian)
{
    TableSource one;
    one.names = {S("id")};
    one.data = {{S("1")}};
    const QString good = file("good.xlsx");
    writeXlsx(good, one, {});
    QFile goodFile(good);
    ASSERT_TRUE(goodFile.open(QIODevice::ReadOnly));
    const QByteArray goodBytes = goodFile.readAll();
    const QString xls = makeWithPython("good.xls", kXlwtBook);

    QByteArray noise(4096, '\0');
    QRandomGenerator rng(7);
    rng.fillRange(reinterpret_cast<quint32*>(noise.data()), noise.size() / 4);
    noise[0] = 'x';

    const QString corrupt = S("خراب است");
    const QString notExcel = S("فايل اكسل (xlsx يا xls) نيست");
    struct Case {
        const char* name;
        std::function<QString()> make;
        const char* sheet;
        QString expect; // a part of the message
    };
    const Case cases[] = {
        {"missing file", [&] { return file("nothing-here.xlsx"); }, "Sheet1", S("يافت نشد")},
        {"folder", [&] { return dir.path(); }, "Sheet1", S("باز نشد")},
        {"empty file", [&] { return makeBytes("empty.xlsx", {}); }, "Sheet1", notExcel},
        {"text file", [&] { return makeBytes("text.xlsx", "id,name\n1,x\n"); }, "Sheet1", notExcel},
        {"random bytes", [&] { return makeBytes("noise.xls", noise); }, "Sheet1", notExcel},
        {"truncated zip", [&] { return makeBytes("cut.xlsx", goodBytes.left(goodBytes.size() / 2)); }, "Sheet1",
         corrupt},
        {"zip signature then noise", [&] { return makeBytes("pk.xlsx", "PK\x03\x04" + noise); }, "Sheet1", corrupt},
        {"zip without a workbook",
         [&] {
             return makeWithPython("plain.zip",
                                   "import sys, zipfile\nzipfile.ZipFile(sys.argv[1], 'w').writestr('a.txt', 'x')");
         },
         "Sheet1", corrupt},
        {"ole2 signature then noise",
         [&] { return makeBytes("ole.xls", QByteArray::fromHex("D0CF11E0A1B11AE1") + noise); }, "Sheet1", corrupt},
        {"missing sheet in xlsx", [&] { return good; }, "sh", S("شيت «sh» در فايل يافت نشد")},
        {"missing sheet in xls", [&] { return xls; }, "Sheet2", S("شيت «Sheet2» در فايل يافت نشد")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = c.make();
        try {
            readSheet(path, S(c.sheet));
            ADD_FAILURE() << "no error";
        } catch (const Error& e) {
            EXPECT_TRUE(e.message().contains(c.expect)) << e.message().toStdString();
        }
    }
}

namespace {

// The same sheet written by openpyxl (.xlsx) and xlwt (.xls), in the 1900 or the 1904 date
// system (sys.argv[3] == "1904"); the table starts at C3, not A1.
const char* kSameSheetBoth = R"PY(
import sys, datetime, openpyxl, xlwt
from openpyxl.utils.datetime import CALENDAR_MAC_1904
use1904 = sys.argv[3] == "1904"
head = ["کد", "نام", "مبلغ", "تاريخ", "زمان ثبت", "ساعت", "ضريب"]
rows = [["007", "تهران", 1250000, datetime.date(2024, 3, 5), datetime.datetime(2024, 3, 5, 10, 30, 15),
         datetime.time(8, 5, 0), 0.1],
        ["12", None, 1e20, datetime.date(1999, 12, 31), datetime.datetime(2010, 1, 2, 0, 0, 1),
         datetime.time(23, 59, 59), -7.25],
        [None, "آخر", 42, None, None, None, 3]]
fmts = {3: "YYYY-MM-DD", 4: "YYYY-MM-DD HH:MM:SS", 5: "HH:MM:SS"}

wb = openpyxl.Workbook()
if use1904:
    wb.epoch = CALENDAR_MAC_1904
ws = wb.active
ws.title = "Sheet1"
for c, h in enumerate(head):
    ws.cell(row=3, column=3 + c, value=h)
for r, row in enumerate(rows):
    for c, v in enumerate(row):
        if v is None:
            continue
        cell = ws.cell(row=4 + r, column=3 + c, value=v)
        if c in fmts:
            cell.number_format = fmts[c]
wb.save(sys.argv[1])

book = xlwt.Workbook(encoding="utf-8")
book.dates_1904 = use1904
sh = book.add_sheet("Sheet1")
for c, h in enumerate(head):
    sh.write(2, 2 + c, h)
styles = {c: xlwt.easyxf(num_format_str=f) for c, f in fmts.items()}
for r, row in enumerate(rows):
    for c, v in enumerate(row):
        if v is None:
            continue
        if c in styles:
            sh.write(3 + r, 2 + c, v, styles[c])
        else:
            sh.write(3 + r, 2 + c, v)
book.save(sys.argv[2])
)PY";

// A minimal package around one worksheet's <sheetData> (argv[2]) and, optionally, the
// <si> elements of its shared strings (argv[3]); argv[4] repeats them that many times
// (with argv[3] "LONG": one shared string of argv[4] letters).
const char* kCrafted = R"PY(
import sys, zipfile
NS = 'xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"'
REL = 'http://schemas.openxmlformats.org/officeDocument/2006/relationships'
data, si, times = sys.argv[2], sys.argv[3], int(sys.argv[4])
with zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED) as z:
    z.writestr('xl/workbook.xml', f'<workbook {NS} xmlns:r="{REL}"><sheets><sheet name="Sheet1" sheetId="1" r:id="rId1"/></sheets></workbook>')
    z.writestr('xl/_rels/workbook.xml.rels', '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships"><Relationship Id="rId1" Type="x" Target="worksheets/sheet1.xml"/></Relationships>')
    if times:
        with z.open('xl/sharedStrings.xml', 'w') as f:
            f.write(f'<sst {NS}>'.encode())
            if si == 'LONG':
                f.write(b'<si><t>' + b'a' * times + b'</t></si>')
            else:
                chunk = (si * 10000).encode()
                for _ in range(max(times // 10000, 1)):
                    f.write(chunk)
            f.write(b'</sst>')
    z.writestr('xl/worksheets/sheet1.xml', f'<worksheet {NS}><sheetData>{data}</sheetData></worksheet>')
)PY";

} // namespace

TEST_F(SpreadsheetImport, SameSheetReadsTheSameFromXlsxAndXls)
{
    const QStringList head = {S("کد"), S("نام"), S("مبلغ"), S("تاريخ"), S("زمان ثبت"), S("ساعت"), S("ضريب")};
    const QList<QStringList> rows = {
        {S("007"), S("تهران"), S("1250000"), S("2024-03-05"), S("2024-03-05 10:30:15"), S("08:05:00"), S("0.1")},
        {S("12"), S(""), S("100000000000000000000"), S("1999-12-31"), S("2010-01-02 00:00:01"), S("23:59:59"),
         S("-7.25")},
        {S(""), S("آخر"), S("42"), S(""), S(""), S(""), S("3")},
    };
    for (const char* system : {"1900", "1904"}) {
        SCOPED_TRACE(system);
        const QString xlsx = file("same.xlsx"), xls = file("same.xls");
        const auto r = tarvest::testing::runPython(QString::fromUtf8(kSameSheetBoth), {xlsx, xls, S(system)});
        ASSERT_EQ(r.exitCode, 0) << r.err.constData();
        for (const QString& path : {xlsx, xls}) {
            SCOPED_TRACE(path.toStdString());
            expectTable(readSheet(path, S("Sheet1")), head, rows);
        }
    }
}

// Crafted files that once took gigabytes or crashed: each is refused with a Persian message.
TEST_F(SpreadsheetImport, HostileXlsxFilesAreRefused)
{
    const QString rows = S("1048576 رديف");
    const QString columns = S("16384 ستون");
    const QString memory = S("حافظه");
    struct Case {
        const char* name;
        QString data;
        QString si;
        int times;
        QString expect;
    };
    const Case cases[] = {
        {"huge row number",
         S(R"(<row r="2147483648"><c r="A2147483648" t="inlineStr"><is><t>x</t></is></c></row>)"),
         {},
         0,
         rows},
        {"one row past the last", S(R"(<row r="1048577"><c t="inlineStr"><is><t>x</t></is></c></row>)"), {}, 0, rows},
        {"rows without numbers past the last",
         S(R"(<row r="1048576"><c t="inlineStr"><is><t>x</t></is></c></row><row><c t="inlineStr"><is><t>y</t></is></c></row>)"),
         {},
         0,
         rows},
        {"cell past the last column",
         S(R"(<row r="1"><c r="XFE1" t="inlineStr"><is><t>x</t></is></c></row>)"),
         {},
         0,
         columns},
        {"shared-string bomb", S(R"(<row r="1"><c r="A1" t="s"><v>0</v></c></row>)"), S("<si><t>x</t></si>"), 3000000,
         memory},
        {"one giant text", S(R"(<row r="1"><c r="A1" t="s"><v>0</v></c></row>)"), S("LONG"), 50 << 20, memory},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = file("crafted.xlsx");
        const auto made = tarvest::testing::runPython(QString::fromUtf8(kCrafted),
                                                      {path, c.data, c.si, QString::number(c.times)});
        ASSERT_EQ(made.exitCode, 0) << made.err.constData();
        try {
            readSheet(path, S("Sheet1"));
            ADD_FAILURE() << "no error";
        } catch (const Error& e) {
            EXPECT_TRUE(e.message().startsWith(S("خطا! فايل اكسل"))) << e.message().toStdString();
            EXPECT_TRUE(e.message().contains(c.expect)) << e.message().toStdString();
        }
    }
}

// A far cell no longer widens every row: XFD1 and A10000 make a table of 16,384 columns
// whose rows hold one cell each. The bomb is read in a child that reports its peak memory.
TEST_F(SpreadsheetImport, FarCellsAreStoredSparselyAndBombsStayWithinMemory)
{
    const QString far = file("far.xlsx");
    ASSERT_EQ(
        tarvest::testing::runPython(
            QString::fromUtf8(kCrafted),
            {far,
             S(R"(<row r="1"><c r="A1" t="inlineStr"><is><t>id</t></is></c><c r="XFD1" t="inlineStr"><is><t>last</t></is></c></row><row r="10000"><c r="A10000"><v>7</v></c></row>)"),
             S(""), S("0")})
            .exitCode,
        0);
    const SheetTable t = readSheet(far, S("Sheet1"));
    EXPECT_EQ(t.columns.size(), 16384);
    EXPECT_EQ(t.columns.back(), S("last"));
    ASSERT_EQ(t.rows.size(), 9999);
    EXPECT_EQ(t.rows.back(), QStringList{S("7")});
    for (const QStringList& r : t.rows.first(9998))
        EXPECT_TRUE(r.isEmpty());

    const QString bomb = file("bomb.xlsx");
    ASSERT_EQ(tarvest::testing::runPython(
                  QString::fromUtf8(kCrafted),
                  {bomb, S(R"(<row r="1"><c r="A1" t="s"><v>0</v></c></row>)"), S("<si><t></t></si>"), S("30000000")})
                  .exitCode,
              0);
    EXPECT_LT(QFileInfo(bomb).size(), 2 << 20);
    QProcess child;
    child.start(S(TARVEST_TEST_FILEWRITER_EXE), {S("read"), bomb, S("Sheet1")});
    ASSERT_TRUE(child.waitForFinished(120000));
    const QString out = QString::fromUtf8(child.readAll());
    EXPECT_EQ(child.exitCode(), 1) << out.toStdString();
    EXPECT_TRUE(out.contains(S("حافظه"))) << out.toStdString();
    const qsizetype at = out.indexOf(S("peak "));
    ASSERT_GE(at, 0) << out.toStdString();
#if defined(__SANITIZE_ADDRESS__)
    const int peakLimit = 1200; // AddressSanitizer's own bookkeeping comes on top
#else
    const int peakLimit = 400; // the file's budget is 64 MiB + 64 x 1.2 MB; the same file once took 2 GiB
#endif
    EXPECT_LT(out.mid(at + 5).section(u' ', 0, 0).toInt(), peakLimit) << out.toStdString();
}

// Legacy files are parsed in a child process: whatever the parser does with a malformed file,
// and a child that crashes or hangs, the program gets a message.
TEST_F(SpreadsheetImport, XlsChildProcessTurnsCrashesAndHangsIntoMessages)
{
    const QString good = makeWithPython("good.xls", kXlwtBook);
    QFile f(good);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    QByteArray scrambled = bytes;
    QRandomGenerator rng(3);
    for (int i = 0; i < 200; ++i) // header intact, sectors and records damaged
        scrambled[512 + int(rng.bounded(int(bytes.size()) - 512))] = char(rng.bounded(256));
    for (const auto& [name, content] :
         {std::pair{"cut", bytes.left(bytes.size() / 2)}, std::pair{"scrambled", scrambled}}) {
        SCOPED_TRACE(name);
        const QString path = makeBytes("damaged.xls", content);
        try {
            const SheetTable t = readSheet(path, S("sh"));
            // A damage the parser does not notice may still give a table; it must not take the program.
            SUCCEED();
        } catch (const Error& e) {
            EXPECT_TRUE(e.message().contains(S("فايل اكسل"))) << e.message().toStdString();
        }
    }

    struct Case {
        const char* mode;
        int seconds;
        QString expect;
    };
    for (const Case& c : {Case{"crash", 30, S("خراب است و خواندن آن متوقف شد")}, Case{"hang", 1, S("1 ثانيه")}}) {
        SCOPED_TRACE(c.mode);
        qputenv("TARVEST_TEST_XLS_CHILD", c.mode);
        setXlsChildLimits({c.seconds, 0});
        try {
            readSheet(good, S("sh"));
            ADD_FAILURE() << "no error";
        } catch (const Error& e) {
            EXPECT_TRUE(e.message().startsWith(S("خطا! "))) << e.message().toStdString();
            EXPECT_TRUE(e.message().contains(c.expect)) << e.message().toStdString();
        }
        qunsetenv("TARVEST_TEST_XLS_CHILD");
        setXlsChildLimits({});
    }
    EXPECT_EQ(readSheet(good, S("sh")).columns.size(), 4); // and the next read works again
}

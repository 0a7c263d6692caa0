// Export layout, checked by reading the written workbook back with openpyxl.
#include "common/errors.h"
#include "common/spreadsheet.h"
#include "db/export.h"
#include "db/provision.h"
#include "db/resultset.h"
#include "pyhelpers.h"
#include "table_source.h"
#include "testdb.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace tarvest;
using tarvest::testing::TableSource;

namespace {

// Prints what a user would see of the workbook: sheets, direction, used size, column widths
// and, for every cell of A1:AA<max row + 1>, its value, bold and four border styles.
const char* kInspect = R"PY(
import sys, json, openpyxl
from openpyxl.utils import get_column_letter
wb = openpyxl.load_workbook(sys.argv[1])
ws = wb.worksheets[0]
widths = {}
for dim in ws.column_dimensions.values():
    if dim.customWidth:
        for c in range(dim.min, dim.max + 1):
            widths[get_column_letter(c)] = dim.width
max_row = ws.max_row
cells = {}
for r in range(1, max_row + 2):
    for c in range(1, 28):
        cell = ws.cell(row=r, column=c)
        b = cell.border
        cells[cell.coordinate] = {
            "v": cell.value, "t": cell.data_type, "bold": bool(cell.font and cell.font.b),
            "border": [b.left.style, b.right.style, b.top.style, b.bottom.style]}
print(json.dumps({"sheets": wb.sheetnames, "rtl": bool(ws.sheet_view.rightToLeft),
                  "maxRow": max_row, "widths": widths, "cells": cells}))
)PY";

QString colLetter(int c) // 0-based
{
    QString s;
    for (++c; c > 0; c = (c - 1) / 26)
        s.prepend(QChar(u'A' + (c - 1) % 26));
    return s;
}

class SpreadsheetExport : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path() const { return dir.filePath(QStringLiteral("out.xlsx")); }

    QJsonObject exportAndInspect(const TableSource& src, const QHash<QString, QString>& titles)
    {
        writeXlsx(path(), src, titles);
        return tarvest::testing::runPythonJson(QString::fromUtf8(kInspect), {path()}).toObject();
    }
    static QJsonObject cell(const QJsonObject& book, int row, int col)
    {
        return book[QStringLiteral("cells")].toObject()[colLetter(col) + QString::number(row)].toObject();
    }
    static QStringList borders(const QJsonObject& c)
    {
        QStringList out;
        for (const auto& v : c[QStringLiteral("border")].toArray())
            out << v.toString(QStringLiteral("none"));
        return out;
    }
};

const QStringList kSlant(4, QStringLiteral("slantDashDot"));
const QStringList kThin(4, QStringLiteral("thin"));
const QStringList kNone(4, QStringLiteral("none"));

TableSource wideSource()
{
    TableSource s;
    for (int c = 0; c < 15; ++c) // beyond M, the last bordered column
        s.names << QStringLiteral("f%1").arg(c);
    s.names[0] = QStringLiteral("id");
    s.names[1] = QStringLiteral("City");
    s.data = {
        {QStringLiteral("  1 "), QStringLiteral(" شهرستان  مرکزي "), QStringLiteral("O'Brien"),
         QStringLiteral("a < b & c"), QString(), QStringLiteral("   "), QStringLiteral("=1+2"), QStringLiteral("007"),
         QStringLiteral("\tتب\t"), QString(), QString(), QString(), QString(), QStringLiteral("ستون ۱۴"),
         QStringLiteral(" last ")},
        {QStringLiteral("2"), QStringLiteral("نطنز")},
        {QStringLiteral("3"), QStringLiteral("كاشان"), QStringLiteral("x")},
    };
    return s;
}

} // namespace

TEST_F(SpreadsheetExport, HeaderTitlesAndTrimmedValuesAsStrings)
{
    const TableSource src = wideSource();
    // Titles match field names without regard to case; "f2" has none and keeps its name.
    const QJsonObject book = exportAndInspect(src, {{QStringLiteral("ID"), QStringLiteral("شناسه")},
                                                    {QStringLiteral("city"), QStringLiteral("شهرستان")},
                                                    {QStringLiteral("f14"), QStringLiteral("  <عنوان & آخر>  ")},
                                                    {QStringLiteral("absent"), QStringLiteral("x")}});
    ASSERT_FALSE(book.isEmpty());
    EXPECT_EQ(book[QStringLiteral("sheets")].toArray(), QJsonArray{QStringLiteral("Sheet1")});
    EXPECT_TRUE(book[QStringLiteral("rtl")].toBool());
    EXPECT_EQ(book[QStringLiteral("maxRow")].toInt(), 4);

    const QStringList header = {QStringLiteral("شناسه"), QStringLiteral("شهرستان"), QStringLiteral("f2"),
                                QStringLiteral("f3")};
    for (int c = 0; c < header.size(); ++c)
        EXPECT_EQ(cell(book, 1, c)[QStringLiteral("v")].toString(), header[c]) << c;
    EXPECT_EQ(cell(book, 1, 14)[QStringLiteral("v")].toString(), QStringLiteral("<عنوان & آخر>"));

    struct Expect {
        int row, col;
        const char* value;
    }; // nullptr: empty cell
    const Expect cases[] = {
        {2, 0, "1"},     {2, 1, "شهرستان  مرکزي"}, {2, 2, "O'Brien"}, {2, 3, "a < b & c"},
        {2, 4, nullptr}, {2, 5, nullptr},          {2, 6, "=1+2"},    {2, 7, "007"},
        {2, 8, "تب"},    {2, 13, "ستون ۱۴"},       {2, 14, "last"},   {3, 0, "2"},
        {3, 1, "نطنز"},  {3, 2, nullptr},          {4, 2, "x"},
    };
    for (const Expect& e : cases) {
        const QJsonObject c = cell(book, e.row, e.col);
        SCOPED_TRACE(colLetter(e.col).toStdString() + std::to_string(e.row));
        if (e.value) {
            EXPECT_EQ(c[QStringLiteral("v")].toString(), QString::fromUtf8(e.value));
            EXPECT_EQ(c[QStringLiteral("t")].toString(), QStringLiteral("s")); // text, never a number or formula
        } else {
            EXPECT_TRUE(c[QStringLiteral("v")].isNull());
        }
    }
}

TEST_F(SpreadsheetExport, WidthsBoldAndBordersOfAWideTable)
{
    const TableSource src = wideSource();
    const QJsonObject book = exportAndInspect(src, {});
    ASSERT_FALSE(book.isEmpty());
    const QJsonObject widths = book[QStringLiteral("widths")].toObject();
    EXPECT_EQ(widths.size(), 15);
    // Each column fits its heading or longest value, at least Excel's own width of 8 (stored
    // with Excel's padding): "id" over 1..3 gets 8, the county "شهرستان  مرکزي" 14 + 2.
    EXPECT_NEAR(widths[QStringLiteral("A")].toDouble(), 8.71, 0.01);
    EXPECT_NEAR(widths[QStringLiteral("B")].toDouble(), 16.71, 0.01);
    for (int c = 0; c < 15; ++c)
        EXPECT_GE(widths[colLetter(c)].toDouble(), 8.7) << colLetter(c).toStdString();

    for (int c = 0; c < 27; ++c) {
        SCOPED_TRACE(colLetter(c).toStdString());
        EXPECT_TRUE(cell(book, 1, c)[QStringLiteral("bold")].toBool());
        EXPECT_EQ(borders(cell(book, 1, c)), c < 13 ? kSlant : kNone);
        for (int row = 2; row <= 4; ++row) {
            EXPECT_EQ(borders(cell(book, row, c)), c < 13 ? kThin : kNone) << row;
            EXPECT_FALSE(cell(book, row, c)[QStringLiteral("bold")].toBool()) << row;
        }
        EXPECT_EQ(borders(cell(book, 5, c)), kNone);
    }
}

TEST_F(SpreadsheetExport, NarrowTableStillFormatsTheWholeHeaderAndBorderRanges)
{
    TableSource src;
    src.names = {QStringLiteral("a"), QStringLiteral("b")};
    src.data = {{QStringLiteral("۱"), QStringLiteral("۲")}, {QString(), QString()}};
    const QJsonObject book = exportAndInspect(src, {});
    ASSERT_FALSE(book.isEmpty());
    EXPECT_EQ(book[QStringLiteral("widths")].toObject().keys(),
              (QStringList{QStringLiteral("A"), QStringLiteral("B")}));
    EXPECT_EQ(book[QStringLiteral("maxRow")].toInt(), 3);
    for (int c = 0; c < 13; ++c) {
        SCOPED_TRACE(colLetter(c).toStdString());
        EXPECT_EQ(borders(cell(book, 1, c)), kSlant);
        EXPECT_EQ(borders(cell(book, 2, c)), kThin);
        EXPECT_EQ(borders(cell(book, 3, c)), kThin); // a record of empty values still gets its row
        if (c >= 2) {
            EXPECT_TRUE(cell(book, 2, c)[QStringLiteral("v")].isNull());
        }
    }
    EXPECT_TRUE(cell(book, 1, 26)[QStringLiteral("bold")].toBool());
    EXPECT_EQ(borders(cell(book, 2, 13)), kNone);
}

TEST_F(SpreadsheetExport, NoRecordsMeansNoDataBorders)
{
    TableSource src;
    src.names = {QStringLiteral("id"), QStringLiteral("nam")};
    const QJsonObject book = exportAndInspect(src, {{QStringLiteral("nam"), QStringLiteral("نام")}});
    ASSERT_FALSE(book.isEmpty());
    EXPECT_EQ(book[QStringLiteral("maxRow")].toInt(), 1);
    EXPECT_EQ(cell(book, 1, 1)[QStringLiteral("v")].toString(), QStringLiteral("نام"));
    for (int c = 0; c < 13; ++c) {
        EXPECT_EQ(borders(cell(book, 1, c)), kSlant) << c;
        EXPECT_EQ(borders(cell(book, 2, c)), kNone) << c;
    }
}

TEST_F(SpreadsheetExport, UnwritablePathFailsWithAPersianMessage)
{
    TableSource src;
    src.names = {QStringLiteral("id")};
    src.data = {{QStringLiteral("1")}};
    const QString paths[] = {
        dir.filePath(QStringLiteral("no/such/folder/out.xlsx")),
        dir.path(), // a folder, not a file
    };
    for (const QString& p : paths) {
        try {
            writeXlsx(p, src, {});
            ADD_FAILURE() << "no error for " << p.toStdString();
        } catch (const Error& e) {
            EXPECT_TRUE(e.message().startsWith(QStringLiteral("خطا! فايل"))) << e.message().toStdString();
            EXPECT_TRUE(e.message().contains(QDir::toNativeSeparators(p)));
        }
    }
    EXPECT_TRUE(QFileInfo(dir.path()).isDir());
}

TEST_F(SpreadsheetExport, ReplacesAnExistingFile)
{
    QFile old(path());
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write(QByteArray(100000, 'x'));
    old.close();
    TableSource src;
    src.names = {QStringLiteral("id")};
    src.data = {{QStringLiteral("1")}};
    writeXlsx(path(), src, {});
    EXPECT_EQ(readSheet(path(), QStringLiteral("Sheet1")).rows, (QList<QStringList>{{QStringLiteral("1")}}));
}

namespace {

// Each cell of rows 2.. as [value, openpyxl data type], read back by an independent reader.
const char* kCellTypes = R"PY(
import sys, json, openpyxl
ws = openpyxl.load_workbook(sys.argv[1]).worksheets[0]
print(json.dumps([[[c.value, c.data_type] for c in row] for row in ws.iter_rows(min_row=2, max_col=int(sys.argv[2]))]))
)PY";

} // namespace

// Amount, whole-number and decimal columns become numeric cells a spreadsheet can sum;
// every other column stays text, digits or not (leading zeros kept).
TEST_F(SpreadsheetExport, NumberColumnsAreNumericCellsAndTextsStayText)
{
    TableSource src;
    src.names = {QStringLiteral("abadi_cod"), QStringLiteral("arzesh"), QStringLiteral("zarib"), QStringLiteral("cnt")};
    src.numberColumns = {1, 2, 3};
    src.data = {
        {QStringLiteral("0071"), QStringLiteral("1250000"), QStringLiteral("12.5"), QStringLiteral("-3")},
        {QStringLiteral("12"), QStringLiteral(" 9007199254740992 "), QStringLiteral("0.1"), QStringLiteral("0")},
        {QStringLiteral("00"), QStringLiteral("نامعلوم"), QString(), QStringLiteral("7")},
    };
    writeXlsx(path(), src, {});
    const QJsonArray rows =
        tarvest::testing::runPythonJson(QString::fromUtf8(kCellTypes), {path(), QStringLiteral("4")}).toArray();
    ASSERT_EQ(rows.size(), 3);
    struct Expect {
        int row, col;
        QJsonValue value;
        const char* type;
    };
    const Expect cases[] = {
        {0, 0, QStringLiteral("0071"), "s"},
        {0, 1, 1250000, "n"},
        {0, 2, 12.5, "n"},
        {0, 3, -3, "n"},
        {1, 0, QStringLiteral("12"), "s"},
        {1, 1, 9007199254740992.0, "n"},
        {1, 2, 0.1, "n"},
        {1, 3, 0, "n"},
        {2, 0, QStringLiteral("00"), "s"},
        {2, 1, QStringLiteral("نامعلوم"), "s"},
        {2, 2, QJsonValue::Null, "n"},
        {2, 3, 7, "n"},
    };
    for (const Expect& e : cases) {
        SCOPED_TRACE(std::to_string(e.row) + "," + std::to_string(e.col));
        const QJsonArray c = rows[e.row].toArray()[e.col].toArray();
        EXPECT_EQ(c[0], e.value);
        EXPECT_EQ(c[1].toString(), QString::fromLatin1(e.type));
    }
}

namespace {

class ExportFromTable : public tarvest::test::DbTest {
protected:
    void SetUp() override
    {
        DbTest::SetUp();
        if (db) {
            ASSERT_TRUE(provisionSucceeded(provision(*db)));
        }
    }
};

} // namespace

// The kinds come from the table's description: the money and coefficient columns of a price
// assessment are numbers, its code and year texts.
TEST_P(ExportFromTable, ColumnKindsFollowTheSchema)
{
    db->insert(QStringLiteral("ghimat"), {{QStringLiteral("abadi_cod"), QStringLiteral("0071")},
                                          {QStringLiteral("sal"), QStringLiteral("1403")},
                                          {QStringLiteral("arzesh"), 1250000},
                                          {QStringLiteral("paye_zarib"), 1.25}});
    ResultSet rs(db);
    rs.open(QStringLiteral("select id, abadi_cod, sal, arzesh, paye_zarib from ghimat"), {}, QStringLiteral("ghimat"));
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("prices.xlsx"));
    exportResultSet(rs, out);
    const QJsonArray rows = tarvest::testing::runPythonJson(QString::fromUtf8(kCellTypes), {out, QStringLiteral("5")})
                                .toArray();
    ASSERT_EQ(rows.size(), 1);
    const QJsonArray r = rows[0].toArray();
    EXPECT_EQ(r[0].toArray()[1].toString(), QStringLiteral("n")); // identity key
    EXPECT_EQ(r[1].toArray(), (QJsonArray{QStringLiteral("0071"), QStringLiteral("s")}));
    EXPECT_EQ(r[2].toArray(), (QJsonArray{QStringLiteral("1403"), QStringLiteral("s")}));
    EXPECT_EQ(r[3].toArray(), (QJsonArray{1250000, QStringLiteral("n")}));
    EXPECT_EQ(r[4].toArray(), (QJsonArray{1.25, QStringLiteral("n")}));
}

TARVEST_FOR_EACH_DATABASE(ExportFromTable);

// A column is as wide as its heading or its longest value as shown (a number with its
// grouping), within bounds; number cells carry the grouping format with their decimals.
TEST_F(SpreadsheetExport, ColumnsFitTheirContentAndNumbersAreGrouped)
{
    TableSource src;
    src.names = {QStringLiteral("cmt"), QStringLiteral("arzesh"), QStringLiteral("masahat"), QStringLiteral("id"),
                 QStringLiteral("tarikh")};
    src.numberColumns = {1, 2};
    src.data = {
        {QString(300, QChar(u'ب')), QStringLiteral("987654321098765"), QStringLiteral("1250.75"), QStringLiteral("1"),
         QStringLiteral("1403/07/15")},
        {QStringLiteral("x"), QStringLiteral("12"), QStringLiteral("۳۰۰٫۵"), QStringLiteral("2"), QString()},
    };
    const QHash<QString, QString> titles{{QStringLiteral("tarikh"), QStringLiteral("تاريخ بازديد و ارائه گزارش فني")}};
    writeXlsx(path(), src, titles);
    const QJsonValue book = tarvest::testing::runPythonJson(R"PY(
import sys, json, openpyxl
ws = openpyxl.load_workbook(sys.argv[1]).worksheets[0]
print(json.dumps({"widths": {k: d.width for k, d in ws.column_dimensions.items()},
                  "formats": [[c.number_format for c in row] for row in ws.iter_rows(min_row=2, max_col=5)]}))
)PY",
                                                            {path()});
    const QJsonObject widths = book[QStringLiteral("widths")].toObject();
    const struct {
        const char* column;
        double width; // as stored, with Excel's padding of 0.71
    } expected[] = {
        {"A", 50.71}, // 300 letters: the widest a column gets
        {"B", 21.71}, // "987,654,321,098,765"
        {"C", 10.71}, // "1,250.75" is under the heading "masahat" (7 x 1.1) + 2
        {"D", 8.71},  // Excel's own width at least
        {"E", 35.71}, // the bold heading of 30 letters, a tenth wider
    };
    for (const auto& e : expected)
        EXPECT_NEAR(widths[QString::fromLatin1(e.column)].toDouble(), e.width, 0.01) << e.column;
    const QJsonArray formats = book[QStringLiteral("formats")].toArray();
    EXPECT_EQ(formats[0].toArray()[1].toString(), QStringLiteral("#,##0"));
    EXPECT_EQ(formats[0].toArray()[2].toString(), QStringLiteral("#,##0.00"));
    EXPECT_EQ(formats[1].toArray()[2].toString(), QStringLiteral("#,##0.0"));
    EXPECT_EQ(formats[0].toArray()[4].toString(), QStringLiteral("General")); // a date stays text
}

// Which stored texts become number cells: figures as typed, grouped or not, in either
// script; codes with leading zeros and anything a double would round stay text.
TEST(SheetNumber, ReadsFiguresAndLeavesCodesAsText)
{
    const struct {
        const char* text;
        std::optional<double> value;
        int decimals;
    } cases[] = {
        {"1250000", 1250000, 0},
        {" 1,250,000 ", 1250000, 0},
        {"۱٬۲۵۰٬۰۰۰", 1250000, 0},
        {"۱۲۵۰۰۰۰", 1250000, 0},
        {"-1,500.25", -1500.25, 2},
        {"12.50", 12.5, 2},
        {"۳۰۰٫۵", 300.5, 1},
        {"0", 0, 0},
        {"0.25", 0.25, 2},
        {".5", 0.5, 1},
        {"987654321098765", 987654321098765.0, 0},
        {"9007199254740992", 9007199254740992.0, 0}, // held exactly by a double
        {"9007199254740993", std::nullopt, 0},       // would be rounded
        {"1234567890.1234567", std::nullopt, 0},     // 17 significant digits
        {"050101010", std::nullopt, 0},              // a village code
        {"09131000000", std::nullopt, 0},            // a phone number
        {"00", std::nullopt, 0},
        {"-01", std::nullopt, 0},
        {"1,25,000", std::nullopt, 0}, // not in groups of three
        {"1,2500", std::nullopt, 0},
        {"1.250.000", std::nullopt, 0},
        {"12 500", std::nullopt, 0},
        {"1e-05", 0.00001, 5}, // a float column as the database writes it
        {"1.5E3", 1500, 0},
        {"123/45", std::nullopt, 0},
        {"1403/07/15", std::nullopt, 0},
        {"نامعلوم", std::nullopt, 0},
        {"", std::nullopt, 0},
        {"-", std::nullopt, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const std::optional<SheetNumber> n = sheetNumber(QString::fromUtf8(c.text));
        ASSERT_EQ(n.has_value(), c.value.has_value());
        if (n) {
            EXPECT_EQ(n->value, *c.value);
            EXPECT_EQ(n->decimals, c.decimals);
        }
    }
}

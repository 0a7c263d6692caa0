// tarvest-admin sheet: what the imports see in a spreadsheet file, as an office checks a
// file before an import: every sheet's name, the sheet read, and its rows by position.
#include "pyhelpers.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct AdminRun {
    int code;
    QByteArray out;
    QString err;
};

AdminRun runAdmin(const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral(TARVEST_ADMIN_EXE), args);
    EXPECT_TRUE(p.waitForFinished(30000));
    return {p.exitCode(), p.readAllStandardOutput(), QString::fromUtf8(p.readAllStandardError())};
}

QString S(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

// Two sheets: "اول" with a gap in row 1 and column A empty below it, then "sh".
const char* kBook = R"PY(
import sys, datetime, openpyxl
wb = openpyxl.Workbook()
ws = wb.active
ws.title = "اول"
ws["A1"] = "کد"; ws["C1"] = "مبلغ"
ws["B2"] = "۱۴۰۳/۰۷/۱۵"; ws["C2"] = 123456789012345
ws["D4"] = datetime.date(2024, 3, 5); ws["D4"].number_format = "yyyy-mm-dd"
wb.create_sheet("sh")["A1"] = "x"
wb.save(sys.argv[1])
)PY";

} // namespace

TEST(AdminSheet, PrintsTheSheetByPositionAsJson)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(S("دفتر.xlsx"));
    ASSERT_EQ(tarvest::testing::runPython(S(kBook), {path}).exitCode, 0);

    const struct {
        QStringList extra;
        const char* sheet;
        const char* rows; // JSON
    } cases[] = {
        {{}, "اول", R"([["کد", "", "مبلغ"], ["", "۱۴۰۳/۰۷/۱۵", "123456789012345"], [], ["", "", "", "2024-03-05"]])"},
        {{S("--sheet"), S("SH")}, "sh", R"([["x"]])"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sheet);
        const AdminRun r = runAdmin(QStringList{S("sheet"), path} + c.extra);
        ASSERT_EQ(r.code, 0) << r.err.toStdString();
        EXPECT_TRUE(r.err.isEmpty());
        QJsonParseError parse{};
        const QJsonObject o = QJsonDocument::fromJson(r.out, &parse).object();
        ASSERT_EQ(parse.error, QJsonParseError::NoError) << r.out.constData();
        EXPECT_EQ(o.value("sheets").toArray(), (QJsonArray{S("اول"), S("sh")}));
        EXPECT_EQ(o.value("sheet").toString(), S(c.sheet));
        EXPECT_EQ(o.value("rows").toArray(), QJsonDocument::fromJson(c.rows).array()) << r.out.constData();
    }
}

TEST(AdminSheet, RefusesWithThePersianReason)
{
    QTemporaryDir dir;
    const QString book = dir.filePath(S("book.xlsx"));
    ASSERT_EQ(tarvest::testing::runPython(S(kBook), {book}).exitCode, 0);
    const QString text = dir.filePath(S("note.xlsx"));
    QFile f(text);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("id,name\n");
    f.close();
    const struct {
        QStringList args;
        int code;
        QString reason;
    } cases[] = {
        {{S("sheet"), dir.filePath(S("none.xlsx"))}, 1, S("يافت نشد")},
        {{S("sheet"), text}, 1, S("فايل اكسل (xlsx يا xls) نيست")},
        {{S("sheet"), book, S("--sheet"), S("Sheet9")}, 1, S("شيت «Sheet9» در فايل يافت نشد")},
        {{S("sheet")}, 2, S("usage")},
        {{S("sheet"), book, S("--sheet")}, 2, S("usage")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.join(u' ').toStdString());
        const AdminRun r = runAdmin(c.args);
        EXPECT_EQ(r.code, c.code);
        EXPECT_TRUE(r.out.isEmpty()) << r.out.constData();
        EXPECT_TRUE(r.err.contains(c.reason)) << r.err.toStdString();
    }
}

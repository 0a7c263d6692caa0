// Land identification rules: the spreadsheet column mapping (pure), and on a real
// database of each kind the search conditions, the replacement of the land data from
// .xlsx and .xls sheets (all or nothing, `arazi` and `sh` together) and the command line.
#include "common/errors.h"
#include "common/spreadsheet.h"
#include "db/database.h"
#include "db/export.h"
#include "db/provision.h"
#include "db/resultset.h"
#include "db/schema.h"
#include "lands/core/lands.h"
#include "pyhelpers.h"
#include "race.h"
#include "testdb.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QProcess>
#include <QSet>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>

using namespace tarvest;

namespace {

// The zero-based index of a spreadsheet column letter ("A" 0, "AA" 26, "BF" 57).
int columnIndex(const QString& letters)
{
    int n = 0;
    for (QChar ch : letters)
        n = n * 26 + (ch.unicode() - 'A' + 1);
    return n - 1;
}

} // namespace

TEST(LandSheetMapping, CopiesCToAjAlToAvAxToBfOntoTheLandColumnsInOrder)
{
    // A row whose every cell names its own column: each land column receives exactly
    // the cell of its sheet column.
    QStringList row;
    for (int c = 0; c < 60; ++c)
        row << QStringLiteral("cell%1").arg(c);
    const QStringList values = landValuesFromSheetRow(row);
    const QStringList columns = landColumnNames();
    ASSERT_EQ(values.size(), 54);
    ASSERT_EQ(columns.size(), 54);

    const struct {
        const char* sheetColumn;
        const char* landColumn;
    } cases[] = {
        {"C", "shahrestan"}, {"D", "bakhsh"},     {"G", "abadi"},        {"L", "marhale"},   {"U", "marja"},
        {"AE", "shoa"},      {"AJ", "mostasna"},  {"AL", "taminetebar"}, {"AQ", "movafegh"}, {"AV", "komite2"},
        {"AX", "tasvib"},    {"BC", "manabe_no"}, {"BE", "mas"},         {"BF", "san"},
    };
    for (const auto& c : cases) {
        const int at = int(columns.indexOf(QLatin1String(c.landColumn)));
        ASSERT_GE(at, 0) << c.landColumn;
        EXPECT_EQ(values[at], QStringLiteral("cell%1").arg(columnIndex(QLatin1String(c.sheetColumn))))
            << c.sheetColumn << " -> " << c.landColumn;
    }
    // A, B, AK and AW are never copied; nothing past BF is either.
    for (const char* unused : {"A", "B", "AK", "AW", "BG", "BH"})
        EXPECT_FALSE(values.contains(QStringLiteral("cell%1").arg(columnIndex(QLatin1String(unused))))) << unused;
    // The copied columns are in sheet order, each once.
    const QList<int>& mapped = landSheetColumns();
    EXPECT_TRUE(std::is_sorted(mapped.begin(), mapped.end()));
    EXPECT_EQ(mapped.back(), LandSheetMinColumns - 1);

    // A row that stops early reads its missing cells as empty.
    const QStringList shortRow = landValuesFromSheetRow({"a", "b", "c", "d"});
    EXPECT_EQ(shortRow.value(0), "c");
    EXPECT_EQ(shortRow.value(1), "d");
    EXPECT_EQ(shortRow.value(53), "");
}

TEST(LandSheetMapping, SheetNeedsTheFiftyEightColumnsItReads)
{
    for (int width : {0, 36, 57}) {
        SheetTable sheet;
        for (int c = 0; c < width; ++c)
            sheet.columns << QStringLiteral("h%1").arg(c);
        sheet.rows << QStringList(width, "x");
        try {
            landRowsFromSheet(sheet);
            ADD_FAILURE() << "accepted " << width << " columns";
        } catch (const Error& e) {
            // The refusal names the columns found and the columns needed.
            EXPECT_EQ(e.message(), columnCountMessage(land_msg::ColumnCount, width, 58, true));
            EXPECT_TRUE(e.message().startsWith(land_msg::ColumnCount));
            EXPECT_TRUE(e.message().contains(QStringLiteral(" %1 ستون دارد").arg(width))) << e.message().toStdString();
            EXPECT_TRUE(e.message().contains(QStringLiteral("دست کم 58 ستون"))) << e.message().toStdString();
        }
    }
    for (int width : {58, 59, 100}) {
        SheetTable sheet;
        for (int c = 0; c < width; ++c)
            sheet.columns << QStringLiteral("h%1").arg(c);
        sheet.rows << QStringList(width, "x") << QStringList{};
        const QList<QStringList> rows = landRowsFromSheet(sheet);
        ASSERT_EQ(rows.size(), 2) << width;
        EXPECT_EQ(rows[0], QStringList(54, "x"));
        EXPECT_EQ(rows[1], QStringList(54, "")); // a blank row in the middle of a sheet stays a row
    }
}

TEST(LandFieldTable, HoldsTheFiftyFourColumnsOfTheTableWithTheirCaptions)
{
    const Table* arazi = findTable("arazi");
    ASSERT_NE(arazi, nullptr);
    QStringList tableColumns;
    for (const Column& c : arazi->columns)
        if (!c.identity)
            tableColumns << c.name;
    EXPECT_EQ(landColumnNames(), tableColumns);
    QStringList grid;
    for (const LandGridColumn& c : landGridColumns()) {
        grid << c.column;
        EXPECT_FALSE(c.title.isEmpty()) << c.column.toStdString();
    }
    EXPECT_EQ(grid.size(), 54);
    EXPECT_EQ(grid.first(), "abadi");
    EXPECT_EQ(QSet<QString>(grid.begin(), grid.end()).size(), 54);
}

namespace {

const QString Shiraz = QStringLiteral("شيراز");
const QString ShirazNorth = QStringLiteral("شيراز شمالي");
const QString Lar = QStringLiteral("لارستان");

class LandsTest : public test::DbTest {
protected:
    void SetUp() override
    {
        DbTest::SetUp();
        if (!db)
            return;
        ASSERT_TRUE(provisionSucceeded(provision(*db)));
        setXlsReaderProgram(QStringLiteral(TARVEST_ADMIN_EXE));
        // Three records standing before any replacement.
        addRecord(Shiraz, "101", QStringLiteral("كوشك"), QStringLiteral("فاز 1"), QStringLiteral("هادي"),
                  QStringLiteral("تفصيلي"), QStringLiteral("منابع طبيعي"));
        addRecord(ShirazNorth, "101", QStringLiteral("دشت"), QStringLiteral("فاز 2"), QStringLiteral("هادي"),
                  QStringLiteral("اجمالي"), QStringLiteral("ملي"));
        addRecord(Lar, "301", QStringLiteral("بنارویه"), QStringLiteral("فاز 1"), QStringLiteral("بهسازي"),
                  QStringLiteral("تفصيلي"), QStringLiteral("منابع طبيعي"));
    }

    void addRecord(const QString& county, const QString& code, const QString& village, const QString& stage,
                   const QString& plan, const QString& study, const QString& authority)
    {
        QVariantMap v = landValues({});
        v["shahrestan"] = county;
        v["abadi"] = code;
        v["rosta"] = village;
        v["marhale"] = stage;
        v["tarh"] = plan;
        v["motale"] = study;
        v["marja"] = authority;
        db->insert("arazi", v);
    }

    // Both tables whole, in a fixed order, with their row counts and a checksum.
    struct State {
        qint64 arazi = 0, sh = 0;
        QByteArray checksum;
        bool operator==(const State&) const = default;
    };
    State state()
    {
        const QString cols = landColumnNames().join(u',');
        QCryptographicHash hash(QCryptographicHash::Sha256);
        State s;
        for (const QString& sql :
             {"select id," + cols + " from arazi order by id", "select " + cols + " from sh order by " + cols}) {
            QSqlQuery q = db->exec(sql);
            qint64 n = 0;
            while (q.next()) {
                ++n;
                for (int c = 0; c < q.record().count(); ++c)
                    hash.addData((q.value(c).toString() + u'\x1f').toUtf8());
                hash.addData("\n");
            }
            (sql.contains("from arazi") ? s.arazi : s.sh) = n;
        }
        s.checksum = hash.result().toHex();
        return s;
    }

    // A sheet "sh" of `rows` rows under a heading row and `columns` columns; cell (r, c)
    // holds "ر{r}'c{c}", so every value is known and holds an apostrophe. With `firstColumn`
    // the columns before it are left empty (c still counts from column A).
    QString makeXlsx(const QString& name, int rows, int columns, const QString& sheet = "sh", int firstColumn = 0)
    {
        const QString path = dir.filePath(name);
        const auto made = tarvest::testing::runPython(
            R"PY(
import sys, openpyxl
path, rows, cols, sheet, first = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), sys.argv[4], int(sys.argv[5])
wb = openpyxl.Workbook()
ws = wb.active
ws.title = sheet
ws.append([None] * first + ["h%d" % c for c in range(first, cols)])
for r in range(rows):
    ws.append([None] * first + ["ر%d'c%d" % (r, c) for c in range(first, cols)])
wb.save(path)
)PY",
            {path, QString::number(rows), QString::number(columns), sheet, QString::number(firstColumn)});
        EXPECT_EQ(made.exitCode, 0) << made.err.toStdString();
        return path;
    }
    static QString cell(int r, int c) { return QStringLiteral("ر%1'c%2").arg(r).arg(c); }

    // A sheet "sh" of 58 columns under a heading row whose rows hold only the cells given
    // (zero-based column -> text); every other cell is left empty in the file.
    QString makeSparseXlsx(const QString& name, const QList<QMap<int, QString>>& rows)
    {
        QJsonArray all;
        for (const auto& row : rows) {
            QJsonObject cells;
            for (auto it = row.begin(); it != row.end(); ++it)
                cells.insert(QString::number(it.key()), it.value());
            all.append(cells);
        }
        const QString path = dir.filePath(name);
        const auto made = tarvest::testing::runPython(R"PY(
import sys, json, openpyxl
path, rows = sys.argv[1], json.loads(sys.argv[2])
wb = openpyxl.Workbook()
ws = wb.active
ws.title = "sh"
ws.append(["h%d" % c for c in range(58)])
for r, row in enumerate(rows):
    for c, v in row.items():
        ws.cell(row=r + 2, column=int(c) + 1, value=v)
wb.save(path)
)PY",
                                                      {path, QString::fromUtf8(QJsonDocument(all).toJson())});
        EXPECT_EQ(made.exitCode, 0) << made.err.toStdString();
        return path;
    }
    int runImport(const QString& file, QString* err)
    {
        QProcess p;
        p.start(QStringLiteral(TARVEST_ADMIN_EXE),
                {"import-lands", file, GetParam() == test::Backend::Sqlite ? "--sqlite" : "--pg", tmp->location()});
        EXPECT_TRUE(p.waitForFinished(60000));
        *err = QString::fromUtf8(p.readAllStandardError());
        return p.exitCode();
    }

    // Every row of the table holds, column by column, the cells the mapping names.
    void expectSheetRows(const QString& table, int rows)
    {
        const QStringList cols = landColumnNames();
        QSqlQuery q = db->exec("select " + cols.join(u',') + " from " + table);
        QSet<int> seen;
        while (q.next()) {
            const QString first = q.value(0).toString(); // ر{r}'c2
            const int r = first.mid(1, first.indexOf(u'\'') - 1).toInt();
            seen.insert(r);
            for (int i = 0; i < cols.size(); ++i)
                ASSERT_EQ(q.value(i).toString(), cell(r, landSheetColumns()[i]))
                    << table.toStdString() << " row " << r << " " << cols[i].toStdString();
        }
        EXPECT_EQ(seen.size(), rows) << table.toStdString();
    }

    QTemporaryDir dir;
};

} // namespace

TEST_P(LandsTest, SearchAppliesTheCountyListAndEachEnabledFilter)
{
    const struct {
        LandFilters filters;
        qint64 expected;
    } cases[] = {
        {{}, 3},
        // The county filter ticked but no county added finds nothing.
        {{.counties = QStringList{}}, 0},
        // A short entry matches every county that contains it.
        {{.counties = QStringList{Shiraz}}, 2},
        {{.counties = QStringList{ShirazNorth}}, 1},
        {{.counties = QStringList{QStringLiteral("شمالي"), Lar}}, 2},
        {{.counties = QStringList{QStringLiteral("%")}}, 0},
        {{.rosta = QStringLiteral("كوش")}, 1},
        {{.marhale = QStringLiteral("فاز 1")}, 2},
        {{.tarh = QStringLiteral("هادي")}, 2},
        {{.motale = QStringLiteral("اجمالي")}, 1},
        {{.marja = QStringLiteral("منابع")}, 2},
        {{.counties = QStringList{Shiraz}, .marja = QStringLiteral("منابع")}, 1},
        {{.rosta = QStringLiteral("'")}, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(countLands(*db, c.filters), c.expected);
        const LandQuery q = landListQuery(*db, c.filters);
        QSqlQuery rows = db->exec(q.sql, q.params);
        qint64 n = 0;
        while (rows.next())
            ++n;
        EXPECT_EQ(n, c.expected);
    }
}

TEST_P(LandsTest, ReplacementFromXlsxFillsBothTablesWithEveryValueInItsColumn)
{
    const QString path = makeXlsx("lands.xlsx", 300, 58);
    std::vector<int> steps;
    const int n = replaceLands(*db, landRowsFromSheet(readSheet(path, "sh")), [&](int done) {
        // The earlier records are gone only inside the replacement's transaction.
        steps.push_back(done);
    });
    EXPECT_EQ(n, 300);
    ASSERT_FALSE(steps.empty());
    EXPECT_EQ(steps.front(), 0);
    EXPECT_EQ(steps.back(), 300);
    EXPECT_TRUE(std::is_sorted(steps.begin(), steps.end()));
    EXPECT_EQ(std::count(steps.begin(), steps.end(), 300), 1);
    EXPECT_EQ(db->scalar("select count(*) from arazi").toInt(), 300);
    EXPECT_EQ(db->scalar("select count(*) from sh").toInt(), 300);
    expectSheetRows("arazi", 300);
    expectSheetRows("sh", 300);
    EXPECT_EQ(db->scalar("select count(*) from arazi where shahrestan=?", {Shiraz}).toInt(), 0);
}

// Columns A and B are not copied, so a sheet may well leave them empty: its columns still
// count from A, and a sheet one column short is refused naming both numbers.
TEST_P(LandsTest, ASheetWithColumnAEmptyIsTakenByPosition)
{
    const QString path = makeXlsx("from-b.xlsx", 20, 58, "sh", 1);
    const SheetTable sheet = readLandSheet(path);
    EXPECT_EQ(sheet.columns.size(), 58);
    EXPECT_EQ(sheet.text(0, 0), "");
    EXPECT_EQ(replaceLands(*db, landRowsFromSheet(sheet)), 20);
    expectSheetRows("arazi", 20);
    expectSheetRows("sh", 20);
    EXPECT_EQ(db->scalar("select shahrestan from arazi where abadi=?", {cell(3, 6)}).toString(), cell(3, 2));

    const State before = state();
    try {
        landRowsFromSheet(readLandSheet(makeXlsx("short.xlsx", 5, 57, "sh", 1)));
        ADD_FAILURE() << "a sheet of 57 columns accepted";
    } catch (const Error& e) {
        EXPECT_EQ(e.message(), columnCountMessage(land_msg::ColumnCount, 57, 58, true));
    }
    EXPECT_EQ(state(), before);
}

// The land list exported (sheet "Sheet1", every column headed as the export heads it, `id`
// first) is taken again as it is: the replacement gives the same records.
TEST_P(LandsTest, TheLandExportImportedAgainGivesTheSameRecords)
{
    // Values as offices type them: long Persian names, Persian digits, apostrophes, codes
    // with leading zeros, empty cells.
    QVariantMap v = landValues({});
    v["shahrestan"] = QStringLiteral("شهرستان بسيار طولاني جنوب شرقي استان");
    v["abadi"] = QStringLiteral("050101010");
    v["rosta"] = QStringLiteral("ده'بالا ۲");
    v["khanevar"] = QStringLiteral("123");
    v["jamiyat"] = QStringLiteral("1250");
    v["utm_x"] = QStringLiteral("512345.5");
    db->insert("arazi", v);
    auto records = [&] {
        QList<QStringList> out;
        QSqlQuery q = db->exec("select " + landColumnNames().join(u',') + " from arazi order by id");
        while (q.next()) {
            QStringList row;
            for (int c = 0; c < q.record().count(); ++c)
                row << q.value(c).toString();
            out << row;
        }
        return out;
    };
    const QList<QStringList> before = records();
    ASSERT_EQ(before.size(), 4);

    ResultSet lands(db);
    lands.open(landListQuery(*db, {}).sql, {}, "arazi");
    const QString path = dir.filePath("arazi.xlsx");
    exportResultSet(lands, path, landExportTitles());
    lands.close();

    const SheetTable sheet = readLandSheet(path);
    EXPECT_EQ(sheet.heading.value(0), QStringLiteral("شناسه"));
    EXPECT_EQ(replaceLands(*db, landRowsFromSheet(sheet)), 4);
    EXPECT_EQ(records(), before);
    EXPECT_EQ(db->scalar("select count(*) from sh").toInt(), 4);

    // The same through the command line.
    QProcess p;
    p.start(QStringLiteral(TARVEST_ADMIN_EXE),
            {"import-lands", path, GetParam() == test::Backend::Sqlite ? "--sqlite" : "--pg", tmp->location()});
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    EXPECT_EQ(records(), before);
}

TEST_P(LandsTest, ReplacementFromASmallXlsReadsTheSameWay)
{
    const QString path = dir.filePath("lands.xls");
    const auto made = tarvest::testing::runPython(R"PY(
import sys, xlwt
wb = xlwt.Workbook(encoding="utf-8")
ws = wb.add_sheet("sh")
for c in range(58):
    ws.write(0, c, "h%d" % c)
for r in range(3):
    for c in range(58):
        ws.write(r + 1, c, "ر%d'c%d" % (r, c))
wb.save(sys.argv[1])
)PY",
                                                  {path});
    ASSERT_EQ(made.exitCode, 0) << made.err.toStdString();
    EXPECT_EQ(replaceLands(*db, landRowsFromSheet(readSheet(path, "sh"))), 3);
    expectSheetRows("arazi", 3);
    expectSheetRows("sh", 3);
}

TEST_P(LandsTest, ABadSheetLeavesTheLandDataExactlyAsItWas)
{
    // Put one earlier replacement in place, so `sh` holds rows too.
    replaceLands(*db, landRowsFromSheet(readSheet(makeXlsx("first.xlsx", 5, 58), "sh")));
    addRecord(Shiraz, "909", "a'b", "", "", "", "");
    const State before = state();
    ASSERT_EQ(before.arazi, 6);
    ASSERT_EQ(before.sh, 5);

    auto refused = [&](const std::function<void()>& attempt, const QString& expected) {
        try {
            attempt();
            ADD_FAILURE() << "accepted; expected " << expected.toStdString();
        } catch (const Error& e) {
            EXPECT_TRUE(e.message().contains(expected)) << e.message().toStdString();
        }
        EXPECT_EQ(state(), before);
    };
    auto importFile = [&](const QString& path) {
        return [this, path] { replaceLands(*db, landRowsFromSheet(readSheet(path, "sh"))); };
    };

    // 57 columns: the last copied column is missing.
    refused(importFile(makeXlsx("narrow.xlsx", 300, 57)), land_msg::ColumnCount);

    // No sheet "sh".
    refused(importFile(makeXlsx("other.xlsx", 10, 58, "Sheet1")), QStringLiteral("sh"));

    // A file whose worksheet breaks off at row 150.
    const QString whole = makeXlsx("whole.xlsx", 300, 58);
    const QString broken = dir.filePath("broken.xlsx");
    const auto cut = tarvest::testing::runPython(R"PY(
import sys, zipfile
src, dst = sys.argv[1], sys.argv[2]
with zipfile.ZipFile(src) as zin, zipfile.ZipFile(dst, "w", zipfile.ZIP_DEFLATED) as zout:
    for item in zin.infolist():
        data = zin.read(item.filename)
        if item.filename.startswith("xl/worksheets/sheet"):
            text = data.decode("utf-8")
            text = text[:text.index('<row r="150"')] + '<row r="150"><c r="A150" t="inlineStr"><is><t>cut'
            data = text.encode("utf-8")
        zout.writestr(item, data)
)PY",
                                                 {whole, broken});
    ASSERT_EQ(cut.exitCode, 0) << cut.err.toStdString();
    refused(importFile(broken), QString());

    // A sheet the database refuses at row 150, after the delete and 148 rows written:
    // the transaction is rolled back whole and the message names the row.
    if (GetParam() == test::Backend::Postgres) {
        db->exec("create function refuse_land() returns trigger as $$ begin if NEW.bakhsh = 'ر148''c3' then raise "
                 "exception 'land refused'; end if; return NEW; end $$ language plpgsql");
        db->exec("create trigger refuse_land before insert on sh for each row execute function refuse_land()");
    } else {
        db->exec("create trigger refuse_land before insert on sh when NEW.bakhsh = 'ر148''c3' "
                 "begin select raise(abort, 'land refused'); end");
    }
    refused(importFile(whole), QStringLiteral("رديف 150"));
    refused(importFile(whole), QStringLiteral("land refused"));

    // A failure of the caller part way (the progress bar's window closing) likewise.
    const QList<QStringList> rows = landRowsFromSheet(readSheet(makeXlsx("fine.xlsx", 120, 58), "sh"));
    refused(
        [&] {
            replaceLands(*db, rows, [](int done) {
                if (done >= 100)
                    throw Error("قطع");
            });
        },
        "قطع");
}

TEST_P(LandsTest, SimultaneousInsertsOfOnePairStoreExactlyOne)
{
    constexpr int kRounds = 8;
    const std::vector<int> saved = test::raceSaves(*tmp, 5, kRounds, [](Database& mine, int round, int w) {
        // Each workstation appends through its own land result, as the entry screen does.
        ResultSet lands(&mine);
        lands.open("select * from arazi where id<>-1 and 1=0", {}, "arazi");
        QVariantMap v = landValues({});
        v["shahrestan"] = Lar;
        v["abadi"] = QStringLiteral("race-%1").arg(round);
        v["rosta"] = QStringLiteral("ده %1").arg(w);
        try {
            lands.append(v, &landKeyRule());
            return true;
        } catch (const DuplicateKey&) {
            return false;
        }
    });
    for (int round = 0; round < kRounds; ++round) {
        EXPECT_EQ(saved[round], 1) << "round " << round;
        EXPECT_EQ(db->scalar("select count(*) from arazi where shahrestan=? and abadi=?",
                             {Lar, QStringLiteral("race-%1").arg(round)})
                      .toInt(),
                  1);
    }
}

TEST_P(LandsTest, CommandLineReplacesOrSaysWhyItRefused)
{
    auto run = [&](const QString& file) {
        QProcess p;
        p.start(QStringLiteral(TARVEST_ADMIN_EXE),
                {"import-lands", file, GetParam() == test::Backend::Sqlite ? "--sqlite" : "--pg", tmp->location()});
        EXPECT_TRUE(p.waitForFinished(60000));
        return std::tuple{p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()),
                          QString::fromUtf8(p.readAllStandardError())};
    };
    const State before = state();
    const auto [badCode, badOut, badErr] = run(makeXlsx("narrow.xlsx", 20, 57));
    EXPECT_EQ(badCode, 1);
    EXPECT_TRUE(badErr.contains(land_msg::ColumnCount)) << badErr.toStdString();
    EXPECT_TRUE(badErr.contains("land records unchanged"));
    EXPECT_EQ(state(), before);

    const auto [code, out, err] = run(makeXlsx("good.xlsx", 300, 58));
    EXPECT_EQ(code, 0) << err.toStdString();
    EXPECT_EQ(out.trimmed(), "land records replaced: 300 rows");
    expectSheetRows("arazi", 300);
    expectSheetRows("sh", 300);
}

TEST_P(LandsTest, ASheetRepeatingACountyAndCodeIsRefusedNamingBothRows)
{
    // Columns C and G hold the county and the village code. The same code in another
    // county is another record; the same pair again is not.
    const int county = 2, code = 6, village = 19;
    const QString path = makeSparseXlsx("twice.xlsx",
                                        {{{county, Shiraz}, {code, "77"}, {village, QStringLiteral("كوشك")}},
                                         {{county, Lar}, {code, "77"}, {village, QStringLiteral("بنارویه")}},
                                         {{county, Shiraz}, {code, "78"}},
                                         {{county, Shiraz}, {code, "77"}, {village, QStringLiteral("كوشك دوم")}}});
    const State before = state();
    try {
        landRowsFromSheet(readSheet(path, "sh"));
        ADD_FAILURE() << "a repeated county and code was accepted";
    } catch (const Error& e) {
        EXPECT_EQ(e.message(),
                  QStringLiteral("خطا! شهرستان %1 و کد آبادي 77 در رديف هاي 2 و 5 فايل اکسل تکراري است").arg(Shiraz))
            << e.message().toStdString();
    }
    QString err;
    EXPECT_EQ(runImport(path, &err), 1);
    EXPECT_TRUE(err.contains(QStringLiteral("در رديف هاي 2 و 5 فايل اکسل تکراري است"))) << err.toStdString();
    EXPECT_TRUE(err.contains("land records unchanged"));
    EXPECT_EQ(state(), before);
}

TEST_P(LandsTest, EmptyCellsAreStoredAsTheEntryScreenStoresAnEmptyField)
{
    // Rows that fill only a few cells, one of them stopping before the last column.
    const QString path = makeSparseXlsx("sparse.xlsx", {{{2, Shiraz}, {6, "1"}, {57, "x"}},
                                                        {{2, Shiraz}, {6, "2"}},
                                                        {{2, Lar}, {6, "3"}, {11, QStringLiteral("فاز 1")}}});
    EXPECT_EQ(replaceLands(*db, landRowsFromSheet(readSheet(path, "sh"))), 3);
    // An entry saved with empty fields, as the screen writes it.
    db->insert("arazi", landValues({Shiraz, "", "", "", "9"}));
    for (const QString& table : {QStringLiteral("arazi"), QStringLiteral("sh")}) {
        for (const QString& column : landColumnNames())
            EXPECT_EQ(db->scalar("select count(*) from " + table + " where " + column + " is null").toInt(), 0)
                << table.toStdString() << "." << column.toStdString();
    }
    // A filter on empty text finds the records whose cell was empty.
    EXPECT_EQ(db->scalar("select count(*) from arazi where marhale=''").toInt(), 3);
    EXPECT_EQ(db->scalar("select count(*) from sh where san=''").toInt(), 2);
}

TARVEST_FOR_EACH_DATABASE(LandsTest);

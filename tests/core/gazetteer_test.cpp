// The village gazetteer's rules on a real database of each kind: the search filters, the
// sheet check and the replacement from .xlsx and .xls files (all or nothing), the
// renamings of each level, and saving, editing and deleting one village with its log.
#include "admin/core/gazetteer.h"
#include "common/errors.h"
#include "common/spreadsheet.h"
#include "db/database.h"
#include "db/export.h"
#include "db/provision.h"
#include "db/resultset.h"
#include "gazetteer.h"
#include "pyhelpers.h"
#include "race.h"
#include "table_source.h"
#include "testdb.h"

#include <QProcess>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>

using namespace tarvest;
using namespace tarvest::test::gz;

namespace {

const QString User = QStringLiteral("clerk");

class GazetteerTest : public test::DbTest {
protected:
    void SetUp() override
    {
        DbTest::SetUp();
        if (!db)
            return;
        ASSERT_TRUE(provisionSucceeded(provision(*db)));
        test::insertGazetteer(*db);
        setXlsReaderProgram(QStringLiteral(TARVEST_ADMIN_EXE));
    }

    // Every row of the gazetteer in a fixed order, so two states compare whole.
    QStringList snapshot()
    {
        QStringList rows;
        QSqlQuery q = db->exec("select id,cod,ostan,shahrestan,shahr,bakhsh,dehestan,rosta from abadiha order by id");
        while (q.next()) {
            QStringList r;
            for (int c = 0; c < 8; ++c)
                r << q.value(c).toString();
            rows << r.join(u'|');
        }
        return rows;
    }
    QStringList logTexts()
    {
        QStringList out;
        QSqlQuery q = db->exec("select cmt from log order by id");
        while (q.next())
            out << q.value(0).toString();
        return out;
    }
    QList<ListedVillage> listed(const GazetteerFilters& f)
    {
        const SqlWithParams q = gazetteerListQuery(*db, f);
        QSqlQuery rows = db->exec(q.sql, q.params);
        QList<ListedVillage> out;
        while (rows.next())
            out << ListedVillage{rows.value("id"), rows.value("cod").toString()};
        return out;
    }
    QString xlsxOf(const QStringList& heading, const QList<QStringList>& rows)
    {
        tarvest::testing::TableSource src;
        src.names = heading;
        src.data = rows;
        const QString path = dir.filePath("gazetteer.xlsx");
        writeXlsx(path, src, {});
        return path;
    }
    QTemporaryDir dir;
};

const QStringList Heading = {"کد آبادي", "استان", "شهرستان", "شهر", "بخش", "دهستان", "روستا"};

} // namespace

TEST_P(GazetteerTest, SearchAppliesEachEnabledFilterAnywhereInItsColumn)
{
    const struct {
        GazetteerFilters filters;
        qint64 expected;
    } cases[] = {
        {{}, 8},
        {{.cod = "10"}, 4},
        {{.ostan = Fars}, 5},
        {{.ostan = Fars, .bakhsh = "کوار"}, 2},
        {{.shahrestan = Markazi}, 5},
        {{.dehestan = "جرقویه"}, 1},
        {{.cod = "103", .rosta = "کوشک"}, 1},
        // "%", "_" and a quote are plain characters of the typed text.
        {{.ostan = "%"}, 0},
        {{.cod = "1_1"}, 0},
        {{.ostan = "'"}, 1},
        // An enabled empty filter matches every row.
        {{.rosta = ""}, 8},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(countVillages(*db, c.filters), c.expected);
        EXPECT_EQ(listed(c.filters).size(), c.expected);
    }
}

TEST_P(GazetteerTest, SheetMustHoldTheSevenGridColumns)
{
    const QStringList row7 = {"9001", "فارس", "لارستان", "لار", "بخش", "دهستان", "ده"};
    const struct {
        QStringList heading;
        QList<QStringList> rows;
        int found;
    } refused[] = {
        {Heading.mid(0, 6), {row7.mid(0, 6)}, 6},
        {Heading + QStringList{"X"}, {row7 + QStringList{"1"}}, 8},
        // A heading of seven with a value in an eighth column.
        {Heading, {row7 + QStringList{"بیش"}}, 8},
    };
    const QStringList before = snapshot();
    for (const auto& c : refused) {
        SheetTable sheet{c.heading, c.rows, c.heading};
        try {
            gazetteerFromSheet(sheet);
            ADD_FAILURE() << "accepted " << c.heading.size() << " columns";
        } catch (const Error& e) {
            // The refusal names the columns found and the seven needed.
            EXPECT_EQ(e.message(), columnCountMessage(gazetteer_msg::ColumnCount, c.found, 7));
            EXPECT_TRUE(e.message().startsWith(gazetteer_msg::ColumnCount));
            EXPECT_TRUE(e.message().contains(QStringLiteral(" %1 ستون دارد و 7 ستون لازم است").arg(c.found)))
                << e.message().toStdString();
        }
    }
    EXPECT_EQ(snapshot(), before);

    // Each sheet column lands in the column of its name, values trimmed.
    const QList<Village> v = gazetteerFromSheet(
        {Heading, {{" 0901 ", "فارس", "لارستان", "لار", "ب", "د", "ر"}}, Heading});
    ASSERT_EQ(v.size(), 1);
    EXPECT_EQ(v[0].values(), (QVariantMap{{"cod", "0901"},
                                          {"ostan", "فارس"},
                                          {"shahrestan", "لارستان"},
                                          {"shahr", "لار"},
                                          {"bakhsh", "ب"},
                                          {"dehestan", "د"},
                                          {"rosta", "ر"}}));
}

TEST_P(GazetteerTest, SheetWithARepeatedOrEmptyCodeIsRefusedNamingIt)
{
    const QStringList a = {"777", "فارس", "لارستان", "", "ب", "د", "ر1"};
    const QStringList b = {"777", "فارس", "لارستان", "", "ب", "د", "ر2"};
    try {
        gazetteerFromSheet({Heading, {a, {"778", "", "", "", "", "", ""}, b}, Heading});
        ADD_FAILURE() << "a repeated code was accepted";
    } catch (const Error& e) {
        EXPECT_TRUE(e.message().contains("777")) << e.message().toStdString();
        EXPECT_TRUE(e.message().contains("2") && e.message().contains("4")) << e.message().toStdString();
    }
    EXPECT_THROW(gazetteerFromSheet({Heading, {{"", "فارس", "", "", "", "", ""}}, Heading}), Error);
    EXPECT_THROW(gazetteerFromSheet({Heading, {{"1", QString(151, u'ا'), "", "", "", "", ""}}, Heading}), Error);
}

TEST_P(GazetteerTest, ReplacementFromXlsxAndXlsStoresEachColumnByName)
{
    const QList<QStringList> rows = {
        {"0012", "فارس", "لارستان", "لار", "بنارویه", "بنارویه", "بنارویه"},
        {"0013", "اصفهان", "مرکزی", "", "جرقویه", "جرقویه سفلی", "حسن آباد"},
    };
    const QString xlsx = xlsxOf(Heading, rows);
    const QString xls = dir.filePath("gazetteer.xls");
    const auto made = tarvest::testing::runPython(R"PY(
import sys, xlwt
wb = xlwt.Workbook(encoding="utf-8")
ws = wb.add_sheet("Sheet1")
rows = [["کد آبادي", "استان", "شهرستان", "شهر", "بخش", "دهستان", "روستا"],
        ["0012", "فارس", "لارستان", "لار", "بنارویه", "بنارویه", "بنارویه"],
        ["0013", "اصفهان", "مرکزی", "", "جرقویه", "جرقویه سفلی", "حسن آباد"]]
for r, row in enumerate(rows):
    for c, v in enumerate(row):
        ws.write(r, c, v)
wb.save(sys.argv[1])
)PY",
                                                  {xls});
    ASSERT_EQ(made.exitCode, 0) << made.err.toStdString();

    for (const QString& path : {xlsx, xls}) {
        SCOPED_TRACE(path.toStdString());
        std::vector<int> steps;
        const int n = replaceGazetteer(*db, gazetteerFromSheet(readSheet(path, "Sheet1")),
                                       [&](int done) { steps.push_back(done); });
        EXPECT_EQ(n, 2);
        EXPECT_EQ(steps.front(), 0);
        EXPECT_EQ(steps.back(), 2);
        QSqlQuery q = db->exec("select cod,ostan,shahrestan,shahr,bakhsh,dehestan,rosta from abadiha order by cod");
        for (const QStringList& expected : rows) {
            ASSERT_TRUE(q.next());
            QStringList got;
            for (int c = 0; c < 7; ++c)
                got << q.value(c).toString();
            EXPECT_EQ(got, expected);
        }
        EXPECT_FALSE(q.next());
    }
}

TEST_P(GazetteerTest, FailureHalfWayLeavesTheGazetteerAsItWas)
{
    QList<Village> many;
    for (int i = 0; i < 450; ++i)
        many << Village{QString::number(5000 + i), "فارس", "لارستان", "", "ب", "د", QStringLiteral("ده %1").arg(i)};
    const QStringList before = snapshot();
    EXPECT_THROW(replaceGazetteer(*db, many,
                                  [](int done) {
                                      if (done >= 300)
                                          throw Error("قطع");
                                  }),
                 Error);
    EXPECT_EQ(snapshot(), before);

    // A value the database refuses part way through (wider than its column) likewise.
    many[350].rosta = QString(151, u'ا');
    EXPECT_THROW(replaceGazetteer(*db, many), Error);
    EXPECT_EQ(snapshot(), before);
}

TEST_P(GazetteerTest, RowByRowRenameChangesItsOwnLevelForTheListedRowsWithALogEach)
{
    const GazetteerLevel levels[] = {GazetteerLevel::Province, GazetteerLevel::County,        GazetteerLevel::Town,
                                     GazetteerLevel::District, GazetteerLevel::RuralDistrict, GazetteerLevel::Village};
    for (GazetteerLevel level : levels) {
        const QString column = levelColumn(level);
        const QString name = "نو " + column;
        const QList<ListedVillage> rows = listed({.ostan = Fars, .shahrestan = Markazi});
        ASSERT_EQ(rows.size(), 4);
        const QStringList logBefore = logTexts();
        EXPECT_EQ(renameListedRows(*db, level, name, rows, User), 4);
        EXPECT_EQ(db->scalar("select count(*) from abadiha where " + column + "=?", {name}).toInt(), 4)
            << column.toStdString();
        // The other columns of those rows are untouched.
        for (GazetteerLevel other : levels) {
            if (other != level) {
                EXPECT_EQ(db->scalar("select count(*) from abadiha where " + levelColumn(other) + "=?",
                                     {"نو " + levelColumn(other)})
                              .toInt(),
                          0);
            }
        }
        const QStringList added = logTexts().mid(logBefore.size());
        ASSERT_EQ(added.size(), 4);
        EXPECT_EQ(added[0], " ويرايش آبادي نام " + levelCaption(level) + " " + rows[0].cod + " " + User);
        // Put the rows back for the next level.
        db->exec("delete from abadiha");
        db->exec("delete from log");
        test::insertGazetteer(*db);
    }
    EXPECT_EQ(levelCaption(GazetteerLevel::Province), "استان");
}

TEST_P(GazetteerTest, BulkRenameChangesEveryRowOfTheListedCodesWithoutLog)
{
    // Row 102 is listed; every row holding a listed code changes, others stay.
    db->insert("abadiha", {{"ostan", Isfahan}, {"shahrestan", "دیگر"}, {"rosta", "کوشک"}, {"cod", "102"}});
    const QList<ListedVillage> rows = listed({.ostan = Fars, .rosta = "کوشک"});
    ASSERT_EQ(rows.size(), 2); // 102 and 103 of Fars
    EXPECT_EQ(renameByCodes(*db, GazetteerLevel::Town, "شهر نو", rows), 3);
    EXPECT_EQ(db->scalar("select count(*) from abadiha where shahr=?", {"شهر نو"}).toInt(), 3);
    EXPECT_TRUE(logTexts().isEmpty());
    // Filtering on the renamed column then finds nothing.
    EXPECT_EQ(renameByCodes(*db, GazetteerLevel::Village, "ده نو", rows), 3);
    EXPECT_EQ(countVillages(*db, {.ostan = Fars, .rosta = "کوشک"}), 0);
    // A blank name changes nothing.
    const QStringList before = snapshot();
    EXPECT_THROW(renameByCodes(*db, GazetteerLevel::Village, "  ", rows), Error);
    EXPECT_THROW(renameListedRows(*db, GazetteerLevel::Village, QString(151, u'ا'), rows, User), Error);
    EXPECT_EQ(snapshot(), before);
}

TEST_P(GazetteerTest, NewVillageRefusesBothDuplicatesAndLogsTheSave)
{
    const Village same{"101", Fars, Markazi, "", "", "", "آبباریک"};
    const Village otherVillage{"101", Fars, Markazi, "", "", "", "دیگر"};
    const struct {
        Village v;
        QString message;
    } refused[] = {{same, gazetteer_msg::SameVillage}, {otherVillage, gazetteer_msg::NewCodeTaken}};
    for (const auto& c : refused) {
        try {
            saveNewVillage(*db, c.v, User);
            ADD_FAILURE() << "saved a duplicate";
        } catch (const Error& e) {
            EXPECT_EQ(e.message(), c.message);
        }
    }
    EXPECT_TRUE(logTexts().isEmpty());
    const qint64 id = saveNewVillage(*db, {"0909", Fars, Larestan, "لار", "ب", "د", "ده نو"}, User);
    EXPECT_GT(id, 0);
    EXPECT_EQ(db->scalar("select rosta from abadiha where id=?", {id}).toString(), "ده نو");
    EXPECT_EQ(logTexts(), QStringList{" ثبت کدآبادي جديد  0909 " + User});
}

TEST_P(GazetteerTest, EditChecksTheCodeOnlyWhenItChangesAndDeleteLogs)
{
    // Row 101 is stored twice: editing one without changing its code is not refused.
    const QVariant id = db->scalar("select min(id) from abadiha where cod='101'");
    auto loadedRow = [&](const QVariant& key) {
        QSqlQuery q = db->exec("select * from abadiha where id=?", {key});
        q.next();
        QVariantMap m;
        for (int i = 0; i < q.record().count(); ++i)
            m.insert(q.record().fieldName(i), q.value(i));
        return m;
    };
    QVariantMap loaded = loadedRow(id);
    saveVillageChanges(*db, id, loaded, {"101", Fars, Markazi, "شیراز", "زرقان", "رحمت", "نام نو"}, User);
    EXPECT_EQ(db->scalar("select rosta from abadiha where id=?", {id}).toString(), "نام نو");

    loaded = loadedRow(id);
    try {
        saveVillageChanges(*db, id, loaded, {"301", Fars, Markazi, "", "", "", "نام نو"}, User);
        ADD_FAILURE() << "a taken code was saved";
    } catch (const Error& e) {
        EXPECT_EQ(e.message(), gazetteer_msg::EditCodeTaken);
    }
    saveVillageChanges(*db, id, loaded, {"1010", Fars, Markazi, "", "", "", "نام نو"}, User);
    EXPECT_EQ(deleteVillage(*db, id, loadedRow(id), User), 1);
    EXPECT_EQ(db->scalar("select count(*) from abadiha where id=?", {id}).toInt(), 0);
    EXPECT_EQ(logTexts(),
              (QStringList{" ويرايش آبادي  101 " + User, " ويرايش آبادي  1010 " + User, " حذف آبادي  1010 " + User}));
}

TEST_P(GazetteerTest, SimultaneousNewVillagesWithOneCodeStoreExactlyOne)
{
    constexpr int kRounds = 10;
    const std::vector<int> saved = test::raceSaves(*tmp, 6, kRounds, [](Database& mine, int round, int w) {
        try {
            saveNewVillage(
                mine,
                {QStringLiteral("race-%1").arg(round), Fars, Larestan, "", "", "", QStringLiteral("ده %1").arg(w)},
                User);
            return true;
        } catch (const Error& e) {
            if (e.message() != gazetteer_msg::NewCodeTaken)
                throw;
            return false;
        }
    });
    for (int round = 0; round < kRounds; ++round) {
        EXPECT_EQ(saved[round], 1) << "round " << round;
        EXPECT_EQ(
            db->scalar("select count(*) from abadiha where cod=?", {QStringLiteral("race-%1").arg(round)}).toInt(), 1);
    }
}

TEST_P(GazetteerTest, CommandLineReplacesOrSaysWhyItRefused)
{
    auto run = [&](const QString& file) {
        QProcess p;
        p.start(QStringLiteral(TARVEST_ADMIN_EXE),
                {"import-gazetteer", file, GetParam() == test::Backend::Sqlite ? "--sqlite" : "--pg", tmp->location()});
        EXPECT_TRUE(p.waitForFinished(60000));
        return std::tuple{p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()),
                          QString::fromUtf8(p.readAllStandardError())};
    };
    const QStringList before = snapshot();
    const QString six = xlsxOf(Heading.mid(0, 6), {{"1", "2", "3", "4", "5", "6"}});
    const auto [badCode, badOut, badErr] = run(six);
    EXPECT_EQ(badCode, 1);
    EXPECT_TRUE(badErr.contains(gazetteer_msg::ColumnCount)) << badErr.toStdString();
    EXPECT_EQ(snapshot(), before);

    const QString good = xlsxOf(
        Heading, {{"0071", Fars, Larestan, "", "ب", "د", "ر"}, {"0072", Fars, Larestan, "", "ب", "د", "س"}});
    const auto [code, out, err] = run(good);
    EXPECT_EQ(code, 0) << err.toStdString();
    EXPECT_EQ(out.trimmed(), "gazetteer replaced: 2 villages");
    EXPECT_EQ(db->scalar("select count(*) from abadiha").toInt(), 2);
    EXPECT_EQ(db->scalar("select min(cod) from abadiha").toString(), "0071");
}

TARVEST_FOR_EACH_DATABASE(GazetteerTest);

namespace {

// Rows of a sheet written by openpyxl at their own columns (None: an empty cell).
const char* kSheetAt = R"PY(
import sys, json, openpyxl
wb = openpyxl.Workbook()
ws = wb.active
ws.title = "Sheet1"
for row in json.loads(sys.argv[2]):
    ws.append(row)
wb.save(sys.argv[1])
)PY";

} // namespace

// The reader counts columns from A: a sheet whose column A is empty is not moved one
// column to the left (the province would become the code).
TEST_P(GazetteerTest, ASheetWithColumnAEmptyIsTakenByPosition)
{
    const QStringList before = snapshot();
    const struct {
        const char* name;
        const char* rows; // JSON
        QString refusal;
    } cases[] = {
        {"seven columns from B", R"([[null, "کد آبادي", "استان", "شهرستان", "شهر", "بخش", "دهستان", "روستا"],
            [null, "9001", "فارس", "لارستان", "لار", "ب", "د", "ر"]])",
         columnCountMessage(gazetteer_msg::ColumnCount, 8, 7)},
        {"the code column left empty", R"([[null, "استان", "شهرستان", "شهر", "بخش", "دهستان", "روستا"],
            [null, "فارس", "لارستان", "لار", "ب", "د", "ر"]])",
         QStringLiteral("خطا! کد آبادي رديف 2 فايل اکسل خالي است")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir.filePath("from-b.xlsx");
        const auto made = tarvest::testing::runPython(QString::fromUtf8(kSheetAt), {path, QString::fromUtf8(c.rows)});
        ASSERT_EQ(made.exitCode, 0) << made.err.toStdString();
        try {
            gazetteerFromSheet(readSheet(path, "Sheet1"));
            ADD_FAILURE() << "accepted";
        } catch (const Error& e) {
            EXPECT_EQ(e.message(), c.refusal);
        }
    }
    EXPECT_EQ(snapshot(), before);

    // Empty cells inside the seven columns stay in their columns.
    const QString path = dir.filePath("gaps.xlsx");
    ASSERT_EQ(
        tarvest::testing::runPython(QString::fromUtf8(kSheetAt),
                                    {path, QStringLiteral(R"([["کد آبادي", null, null, "شهر", "بخش", "دهستان", "روستا"],
                                              ["0901", null, "لارستان", null, "ب", "د", "ر"]])")})
            .exitCode,
        0);
    const QList<Village> v = gazetteerFromSheet(readSheet(path, "Sheet1"));
    ASSERT_EQ(v.size(), 1);
    EXPECT_EQ(v[0].values(), (QVariantMap{{"cod", "0901"},
                                          {"ostan", ""},
                                          {"shahrestan", "لارستان"},
                                          {"shahr", ""},
                                          {"bakhsh", "ب"},
                                          {"dehestan", "د"},
                                          {"rosta", "ر"}}));
}

// The gazetteer exported (every column of the table, headed as the export heads them) is
// taken again as it is: export, correct in a spreadsheet, replace.
TEST_P(GazetteerTest, TheGazetteerExportImportedAgainGivesTheSameVillages)
{
    db->exec("delete from abadiha");
    const QList<Village> villages = {
        {"0501",
         Fars,
         "شهرستان بسيار طولاني جنوب شرقي استان",
         "",
         "بخش مرکزی",
         "دهستان ۲",
         "ده'بالا",
         {{"city", "شيراز"}, {"khanevar", "120"}, {"jamiyat", "560"}, {"zarib", "1.5"}, {"x", "512345.5"}}},
        {"050101010", Quoted, Shahrekord, "شهرکرد", "مرکزی", "طاقانک", "دستگرد"},
        {"1250", "", Larestan, "لار", "بنارویه", "بنارویه", "بنارویه", {{"y", "3251000"}}},
    };
    replaceGazetteer(*db, villages);
    // Every column but the row id (an empty cell reads back as a null, as every sheet's does).
    auto rows = [&] {
        QStringList out;
        QSqlQuery q = db->exec(
            "select cod,ostan,shahrestan,shahr,bakhsh,dehestan,rosta,city,khanevar,jamiyat,zarib,x,y "
            "from abadiha order by cod");
        while (q.next()) {
            QStringList r;
            for (int c = 0; c < 13; ++c)
                r << q.value(c).toString();
            out << r.join(u'|');
        }
        return out;
    };
    const QStringList before = rows();

    ResultSet list(db);
    const SqlWithParams q = gazetteerListQuery(*db, {});
    list.open(q.sql, q.params, "abadiha");
    const QString path = dir.filePath("abadiha.xlsx");
    exportResultSet(list, path, gazetteerExportTitles());
    list.close();

    const SheetTable sheet = readSheet(path, "Sheet1");
    EXPECT_GT(sheet.columns.size(), 7); // every column of the table, `id` first
    EXPECT_EQ(sheet.heading.value(0), QStringLiteral("شناسه"));
    EXPECT_EQ(replaceGazetteer(*db, gazetteerFromSheet(sheet)), 3);
    EXPECT_EQ(rows(), before);
    EXPECT_TRUE(before.first().endsWith(QStringLiteral("|شيراز|120|560|1.5|512345.5|")))
        << before.first().toStdString();
}

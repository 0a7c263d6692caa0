// Several workstations at once: simultaneous saves under a uniqueness rule (the case
// key, a setting list's values) store exactly one row per key, and an edit or a
// delete never overwrites another workstation's change unseen.
#include "cases/core/caserules.h"
#include "db/database.h"
#include "db/provision.h"
#include "db/resultset.h"
#include "db/settinglists.h"
#include "db/uniquekey.h"
#include "gazetteer.h"
#include "race.h"
#include "testdb.h"

#include <QSqlQuery>

using namespace tarvest;
using namespace tarvest::test::gz;

namespace {

constexpr int kWorkstations = 8;
constexpr int kRounds = 20;

CaseTexts caseWithLetter(const QString& paperNo)
{
    return {{"ostan", Fars},          {"city", Markazi},           {"rosta", "کوشک"},
            {"paper_no", paperNo},    {"paper_dat", "1403/02/10"}, {"karbari1", "زراعي"},
            {"takhrib_masahat", "0"}, {"darkhast", "علي"}};
}

class UniqueSaveTest : public test::DbTest {
protected:
    void SetUp() override
    {
        DbTest::SetUp();
        if (!db)
            return;
        ASSERT_TRUE(provisionSucceeded(provision(*db)));
        test::insertGazetteer(*db);
    }
    int rowsWhere(const QString& table, const QString& condition, const QVariantList& params)
    {
        return db->scalar("SELECT count(*) FROM " + table + " WHERE " + condition, params).toInt();
    }
};

TEST_P(UniqueSaveTest, SimultaneousNewCasesWithOneKeyStoreExactlyOne)
{
    const std::vector<int> saved = test::raceSaves(*tmp, kWorkstations, kRounds, [](Database& mine, int round, int) {
        // The case screen's own save: a case set of this workstation, the checks, the insert.
        ResultSet cases(&mine);
        cases.open("SELECT * FROM komision WHERE 1 = 0");
        const QStringList problems = saveNewCase(cases, caseWithLetter(QString::number(round)), "clerk");
        if (problems.isEmpty())
            return true;
        if (problems != QStringList{caseText::Duplicate})
            throw Error(problems.join(" / "));
        return false;
    });
    for (int round = 0; round < kRounds; ++round) {
        EXPECT_EQ(saved[round], 1) << "round " << round;
        EXPECT_EQ(rowsWhere("komision", "paper_no = ?", {QString::number(round)}), 1) << "round " << round;
    }
}

TEST_P(UniqueSaveTest, SimultaneousEditsToOneNewKeyChangeExactlyOneCase)
{
    // Each round every workstation moves its own case onto one letter number.
    for (int round = 0; round < kRounds; ++round)
        for (int w = 0; w < kWorkstations; ++w) {
            QVariantMap row = caseRow(caseWithLetter(QStringLiteral("r%1-w%2").arg(round).arg(w)), "creator");
            db->insert("komision", row);
        }
    const std::vector<int> saved = test::raceSaves(*tmp, kWorkstations, kRounds, [](Database& mine, int round, int w) {
        ResultSet cases(&mine);
        cases.open("SELECT * FROM komision WHERE paper_no = ?", {QStringLiteral("r%1-w%2").arg(round).arg(w)});
        const QStringList problems = saveCaseChanges(cases, caseWithLetter(QStringLiteral("r%1").arg(round)), "clerk");
        if (problems.isEmpty())
            return true;
        if (problems != QStringList{caseText::Duplicate})
            throw Error(problems.join(" / "));
        return false;
    });
    for (int round = 0; round < kRounds; ++round) {
        EXPECT_EQ(saved[round], 1) << "round " << round;
        EXPECT_EQ(rowsWhere("komision", "paper_no = ?", {QStringLiteral("r%1").arg(round)}), 1) << "round " << round;
    }
}

TEST_P(UniqueSaveTest, SimultaneousSettingAddsStoreEachValueOnce)
{
    const std::vector<int> saved = test::raceSaves(*tmp, kWorkstations, kRounds, [](Database& mine, int round, int) {
        return addSettingValue(mine, lists::Consultant, QStringLiteral("مشاور %1").arg(round)) == SettingAdd::Added;
    });
    for (int round = 0; round < kRounds; ++round) {
        EXPECT_EQ(saved[round], 1) << "round " << round;
        EXPECT_EQ(rowsWhere("setting", "cmt = ?", {QStringLiteral("مشاور %1").arg(round)}), 1);
    }
}

TEST_P(UniqueSaveTest, StoredDuplicatesStillEditAndEmptyKeysMatchNull)
{
    // Data kept from before may already hold a key twice; editing one of them without
    // touching its key is not refused.
    const CaseTexts twin = caseWithLetter("7");
    db->insert("komision", caseRow(twin, "old"));
    db->insert("komision", caseRow(twin, "old"));
    ResultSet cases(db);
    cases.open("SELECT * FROM komision ORDER BY pk");
    CaseTexts changed = twin;
    changed["darkhast"] = "حسن";
    EXPECT_TRUE(saveCaseChanges(cases, changed, "clerk").isEmpty());
    EXPECT_EQ(rowsWhere("komision", "darkhast = ?", {"حسن"}), 1);

    // A key column left empty matches a stored NULL as well as an empty text.
    const UniqueRule& rule = caseKeyRule();
    db->exec("INSERT INTO komision (paper_no, paper_dat, city, rosta) VALUES (NULL, '1403/01/01', 'c', 'v')");
    EXPECT_TRUE(keyTaken(*db, rule, {{"paper_no", ""}, {"paper_dat", "1403/01/01"}, {"city", "c"}, {"rosta", "v"}}));
    EXPECT_FALSE(keyTaken(*db, rule, {{"paper_no", "1"}, {"paper_dat", "1403/01/01"}, {"city", "c"}, {"rosta", "v"}}));
}

TARVEST_FOR_EACH_DATABASE(UniqueSaveTest);

class LostUpdateTest : public UniqueSaveTest {};

TEST_P(LostUpdateTest, SecondWorkstationsEditOfAChangedCaseIsRefusedAndTheFirstChangeKept)
{
    const qint64 key = db->insert("komision", caseRow(caseWithLetter("5"), "creator"));
    auto other = tmp->openAnother();
    ResultSet a(db), b(other.get());
    a.open("SELECT * FROM komision");
    b.open("SELECT * FROM komision");
    // The second workstation shows the case (its row is read as it is then).
    ASSERT_EQ(b.asString("darkhast"), a.asString("darkhast"));

    a.edit({{"darkhast", "رضا"}});
    EXPECT_THROW(b.edit({{"cmt", "توضیح"}}), RecordChanged);
    EXPECT_EQ(db->scalar("SELECT darkhast FROM komision WHERE pk = ?", {key}).toString(), "رضا");
    EXPECT_EQ(db->scalar("SELECT cmt FROM komision WHERE pk = ?", {key}).toString(), "");

    // Reloading shows the first change; saving again then goes through and keeps it.
    EXPECT_TRUE(b.reloadCurrent());
    EXPECT_EQ(b.asString("darkhast"), "رضا");
    b.edit({{"cmt", "توضیح"}});
    EXPECT_EQ(db->scalar("SELECT darkhast || '|' || cmt FROM komision WHERE pk = ?", {key}).toString(), "رضا|توضیح");

    // The case screen's save says the same.
    a.refresh();
    ASSERT_EQ(a.asString("cmt"), "توضیح"); // the case as the first workstation's screen shows it
    b.edit({{"cmt", "دیگر"}});
    EXPECT_THROW(saveCaseChanges(a, caseWithLetter("5"), "clerk"), RecordChanged);
    EXPECT_EQ(db->scalar("SELECT cmt FROM komision WHERE pk = ?", {key}).toString(), "دیگر");
}

TEST_P(LostUpdateTest, DeletingAChangedRecordIsRefusedAndADeletedOneIsGone)
{
    const qint64 key = db->insert("komision", caseRow(caseWithLetter("5"), "creator"));
    auto other = tmp->openAnother();
    ResultSet a(db), b(other.get());
    a.open("SELECT * FROM komision");
    b.open("SELECT * FROM komision");
    // The second workstation shows the case (its row is read as it is then).
    ASSERT_EQ(b.asString("darkhast"), a.asString("darkhast"));
    a.edit({{"darkhast", "رضا"}});
    EXPECT_THROW(b.remove(), RecordChanged);
    EXPECT_EQ(rowsWhere("komision", "pk = ?", {key}), 1);
    EXPECT_EQ(b.recordCount(), 1);

    a.remove();
    EXPECT_THROW(b.edit({{"cmt", "x"}}), Error);
    EXPECT_FALSE(b.reloadCurrent()) << "a row deleted elsewhere leaves the snapshot";
    EXPECT_EQ(b.recordCount(), 0);
}

TEST_P(LostUpdateTest, ValuesReadBackNeverLookChanged)
{
    // Coefficients, amounts, empty values and NULLs compare equal to what was loaded,
    // so an edit of an untouched row is never refused.
    db->insert("vagozarityp", {{"vagozari", "اجاره"}, {"zarib", 1.0 / 3.0}});
    db->insert("vagozarityp", {{"vagozari", QVariant()}, {"zarib", 0.1}});
    db->insert("sayerkar", {{"nam", "x"}, {"darsad", 12.5}, {"mablagh", "1,250,000"}});
    ResultSet types(db);
    types.open("SELECT * FROM vagozarityp ORDER BY id");
    for (types.first(); !types.eof(); types.next())
        EXPECT_NO_THROW(types.edit({{"vagozari", "فروش"}}));
    ResultSet shares(db);
    shares.open("SELECT * FROM sayerkar");
    EXPECT_NO_THROW(shares.edit({{"nam", "y"}, {"mablagh", 1250000}}));
    EXPECT_EQ(db->scalar("SELECT count(*) FROM vagozarityp WHERE vagozari = ?", {"فروش"}).toInt(), 2);
}

TEST_P(LostUpdateTest, AStoredFileReplacedByOtherBytesIsWritten)
{
    // Two byte strings that are not text and would read as the same replacement characters.
    const QByteArray before("\xff\xfe", 2), after("\xfe\xff", 2);
    db->insert("komision_pic", {{"cod", 1}, {"ext", ".jpg"}, {"pic", before}});
    ResultSet pics(db);
    pics.open("SELECT * FROM komision_pic");
    pics.edit({{"pic", after}});
    EXPECT_EQ(db->scalar("SELECT pic FROM komision_pic").toByteArray(), after);
}

TARVEST_FOR_EACH_DATABASE(LostUpdateTest);

} // namespace

// Land pricing rules: the derived prices in exact decimals (the committee's worked
// example, fractions to whole rials half to even, coefficients that are no number),
// the grouping of the base price on the forms, and over both databases the transfer
// types' unique names, an assessment saved with its ways of price discovery in one
// transaction under its letter's lock, and the county restriction of the price search.
#include "db/database.h"
#include "db/provision.h"
#include "db/resultset.h"
#include "pricing/core/derivedprices.h"
#include "pricing/core/pricing.h"
#include "pricing/prints/core/priceprint.h"
#include "race.h"
#include "testdb.h"

#include <QSqlQuery>

using namespace tarvest;
using namespace tarvest::pricing;

namespace {

const PriceCoefficients kLayoutCoefficients{"1", "1.1", "1.2", "1"};

struct DerivedCase {
    const char* what;
    qint64 arzesh;
    const char16_t* payeZarib;
    PriceCoefficients k;
    DerivedPrices expected;
};

TEST(DerivedPrices, FollowTheValueAndTheCoefficients)
{
    const DerivedCase cases[] = {
        {"the committee's worked example",
         1000000,
         u"1.5",
         kLayoutCoefficients,
         {1500000, 1500000, 1650000, 1800000, 1000000}},
        {"a county user's proposal: no base coefficient", 800000, u"0", kLayoutCoefficients, {0, 0, 0, 0, 800000}},
        {"the provincial coefficient 1.2",
         800000,
         u"1.2",
         kLayoutCoefficients,
         {960000, 960000, 1056000, 1152000, 800000}},
        {"an empty coefficient is no number", 800000, u"", kLayoutCoefficients, {0, 0, 0, 0, 800000}},
        {"letters are no number", 800000, u"1.x", kLayoutCoefficients, {0, 0, 0, 0, 800000}},
        {"a missing setting leaves its price 0",
         1000000,
         u"1.5",
         {"1", "", "1.2", "1"},
         {1500000, 1500000, 0, 1800000, 1000000}},
        // 1,000,005 x 1.1 = 1,100,005.5: to the even neighbour 1,100,006; 1,000,015 x 1.1 =
        // 1,100,016.5: to 1,100,016.
        {"a tenth rounds half to even (up)",
         1000005,
         u"1",
         kLayoutCoefficients,
         {1000005, 1000005, 1100006, 1200006, 1000005}},
        {"a tenth rounds half to even (down)",
         1000015,
         u"1",
         kLayoutCoefficients,
         {1000015, 1000015, 1100016, 1200018, 1000015}},
        {"a fraction below one half goes down", 333, u"1.001", kLayoutCoefficients, {333, 333, 366, 400, 333}},
        {"Persian digits and separator",
         1000000,
         u"۱٫۵",
         kLayoutCoefficients,
         {1500000, 1500000, 1650000, 1800000, 1000000}},
        {"a product beyond 64 bits gives 0",
         9000000000000000000LL,
         u"2",
         kLayoutCoefficients,
         {0, 0, 0, 0, 9000000000000000000LL}},
        {"15-digit amounts stay exact",
         999999999999999LL,
         u"1.1",
         kLayoutCoefficients,
         {1099999999999999LL, 1099999999999999LL, 1209999999999999LL, 1319999999999999LL, 999999999999999LL}},
    };
    for (const DerivedCase& c : cases) {
        const DerivedPrices p = derivePrices(c.arzesh, QString::fromUtf16(c.payeZarib), c.k);
        EXPECT_EQ(p.paye, c.expected.paye) << c.what;
        EXPECT_EQ(p.mojaver12, c.expected.mojaver12) << c.what;
        EXPECT_EQ(p.mojaver16, c.expected.mojaver16) << c.what;
        EXPECT_EQ(p.mojaverMax, c.expected.mojaverMax) << c.what;
        EXPECT_EQ(p.khadamati, c.expected.khadamati) << c.what;
    }
}

TEST(DerivedPrices, ReadOnlyPlainDecimalCoefficients)
{
    EXPECT_EQ(normalisedCoefficient(u"1.50"), QString("1.5"));
    EXPECT_EQ(normalisedCoefficient(u" 2 "), QString("2"));
    EXPECT_FALSE(normalisedCoefficient(u"."));
    EXPECT_FALSE(normalisedCoefficient(u"1e3"));
    EXPECT_FALSE(normalisedCoefficient(u"1,5"));
    EXPECT_FALSE(normalisedCoefficient(u""));
}

TEST(PricePrints, BasePriceIsGroupedInThreesFromTheRight)
{
    const std::pair<const char*, const char*> cases[] = {
        {"1500000", "1,500,000"},
        {"950", "950"},
        {"1000", "1,000"},
        {"123456", "123,456"},
        {"0", "0"},
        {"", ""},
        {"12", "12"},
        {"999999999999999", "999,999,999,999,999"},
    };
    for (const auto& [stored, printed] : cases)
        EXPECT_EQ(priceprint::groupBasePrice(stored), QString(printed)) << stored;
}

TEST(PricePrints, ProvinceTableHasThreeRowsOnlyForResidentialWithTheArabicKaf)
{
    const QMap<QString, QString> row{
        {"mojaver12", "1500000"}, {"mojaver16", "1650000"}, {"mojaver_max", "1800000"}, {"khadamati", "1000000"}};
    const priceprint::TableRows three = priceprint::provinceTable(QStringLiteral("مسكوني"), row);
    EXPECT_TRUE(three.threeRows);
    EXPECT_EQ(three.amount[0], "1500000");
    EXPECT_EQ(three.amount[2], "1800000");
    for (const char* other : {"مسکوني", "تجاري"}) { // Persian keheh: not the residential spelling
        const priceprint::TableRows one = priceprint::provinceTable(QString::fromUtf8(other), row);
        EXPECT_FALSE(one.threeRows) << other;
        EXPECT_EQ(one.number[1], "1");
        EXPECT_EQ(one.amount[1], "1000000");
        EXPECT_TRUE(one.amount[0].isEmpty() && one.amount[2].isEmpty() && one.number[0].isEmpty());
    }
}

class PricingDbTest : public test::DbTest {
protected:
    void SetUp() override
    {
        DbTest::SetUp();
        if (!db)
            return;
        ASSERT_TRUE(provisionSucceeded(provision(*db)));
    }
    int count(const QString& sql, const QVariantList& params = {}) { return db->scalar(sql, params).toInt(); }
    static Assessment assessment(const QString& paperNo, const QString& city = QStringLiteral("مرودشت"))
    {
        Assessment a;
        a.city = city;
        a.rosta = QStringLiteral("کوشک");
        a.paperNo = paperNo;
        a.paperDat = QStringLiteral("1403/02/10");
        a.karbari = QStringLiteral("مسكوني");
        a.arzesh = 1000000;
        a.payeZarib = 1.5;
        a.paye = 1500000;
        a.kashf = {QStringLiteral("قولنامه هاي معاملات"), QStringLiteral("مسئولين محلي")};
        return a;
    }
};

TEST_P(PricingDbTest, TransferTypeNamesAreRequiredAndUnique)
{
    QStringList problems;
    EXPECT_EQ(addTransferType(*db, "عادي", "1.5", problems), TransferTypeAdd::Added);
    EXPECT_EQ(addTransferType(*db, "عادي", "2", problems), TransferTypeAdd::Refused);
    EXPECT_EQ(problems, QStringList{text::TransferTypeDuplicate});
    EXPECT_EQ(addTransferType(*db, "", "1", problems), TransferTypeAdd::Refused);
    EXPECT_EQ(problems, QStringList{text::TransferTypeRequired});
    // An empty coefficient stores no value.
    EXPECT_EQ(addTransferType(*db, "مسکن شهري", "", problems), TransferTypeAdd::Added);
    EXPECT_TRUE(db->scalar("SELECT zarib FROM vagozarityp WHERE vagozari = ?", {"مسکن شهري"}).isNull());
    EXPECT_DOUBLE_EQ(db->scalar("SELECT zarib FROM vagozarityp WHERE vagozari = ?", {"عادي"}).toDouble(), 1.5);
    EXPECT_THROW(addTransferType(*db, "غيربومي", ".", problems), Error);
    EXPECT_EQ(transferTypeNames(*db), (QStringList{"عادي", "مسکن شهري"}));
    // An empty name already stored: both refusals.
    db->insert("vagozarityp", {{"vagozari", ""}});
    addTransferType(*db, "", "1", problems);
    EXPECT_EQ(problems, (QStringList{text::TransferTypeRequired, text::TransferTypeDuplicate}));
}

TEST_P(PricingDbTest, SimultaneousTransferTypesOfOneNameStoreOne)
{
    const std::vector<int> saved = test::raceSaves(*tmp, 6, 10, [](Database& mine, int round, int) {
        QStringList problems;
        return addTransferType(mine, QStringLiteral("نوع %1").arg(round), "1", problems) == TransferTypeAdd::Added;
    });
    for (int round = 0; round < 10; ++round) {
        EXPECT_EQ(saved[round], 1) << round;
        EXPECT_EQ(count("SELECT count(*) FROM vagozarityp WHERE vagozari = ?", {QStringLiteral("نوع %1").arg(round)}),
                  1);
    }
}

TEST_P(PricingDbTest, AssessmentIsSavedWithItsWaysOfDiscoveryOrNotAtAll)
{
    ResultSet prices(db);
    prices.open(buildPriceSearch({}, {"1", "admin", "admin"}, db->kind()).paged);
    EXPECT_TRUE(saveNewAssessment(prices, assessment("12")).isEmpty());
    const qint64 id = prices.asInteger("id");
    EXPECT_EQ(priceFinders(*db, id), (QStringList{"قولنامه هاي معاملات", "مسئولين محلي"}));
    EXPECT_EQ(prices.asString("paye"), "1500000");

    // The letter is looked for in ghimat: the same letter again is refused; a case of the
    // same letter in komision does not count.
    db->insert("komision", {{"paper_no", "13"}, {"paper_dat", "1403/02/10"}, {"city", "مرودشت"}, {"rosta", "کوشک"}});
    EXPECT_EQ(saveNewAssessment(prices, assessment("12")), QStringList{text::LetterDuplicate});
    EXPECT_TRUE(saveNewAssessment(prices, assessment("13")).isEmpty());
    Assessment noVillage = assessment("12");
    noVillage.rosta.clear();
    EXPECT_EQ(saveNewAssessment(prices, noVillage), QStringList{text::VillageRequired});

    // A way that cannot be stored (wider than its column) leaves no assessment behind.
    Assessment tooWide = assessment("14");
    tooWide.kashf << QString(101, QChar(0x0634));
    EXPECT_THROW(saveNewAssessment(prices, tooWide), Error);
    EXPECT_EQ(count("SELECT count(*) FROM ghimat WHERE paper_no = '14'"), 0);
    EXPECT_EQ(count("SELECT count(*) FROM kashfghimat"), 4);

    // Editing replaces the ways; deleting takes them along.
    ASSERT_TRUE(prices.locate("id", id));
    Assessment changed = assessment("12");
    changed.kashf = {QStringLiteral("کارشناس رسمي دادگستري")};
    changed.paye = 1800000;
    EXPECT_TRUE(saveAssessmentChanges(prices, changed).isEmpty());
    EXPECT_EQ(priceFinders(*db, id), QStringList{"کارشناس رسمي دادگستري"});
    EXPECT_EQ(count("SELECT paye FROM ghimat WHERE id = ?", {id}), 1800000);
    deleteAssessment(prices);
    EXPECT_EQ(count("SELECT count(*) FROM ghimat WHERE id = ?", {id}), 0);
    EXPECT_EQ(count("SELECT count(*) FROM kashfghimat WHERE ghimat_id = ?", {id}), 0);
}

TEST_P(PricingDbTest, SimultaneousAssessmentsOfOneLetterStoreOne)
{
    const std::vector<int> saved = test::raceSaves(*tmp, 6, 10, [](Database& mine, int round, int) {
        ResultSet prices(&mine);
        prices.open("SELECT * FROM ghimat WHERE 1 = 0");
        const QStringList problems = saveNewAssessment(prices, assessment(QString::number(round)));
        if (problems.isEmpty())
            return true;
        if (problems != QStringList{text::LetterDuplicate})
            throw Error(problems.join(" / "));
        return false;
    });
    for (int round = 0; round < 10; ++round) {
        EXPECT_EQ(saved[round], 1) << round;
        EXPECT_EQ(count("SELECT count(*) FROM ghimat WHERE paper_no = ?", {QString::number(round)}), 1);
        EXPECT_EQ(count("SELECT count(*) FROM kashfghimat k JOIN ghimat g ON g.id = k.ghimat_id "
                        "WHERE g.paper_no = ?",
                        {QString::number(round)}),
                  2);
    }
}

TEST_P(PricingDbTest, SearchShowsTheUsersCountiesAndMatchesLettersAnywhere)
{
    for (const auto& [paper, city] : std::initializer_list<std::pair<const char*, const char*>>{
             {"12", "مرودشت"}, {"112", "مرودشت"}, {"1203", "شيراز"}, {"45", "شيراز"}, {"120", "فسا"}})
        db->insert("ghimat", {{"paper_no", paper}, {"city", city}, {"rosta", "ده"}});
    db->insert("dastrasi2", {{"user_id", 7}, {"cmt", "مرودشت"}});
    db->insert("dastrasi2", {{"user_id", 7}, {"cmt", "شيراز"}});
    auto found = [&](const PriceFilters& f, const LoginState& user) {
        const PriceQuery q = buildPriceSearch(f, user, db->kind());
        ResultSet rs(db);
        rs.open(q.paged);
        QStringList papers;
        for (int r = 0; r < rs.recordCount(); ++r)
            papers << rs.textAt(r, rs.fieldIndex("paper_no"));
        EXPECT_EQ(db->scalar(q.countSql, q.params).toInt(), papers.size());
        return papers;
    };
    const LoginState county{"7", "city", "مرودشت"};
    auto letter = [](const char* text) {
        PriceFilters f;
        f.paperNo = QString::fromUtf8(text);
        return f;
    };
    EXPECT_EQ(found({}, county), (QStringList{"12", "112", "1203", "45"}));
    EXPECT_EQ(found(letter("12"), county), (QStringList{"12", "112", "1203"}));
    PriceFilters byCounty;
    byCounty.city = QStringLiteral("شير");
    EXPECT_EQ(found(byCounty, county), (QStringList{"1203", "45"}));
    EXPECT_TRUE(found({}, {"8", "ostan", "استان"}).isEmpty()) << "a provincial user without counties sees nothing";
    EXPECT_EQ(found({}, {"1", "admin", "admin"}).size(), 5);
    // Pattern characters are taken literally.
    EXPECT_TRUE(found(letter("%"), {"1", "admin", "admin"}).isEmpty());
}

TEST(PricingRules, CountyUsersMayEditOnlyWhileNoBasePriceIsSet)
{
    EXPECT_TRUE(countyUserMayEdit("city", "0"));
    EXPECT_FALSE(countyUserMayEdit("city", "960000"));
    EXPECT_FALSE(countyUserMayEdit("city", ""));
    EXPECT_TRUE(countyUserMayEdit("ostan", "960000"));
}

TARVEST_FOR_EACH_DATABASE(PricingDbTest);

} // namespace

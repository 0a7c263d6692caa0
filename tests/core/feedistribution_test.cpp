// The distribution of a fee document over the staff roles, as pure functions: the two
// worked documents, the halves that round to even, both counts zero, fifteen-digit
// amounts, refused inputs, percentages read from their labels, and the other experts'
// amount.
#include "fees/core/distribution.h"

#include <gtest/gtest.h>

#include <QStringList>

using namespace tarvest;
using namespace tarvest::fees;

namespace {

FeeInputs worked(bool receipts)
{
    FeeInputs in;
    in.receipts = receipts;
    in.rostaCnt = "3";
    in.shahrCnt = "2";
    in.ozvCnt = "5";
    in.ozvMablagh = 200000;
    in.vartalisSahm = 100000;
    in.sabtSahm = 100000;
    in.fishMablagh = 1000000;
    in.fishMablagh2 = 500000;
    in.percentTexts = defaultPercentTexts();
    return in;
}

// "col=value col=value ..." for the columns named.
QString pick(const FieldTexts& out, const QStringList& columns)
{
    QStringList parts;
    for (const QString& c : columns)
        parts << c + "=" + fieldText(out, c);
    return parts.join(' ');
}

const QStringList kAll = {
    "ozv_mablagh_kol", "shahr_kar",    "shahr_modir", "moaven",        "ostan_kar",    "sayer_kar",  "ostan_mas",
    "odat_modir",      "odat_kar",     "modirkol1",   "moaven1",       "masol_zamin1", "sanad_kar1", "naghshe_kar1",
    "daftar1",         "hesabdari1",   "hesab_kar1",  "sahm_vartalis", "sahm_sabt",    "band3",      "modirkol2",
    "moaven2",         "masol_zamin2", "sanad_kar2",  "naghshe_kar2",  "daftar2",      "hesabdari2", "hesab_kar2"};

} // namespace

TEST(FeeDistribution, TableOfDocuments)
{
    struct Case {
        const char* what;
        FeeInputs in;
        QString expected; // every computed field, in kAll's order
    };
    auto with = [](FeeInputs in, auto change) {
        change(in);
        return in;
    };
    const Case cases[] = {
        {"no receipts, worked document", worked(false),
         "ozv_mablagh_kol=500000 shahr_kar=1200000 shahr_modir=300000 moaven=300000 ostan_kar=450000 "
         "sayer_kar=300000 ostan_mas=450000 odat_modir=0 odat_kar=0 modirkol1=0 moaven1=0 masol_zamin1=0 "
         "sanad_kar1=0 naghshe_kar1=0 daftar1=0 hesabdari1=0 hesab_kar1=0 sahm_vartalis=250000 sahm_sabt=250000 "
         "band3=250000 modirkol2=75000 moaven2=50000 masol_zamin2=37500 sanad_kar2=25000 naghshe_kar2=17500 "
         "daftar2=15000 hesabdari2=15000 hesab_kar2=15000"},
        {"receipts, worked document", worked(true),
         "ozv_mablagh_kol=1000000 shahr_kar=0 shahr_modir=0 moaven=0 ostan_kar=0 sayer_kar=0 ostan_mas=0 "
         "odat_modir=350000 odat_kar=100000 modirkol1=52500 moaven1=35000 masol_zamin1=35000 sanad_kar1=35000 "
         "naghshe_kar1=25000 daftar1=15000 hesabdari1=15000 hesab_kar1=10000 sahm_vartalis=500000 "
         "sahm_sabt=500000 band3=500000 modirkol2=150000 moaven2=100000 masol_zamin2=75000 sanad_kar2=50000 "
         "naghshe_kar2=35000 daftar2=30000 hesabdari2=30000 hesab_kar2=30000"},
        // 75 × 20 % = 15; 15 × 10 % = 1.5 -> 2. 125 × 20 % = 25; 2.5 -> 2.
        {"receipt 75: 1.5 rounds to 2", with(worked(true), [](FeeInputs& i) { i.fishMablagh2 = 75; }), {}},
        {"receipt 125: 2.5 rounds to 2", with(worked(true), [](FeeInputs& i) { i.fishMablagh2 = 125; }), {}},
        {"receipts, both counts 0", with(worked(true), [](FeeInputs& i) { i.rostaCnt = i.shahrCnt = "0"; }),
         "ozv_mablagh_kol=0 shahr_kar=0 shahr_modir=0 moaven=0 ostan_kar=0 sayer_kar=0 ostan_mas=0 "
         "odat_modir=350000 odat_kar=100000 modirkol1=52500 moaven1=35000 masol_zamin1=35000 sanad_kar1=35000 "
         "naghshe_kar1=25000 daftar1=15000 hesabdari1=15000 hesab_kar1=10000 sahm_vartalis=0 sahm_sabt=0 "
         "band3=0 modirkol2=0 moaven2=0 masol_zamin2=0 sanad_kar2=0 naghshe_kar2=0 daftar2=0 hesabdari2=0 "
         "hesab_kar2=0"},
        {"no receipts, both counts 0", with(worked(false), [](FeeInputs& i) { i.rostaCnt = i.shahrCnt = "0"; }),
         "ozv_mablagh_kol=0 shahr_kar=0 shahr_modir=0 moaven=0 ostan_kar=0 sayer_kar=0 ostan_mas=0 "
         "odat_modir=0 odat_kar=0 modirkol1=0 moaven1=0 masol_zamin1=0 sanad_kar1=0 naghshe_kar1=0 daftar1=0 "
         "hesabdari1=0 hesab_kar1=0 sahm_vartalis=0 sahm_sabt=0 band3=0 modirkol2=0 moaven2=0 masol_zamin2=0 "
         "sanad_kar2=0 naghshe_kar2=0 daftar2=0 hesabdari2=0 hesab_kar2=0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const FieldTexts out = distribute(c.in);
        if (!c.expected.isEmpty()) {
            EXPECT_EQ(pick(out, kAll).toStdString(), c.expected.toStdString());
        }
        // Every computed field is written exactly once.
        EXPECT_EQ(out.size(), kAll.size());
    }
    EXPECT_EQ(pick(distribute(cases[2].in), {"odat_kar", "hesab_kar1"}), "odat_kar=15 hesab_kar1=2");
    EXPECT_EQ(pick(distribute(cases[3].in), {"odat_kar", "hesab_kar1"}), "odat_kar=25 hesab_kar1=2");
}

TEST(FeeDistribution, HalvesStayInTheTextSharesAndRoundToEvenInAmounts)
{
    // Without receipts: half of 3 × 1 = 1.5 -> ozv_mablagh_kol 2 (even), shares 1.
    FeeInputs in = worked(false);
    in.rostaCnt = "3";
    in.shahrCnt = "0";
    in.ozvMablagh = 1;
    EXPECT_EQ(pick(distribute(in), {"ozv_mablagh_kol", "sahm_vartalis", "band3"}),
              "ozv_mablagh_kol=2 sahm_vartalis=1 band3=1");
    // With receipts: 3 × 1 = 3; its half 1.5 stays in the texts, band3 takes 2 (even),
    // and group C reads band3's whole value: 2 × 30 % = 0.6 -> 1.
    in.receipts = true;
    EXPECT_EQ(pick(distribute(in), {"ozv_mablagh_kol", "sahm_vartalis", "sahm_sabt", "band3", "modirkol2"}),
              "ozv_mablagh_kol=3 sahm_vartalis=1.5 sahm_sabt=1.5 band3=2 modirkol2=1");
    // 5 × 1 = 5 -> 2.5, band3 2 (even).
    in.rostaCnt = "5";
    EXPECT_EQ(pick(distribute(in), {"sahm_vartalis", "band3"}), "sahm_vartalis=2.5 band3=2");
    // The showing step: half of the member fee in whole rials.
    EXPECT_EQ(memberShareOfFee(200000), 100000);
    EXPECT_EQ(memberShareOfFee(5), 2);
    EXPECT_EQ(memberShareOfFee(7), 4);
    EXPECT_EQ(halfText(200001), "100000.5");
}

TEST(FeeDistribution, FifteenDigitAmountsAreExactAndLongerOnesRefused)
{
    FeeInputs in = worked(true);
    in.rostaCnt = "1";
    in.shahrCnt = "0";
    in.fishMablagh = 999'999'999'999'999;
    in.fishMablagh2 = 999'999'999'999'995;
    in.ozvMablagh = 999'999'999'999'999;
    const FieldTexts out = distribute(in);
    // 35 % of 999999999999999 = 349999999999999.65 -> ...0; 20 % of ...995 = 199999999999999.
    EXPECT_EQ(pick(out, {"ozv_mablagh_kol", "odat_modir", "odat_kar", "sahm_vartalis", "band3"}),
              "ozv_mablagh_kol=999999999999999 odat_modir=350000000000000 odat_kar=199999999999999 "
              "sahm_vartalis=499999999999999.5 band3=500000000000000");

    // Without receipts the pool of 15-digit fees over many documents is exact, but a result
    // beyond fifteen digits is refused with the field's caption.
    FeeInputs big = worked(false);
    big.rostaCnt = "2000000000";
    big.shahrCnt = "2000000000";
    big.ozvCnt = "2000000000";
    big.ozvMablagh = 999'999'999'999'999;
    try {
        distribute(big);
        FAIL() << "a 25-digit amount was accepted";
    } catch (const FeeInputError& e) {
        EXPECT_TRUE(e.message().contains("15 رقم")) << e.message().toStdString();
    }
    FeeInputs tooLong = worked(true);
    tooLong.fishMablagh = 1'000'000'000'000'000;
    EXPECT_THROW(distribute(tooLong), FeeInputError);
}

TEST(FeeDistribution, ConversionErrorsNameTheFieldAndWriteNothing)
{
    const struct {
        const char* what;
        bool receipts;
        QString rosta, shahr, members;
        QString named;
    } cases[] = {
        {"empty rural count", true, "", "2", "5", "تعداد سند روستايي"},
        {"letters in the urban count", false, "3", "دو", "5", "تعداد سند شهري"},
        {"empty member count without receipts", false, "3", "2", "", "تعداد اعضاء"},
        {"count beyond 32 bits", true, "3000000000", "2", "5", "تعداد سند روستايي"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        FeeInputs in = worked(c.receipts);
        in.rostaCnt = c.rosta;
        in.shahrCnt = c.shahr;
        in.ozvCnt = c.members;
        try {
            distribute(in);
            ADD_FAILURE() << "accepted";
        } catch (const FeeInputError& e) {
            EXPECT_TRUE(e.message().startsWith("خطا!"));
            EXPECT_TRUE(e.message().contains(c.named)) << e.message().toStdString();
        }
    }
    // With receipts the member count is not read.
    FeeInputs in = worked(true);
    in.ozvCnt = "";
    EXPECT_NO_THROW(distribute(in));
    // Persian digits count as digits.
    in.rostaCnt = "۳";
    EXPECT_EQ(fieldText(distribute(in), "ozv_mablagh_kol"), "1000000");
}

TEST(FeeDistribution, PercentagesComeFromTheLabels)
{
    FeeInputs in = worked(false);
    in.percentTexts["modirkol2_darsad"] = "50";
    in.percentTexts["darsad_shahr_kar"] = "20";
    const FieldTexts out = distribute(in);
    EXPECT_EQ(pick(out, {"modirkol2", "shahr_kar"}), "modirkol2=125000 shahr_kar=600000");
    in.percentTexts["daftar2_darsad"] = "%";
    EXPECT_THROW(distribute(in), FeeInputError);
}

TEST(FeeDistribution, OtherExpertsAmount)
{
    const struct {
        const char* amount;
        const char* percent;
        qint64 expected;
    } cases[] = {
        {"300000", "40", 120000},
        {"300000", "0", 0},
        {"300000", "", 0},
        {"1000", "33", 330},
        {"1001", "33", 330},
        {"50", "5", 2},
        {"70", "5", 4},
        {"abc", "10", 0},
        {"999999999999999", "100", 999999999999999},
        {"999999999999999", "200", 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(expertAmount(c.amount, c.percent), c.expected) << c.amount << " × " << c.percent;
}

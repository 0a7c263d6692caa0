// What the case prints compute before a layout is filled: grouping, amounts in words,
// net area, the amount block, each form's label texts, and the setting texts and case
// rows read from a real database.
#include "cases/prints/core/caseprint.h"
#include "db/database.h"
#include "db/provision.h"
#include "db/resultset.h"
#include "db/settinglists.h"
#include "testdb.h"

using namespace tarvest;
using namespace tarvest::caseprint;

namespace {

QString q(const char16_t* s)
{
    return QString::fromUtf16(s);
}
QString join(std::initializer_list<const char16_t*> pieces)
{
    QString out;
    for (const char16_t* p : pieces)
        out += q(p);
    return out;
}
const QChar kZwnj(0x200C);

} // namespace

TEST(GroupAmount, GroupsTheWholePartAndKeepsSignAndFraction)
{
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"7654321", "7,654,321"},
        {"987654", "987,654"},
        {"12", "12"},
        {"", nullptr},
        {"1234", "1,234"},
        {"14175000.5", "14,175,000.5"},
        {"-987654", "-987,654"},
        {"+1000", "+1,000"},
        {"1234.5", "1,234.5"},
        {"3000000000", "3,000,000,000"},
        {"1234567890123", "1,234,567,890,123"},
        {"0", "0"},
        {".5", ".5"},
        {"1,000", nullptr},
        {"abc", nullptr},
        {"12a", nullptr},
        {"-", nullptr},
        {".", nullptr},
        {"1.2.3", nullptr},
    };
    for (const auto& c : cases) {
        const auto got = groupAmount(QString::fromLatin1(c.in));
        if (c.out) {
            ASSERT_TRUE(got) << c.in;
            EXPECT_EQ(*got, QString::fromLatin1(c.out)) << c.in;
        } else {
            EXPECT_FALSE(got) << c.in;
            EXPECT_EQ(groupAmountOr(QString::fromLatin1(c.in)), QString::fromLatin1(c.in)) << c.in;
        }
    }
}

TEST(AmountInWords, TheWordsCarryTheirBlanksAndNonJoiners)
{
    EXPECT_EQ(Get1nd(0), q(u" صفر "));
    EXPECT_EQ(Get1nd(12), q(u" دوازده "));
    EXPECT_EQ(Get2nd(2), q(u" بيست "));
    EXPECT_EQ(Get3nd(5), q(u" پانصد "));
    // four, fourteen, forty and four hundred: a non-joiner before the trailing blank.
    for (const QString& w : {Get1nd(4), Get1nd(14), Get2nd(4), Get3nd(4)}) {
        ASSERT_GE(w.size(), 3);
        EXPECT_EQ(w.at(w.size() - 2), kZwnj) << w.toStdString();
        EXPECT_EQ(w.back(), u' ');
        EXPECT_EQ(w.front(), u' ');
    }
    for (int n = 0; n < 20; ++n) {
        if (n != 4 && n != 14) {
            EXPECT_FALSE(Get1nd(n).contains(kZwnj)) << n;
        }
    }
    EXPECT_EQ(Get1nd(4), q(u" چهار") + kZwnj + u' ');
    EXPECT_EQ(Get3nd(4), q(u" چهارصد") + kZwnj + u' ');
}

TEST(AmountInWords, HundredsTensAndUnits)
{
    const struct {
        int n;
        QString words;
    } cases[] = {
        {25, join({u" بيست ", u"و", u" پنج "})},
        {305, join({u" سيصد ", u"و", u" پنج "})},
        {0, q(u" صفر ")},
        {7, q(u" هفت ")},
        {19, q(u" نوزده ")},
        {20, q(u" بيست ")},
        {100, q(u" صد ")},
        {110, join({u" صد ", u"و", u" ده "})},
        {999, join({u" نهصد ", u"و", u" نود ", u"و", u" نه "})},
        {44, q(u" چهل") + kZwnj + q(u" و چهار") + kZwnj + u' '},
    };
    for (const auto& c : cases)
        EXPECT_EQ(GetTree(c.n), c.words) << c.n;
}

TEST(AmountInWords, GroupsUpToTheTrillions)
{
    const QString rial = q(u" ريال");
    const struct {
        qint64 n;
        QString words;
    } cases[] = {
        {12500000, join({u" دوازده ", u"ميليون", u" و ", u" پانصد ", u"هزار", u" ", u"ريال"})},
        {1000005, join({u" يک ", u"ميليون", u" و ", u" پنج ", u" ", u"ريال"})},
        {0, join({u" صفر ", u" ", u"ريال"})},
        {25, join({u" بيست ", u"و", u" پنج ", u" ", u"ريال"})},
        {3000000000LL, join({u" سه ", u"ميليارد", u" ", u"ريال"})},
        {1000000000000LL, join({u" يک ", u"تريليون", u" ", u"ريال"})},
        {1234567890123LL,
         join({u" يک ",    u"تريليون", u" و ",     u" دويست ", u"و",     u" سي ", u"و",     u" چهار\u200C ",
               u"ميليارد", u" و ",     u" پانصد ", u"و",       u" شصت ", u"و",    u" هفت ", u"ميليون",
               u" و ",     u" هشتصد ", u"و",       u" نود ",   u"هزار",  u" و ",  u" صد ",  u"و",
               u" بيست ",  u"و",       u" سه ",    u" ",       u"ريال"})},
        {2000000001LL, join({u" دو ", u"ميليارد", u" و ", u" يک ", u" ", u"ريال"})},
    };
    for (const auto& c : cases) {
        const auto got = GetNum(c.n);
        ASSERT_TRUE(got) << c.n;
        EXPECT_EQ(*got, c.words) << c.n << " " << got->toStdString();
        EXPECT_TRUE(got->endsWith(rial));
    }
    EXPECT_TRUE(GetNum(999999999999999LL));
    EXPECT_FALSE(GetNum(1000000000000000LL)); // beyond the trillions: no words rather than wrong ones
    EXPECT_FALSE(GetNum(-5));
    EXPECT_FALSE(GetNum(std::numeric_limits<qint64>::max()));
}

TEST(AmountInWords, OnlyWholeAmountTextsAreSpelled)
{
    EXPECT_TRUE(amountInWords(u"3000000000"));
    EXPECT_TRUE(amountInWords(u" 25 "));
    for (const char16_t* text : {u"", u"12,500,000", u"12500000.5", u"abc", u"-3", u"99999999999999999999"})
        EXPECT_FALSE(amountInWords(text)) << q(text).toStdString();
}

TEST(NetArea, GrossLessDemolitionInShortestForm)
{
    const struct {
        const char* metraj;
        const char* lost;
        const char* net;
    } cases[] = {
        {"500", "", "500"},   {"500.5", "20", "480.5"}, {"500", "20.25", "479.75"}, {"", "", "0"},
        {"abc", "10", "-10"}, {"1000", "x", "1000"},    {"250.50", "0.5", "250"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(netArea(QString::fromLatin1(c.metraj), QString::fromLatin1(c.lost)), QString::fromLatin1(c.net))
            << c.metraj << " - " << c.lost;
}

TEST(AmountBlock, AmountConnectorAndWords)
{
    const QString connector = q(u"ريال، معادل");
    const struct {
        const char* fee;
        const char* share;
        QString amount, connector, words;
    } cases[] = {
        {"12500000", "", "12,500,000", connector,
         join({u" دوازده ", u"ميليون", u" و ", u" پانصد ", u"هزار", u" ", u"ريال"})},
        {"", "20", "", q(u"20 درصد سهم ورتاليس "), ""},
        {"3000000000", "", "3,000,000,000", connector, join({u" سه ", u"ميليارد", u" ", u"ريال"})},
        {"12500000.5", "", "12,500,000.5", "", ""},
        {"abc", "20", "abc", "", ""},
        {"0", "", "0", connector, join({u" صفر ", u" ", u"ريال"})},
    };
    for (const auto& c : cases) {
        const AmountBlock b = amountBlock(QString::fromLatin1(c.fee), QString::fromLatin1(c.share));
        EXPECT_EQ(b.amount, c.amount) << c.fee;
        EXPECT_EQ(b.connector, c.connector) << c.fee;
        EXPECT_EQ(b.words, c.words) << c.fee;
    }
}

namespace {

CaseRow sampleCase(const QString& fee, const QString& share = {})
{
    return {{"paper_no", "123/45"},
            {"paper_dat", "1403/02/10"},
            {"city", q(u"مراغه")},
            {"rosta", q(u"قره آغاج")},
            {"darkhast", q(u"علي رضايي")},
            {"manzor", q(u"تغيير كاربري")},
            {"metraj", "500.5"},
            {"takhrib_masahat", "20"},
            {"fani", "F"},
            {"zamin", "Z"},
            {"dabir", "D"},
            {"komision_idea", "K"},
            {"komision_dat", "1403/03/01"},
            {"ghimat_karshenasi_kh", "100000"},
            {"masahat_na", "500"},
            {"melk_arzesh", "50000000"},
            {"ghimat_karshenasi_d", "300000"},
            {"masahat_khales", "480"},
            {"malek_sahm", share},
            {"malek_varizi", fee},
            {"mashmol", q(u"مشمول")}};
}

PrintSettings sampleSettings()
{
    PrintSettings s;
    s.directorGeneral = "M1";
    s.ruralDeputy = "M2";
    s.supportDeputy = "M3";
    s.securityHead = "M4";
    s.legalExpert = "M5";
    s.ruralDeputyPostTitle = "POST";
    s.transactionsLetterNo = "LN";
    s.transactionsLetterDate = "LD";
    return s;
}

} // namespace

TEST(CommissionSheetA4, DecisionLineByKindOfFee)
{
    const QString connector = q(u"ريال، معادل");
    const QString share20 = q(u"20 درصد سهم ورتاليس ");
    // tailKept: which of the two tails keeps its layout wording ("money" or "share").
    const struct {
        const char* fee;
        const char* share;
        const char* tailKept;
        QString amount, amount2, connector, connector2;
        bool words;
    } cases[] = {
        {"12500000", "", "money", "12,500,000", "12,500,000", connector, connector, true},
        {"", "20", "share", "", "", share20, share20, false},
        {"3000000000", "", "money", "3,000,000,000", "3,000,000,000", connector, connector, true},
        {"0012500000.50", "", "money", "0,012,500,000.50", "12,500,000.5", "", "", false},
        {"abc", "20", "share", "abc", "", "", "", false},
    };
    for (const auto& c : cases) {
        const FormFill f = commissionSheetA4(sampleCase(c.fee, c.share), sampleSettings(), "1403/05/01", 12);
        const bool money = QLatin1String(c.tailKept) == QLatin1String("money");
        EXPECT_FALSE(f.texts.contains(money ? labels::MoneyTail : labels::ShareTail)) << c.fee;
        EXPECT_EQ(f.texts.value(money ? labels::ShareTail : labels::MoneyTail, "kept"), "") << c.fee;
        EXPECT_EQ(f.texts[labels::Amount], c.amount) << c.fee;
        EXPECT_EQ(f.texts[labels::Amount2], c.amount2) << c.fee;
        EXPECT_EQ(f.texts[labels::Connector], c.connector) << c.fee;
        EXPECT_EQ(f.texts[labels::Connector2], c.connector2) << c.fee;
        EXPECT_EQ(!f.texts[labels::Words].isEmpty(), c.words) << c.fee;
        EXPECT_EQ(f.texts[labels::Words2], f.texts[labels::Words]) << c.fee;
    }
}

TEST(CommissionSheetA4, CaseValuesMembersDateAndFontSizes)
{
    FormFill f = commissionSheetA4(sampleCase("12500000"), sampleSettings(), "1403/05/01", 14);
    EXPECT_EQ(f.texts["metraj"], "500.5"); // as entered, without the demolition
    EXPECT_EQ(f.texts["city"], q(u"مراغه"));
    EXPECT_EQ(f.texts["city2"], q(u"مراغه"));
    for (const char* column :
         {"paper_no", "paper_dat", "darkhast", "rosta", "manzor", "fani", "zamin", "dabir", "komision_idea",
          "komision_dat", "ghimat_karshenasi_kh", "masahat_na", "melk_arzesh", "ghimat_karshenasi_d", "masahat_khales"})
        EXPECT_EQ(f.texts.value(column, "missing"), sampleCase("12500000").value(column)) << column;
    for (int i = 1; i <= 5; ++i)
        EXPECT_EQ(f.texts[labels::member(i)], QStringLiteral("M%1").arg(i));
    for (const QString& post : {labels::PostTitle1, labels::PostTitle2, labels::PostTitle3})
        EXPECT_EQ(f.texts[post], "POST");
    EXPECT_EQ(f.texts[labels::Date], "1403/05/01");
    EXPECT_FALSE(f.texts.contains(labels::DateCaption)); // the caption keeps its layout wording
    EXPECT_EQ(f.fontSizes, (QMap<QString, int>{{"zamin", 14}, {"komision_idea", 14}}));

    f = commissionSheetA4(sampleCase("12500000"), sampleSettings(), "", 10);
    EXPECT_EQ(f.texts[labels::Date], "");
    EXPECT_EQ(f.texts.value(labels::DateCaption, "kept"), "");

    // An empty result: every value label empty, the fixed wording kept.
    f = commissionSheetA4(CaseRow{}, PrintSettings{}, "1403/05/01", 10);
    for (auto it = f.texts.cbegin(); it != f.texts.cend(); ++it) {
        if (it.key() != labels::Date && it.key() != labels::Connector && it.key() != labels::Connector2) {
            EXPECT_EQ(it.value(), "") << it.key().toStdString();
        }
    }
}

TEST(CommissionSheetA4, FontSizeAnswer)
{
    const struct {
        const char* answer;
        int size;
    } cases[] = {{"10", 10}, {" 12 ", 12}, {"abc", 0}, {"", 0}, {"10.5", 0}, {"0", 0}, {"-3", 0}, {"999", 0}};
    for (const auto& c : cases) {
        const auto got = fontSizeAnswer(QString::fromLatin1(c.answer));
        EXPECT_EQ(got.value_or(0), c.size) << c.answer;
    }
    EXPECT_TRUE(badFontSizeMessage("abc").contains("abc"));
}

TEST(CommissionSheetA5, NetAreaAmountBlockAndLetterReference)
{
    FormFill f = commissionSheetA5(sampleCase("", "20"), sampleSettings(), "1403/05/01");
    EXPECT_EQ(f.texts[labels::NetArea], "480.5");
    EXPECT_EQ(f.texts[labels::NetArea2], "480.5");
    EXPECT_EQ(f.texts["darkhast"], q(u"علي رضايي"));
    EXPECT_EQ(f.texts["darkhast2"], q(u"علي رضايي"));
    EXPECT_EQ(f.texts["mashmol"], q(u"مشمول"));
    EXPECT_EQ(f.texts[labels::Amount], "");
    EXPECT_EQ(f.texts[labels::Connector], q(u"20 درصد سهم ورتاليس "));
    EXPECT_EQ(f.texts[labels::Words], "");
    EXPECT_EQ(f.texts[labels::LetterNo], "LN");
    EXPECT_EQ(f.texts[labels::LetterDate], "LD");
    EXPECT_EQ(f.texts[labels::Date], "1403/05/01");
    for (const QString& post : {labels::PostTitle1, labels::PostTitle2, labels::PostTitle3})
        EXPECT_EQ(f.texts[post], "POST");
    EXPECT_TRUE(f.fontSizes.isEmpty());

    f = commissionSheetA5(sampleCase("12500000"), sampleSettings(), "1403/05/01");
    EXPECT_EQ(f.texts[labels::Amount], "12,500,000");
    EXPECT_EQ(f.texts[labels::Connector], q(u"ريال، معادل"));
    EXPECT_FALSE(f.texts[labels::Words].isEmpty());
}

TEST(DecisionLetters, AmountByLetter)
{
    // fee (malek_varizi), stored payment (malek_pardakhti), share (malek_sahm) → amount.
    const struct {
        DecisionLetter letter;
        const char* fee;
        const char* paid;
        const char* share;
        const char* amount;
    } cases[] = {
        {DecisionLetter::Money, "1500000", "2000000", "20", "1,500,000"},
        {DecisionLetter::Money, "", "2000000", "20", "2000000"},      // the stored payment, not grouped
        {DecisionLetter::Money, "abc", "2,000,000", "", "2,000,000"}, // as stored, whatever it holds
        {DecisionLetter::Money, "", "", "20", ""},
        {DecisionLetter::Share, "1500000", "2000000", "20", "20"}, // no "%", no share wording
        {DecisionLetter::Share, "", "", "12.5", "12.5"},
        {DecisionLetter::LandGroup, "1500000", "2000000", "", "2000000"}, // never grouped
        {DecisionLetter::LandGroup, "1500000", "", "", ""},
        {DecisionLetter::MixedUse, "1500000", "2000000", "", "1,500,000"},
        {DecisionLetter::MixedUse, "", "2000000", "20", ""}, // the fee unchanged
        {DecisionLetter::ConditionalUse, "7654321", "", "", "7,654,321"},
        {DecisionLetter::ConditionalUse, "abc", "2000000", "", "abc"},
    };
    for (const auto& c : cases) {
        CaseRow row = sampleCase(QString::fromLatin1(c.fee), QString::fromLatin1(c.share));
        row["malek_pardakhti"] = QString::fromLatin1(c.paid);
        EXPECT_EQ(letterAmount(c.letter, row), QString::fromLatin1(c.amount)) << int(c.letter) << " " << c.fee;
        const FormFill letter = decisionLetter(c.letter, row, sampleSettings());
        const QString& amountLabel = c.letter == DecisionLetter::Share ? labels::LetterShare : labels::LetterAmount;
        EXPECT_EQ(letter.texts.value(amountLabel, "missing"), QString::fromLatin1(c.amount))
            << int(c.letter) << " " << c.fee;
        if (c.letter != DecisionLetter::LandGroup) {
            const FormFill form = combinedForm(c.letter, row, sampleSettings());
            EXPECT_EQ(form.texts.value(amountLabel, "missing"), QString::fromLatin1(c.amount))
                << int(c.letter) << " " << c.fee;
        }
    }
}

TEST(DecisionLetters, ValuesSignerAndPostLineOfEachLetter)
{
    CaseRow row = sampleCase("1500000", "20");
    row["paper_no2"] = "900/1";
    row["paper_dat2"] = "1403/04/04";
    // Labels each letter writes besides its amount; "-" marks a label the letter leaves alone.
    const struct {
        DecisionLetter letter;
        const char* paperNo;
        const char* paperDate;
        const char* applicant;
        const char* village;
        const char* meeting;
        const char* signer;
        const char* post;
    } cases[] = {
        {DecisionLetter::Money, "123/45", "1403/02/10", "A", "-", "1403/03/01", "M2", "-"},
        {DecisionLetter::Share, "123/45", "1403/02/10", "A", "-", "1403/03/01", "M2", "POST"},
        {DecisionLetter::LandGroup, "900/1", "1403/04/04", "-", "-", "-", "-", "POST"},
        {DecisionLetter::MixedUse, "123/45", "1403/02/10", "A", "V", "-", "M2", "POST"},
        {DecisionLetter::ConditionalUse, "123/45", "1403/02/10", "A", "V", "-", "M2", "POST"},
    };
    const QString applicant = q(u"علي رضايي");
    const QString village = q(u"قره آغاج");
    auto expected = [&](const char* v) -> QString {
        const QString s = QString::fromLatin1(v);
        return s == "A" ? applicant : s == "V" ? village : s;
    };
    for (const auto& c : cases) {
        const FormFill f = decisionLetter(c.letter, row, sampleSettings());
        const std::pair<const QString&, const char*> checks[] = {{labels::LetterPaperNo, c.paperNo},
                                                                 {labels::LetterPaperDate, c.paperDate},
                                                                 {labels::LetterApplicant, c.applicant},
                                                                 {labels::LetterVillage, c.village},
                                                                 {labels::LetterMeetingDate, c.meeting},
                                                                 {labels::LetterSigner, c.signer},
                                                                 {labels::LetterPost, c.post}};
        for (const auto& [label, value] : checks)
            EXPECT_EQ(f.texts.value(label, "-"), expected(value)) << int(c.letter) << " " << label.toStdString();
        EXPECT_EQ(f.texts[labels::LetterCity], q(u"مراغه")) << int(c.letter);
        // A letter writes nothing of the sheet: no date, no amount block.
        EXPECT_FALSE(f.texts.contains(labels::Date));
        EXPECT_FALSE(f.texts.contains(labels::Amount));
        EXPECT_TRUE(f.fontSizes.isEmpty());
    }
}

TEST(DecisionLetters, CombinedFormsFillTheSheetBoxesWithoutADate)
{
    CaseRow row = sampleCase("", "20");
    row["malek_pardakhti"] = "2000000";
    const FormFill sheet = commissionSheetA5(row, sampleSettings(), "1403/05/01");
    for (DecisionLetter letter :
         {DecisionLetter::ConditionalUse, DecisionLetter::MixedUse, DecisionLetter::Money, DecisionLetter::Share}) {
        const FormFill f = combinedForm(letter, row, sampleSettings());
        // The sheet's three boxes exactly as the A5 sheet fills them, but no date at the top.
        for (auto it = sheet.texts.cbegin(); it != sheet.texts.cend(); ++it) {
            if (it.key() == labels::Date || it.key() == labels::DateCaption) {
                EXPECT_FALSE(f.texts.contains(it.key())) << int(letter);
            } else {
                EXPECT_EQ(f.texts.value(it.key(), "missing"), it.value())
                    << int(letter) << " " << it.key().toStdString();
            }
        }
        EXPECT_EQ(f.texts[labels::Connector], q(u"20 درصد سهم ورتاليس "));
        // The post title in all four post places, the money form's letter included.
        for (const QString& post : {labels::PostTitle1, labels::PostTitle2, labels::PostTitle3, labels::LetterPost})
            EXPECT_EQ(f.texts.value(post), "POST") << int(letter) << " " << post.toStdString();
        EXPECT_EQ(f.texts[labels::LetterSigner], "M2");
        EXPECT_EQ(f.texts[labels::LetterPaperNo], "123/45");
        EXPECT_EQ(f.texts[labels::LetterApplicant], q(u"علي رضايي"));
        const bool byUse = letter == DecisionLetter::ConditionalUse || letter == DecisionLetter::MixedUse;
        EXPECT_EQ(f.texts.contains(labels::LetterVillage), byUse) << int(letter);
        EXPECT_EQ(f.texts.contains(labels::LetterMeetingDate), !byUse) << int(letter);
    }
    EXPECT_EQ(combinedForm(DecisionLetter::Money, row, sampleSettings()).texts[labels::LetterAmount], "2000000");
    EXPECT_EQ(combinedForm(DecisionLetter::MixedUse, row, sampleSettings()).texts[labels::LetterAmount], "");
    EXPECT_EQ(combinedForm(DecisionLetter::Share, row, sampleSettings()).texts[labels::LetterShare], "20");
}

TEST(MinutesSheet, VillagesDateCountyAndTime)
{
    CaseRow last{{"rosta", "B"}, {"city", q(u"مراغه")}, {"komision_t_k_dat", "1403/06/02"}};
    FormFill f = minutesSheet({"A", "B"}, last, "09:30");
    EXPECT_EQ(f.texts[labels::Villages], " * A * B");
    EXPECT_EQ(f.texts[labels::MeetingDate], "1403/06/02");
    EXPECT_EQ(f.texts[labels::County], q(u"مراغه"));
    EXPECT_EQ(f.texts[labels::StartTime], "09:30");

    f = minutesSheet({}, CaseRow{}, "");
    for (const QString& label : {labels::Villages, labels::MeetingDate, labels::County, labels::StartTime})
        EXPECT_EQ(f.texts.value(label, "missing"), "") << label.toStdString();
}

// Setting texts and case rows from a real database.
class CasePrintDbTest : public test::DbTest {
protected:
    void SetUp() override
    {
        DbTest::SetUp();
        if (!db)
            return;
        ASSERT_TRUE(provisionSucceeded(provision(*db)));
    }
};

TEST_P(CasePrintDbTest, SettingTextsAreTheFirstValueOfTheirList)
{
    addSettingValue(*db, lists::DirectorGeneral, q(u"احمد"));
    addSettingValue(*db, lists::DirectorGeneral, q(u"دوم"));
    addSettingValue(*db, lists::RuralDeputyPostTitle, q(u"سرپرست"));
    addSettingValue(*db, lists::TransactionsLetterNo, "55/1");
    const PrintSettings s = PrintSettings::read(*db);
    EXPECT_EQ(s.directorGeneral, q(u"احمد"));
    EXPECT_EQ(s.ruralDeputyPostTitle, q(u"سرپرست"));
    EXPECT_EQ(s.transactionsLetterNo, "55/1");
    EXPECT_EQ(s.ruralDeputy, ""); // a missing row prints empty
    EXPECT_EQ(s.legalExpert, "");
    EXPECT_EQ(settingText(*db, lists::DirectorGeneral), q(u"احمد"));
}

TEST_P(CasePrintDbTest, RowsAreReadWithoutMovingTheCurrentRow)
{
    db->insert("komision", {{"city", "X"}, {"rosta", "A"}, {"malek_varizi", 12500000}});
    db->insert("komision", {{"city", "Y"}, {"rosta", "B"}, {"komision_t_k_dat", "1403/06/02"}});
    db->insert("komision", {{"city", "Z"}, {"rosta", "C"}});
    ResultSet rs(db);
    EXPECT_TRUE(currentRow(rs).isEmpty()); // not open
    rs.open("select * from komision order by pk");
    rs.moveTo(2);
    EXPECT_EQ(villagesOf(rs), (QStringList{"A", "B", "C"}));
    EXPECT_EQ(rowAt(rs, 0).value("malek_varizi"), "12500000");
    EXPECT_EQ(rowAt(rs, 0).value("komision_t_k_dat"), "");
    EXPECT_EQ(currentRow(rs).value("komision_t_k_dat"), "1403/06/02");
    EXPECT_EQ(rs.recNo(), 2);

    rs.open("select * from komision where pk < 0");
    EXPECT_TRUE(currentRow(rs).isEmpty());
    EXPECT_TRUE(villagesOf(rs).isEmpty());
}

TARVEST_FOR_EACH_DATABASE(CasePrintDbTest);

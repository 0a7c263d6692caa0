// The county forms' texts: who may print the review form, what each form prints, the
// declaration form's checklist and ceded area, and the signature lookup on a real
// database.
#include "cases/prints/core/countyprint.h"
#include "db/database.h"
#include "db/provision.h"
#include "testdb.h"

using namespace tarvest;
using namespace tarvest::caseprint;

namespace {

const QString kConfirmed = QStringLiteral("تاييد امور زمين");

CaseRow countyCase()
{
    return {{"paper_no", "123/45"},      {"paper_dat", "1403/02/10"}, {"city", "Urmia"},
            {"rosta", "Band"},           {"darkhast", "Alavi"},       {"manzor", "Change"},
            {"metraj", "500.5"},         {"takhrib_masahat", "20"},   {"malek_varizi", "12500000"},
            {"malek_sahm", ""},          {"karbari1", "Garden"},      {"karbari2", "Home"},
            {"bakhsh", "Central"},       {"dehestan", "Dasht"},       {"fish_no", "7788"},
            {"fish_mablagh", "2500000"}, {"kharej", "450000"},        {"price_metr", "1500000"},
            {"masahat_khales", "410"},   {"taeid_zamin", kConfirmed}};
}

} // namespace

TEST(ReviewForm, CountyUsersNeedTheLandAffairsConfirmation)
{
    const struct {
        const char* level;
        QString confirmation;
        bool allowed;
    } cases[] = {
        {"city", kConfirmed, true},
        {"city", "", false},
        {"city", kConfirmed + " ", false},
        {"city", QStringLiteral("تاييد کميسيون"), false}, // the commission's confirmation is not the land affairs'
        {"ostan", "", true},
        {"admin", "", true},
        {"keshvar", "", true},
        {"City", "", true}, // only the county level itself is held back
    };
    for (const auto& c : cases) {
        CaseRow row = countyCase();
        row["taeid_zamin"] = c.confirmation;
        EXPECT_EQ(reviewFormAllowed(QLatin1String(c.level), row), c.allowed)
            << c.level << " " << c.confirmation.toStdString();
    }
    EXPECT_EQ(reviewFormRefusal(), QStringLiteral("متاسفانه هنوز به تاييد امور زمين نرسيده است و امکان چاپ نيست"));
}

TEST(ReviewForm, EverySectionGetsItsValues)
{
    const FormFill f = reviewForm(countyCase());
    const struct {
        const char* label;
        const char* value;
    } cases[] = {
        {"paper_no", "123/45"},
        {"paper_dat", "1403/02/10"},
        {"city", "Urmia"},
        {"city2", "Urmia"},
        {"darkhast", "Alavi"},
        {"darkhast2", "Alavi"},
        {"darkhast3", "Alavi"},
        {"darkhast4", "Alavi"},
        {"rosta", "Band"},
        {"rosta2", "Band"},
        {"manzor", "Change"},
        {"manzor2", "Change"},
        {"manzor3", "Change"},
        {"net_area", "480.5"},
        {"net_area2", "480.5"},
        {"malek_pardakhti", "12,500,000"},
        {"malek_pardakhti5", "12,500,000"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(f.texts.value(QLatin1String(c.label), "missing"), QLatin1String(c.value)) << c.label;
    EXPECT_EQ(f.texts[labels::Connector], QStringLiteral("ريال، معادل"));
    EXPECT_TRUE(f.texts[labels::Words].endsWith(QStringLiteral("ريال")));
    EXPECT_FALSE(f.texts.contains("darkhast5"));

    // Paid by a share: no amount in either section, the share text as connector.
    CaseRow share = countyCase();
    share["malek_varizi"] = "";
    share["malek_sahm"] = "20";
    const FormFill s = reviewForm(share);
    EXPECT_EQ(s.texts[labels::Amount], "");
    EXPECT_EQ(s.texts[labels::AmountFifth], "");
    EXPECT_EQ(s.texts[labels::Connector], "20" + QStringLiteral(" درصد سهم ورتاليس "));
    EXPECT_EQ(s.texts[labels::Words], "");
}

TEST(DeclarationForm, UseChangeAndCededArea)
{
    const struct {
        const char* from;
        const char* to;
        QString text;
    } changes[] = {
        {"Garden", "Home", "(Garden" + QStringLiteral(" به ") + "Home)"},
        {"Garden", "", "(Garden" + QStringLiteral(" به ") + ")"},
        {"", "", "(" + QStringLiteral(" به ") + ")"},
    };
    for (const auto& c : changes)
        EXPECT_EQ(useChange(QLatin1String(c.from), QLatin1String(c.to)), c.text) << c.from << c.to;

    const struct {
        const char* lost;
        const char* ceded;
    } areas[] = {
        {"35", "70"}, {"", ""}, {"abc", ""}, {"12.5", "25"}, {"0", "0"}, {"20.25", "40.5"}, {"1,000", ""},
    };
    for (const auto& c : areas)
        EXPECT_EQ(cededArea(QString::fromLatin1(c.lost)), QLatin1String(c.ceded)) << c.lost;

    CaseRow row = countyCase();
    row["takhrib_masahat"] = "35";
    row["karbari2"] = "";
    const FormFill f = declarationForm(row, {});
    EXPECT_EQ(f.texts[labels::CededArea], "70");
    EXPECT_EQ(f.texts[labels::UseChange], "(Garden" + QStringLiteral(" به ") + ")");
    const struct {
        const char* label;
        const char* value;
    } values[] = {
        {"bakhsh", "Central"},     {"dehestan", "Dasht"},     {"fish_no", "7788"},        {"fish_mablagh", "2500000"},
        {"kharej", "450000"},      {"price_metr", "1500000"}, {"price_metr2", "1500000"}, {"metraj", "500.5"},
        {"masahat_khales", "410"}, {"city", "Urmia"},         {"city2", "Urmia"},         {"rosta", "Band"},
        {"darkhast", "Alavi"},
    };
    for (const auto& c : values)
        EXPECT_EQ(f.texts.value(QLatin1String(c.label), "missing"), QLatin1String(c.value)) << c.label;
}

TEST(DeclarationForm, TheFifteenQuestionsInOrder)
{
    const QList<ChecklistQuestion>& q = checklistQuestions();
    ASSERT_EQ(q.size(), 15);
    EXPECT_EQ(q[0].title, "Mozo");
    EXPECT_EQ(q[0].prompt, QStringLiteral("موضوع تقاضا"));
    EXPECT_EQ(q[0].initialText, QStringLiteral("عدد1=افزاش محدوده و عدد2=تغيير کاربري"));
    EXPECT_EQ(q[0].circle, "");
    EXPECT_EQ(q[1].title, "Afzayesh Mahdode");
    EXPECT_EQ(q[1].prompt, QStringLiteral("فرم هاي افزايش محدوده"));
    EXPECT_EQ(q[2].title, "Taghir karbari");
    EXPECT_EQ(q[2].prompt, QStringLiteral("فرم تغيير کاربري"));
    EXPECT_EQ(
        q[3].prompt,
        QStringLiteral(
            "3-استعلامهاي اخذشده از دهياري و بخشداري و در صورت لزوم فرمانداري شهرستان در خصوص افزايش محدوده وتغييركاربري"));
    EXPECT_EQ(
        q[13].prompt,
        QStringLiteral(
            "14-در صورتيکه مقداري از زمين متقاضي توسط ايشان جهت بازگشايي معبر واگذار گرديده است ،مستندات واگذاري و نقشه ميزان واگذاري در مسير با قيد"));
    EXPECT_EQ(
        q[14].prompt,
        QStringLiteral("15-بررسي ميداني جهت اخذ قيمت زمين در منطقه توسط کارشناس محترم زمين و سند انجام شده است."));
    const int documents[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 14, 15}; // there is no document 13
    for (int i = 1; i < 15; ++i) {
        EXPECT_EQ(q[i].circle, labels::document(documents[i - 1])) << i;
        EXPECT_EQ(q[i].initialText, QStringLiteral("عدد1=دارد و عدد0=ندارد")) << i;
        if (i >= 3) {
            EXPECT_EQ(q[i].title, "") << i;
            EXPECT_TRUE(q[i].prompt.startsWith(QString::number(documents[i - 1]) + "-")) << i;
        }
    }
}

TEST(DeclarationForm, OnlyAnExactOneTicks)
{
    // The subject box: "1" the boundary extension, "2" the land-use change.
    const struct {
        QString answer;
        bool extension;
        bool useChange;
    } subjects[] = {
        {"1", true, false},
        {"2", false, true},
        {"1 ", false, false},
        {" 2", false, false},
        {"3", false, false},
        {"", false, false},
        {QStringLiteral("عدد1=افزاش محدوده و عدد2=تغيير کاربري"), false, false},
        {"12", false, false},
    };
    for (const auto& c : subjects) {
        const FormFill f = declarationForm(countyCase(), {c.answer});
        EXPECT_EQ(f.ticks.value(labels::SubjectExtension, true), c.extension) << c.answer.toStdString();
        EXPECT_EQ(f.ticks.value(labels::SubjectUseChange, true), c.useChange) << c.answer.toStdString();
    }

    const struct {
        QString answer;
        bool ticked;
    } documents[] = {
        {"1", true},
        {"1 ", false},
        {" 1", false},
        {"0", false},
        {"2", false},
        {"", false},
        {QStringLiteral("عدد1=دارد و عدد0=ندارد"), false},
    };
    for (const auto& c : documents)
        EXPECT_EQ(ticks(c.answer), c.ticked) << c.answer.toStdString();

    // Each answer reaches its own circle: document n ticked alone.
    const QList<ChecklistQuestion>& q = checklistQuestions();
    for (int i = 1; i < q.size(); ++i) {
        QStringList answers(15, "0");
        answers[i] = "1";
        const FormFill f = declarationForm(countyCase(), answers);
        ASSERT_EQ(f.ticks.size(), 16);
        for (auto it = f.ticks.cbegin(); it != f.ticks.cend(); ++it)
            EXPECT_EQ(it.value(), it.key() == q[i].circle) << i << " " << it.key().toStdString();
    }
    // No answers (every box cancelled): every circle white.
    const FormFill none = declarationForm(countyCase(), {});
    for (auto it = none.ticks.cbegin(); it != none.ticks.cend(); ++it)
        EXPECT_FALSE(it.value()) << it.key().toStdString();
}

TEST(AccountingForm, TheFeeAsStored)
{
    const FormFill f = accountingForm(countyCase());
    const struct {
        const char* label;
        const char* value;
    } cases[] = {
        {"paper_no", "123/45"}, {"paper_dat", "1403/02/10"}, {"malek_varizi", "12500000"},
        {"karbari1", "Garden"}, {"karbari2", "Home"},        {"masahat_khales", "410"},
        {"city", "Urmia"},      {"rosta", "Band"},           {"manzor", "Change"},
        {"darkhast", "Alavi"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(f.texts.value(QLatin1String(c.label), "missing"), QLatin1String(c.value)) << c.label;
    EXPECT_EQ(f.texts.size(), 10);

    // An empty result prints every value empty.
    for (const QString& v : accountingForm(CaseRow{}).texts)
        EXPECT_EQ(v, "");
}

// The signature lookup on both databases.
class SignatureLookup : public test::DbTest {
protected:
    void SetUp() override
    {
        DbTest::SetUp();
        if (!db)
            return;
        ASSERT_TRUE(provisionSucceeded(provision(*db)));
        db->insert("zamaem", {{"cmt", signatureTitle("Urmia")},
                              {"ramz", "s3cret"},
                              {"pictype", ".jpg"},
                              {"pic", QByteArray("JPEGDATA")}});
        db->insert("zamaem",
                   {{"cmt", signatureTitle("Khoy")}, {"ramz", "k"}, {"pictype", ".jpg"}, {"pic", QByteArray()}});
    }
};

TEST_P(SignatureLookup, CountyAndPasswordMustBothMatch)
{
    EXPECT_EQ(signatureTitle("Urmia"), QStringLiteral("تصوير امضا مدير شهرستان ") + "Urmia");
    const struct {
        const char* county;
        const char* password;
        bool found;
        const char* bytes;
    } cases[] = {
        {"Urmia", "s3cret", true, "JPEGDATA"},
        {"Urmia", "wrong", false, ""},
        {"Urmia", "?", false, ""},
        {"Urmia", "s3cret' or '1'='1", false, ""},
        {"Khoy", "s3cret", false, ""},
        {"Khoy", "k", true, ""}, // a row without a picture
        {"Maragheh", "s3cret", false, ""},
    };
    for (const auto& c : cases) {
        const auto got = signaturePicture(*db, QLatin1String(c.county), QLatin1String(c.password));
        EXPECT_EQ(bool(got), c.found) << c.county << " " << c.password;
        if (got) {
            EXPECT_EQ(*got, QByteArray(c.bytes)) << c.county;
        }
    }
    EXPECT_EQ(signatureMissingMessage(),
              QStringLiteral("تصوير امضاء در بخش ضمائم اطلاعات پايه موجود نيست و يا رمز امضاء را اشتباه وارد نموديد"));
}

TARVEST_FOR_EACH_DATABASE(SignatureLookup);

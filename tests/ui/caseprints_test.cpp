// The case search's prints on both databases: each of the four forms is filled from a
// stored case (or the whole result), rendered to PDF and read back with pdftotext.
#include "cases/prints/caseprints.h"
#include "common/clock.h"
#include "db/database.h"
#include "db/provision.h"
#include "db/session.h"
#include "db/settinglists.h"
#include "fakedialogs.h"
#include "pdftext.h"
#include "reports/reportrenderer.h"
#include "testdb.h"
#include "widgets/screen.h"

#include <QRegularExpression>
#include <QTemporaryDir>

using namespace tarvest;
using namespace tarvest::test;

namespace {

class CasePrints : public DbTest {
protected:
    void SetUp() override
    {
        DbTest::SetUp();
        if (!db)
            return;
        ASSERT_TRUE(provisionSucceeded(provision(*db)));
        addSettingValue(*db, lists::DirectorGeneral, "Director");
        addSettingValue(*db, lists::RuralDeputy, "Deputy");
        addSettingValue(*db, lists::LegalExpert, "Legal");
        addSettingValue(*db, lists::RuralDeputyPostTitle, QStringLiteral("سرپرست آزمايشي"));
        addSettingValue(*db, lists::TransactionsLetterNo, "777/88");
        addSettingValue(*db, lists::TransactionsLetterDate, "1402/11/11");
        db->insert("komision", {{"paper_no", "123/45"},
                                {"paper_dat", "1403/02/10"},
                                {"city", QStringLiteral("مراغه")},
                                {"rosta", QStringLiteral("باسمنج")},
                                {"darkhast", "Alavi"},
                                {"metraj", "500.5"},
                                {"takhrib_masahat", "20"},
                                {"malek_varizi", 12500000},
                                {"masahat_na", "611"},
                                {"komision_dat", "1403/03/01"},
                                {"komision_t_k_dat", "1403/06/02"},
                                {"phone", "0914555"}});
        db->insert("komision", {{"paper_no", "678/9"},
                                {"city", QStringLiteral("مرند")},
                                {"rosta", QStringLiteral("يكان")},
                                {"darkhast", "Karimi"},
                                {"metraj", "300"},
                                {"malek_sahm", "20"},
                                {"komision_t_k_dat", "1403/06/09"},
                                {"komision_t_k", "Agreed"}});
        session.setDatabase(tmp->openAnother());
        session.cases.open("select * from komision order by pk");
        session.cases.moveTo(1);
        Clock::setFixed(QDateTime(QDate(2024, 3, 20), QTime(9, 5, 7)));
        setModalShower([this](QWidget* w) {
            shown << w->metaObject()->className();
            selectedWhilePreviewed = session.cases.recNo();
        });
    }
    void TearDown() override
    {
        setModalShower({});
        Clock::setFixed(std::nullopt);
    }

    // The printed text of a prepared print, folded.
    QString printed(const caseprints::PreparedPrint& p)
    {
        const QString pdf = dir.filePath("print.pdf");
        pages = report::renderToPdf(p.layout, p.data, pdf);
        return foldPrintedText(pdfToText(pdf));
    }
    static QString f(const QString& s) { return foldPrintedText(s); }

    FakeDialogs dialogs;
    Session session;
    QTemporaryDir dir;
    QStringList shown;
    int selectedWhilePreviewed = -1;
    int pages = 0;
};

// Value labels carry their column's name as layout text: a print that leaves one
// behind prints the name instead of the value.
void expectNoPlaceholderLeft(const report::Layout& layout)
{
    for (const report::Band& b : layout.bands())
        for (const report::Element& e : b.elements)
            if (e.type == report::ElementType::Label) {
                EXPECT_NE(e.text, e.name) << layout.name().toStdString() << ": " << e.name.toStdString();
            }
}

TEST_P(CasePrints, CommissionSheetA4TakesTheCaseAndTheAnswers)
{
    dialogs.inputs << "1403/05/01"
                   << " 14 ";
    auto p = caseprints::prepareCommissionSheetA4(session);
    ASSERT_TRUE(p);
    EXPECT_EQ(dialogs.asked, (QStringList{QStringLiteral("Date | تاريخ"), QStringLiteral("Font Size | سايز توضيحات")}));
    expectNoPlaceholderLeft(p->layout);
    EXPECT_EQ(p->layout.element("zamin").fontSize, 14);
    EXPECT_EQ(p->layout.element("komision_idea").fontSize, 14);
    const QString text = printed(*p);
    EXPECT_EQ(pages, 1);
    for (const QString& expected :
         {QStringLiteral("1403/05/01"), QStringLiteral("تاريخ"), QStringLiteral("123/45"), QStringLiteral("1403/02/10"),
          QStringLiteral("مراغه"), QStringLiteral("باسمنج"), QStringLiteral("Alavi"), QStringLiteral("500.5"),
          QStringLiteral("611"), QStringLiteral("12,500,000"), QStringLiteral("ريال، معادل"), QStringLiteral("دوازده"),
          QStringLiteral("Director"), QStringLiteral("Deputy"), QStringLiteral("Legal"),
          QStringLiteral("سرپرست آزمايشي"), QStringLiteral("92/05/02"), QStringLiteral("4662"),
          QStringLiteral("1403/03/01")})
        EXPECT_TRUE(text.contains(f(expected))) << expected.toStdString();
    EXPECT_FALSE(text.contains(f(QStringLiteral("به نسبت مقابل"))));
    EXPECT_FALSE(text.contains("480.5")); // the A4 sheet prints the area as entered
}

TEST_P(CasePrints, CommissionSheetA4AnswersTakeEffect)
{
    // The date box's initial text is today; an empty answer prints no date and no caption.
    auto p = caseprints::prepareCommissionSheetA4(session);
    ASSERT_TRUE(p);
    EXPECT_TRUE(printed(*p).contains("1403/01/01"));
    EXPECT_EQ(p->layout.element("zamin").fontSize, 10);

    dialogs.inputs << ""
                   << "9";
    p = caseprints::prepareCommissionSheetA4(session);
    ASSERT_TRUE(p);
    QString text = printed(*p);
    EXPECT_FALSE(text.contains(f(QStringLiteral("تاريخ"))));
    EXPECT_FALSE(text.contains("1403/01/01"));
    EXPECT_EQ(p->layout.element("komision_idea").fontSize, 9);

    // A share instead of money: the share tail and the share text.
    session.cases.moveTo(2);
    dialogs.inputs << "1403/05/01"
                   << "10";
    p = caseprints::prepareCommissionSheetA4(session);
    text = printed(*p);
    EXPECT_TRUE(text.contains(f(QStringLiteral("به نسبت مقابل"))));
    EXPECT_TRUE(text.contains(f(QStringLiteral("درصد سهم ورتاليس"))));
    EXPECT_FALSE(text.contains("92/05/02"));

    // A size that is not a whole number: a message and no preview.
    dialogs.inputs << "1403/05/01"
                   << "abc";
    caseprints::printCommissionSheetA4(session);
    EXPECT_TRUE(shown.isEmpty());
    ASSERT_FALSE(dialogs.shown.isEmpty());
    EXPECT_TRUE(dialogs.shown.last().contains("abc"));
    dialogs.inputs << "1403/05/01"
                   << "11";
    caseprints::printCommissionSheetA4(session);
    EXPECT_EQ(shown, QStringList{"tarvest::report::ReportPreview"});
}

TEST_P(CasePrints, CommissionSheetA5PrintsTheNetAreaAndTheShare)
{
    session.cases.moveTo(1);
    caseprints::PreparedPrint p = caseprints::prepareCommissionSheetA5(session);
    expectNoPlaceholderLeft(p.layout);
    QString text = printed(p);
    for (const QString& expected :
         {QStringLiteral("1403/01/01"), QStringLiteral("480.5"), QStringLiteral("777/88"), QStringLiteral("1402/11/11"),
          QStringLiteral("12,500,000"), QStringLiteral("Alavi"), QStringLiteral("سرپرست آزمايشي")})
        EXPECT_TRUE(text.contains(f(expected))) << expected.toStdString();
    EXPECT_TRUE(dialogs.asked.isEmpty()); // no input box

    session.cases.moveTo(2);
    text = printed(caseprints::prepareCommissionSheetA5(session));
    EXPECT_TRUE(text.contains(f(QStringLiteral("20 درصد سهم ورتاليس"))));
    EXPECT_TRUE(text.contains("300"));
    EXPECT_FALSE(text.contains("12,500,000"));
}

TEST_P(CasePrints, RegisterListsEveryCaseAndKeepsTheSelection)
{
    session.cases.moveTo(2);
    // The office's province closes the title; the Titr font's own character map turns
    // some of its letters into others in the extracted text, so the name is read from
    // the layout.
    addSettingValue(*db, lists::OfficeProvince, QStringLiteral("آذربايجان غربي"));
    caseprints::PreparedPrint p = caseprints::prepareRegister(session);
    EXPECT_EQ(p.layout.text("province"), QStringLiteral("آذربايجان غربي"));
    const QString text = printed(p);
    for (const QString& expected : {QStringLiteral("123/45"), QStringLiteral("678/9"), QStringLiteral("Alavi"),
                                    QStringLiteral("Karimi"), QStringLiteral("0914555"), QStringLiteral("1403/06/09"),
                                    QStringLiteral("Agreed"), QStringLiteral("غربي"), QStringLiteral("شماره صفحه:")})
        EXPECT_TRUE(text.contains(f(expected))) << expected.toStdString();
    EXPECT_EQ(session.cases.recNo(), 2);

    caseprints::printRegister(session);
    EXPECT_EQ(shown, QStringList{"tarvest::report::ReportPreview"});
    EXPECT_EQ(session.cases.recNo(), 2);
}

TEST_P(CasePrints, MinutesTakeTheTimeAndTheLastCase)
{
    session.cases.moveTo(1);
    dialogs.inputs << "10:30";
    caseprints::PreparedPrint p = caseprints::prepareMinutes(session);
    EXPECT_EQ(dialogs.asked, QStringList{QStringLiteral("Time | ساعت جلسه")});
    expectNoPlaceholderLeft(p.layout);
    EXPECT_EQ(p.layout.text("villages"), QStringLiteral(" * باسمنج * يكان"));
    const QString text = printed(p);
    for (const QString& expected : {QStringLiteral("10:30"), QStringLiteral("1403/06/09"), QStringLiteral("مرند"),
                                    QStringLiteral("باسمنج"), QStringLiteral("يكان"), QStringLiteral("123/45"),
                                    QStringLiteral("678/9"), QStringLiteral("Agreed"), QStringLiteral("بخشداري")})
        EXPECT_TRUE(text.contains(f(expected))) << expected.toStdString();
    EXPECT_FALSE(text.contains("1403/06/02")); // the first case's meeting date is not the meeting's
    EXPECT_EQ(session.cases.recNo(), 1);

    // The time box starts at the current time; the selection stays through the preview.
    caseprints::printMinutes(session);
    EXPECT_EQ(shown, QStringList{"tarvest::report::ReportPreview"});
    EXPECT_EQ(selectedWhilePreviewed, 1);
    EXPECT_EQ(session.cases.recNo(), 1);
    p = caseprints::prepareMinutes(session);
    EXPECT_EQ(p.layout.text("start_time"), "09:05:07");
}

TEST_P(CasePrints, AnEmptyResultStillPrints)
{
    session.cases.open("select * from komision where pk < 0");
    dialogs.inputs << "1403/05/01"
                   << "10";
    auto a4 = caseprints::prepareCommissionSheetA4(session);
    ASSERT_TRUE(a4);
    QString text = printed(*a4);
    EXPECT_EQ(pages, 1);
    EXPECT_FALSE(text.contains("123/45"));
    EXPECT_TRUE(text.contains(f(QStringLiteral("نظريه کميسيون معاملات:"))));

    text = printed(caseprints::prepareCommissionSheetA5(session));
    EXPECT_EQ(pages, 1);
    EXPECT_FALSE(text.contains("Alavi"));

    text = printed(caseprints::prepareRegister(session));
    EXPECT_EQ(pages, 1);
    EXPECT_TRUE(text.contains(f(QStringLiteral("شماره صفحه:"))));
    EXPECT_TRUE(text.contains(f(QStringLiteral("مساحت"))));
    EXPECT_FALSE(text.contains("123/45"));

    dialogs.inputs << "10:30";
    caseprints::PreparedPrint m = caseprints::prepareMinutes(session);
    EXPECT_EQ(m.layout.text("villages"), "");
    EXPECT_EQ(m.layout.text("county"), "");
    text = printed(m);
    EXPECT_EQ(pages, 1);
    EXPECT_TRUE(text.contains(f(QStringLiteral("دهياري/شوراي اسلامي روستا")))); // the summary band
}

TARVEST_FOR_EACH_DATABASE(CasePrints);

// The decision letters and the combined forms over two more cases: A pays a fee that
// groups, B has no fee but a stored payment; both cede a share and carry the payment letter.
class DecisionLetterPrints : public CasePrints {
protected:
    void SetUp() override
    {
        CasePrints::SetUp();
        if (!db)
            return;
        const QList<std::pair<QString, QVariant>> common = {{"paper_no", "321/7"},
                                                            {"paper_dat", "1403/02/11"},
                                                            {"city", QStringLiteral("مراغه")},
                                                            {"rosta", QStringLiteral("باسمنج")},
                                                            {"manzor", "Residential"},
                                                            {"metraj", "500"},
                                                            {"komision_dat", "1403/03/05"},
                                                            {"malek_pardakhti", "2000000"},
                                                            {"malek_sahm", "35"},
                                                            {"paper_no2", "555/66"},
                                                            {"paper_dat2", "1403/04/20"},
                                                            {"mashmol", "Eligible"}};
        auto insert = [&](const QString& applicant, const QString& fee) {
            QVariantMap row;
            for (const auto& [column, value] : common)
                row[column] = value;
            row["darkhast"] = applicant;
            row["malek_varizi"] = fee;
            db->insert("komision", row);
        };
        insert("Rahimi", "1500000");
        insert("Nazari", "");
        session.cases.open("select * from komision where pk > 2 order by pk");
    }

    caseprints::PreparedPrint letter(caseprint::DecisionLetter l, int row)
    {
        session.cases.moveTo(row);
        return caseprints::prepareDecisionLetter(session, l);
    }
    caseprints::PreparedPrint form(caseprint::DecisionLetter l, int row)
    {
        session.cases.moveTo(row);
        return caseprints::prepareCombinedForm(session, l);
    }
};

TEST_P(DecisionLetterPrints, EachPrintShowsItsValuesAndItsAmount)
{
    using caseprint::DecisionLetter;
    const QString county = QStringLiteral("مراغه");
    const QString post = QStringLiteral("سرپرست آزمايشي");
    const QString shareWording = QStringLiteral("درصد سهم ورتاليس");
    const struct {
        const char* what;
        bool combined;
        DecisionLetter letter;
        int row;
        QStringList present, absent;
    } cases[] = {
        {"money letter, fee",
         false,
         DecisionLetter::Money,
         1,
         {"1,500,000", "321/7", "1403/02/11", "Rahimi", "1403/03/05", county, "Deputy", "92/05/02"},
         {"2000000", post}},
        {"money letter, stored payment", false, DecisionLetter::Money, 2, {"2000000", "Nazari"}, {"2,000,000"}},
        {"share letter",
         false,
         DecisionLetter::Share,
         2,
         {"35", "321/7", "1403/02/11", "Nazari", "1403/03/05", "Deputy", post},
         {"%", shareWording, "2000000"}},
        {"land group letter",
         false,
         DecisionLetter::LandGroup,
         1,
         {"2000000", "555/66", "1403/04/20", county, post},
         {"1,500,000", "1500000", "2,000,000", "321/7", "1403/02/11"}},
        {"mixed-use letter",
         false,
         DecisionLetter::MixedUse,
         1,
         {"1,500,000", "321/7", "1403/02/11", "Rahimi", QStringLiteral("باسمنج"), "Deputy", post,
          QStringLiteral("رونوشت:")},
         {"2000000"}},
        {"mixed-use letter, no fee", false, DecisionLetter::MixedUse, 2, {"Nazari"}, {"2000000", "1,500,000"}},
        {"conditional-use letter",
         false,
         DecisionLetter::ConditionalUse,
         1,
         {"1,500,000", "321/7", "Rahimi", QStringLiteral("باسمنج"), "Deputy", post, "99"},
         {"2000000"}},
        {"conditional form",
         true,
         DecisionLetter::ConditionalUse,
         1,
         {"1,500,000", "321/7", "1403/02/11", "Rahimi", QStringLiteral("باسمنج"), "Residential", "500", "Eligible",
          "777/88", "1402/11/11", QStringLiteral("ريال، معادل"), "Deputy", post, QStringLiteral("رونوشت:")},
         {"2000000", "1403/03/05"}},
        {"mixed form", true, DecisionLetter::MixedUse, 1, {"1,500,000", "Rahimi", "Eligible", post}, {"2000000"}},
        {"money form, stored payment",
         true,
         DecisionLetter::Money,
         2,
         {"2000000", "Nazari", "1403/03/05", post, "92/05/02", QStringLiteral("35 درصد سهم ورتاليس")},
         {"2,000,000"}},
        {"share form",
         true,
         DecisionLetter::Share,
         1,
         {"35", "1,500,000", "Rahimi", "1403/03/05", post, "92/05/02"},
         {"%", shareWording, "2000000"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const caseprints::PreparedPrint p = c.combined ? form(c.letter, c.row) : letter(c.letter, c.row);
        expectNoPlaceholderLeft(p.layout);
        const QString text = printed(p);
        EXPECT_EQ(pages, 1);
        for (const QString& expected : c.present)
            EXPECT_TRUE(text.contains(f(expected))) << expected.toStdString();
        for (const QString& unexpected : c.absent)
            EXPECT_FALSE(text.contains(f(unexpected))) << unexpected.toStdString();
        // Nothing of these prints is dated today.
        EXPECT_FALSE(text.contains("1403/01/01"));
    }
}

TEST_P(DecisionLetterPrints, PostLinesAndTheCombinedFormsUndatedTop)
{
    using caseprint::DecisionLetter;
    const QString post = QStringLiteral("سرپرست آزمايشي");
    // The money letter's post line names the organisation whatever the settings hold.
    EXPECT_EQ(letter(DecisionLetter::Money, 1).layout.text("letter_post"),
              QStringLiteral("معاون عمران روستايي  ورتاليس"));
    for (DecisionLetter l :
         {DecisionLetter::Share, DecisionLetter::LandGroup, DecisionLetter::MixedUse, DecisionLetter::ConditionalUse})
        EXPECT_EQ(letter(l, 1).layout.text("letter_post"), post) << int(l);
    for (DecisionLetter l :
         {DecisionLetter::ConditionalUse, DecisionLetter::MixedUse, DecisionLetter::Money, DecisionLetter::Share}) {
        const caseprints::PreparedPrint p = form(l, 1);
        EXPECT_EQ(p.layout.paper(), report::Paper::A4) << int(l);
        EXPECT_FALSE(p.layout.hasElement("dat")) << int(l);
        for (const char* place : {"post_title1", "post_title2", "post_title3", "letter_post"})
            EXPECT_EQ(p.layout.text(place), post) << int(l) << " " << place;
        // "شماره:" and "تاريخ:" of the letter box are left for the hand.
        const QString text = printed(p);
        EXPECT_TRUE(text.contains(f(QStringLiteral("شماره:")))) << int(l);
        EXPECT_TRUE(text.contains(f(QStringLiteral("تاريخ:")))) << int(l);
        EXPECT_FALSE(text.contains(f(QStringLiteral("تاريخ:1403")))) << int(l);
    }
    for (DecisionLetter l : {DecisionLetter::Money, DecisionLetter::Share, DecisionLetter::LandGroup,
                             DecisionLetter::MixedUse, DecisionLetter::ConditionalUse})
        EXPECT_EQ(letter(l, 1).layout.paper(), report::Paper::A5) << int(l);
}

TEST_P(DecisionLetterPrints, CommandsOpenThePreviewAndKeepTheSelection)
{
    session.cases.moveTo(2);
    for (auto print :
         {&caseprints::printMoneyLetter, &caseprints::printShareLetter, &caseprints::printLandGroupLetter,
          &caseprints::printMixedUseLetter, &caseprints::printConditionalUseLetter, &caseprints::printConditionalForm,
          &caseprints::printMixedForm, &caseprints::printMoneyForm, &caseprints::printShareForm})
        print(session, nullptr);
    EXPECT_EQ(shown, QStringList(9, "tarvest::report::ReportPreview"));
    EXPECT_TRUE(dialogs.asked.isEmpty()); // no input box
    EXPECT_TRUE(dialogs.shown.isEmpty());
    EXPECT_EQ(session.cases.recNo(), 2);

    // An empty result: every letter still prints, its values empty.
    session.cases.open("select * from komision where pk < 0");
    const QString text = printed(caseprints::prepareDecisionLetter(session, caseprint::DecisionLetter::Money));
    EXPECT_EQ(pages, 1);
    EXPECT_FALSE(text.contains("Rahimi"));
    EXPECT_FALSE(text.contains("2000000"));
}

TARVEST_FOR_EACH_DATABASE(DecisionLetterPrints);

} // namespace

// Every case print, filled from a case whose every column is as wide as the column
// holds (the widest Persian words, amounts of 15 digits), lays out with no text cut:
// the renderer's own fit report is empty. The same with ordinary values, and the long
// values read back from the PDF whole.
#include "cases/prints/caseprints.h"
#include "cases/prints/core/countyprint.h"
#include "cases/prints/countyprints.h"
#include "db/database.h"
#include "db/provision.h"
#include "db/schema.h"
#include "db/session.h"
#include "db/settinglists.h"
#include "fakedialogs.h"
#include "pdftext.h"
#include "reports/reportpreview.h"
#include "reports/reportrenderer.h"
#include "testdb.h"
#include "widgets/screen.h"

#include <QAction>
#include <QCoreApplication>
#include <QPrintPreviewWidget>
#include <QTemporaryDir>

using namespace tarvest;
using namespace tarvest::test;

namespace {

// Text of `length` characters in wide Persian letters, in words of four letters.
QString widePersian(int length)
{
    const QString word = QStringLiteral("ششمس ");
    QString s;
    while (s.size() < length)
        s += word;
    s.truncate(length);
    return s.trimmed().isEmpty() ? QStringLiteral("ش") : s.trimmed().leftJustified(length, QChar(0x0634));
}

bool isDateColumn(const QString& column)
{
    return column.endsWith(QLatin1String("_dat")) || column.endsWith(QLatin1String("dat2"));
}

// Columns the prints read as numbers.
bool isAmountColumn(const QString& column)
{
    static const QStringList amounts = {"metraj",
                                        "malek_pardakhti",
                                        "malek_varizi",
                                        "masahat_na",
                                        "price_metr",
                                        "melk_arzesh",
                                        "ghimat_karshenasi_kh",
                                        "masahat_khales",
                                        "malek_sahm",
                                        "ghimat_karshenasi_d",
                                        "takhrib_masahat",
                                        "takhfif_darsad",
                                        "m_khales_b",
                                        "fish_mablagh",
                                        "kharej",
                                        "phone",
                                        "abadi_cod"};
    return amounts.contains(column);
}

// A case with every text column at its full width.
QVariantMap widestCase()
{
    QVariantMap row;
    for (const Column& c : findTable(QStringLiteral("komision"))->columns) {
        if (c.type != ColType::NVarChar || c.width <= 0)
            continue;
        if (isDateColumn(c.name))
            row[c.name] = QStringLiteral("1403/12/29");
        else if (isAmountColumn(c.name))
            row[c.name] = QStringLiteral("999999999999999").left(std::min(15, c.width));
        else if (c.name == QLatin1String("paper_no") || c.name.endsWith(QLatin1String("paper_no"))
                 || c.name == QLatin1String("paper_no2") || c.name == QLatin1String("fish_no"))
            row[c.name] = QStringLiteral("%1/ص").arg(QString(c.width - 2, QLatin1Char('9')));
        else
            row[c.name] = widePersian(c.width);
    }
    row["taeid_zamin"] = caseprint::landAffairsConfirmed();
    return row;
}

QVariantMap ordinaryCase()
{
    return {{"paper_no", "123/45"},
            {"paper_dat", "1403/02/10"},
            {"city", QStringLiteral("مراغه")},
            {"rosta", QStringLiteral("باسمنج")},
            {"darkhast", QStringLiteral("سيد محمدحسين موسوي نژاد")},
            {"manzor", QStringLiteral("مسكوني")},
            {"metraj", "500.5"},
            {"takhrib_masahat", "20"},
            {"malek_varizi", "1234567890"},
            {"masahat_na", "611"},
            {"komision_dat", "1403/03/01"},
            {"komision_t_k_dat", "1403/06/02"},
            {"malek_sahm", "20"},
            {"karbari1", QStringLiteral("باغ")},
            {"karbari2", QStringLiteral("مسكوني")},
            {"taeid_zamin", caseprint::landAffairsConfirmed()},
            {"zamin", QStringLiteral("با درخواست موافقت مي شود")},
            {"komision_idea", QStringLiteral("مقرر شد مبلغ پرداخت شود")}};
}

class PrintFit : public DbTest {
protected:
    void SetUp() override
    {
        DbTest::SetUp();
        if (!db)
            return;
        ASSERT_TRUE(provisionSucceeded(provision(*db)));
        for (const QString& list : {lists::DirectorGeneral, lists::RuralDeputy, lists::SupportDeputy,
                                    lists::SecurityHead, lists::LegalExpert, lists::RuralDeputyPostTitle})
            addSettingValue(*db, list, widePersian(60));
        addSettingValue(*db, lists::TransactionsLetterNo, "9999999/99");
        addSettingValue(*db, lists::TransactionsLetterDate, "1403/12/29");
        db->insert("komision", widestCase());
        db->insert("komision", ordinaryCase());
        session.setDatabase(tmp->openAnother());
        session.login = LoginState{"1", "ostan", "province"};
        session.cases.open("select * from komision order by pk");
    }

    // Every case print of the selected case (or of the whole result).
    std::vector<caseprints::PreparedPrint> allPrints(double fontSize)
    {
        using caseprint::DecisionLetter;
        std::vector<caseprints::PreparedPrint> prints;
        dialogs.inputs << "1403/12/29" << QString::number(fontSize);
        prints.push_back(*caseprints::prepareCommissionSheetA4(session));
        prints.push_back(caseprints::prepareCommissionSheetA5(session));
        prints.push_back(caseprints::prepareRegister(session));
        dialogs.inputs << "10:30:00";
        prints.push_back(caseprints::prepareMinutes(session));
        for (DecisionLetter l : {DecisionLetter::Money, DecisionLetter::Share, DecisionLetter::LandGroup,
                                 DecisionLetter::MixedUse, DecisionLetter::ConditionalUse}) {
            prints.push_back(caseprints::prepareDecisionLetter(session, l));
            if (l != DecisionLetter::LandGroup)
                prints.push_back(caseprints::prepareCombinedForm(session, l));
        }
        prints.push_back(*countyprints::prepareReviewForm(session));
        prints.push_back(countyprints::prepareDeclarationForm(session));
        prints.push_back(countyprints::prepareAccountingForm(session));
        return prints;
    }

    static std::string problemsOf(const caseprints::PreparedPrint& p)
    {
        std::string out;
        for (const report::FitProblem& f : report::fitProblems(p.layout, p.data))
            out += QStringLiteral("%1 page %2: %3 %4\n")
                       .arg(p.layout.name(), QString::number(f.page), f.element, f.what)
                       .toStdString();
        return out;
    }

    FakeDialogs dialogs;
    Session session;
    QTemporaryDir dir;
};

TEST_P(PrintFit, EveryPrintHoldsTheWidestAndOrdinaryValues)
{
    for (int row : {1, 2}) {
        session.cases.moveTo(row);
        const std::vector<caseprints::PreparedPrint> prints = allPrints(14);
        EXPECT_EQ(prints.size(), 16u);
        for (const caseprints::PreparedPrint& p : prints)
            EXPECT_EQ(problemsOf(p), "") << "case " << row;
    }
}

TEST_P(PrintFit, LongValuesReadBackWhole)
{
    // A full name of 70 characters in the money letter and the combined forms.
    const QString name = QStringLiteral("سيد محمدحسين موسوي نژاد فرزند علي اكبر ساكن روستاي قره آغاج، بخش مركزي");
    ASSERT_EQ(name.size(), 70);
    const QString decision =
        QString(QStringLiteral("مقرر شد متقاضي مبلغ تعيين شده را به حساب ورتاليس واريز نمايد ")).repeated(3).left(150);
    ASSERT_EQ(decision.size(), 150);
    db->insert("komision", {{"paper_no", "321/7"},
                            {"darkhast", name},
                            {"malek_varizi", "1234567890"},
                            {"komision_idea", decision},
                            {"zamin", decision},
                            {"metraj", "500"},
                            {"city", QStringLiteral("مراغه")},
                            {"taeid_zamin", caseprint::landAffairsConfirmed()}});
    session.cases.open("select * from komision where paper_no = '321/7'");
    session.cases.moveTo(1);
    const QString pdf = dir.filePath("print.pdf");
    auto printed = [&](const caseprints::PreparedPrint& p) {
        EXPECT_EQ(problemsOf(p), "");
        report::renderToPdf(p.layout, p.data, pdf);
        return foldPrintedText(pdfToText(pdf));
    };
    using caseprint::DecisionLetter;
    for (const caseprints::PreparedPrint& p :
         {caseprints::prepareDecisionLetter(session, DecisionLetter::Money),
          caseprints::prepareCombinedForm(session, DecisionLetter::Money), *countyprints::prepareReviewForm(session),
          countyprints::prepareAccountingForm(session)})
        EXPECT_TRUE(printed(p).contains(foldPrintedText(name))) << p.layout.name().toStdString();

    // The decision and the land opinion at font size 14 in the A4 commission sheet.
    dialogs.inputs << "1403/12/29"
                   << "14";
    const QString sheet = printed(*caseprints::prepareCommissionSheetA4(session));
    EXPECT_TRUE(sheet.contains(foldPrintedText(decision)));
    EXPECT_EQ(sheet.count(foldPrintedText(decision)), 2);

    // The review form's amount in words ends in "ريال".
    const QString review = printed(*countyprints::prepareReviewForm(session));
    const QString words = *caseprint::amountInWords(u"1234567890");
    ASSERT_TRUE(words.endsWith(QStringLiteral("ريال")));
    EXPECT_TRUE(review.contains(foldPrintedText(words))) << review.toStdString();
}

TARVEST_FOR_EACH_DATABASE(PrintFit);

// The register of a thousand cases in the preview: zoom and the page buttons.
class RegisterPreview : public DbTest {
protected:
    void SetUp() override
    {
        DbTest::SetUp();
        if (!db)
            return;
        ASSERT_TRUE(provisionSucceeded(provision(*db)));
        db->begin();
        for (int i = 0; i < 1000; ++i)
            db->insert("komision", {{"paper_no", QStringLiteral("%1/12").arg(4000 + i)},
                                    {"paper_dat", "1403/05/01"},
                                    {"city", QStringLiteral("اروميه")},
                                    {"rosta", QStringLiteral("روستاي %1").arg(i)},
                                    {"darkhast", QStringLiteral("متقاضي %1").arg(i)},
                                    {"metraj", "250"}});
        db->commit();
        session.setDatabase(tmp->openAnother());
        session.cases.open("select * from komision order by pk");
        session.cases.moveTo(1);
    }
    void TearDown() override { setModalShower({}); }

    FakeDialogs dialogs;
    Session session;
};

// Whether the preview shows some ink of a page.
bool pageDrawn(report::ReportPreview* preview)
{
    const QImage shot = preview->view()->grab().toImage();
    for (int y = 0; y < shot.height(); y += 2)
        for (int x = 0; x < shot.width(); x += 2)
            if (qGray(shot.pixel(x, y)) < 100)
                return true;
    return false;
}

TEST_P(RegisterPreview, ZoomAndPageButtonsKeepThePageDrawn)
{
    QStringList labels;
    std::vector<bool> drawn;
    std::vector<int> current;
    setModalShower([&](QWidget* w) {
        auto* preview = qobject_cast<report::ReportPreview*>(w);
        ASSERT_NE(preview, nullptr);
        preview->resize(900, 700);
        preview->show();
        auto click = [&](const char* name) {
            auto* action = preview->findChild<QAction*>(QLatin1String(name));
            ASSERT_NE(action, nullptr) << name;
            action->trigger();
            QCoreApplication::processEvents();
            labels << preview->pageLabel();
            drawn.push_back(pageDrawn(preview));
            current.push_back(preview->currentPage());
        };
        labels << preview->pageLabel();
        drawn.push_back(pageDrawn(preview));
        current.push_back(preview->currentPage());
        for (const char* name : {"zoom_in_btn", "zoom_out_btn", "zoom_in_btn", "next_page_btn", "last_page_btn",
                                 "next_page_btn", "prev_page_btn", "first_page_btn", "prev_page_btn"})
            click(name);
        EXPECT_GT(preview->view()->zoomFactor(), 0.01);
    });
    caseprints::printRegister(session);
    EXPECT_EQ(labels, (QStringList{"1 / 77", "1 / 77", "1 / 77", "1 / 77", "2 / 77", "77 / 77", "77 / 77", "76 / 77",
                                   "1 / 77", "1 / 77"}));
    EXPECT_EQ(current, (std::vector<int>{1, 1, 1, 1, 2, 77, 77, 76, 1, 1}));
    for (size_t i = 0; i < drawn.size(); ++i)
        EXPECT_TRUE(drawn[i]) << "after click " << i;
}

TARVEST_FOR_EACH_DATABASE(RegisterPreview);

} // namespace

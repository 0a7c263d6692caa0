// The county prints on both databases: each form is filled from a stored case, rendered
// to PDF and read back; the review form's refusal, the declaration form's signature
// (right and wrong password, a damaged picture) and checklist, and the menu commands.
#include "cases/casesearchscreen.h"
#include "cases/prints/core/countyprint.h"
#include "cases/prints/countyprints.h"
#include "db/database.h"
#include "db/provision.h"
#include "db/session.h"
#include "fakedialogs.h"
#include "pdftext.h"
#include "reports/reportrenderer.h"
#include "testdb.h"
#include "widgets/screen.h"

#include <QAction>
#include <QBuffer>
#include <QMenu>
#include <QRegularExpression>
#include <QTemporaryDir>

using namespace tarvest;
using namespace tarvest::test;

namespace {

namespace labels = caseprint::labels;

QByteArray jpeg(const QColor& colour)
{
    QImage image(120, 40, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(image.save(&buffer, "JPEG"));
    return bytes;
}

const QString kCity = QStringLiteral("شهرستان");

class CountyPrints : public DbTest {
protected:
    void SetUp() override
    {
        DbTest::SetUp();
        if (!db)
            return;
        ASSERT_TRUE(provisionSucceeded(provision(*db)));
        const QVariantMap common = {{"paper_no", "123/45"}, {"paper_dat", "1403/02/10"}, {"city", kCity},
                                    {"rosta", "Band"},      {"darkhast", "Alavi"},       {"manzor", "Change"},
                                    {"metraj", "500.5"},    {"takhrib_masahat", "35"},   {"malek_varizi", 12500000},
                                    {"karbari1", "Garden"}, {"karbari2", "Home"},        {"bakhsh", "Central"},
                                    {"dehestan", "Dasht"},  {"fish_no", "7788"},         {"fish_mablagh", "2500000"},
                                    {"kharej", "450000"},   {"price_metr", "1500000"},   {"masahat_khales", "410"}};
        db->insert("komision", common); // not yet confirmed by the land affairs
        QVariantMap confirmed = common;
        confirmed["taeid_zamin"] = caseprint::landAffairsConfirmed();
        confirmed["paper_no"] = "678/9";
        db->insert("komision", confirmed);
        session.setDatabase(tmp->openAnother());
        session.login = LoginState{"1", "ostan", "province"};
        session.cases.open("select * from komision order by pk");
        session.cases.moveTo(1);
        setModalShower([this](QWidget* w) { shown << w->objectName(); });
    }
    void TearDown() override { setModalShower({}); }

    void storeSignature(const QString& password, const QByteArray& picture)
    {
        session.db()->insert(
            "zamaem",
            {{"cmt", caseprint::signatureTitle(kCity)}, {"ramz", password}, {"pictype", ".jpg"}, {"pic", picture}});
    }

    QString printed(const caseprints::PreparedPrint& p)
    {
        const QString pdf = dir.filePath("print.pdf");
        pages = report::renderToPdf(p.layout, p.data, pdf);
        return foldPrintedText(pdfToText(pdf));
    }
    // The page as drawn, the signature place cut out.
    QImage signaturePlace(const caseprints::PreparedPrint& p)
    {
        const QList<QImage> images = report::renderToImages(p.layout, p.data, 72);
        EXPECT_EQ(images.size(), 1);
        const report::Element& e = p.layout.element(labels::Signature);
        const double px = 72 / 25.4;
        const QMarginsF m = p.layout.margins();
        return images.value(0).copy(
            QRectF((m.left() + e.rect.x()) * px, (m.top() + e.rect.y()) * px, e.rect.width() * px, e.rect.height() * px)
                .toRect());
    }
    static QString f(const QString& s) { return foldPrintedText(s); }

    FakeDialogs dialogs;
    Session session;
    QTemporaryDir dir;
    QStringList shown;
    int pages = 0;
};

// Value labels carry their column's name as layout text: one left behind prints the name.
void expectNoPlaceholderLeft(const report::Layout& layout)
{
    for (const report::Band& b : layout.bands())
        for (const report::Element& e : b.elements)
            if (e.type == report::ElementType::Label) {
                EXPECT_NE(e.text, e.name) << layout.name().toStdString() << ": " << e.name.toStdString();
            }
}

TEST_P(CountyPrints, ReviewFormIsRefusedToACountyUserUntilTheLandAffairsConfirm)
{
    // A provincial user prints the unconfirmed case.
    auto p = countyprints::prepareReviewForm(session);
    ASSERT_TRUE(p);
    expectNoPlaceholderLeft(p->layout);
    const QString text = printed(*p);
    EXPECT_EQ(pages, 1);
    for (const QString& expected :
         {QStringLiteral("123/45"), QStringLiteral("1403/02/10"), kCity, QStringLiteral("Band"),
          QStringLiteral("Alavi"), QStringLiteral("Change"), QStringLiteral("465.5"), QStringLiteral("12,500,000"),
          QStringLiteral("ريال، معادل"), QStringLiteral("18/32046"), QStringLiteral("18/32047"),
          QStringLiteral("1400/09/03"), QStringLiteral("مسئول فني جهت اطلاع و بايگاني به منظور بررسي هاي استان")})
        EXPECT_TRUE(text.contains(f(expected))) << expected.toStdString();
    EXPECT_EQ(text.count("Alavi"), 4);
    EXPECT_EQ(text.count("12,500,000"), 2);
    EXPECT_TRUE(dialogs.shown.isEmpty());

    // A county user gets the message for the same case, and no preview.
    session.login = LoginState{"7", "city", kCity};
    EXPECT_FALSE(countyprints::prepareReviewForm(session));
    EXPECT_EQ(dialogs.shown, QStringList{caseprint::reviewFormRefusal()});
    countyprints::printReviewForm(session);
    EXPECT_TRUE(shown.isEmpty());
    EXPECT_EQ(dialogs.shown.size(), 2);

    // ... and prints it once confirmed.
    session.cases.moveTo(2);
    countyprints::printReviewForm(session);
    EXPECT_EQ(shown, QStringList{"report_preview"});
    EXPECT_EQ(dialogs.shown.size(), 2);
    p = countyprints::prepareReviewForm(session);
    ASSERT_TRUE(p);
    EXPECT_TRUE(printed(*p).contains("678/9"));
}

TEST_P(CountyPrints, DeclarationFormIsSignedWithTheRightPassword)
{
    storeSignature("s3cret", jpeg(Qt::red));
    dialogs.inputs << "s3cret";
    const caseprints::PreparedPrint signedForm = countyprints::prepareDeclarationForm(session);
    ASSERT_EQ(dialogs.asked.size(), 16);
    EXPECT_EQ(dialogs.asked[0], "Signature | " + QStringLiteral("رمز امضا"));
    EXPECT_EQ(dialogs.asked[1], "Mozo | " + QStringLiteral("موضوع تقاضا"));
    // The password is typed into a masked box, like the delete password; the
    // checklist answers are not.
    EXPECT_EQ(dialogs.masked, QStringList{"Signature | " + QStringLiteral("رمز امضا")});
    EXPECT_TRUE(dialogs.shown.isEmpty());
    const report::Element& picture = signedForm.layout.element(labels::Signature);
    EXPECT_FALSE(picture.image.isNull());
    EXPECT_GT(picture.z, signedForm.layout.element(labels::SignerTitle).z);
    EXPECT_GT(picture.z, signedForm.layout.element(labels::SignerCounty).z);
    expectNoPlaceholderLeft(signedForm.layout);
    const QString text = printed(signedForm);
    EXPECT_EQ(pages, 1);
    for (const QString& expected :
         {QStringLiteral("Alavi"), QStringLiteral("Band"), QStringLiteral("Central"), QStringLiteral("Dasht"),
          QStringLiteral("7788"), QStringLiteral("2500000"), QStringLiteral("450000"), QStringLiteral("1500000"),
          QStringLiteral("500.5"), QStringLiteral("410"), QStringLiteral("70"), QStringLiteral("Garden"),
          QStringLiteral("Home"), QStringLiteral("4194"), QStringLiteral("1399/06/30"),
          QStringLiteral("بررسي ميداني جهت اخذ قيمت زمين")})
        EXPECT_TRUE(text.contains(f(expected))) << expected.toStdString();
    EXPECT_EQ(text.count("1500000"), 2);
    EXPECT_EQ(signedForm.layout.text(labels::UseChange), QStringLiteral("(Garden") + QStringLiteral(" به ") + "Home)");

    // A wrong password: the message, and the typed title lines instead of the picture.
    dialogs.asked.clear();
    dialogs.inputs << "wrong";
    const caseprints::PreparedPrint unsignedForm = countyprints::prepareDeclarationForm(session);
    EXPECT_EQ(dialogs.asked.size(), 16);
    EXPECT_EQ(dialogs.shown, QStringList{caseprint::signatureMissingMessage()});
    EXPECT_TRUE(unsignedForm.layout.element(labels::Signature).image.isNull());
    EXPECT_LT(unsignedForm.layout.element(labels::Signature).z, unsignedForm.layout.element(labels::SignerTitle).z);
    EXPECT_TRUE(printed(unsignedForm).contains(f(kCity)));

    // The red picture shows where the signature goes, and only on the signed form.
    const QImage withPicture = signaturePlace(signedForm);
    const QImage without = signaturePlace(unsignedForm);
    const QPoint middle(withPicture.width() / 2, withPicture.height() / 2);
    EXPECT_GT(qRed(withPicture.pixel(middle)), 200);
    EXPECT_LT(qGreen(withPicture.pixel(middle)), 80);
    EXPECT_NE(withPicture, without);
    bool anyRed = false;
    for (int y = 0; y < without.height(); ++y)
        for (int x = 0; x < without.width(); ++x)
            anyRed |= qRed(without.pixel(x, y)) > 200 && qGreen(without.pixel(x, y)) < 80;
    EXPECT_FALSE(anyRed);
}

TEST_P(CountyPrints, ADamagedOrMissingPictureLeavesTheFormUnsigned)
{
    const struct {
        const char* password;
        QByteArray stored;
        bool message;
    } cases[] = {
        {"bad", QByteArray("this is not a JPEG"), true},
        {"half", jpeg(Qt::red).left(20), true},
        {"empty", QByteArray(), false}, // a row without a picture: unsigned, no message
    };
    for (const auto& c : cases) {
        storeSignature(QLatin1String(c.password), c.stored);
        dialogs.shown.clear();
        dialogs.inputs << QLatin1String(c.password);
        const caseprints::PreparedPrint p = countyprints::prepareDeclarationForm(session);
        EXPECT_EQ(dialogs.shown.size(), c.message ? 1 : 0) << c.password;
        if (c.message && !dialogs.shown.isEmpty()) {
            EXPECT_EQ(dialogs.shown[0], caseprint::signatureMissingMessage());
        }
        EXPECT_TRUE(p.layout.element(labels::Signature).image.isNull()) << c.password;
        EXPECT_GT(p.layout.element(labels::SignerCounty).z, p.layout.element(labels::Signature).z) << c.password;
        EXPECT_TRUE(printed(p).contains("Alavi")) << c.password;
        EXPECT_EQ(pages, 1);
    }
    EXPECT_TRUE(countyprints::signatureImage(QByteArray("junk")).isNull());
    EXPECT_FALSE(countyprints::signatureImage(jpeg(Qt::blue)).isNull());

    // The whole command runs to its preview.
    storeSignature("bad2", QByteArray("junk"));
    dialogs.inputs << "bad2";
    countyprints::printDeclarationForm(session);
    EXPECT_EQ(shown, QStringList{"report_preview"});
}

TEST_P(CountyPrints, ChecklistAnswersTickTheirCircles)
{
    const QColor black(Qt::black), white(Qt::white);
    // Password cancelled, then: subject "2", documents 1 and 2 answered "1" and "1 ",
    // document 3 "0", document 4 accepted unchanged, document 15 "1".
    dialogs.inputs << "?"
                   << "2"
                   << "1"
                   << "1 "
                   << "0" << QStringLiteral("عدد1=دارد و عدد0=ندارد") << ""
                   << ""
                   << ""
                   << ""
                   << ""
                   << ""
                   << ""
                   << ""
                   << ""
                   << "1";
    caseprints::PreparedPrint p = countyprints::prepareDeclarationForm(session);
    const struct {
        QString circle;
        QColor fill;
    } expected[] = {
        {labels::SubjectExtension, white}, {labels::SubjectUseChange, black}, {labels::document(1), black},
        {labels::document(2), white},      {labels::document(3), white},      {labels::document(4), white},
        {labels::document(12), white},     {labels::document(14), white},     {labels::document(15), black},
    };
    for (const auto& c : expected)
        EXPECT_EQ(p.layout.element(c.circle).fill, c.fill) << c.circle.toStdString();
    EXPECT_FALSE(p.layout.hasElement(labels::document(13)));

    // "1" for the subject: the extension black, the use change white; "1 " ticks nothing.
    const struct {
        QString answer;
        QColor extension, useChange;
    } subjects[] = {{"1", black, white}, {"1 ", white, white}, {"2", white, black}};
    for (const auto& c : subjects) {
        dialogs.inputs << "?" << c.answer;
        p = countyprints::prepareDeclarationForm(session);
        EXPECT_EQ(p.layout.element(labels::SubjectExtension).fill, c.extension) << c.answer.toStdString();
        EXPECT_EQ(p.layout.element(labels::SubjectUseChange).fill, c.useChange) << c.answer.toStdString();
        dialogs.inputs.clear();
    }
}

TEST_P(CountyPrints, AccountingFormPrintsTheFeeUngrouped)
{
    const caseprints::PreparedPrint p = countyprints::prepareAccountingForm(session);
    expectNoPlaceholderLeft(p.layout);
    EXPECT_TRUE(dialogs.asked.isEmpty());
    const QString text = printed(p);
    EXPECT_EQ(pages, 1);
    for (const QString& expected :
         {QStringLiteral("123/45"), QStringLiteral("1403/02/10"), QStringLiteral("12500000"), QStringLiteral("Garden"),
          QStringLiteral("Home"), QStringLiteral("410"), kCity, QStringLiteral("Band"), QStringLiteral("Change"),
          QStringLiteral("Alavi"), QStringLiteral("ماليات بابت درخواست")})
        EXPECT_TRUE(text.contains(f(expected))) << expected.toStdString();
    EXPECT_FALSE(text.contains("12,500,000"));
}

TEST_P(CountyPrints, TheCountyMenuOpensTheThreePreviews)
{
    Tkomision_rep screen(session);
    QMenu* menu = screen.findChild<QMenu*>("N16");
    ASSERT_TRUE(menu);
    const QList<QAction*> actions = menu->actions();
    ASSERT_EQ(actions.size(), 3);
    EXPECT_EQ(actions[0]->text(), QStringLiteral("فرم بررسي"));
    EXPECT_EQ(actions[1]->text(), QStringLiteral("فرم اعلام نظر"));
    EXPECT_EQ(actions[2]->text(), QStringLiteral("فرم حسابداري-A5"));
    session.cases.moveTo(2);
    for (QAction* a : actions)
        a->trigger();
    EXPECT_EQ(shown, QStringList(3, "report_preview"));
    EXPECT_EQ(dialogs.shown, QStringList{caseprint::signatureMissingMessage()}); // no signature stored
    EXPECT_EQ(session.cases.recNo(), 2);
}

TARVEST_FOR_EACH_DATABASE(CountyPrints);

} // namespace

// The land-pricing screens over a real database: transfer types (duplicate, empty
// coefficient, delete then add), the price entry driven through its fields by a county
// user and a provincial user (derived prices as they type, the county user's refusal,
// a missing coefficient setting), the ways of price discovery, the price search (county
// restriction, letter filter, delete password, export read back), and the three forms
// read back from their PDF.
#include "db/database.h"
#include "db/provision.h"
#include "db/session.h"
#include "db/settinglists.h"
#include "fakedialogs.h"
#include "gazetteer.h"
#include "pdftext.h"
#include "pricing/core/pricing.h"
#include "pricing/priceentry.h"
#include "pricing/pricesearchscreen.h"
#include "pricing/prints/priceprints.h"
#include "pricing/transfertypes.h"
#include "pyhelpers.h"
#include "reports/reportrenderer.h"
#include "testdb.h"
#include "widgets/numericedits.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QJsonArray>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

using namespace tarvest;
using namespace tarvest::test;

namespace {

const QString kCounty = QStringLiteral("مرودشت");
const QString kOther = QStringLiteral("شيراز");
const QString kCountyUserId = QStringLiteral("7");
const QString kProvinceUserId = QStringLiteral("8");
const QStringList kFinders = {QStringLiteral("قولنامه هاي معاملات"), QStringLiteral("کارشناس رسمي دادگستري"),
                              QStringLiteral("مسئولين محلي")};

class PricingScreensTest : public DbTest {
protected:
    void SetUp() override
    {
        DbTest::SetUp();
        if (!db)
            return;
        ASSERT_TRUE(provisionSucceeded(provision(*db)));
        insertGazetteer(*db);
        addSettingValue(*db, lists::DeletePassword, "4321");
        addSettingValue(*db, lists::PlotsUnder12Coefficient, "1");
        addSettingValue(*db, lists::Plots12To16Coefficient, "1.1");
        addSettingValue(*db, lists::PlotsOver16Coefficient, "1.2");
        addSettingValue(*db, lists::ServiceLandCoefficient, "1");
        for (const QString& way : kFinders)
            addSettingValue(*db, lists::PriceFinders, way);
        addSettingValue(*db, lists::LandUseKinds, QStringLiteral("مسكوني"));
        QStringList problems;
        pricing::addTransferType(*db, QStringLiteral("عادي"), "1", problems);
        for (const QString& c : {kCounty, kOther})
            db->insert("dastrasi2", {{"user_id", kCountyUserId.toInt()}, {"cmt", c}});
        db->insert("dastrasi2", {{"user_id", kProvinceUserId.toInt()}, {"cmt", kCounty}});
        session.setDatabase(tmp->openAnother());
        setModalShower([this](QWidget* w) {
            modal << w->objectName();
            w->show();
        });
        login("admin");
    }
    void TearDown() override
    {
        search.reset();
        types.reset();
        setModalShower({});
    }
    void login(const QString& who)
    {
        if (who == "city")
            session.login = LoginState{kCountyUserId, "city", kCounty};
        else if (who == "ostan")
            session.login = LoginState{kProvinceUserId, "ostan", QStringLiteral("ostan1")};
        else if (who == "ostan-without-counties")
            session.login = LoginState{"9", "ostan", QStringLiteral("ostan2")};
        else
            session.login = LoginState{"1", "admin", "admin"};
    }
    Tghimat_src& openSearch()
    {
        if (!search)
            search = std::make_unique<Tghimat_src>(session);
        search->applyRights({true, true, true, true});
        search->prepare();
        search->show();
        return *search;
    }
    Tghimat_ins& entry() { return search->entryScreen(); }
    template <typename T = QWidget>
    T* in(const char* name)
    {
        return entry().findChild<T*>(name);
    }
    QString text(const char* name) { return in<QLineEdit>(name)->text(); }
    void type(const char* name, const QString& typed)
    {
        auto* f = in<QLineEdit>(name);
        f->setFocus();
        f->selectAll();
        QTest::keyClick(f, Qt::Key_Backspace);
        QTest::keyClicks(f, typed);
    }
    void fillLetter(const QString& paperNo)
    {
        in<QComboBox>("city")->setEditText(kCounty);
        in<QComboBox>("rosta")->setEditText(QStringLiteral("کوشک"));
        in<QComboBox>("karbari")->setEditText(QStringLiteral("مسكوني"));
        in<QLineEdit>("paper_no")->setText(paperNo);
        in<QLineEdit>("paper_dat")->setText("1403/02/10");
    }
    QVariantMap stored(const QString& paperNo)
    {
        QSqlQuery q = db->exec("SELECT * FROM ghimat WHERE paper_no = ?", {paperNo});
        QVariantMap row;
        if (q.next())
            for (const char* c :
                 {"id", "arzesh", "paye_zarib", "paye", "mojaver12", "mojaver16", "mojaver_max", "khadamati"})
                row[c] = q.value(c);
        return row;
    }
    QStringList finders(qint64 id) { return pricing::priceFinders(*db, id); }
    void check(const QStringList& ways, bool on)
    {
        auto* list = in<QListWidget>("kashf_list");
        for (int i = 0; i < list->count(); ++i)
            if (ways.contains(list->item(i)->text()))
                list->item(i)->setCheckState(on ? Qt::Checked : Qt::Unchecked);
    }
    void insertAssessment(const QString& paperNo, const QString& city, const QString& karbari = "مسكوني",
                          qint64 paye = 1500000)
    {
        db->insert("ghimat", {{"paper_no", paperNo},
                              {"paper_dat", "1403/02/10"},
                              {"city", city},
                              {"rosta", "کوشک"},
                              {"karbari", karbari},
                              {"vagozari", "عادي"},
                              {"arzesh", 1000000},
                              {"paye_zarib", 1.5},
                              {"paye", paye},
                              {"mojaver12", 1500000},
                              {"mojaver16", 1650000},
                              {"mojaver_max", 1800000},
                              {"khadamati", 1000000}});
    }
    QStringList listedLetters()
    {
        QStringList out;
        ResultSet& rs = session.prices;
        for (int r = 0; r < rs.recordCount(); ++r)
            out << rs.textAt(r, rs.fieldIndex("paper_no"));
        return out;
    }
    QString printed(const priceprints::PreparedPriceForm& form)
    {
        const QString pdf = dir.filePath("form.pdf");
        report::renderToPdf(form.layout, form.data.get(), pdf);
        return foldPrintedText(pdfToText(pdf));
    }
    static QString f(const QString& s) { return foldPrintedText(s); }
    // Every text that did not get the room it needed, one a line (empty when all fit).
    static std::string fitReport(const priceprints::PreparedPriceForm& form)
    {
        QStringList lines;
        for (const report::FitProblem& p : report::fitProblems(form.layout, form.data.get()))
            lines << QStringLiteral("%1 (page %2): %3").arg(p.element).arg(p.page).arg(p.what);
        return lines.join(u'\n').toStdString();
    }

    FakeDialogs dialogs;
    Session session;
    std::unique_ptr<Tghimat_src> search;
    std::unique_ptr<Tghimat_typ> types;
    QStringList modal;
    QTemporaryDir dir;
};

// ---------------------------------------------------------------------------------------
// Transfer types.

TEST_P(PricingScreensTest, TransferTypesRefuseDuplicatesAndDeleteBackIntoTheInputs)
{
    types = std::make_unique<Tghimat_typ>(session);
    types->applyRights({true, false, true, true});
    types->prepare();
    auto* name = types->findChild<QComboBox*>("vagozari");
    auto* zarib = types->findChild<QLineEdit*>("zarib");
    EXPECT_EQ(zarib->text(), "0");
    EXPECT_TRUE(name->currentText().isEmpty());
    EXPECT_EQ(types->types().recordCount(), 1);

    name->setEditText(QStringLiteral("عادي"));
    zarib->setText("1.5");
    types->add();
    EXPECT_EQ(dialogs.shown, QStringList{pricing::text::TransferTypeDuplicate});
    EXPECT_EQ(types->types().recordCount(), 1);

    // An empty coefficient stores no value.
    dialogs.shown.clear();
    name->setEditText(QStringLiteral("مسکن شهري"));
    zarib->clear();
    types->add();
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.shown.join('\n').toStdString();
    EXPECT_EQ(types->types().recordCount(), 2);
    EXPECT_TRUE(db->scalar("SELECT zarib FROM vagozarityp WHERE vagozari = ?", {"مسکن شهري"}).isNull());

    // Deleting "عادي" puts its name and coefficient back; adding at once restores it.
    ASSERT_TRUE(types->types().locate("vagozari", QStringLiteral("عادي")));
    const qint64 oldId = types->types().asInteger("id");
    types->findChild<QAction*>("N1")->trigger();
    EXPECT_EQ(name->currentText(), QStringLiteral("عادي"));
    EXPECT_EQ(zarib->text(), "1");
    EXPECT_EQ(db->scalar("SELECT count(*) FROM vagozarityp").toInt(), 1);
    types->add();
    const QVariant newId = db->scalar("SELECT id FROM vagozarityp WHERE vagozari = ?", {"عادي"});
    ASSERT_TRUE(newId.isValid());
    EXPECT_NE(newId.toLongLong(), oldId);
    EXPECT_DOUBLE_EQ(db->scalar("SELECT zarib FROM vagozarityp WHERE id = ?", {newId}).toDouble(), 1.0);

    // A coefficient that is no number is refused with one message.
    dialogs.shown.clear();
    name->setEditText(QStringLiteral("متقاضيان غيربومي"));
    zarib->setText(".");
    types->add();
    EXPECT_EQ(dialogs.shown, QStringList{pricing::text::CoefficientNotNumber});
    EXPECT_TRUE(dialogs.errors.isEmpty());
    EXPECT_EQ(db->scalar("SELECT count(*) FROM vagozarityp").toInt(), 2);

    // The view right without the insert right: the list shows, the add button is disabled.
    types->applyRights({false, false, false, true});
    EXPECT_FALSE(types->findChild<QPushButton*>("ins_btn")->isEnabled());
    EXPECT_FALSE(types->findChild<QAction*>("N1")->isEnabled());
    types->prepare();
    EXPECT_EQ(types->types().recordCount(), 2);
}

// ---------------------------------------------------------------------------------------
// Price entry driven through its fields.

struct TypedCase {
    const char* arzesh;
    const char* zarib;
    const char* paye;
    const char* m12;
    const char* m16;
    const char* mMax;
    const char* khadamati;
};

TEST_P(PricingScreensTest, ProvincialUsersTypingSeesTheDerivedPricesAndSavesThem)
{
    login("ostan");
    openSearch();
    const TypedCase cases[] = {
        {"1000000", "1.5", "1,500,000", "1,500,000", "1,650,000", "1,800,000", "1,000,000"},
        {"800000", "1.2", "960,000", "960,000", "1,056,000", "1,152,000", "800,000"},
        {"1000005", "1", "1,000,005", "1,000,005", "1,100,006", "1,200,006", "1,000,005"},
        {"800000", "", "0", "0", "0", "0", "800,000"},
    };
    int n = 0;
    for (const TypedCase& c : cases) {
        const QString letter = QStringLiteral("p%1").arg(++n);
        search->newPrice();
        EXPECT_TRUE(in<QLineEdit>("paye_zarib")->isEnabled());
        fillLetter(letter);
        type("arzesh", c.arzesh);
        type("paye_zarib", c.zarib);
        EXPECT_EQ(text("paye"), c.paye) << letter.toStdString();
        EXPECT_EQ(text("mojaver12"), c.m12);
        EXPECT_EQ(text("mojaver16"), c.m16);
        EXPECT_EQ(text("mojaver_max"), c.mMax);
        EXPECT_EQ(text("khadamati"), c.khadamati);
        entry().saveNew();
        EXPECT_FALSE(entry().isVisible()) << dialogs.shown.join('\n').toStdString();
        // The field and the saved row agree.
        const QVariantMap row = stored(letter);
        auto plain = [](const char* t) { return QString::fromLatin1(t).remove(u',').toLongLong(); };
        EXPECT_EQ(row["paye"].toLongLong(), plain(c.paye));
        EXPECT_EQ(row["mojaver16"].toLongLong(), plain(c.m16));
        EXPECT_EQ(row["mojaver_max"].toLongLong(), plain(c.mMax));
        EXPECT_EQ(row["khadamati"].toLongLong(), plain(c.khadamati));
    }
    EXPECT_EQ(session.prices.recordCount(), 4);
}

TEST_P(PricingScreensTest, CountyProposalThenProvincialCoefficientThenCountyRefusal)
{
    // The county user's proposal: no coefficient, so no base or street prices.
    login("city");
    openSearch();
    EXPECT_EQ(search->findChild<QComboBox*>("city")->currentText(), kCounty);
    search->newPrice();
    EXPECT_FALSE(in<QLineEdit>("paye_zarib")->isEnabled());
    fillLetter("800");
    type("arzesh", "800000");
    EXPECT_EQ(text("paye"), "0");
    EXPECT_EQ(text("mojaver12"), "0");
    EXPECT_EQ(text("mojaver_max"), "0");
    EXPECT_EQ(text("khadamati"), "800,000");
    // Touching the transfer type zeroes the coefficients and so the service price.
    auto* vagozari = in<QComboBox>("vagozari");
    ASSERT_EQ(vagozari->findText(QStringLiteral("عادي")), 0);
    vagozari->setCurrentIndex(0);
    emit vagozari->activated(0);
    EXPECT_EQ(text("khadamati"), "0");
    EXPECT_EQ(in<QLabel>("khadamati_zarib")->text(), "0");
    check({kFinders[0], kFinders[2]}, true);
    entry().saveNew();
    ASSERT_FALSE(entry().isVisible()) << dialogs.shown.join('\n').toStdString();
    QVariantMap row = stored("800");
    EXPECT_EQ(row["arzesh"].toLongLong(), 800000);
    EXPECT_EQ(row["paye"].toLongLong(), 0);
    EXPECT_EQ(row["khadamati"].toLongLong(), 0);
    const qint64 id = row["id"].toLongLong();
    EXPECT_EQ(finders(id), (QStringList{kFinders[0], kFinders[2]}));

    // The provincial user opens it, types 1.2 and sees the prices follow at once.
    login("ostan");
    openSearch();
    ASSERT_TRUE(session.prices.locate("id", id));
    search->editPrice();
    ASSERT_TRUE(entry().isVisible());
    EXPECT_FALSE(in<QPushButton>("ins_btn")->isVisible());
    EXPECT_TRUE(in<QPushButton>("edit_btn")->isVisible());
    EXPECT_EQ(in<QLabel>("khadamati_zarib")->text(), "1") << "each showing reads the settings again";
    EXPECT_EQ(text("arzesh"), "800,000");
    type("paye_zarib", "1.2");
    EXPECT_EQ(text("paye"), "960,000");
    EXPECT_EQ(text("mojaver16"), "1,056,000");
    EXPECT_EQ(text("khadamati"), "800,000");
    entry().saveChanges();
    ASSERT_FALSE(entry().isVisible()) << dialogs.shown.join('\n').toStdString();
    row = stored("800");
    EXPECT_EQ(row["paye"].toLongLong(), 960000);
    EXPECT_DOUBLE_EQ(row["paye_zarib"].toDouble(), 1.2);
    EXPECT_EQ(row["mojaver_max"].toLongLong(), 1152000);

    // The county user may no longer edit it.
    login("city");
    openSearch();
    ASSERT_TRUE(session.prices.locate("id", id));
    dialogs.shown.clear();
    modal.clear();
    search->editPrice();
    EXPECT_EQ(dialogs.shown, QStringList{pricing::text::ProvinceRegistered});
    EXPECT_FALSE(modal.contains("Tghimat_ins"));
}

TEST_P(PricingScreensTest, MissingCoefficientSettingLeavesItsLabelEmptyAndItsPriceZero)
{
    removeSettingValue(*db, lists::Plots12To16Coefficient, "1.1");
    openSearch();
    search->newPrice();
    EXPECT_TRUE(in<QLabel>("mojaver16_zarib")->text().isEmpty());
    type("arzesh", "1000000");
    type("paye_zarib", "1.5");
    EXPECT_EQ(text("paye"), "1,500,000");
    EXPECT_EQ(text("mojaver16"), "0");
    EXPECT_EQ(text("mojaver_max"), "1,800,000");
}

TEST_P(PricingScreensTest, DuplicateLetterAndMissingVillageAreBothToldAndNothingIsSaved)
{
    insertAssessment("55", kCounty);
    openSearch();
    search->newPrice();
    fillLetter("55");
    in<QComboBox>("rosta")->setEditText(QString());
    db->insert("ghimat", {{"paper_no", "55"}, {"paper_dat", "1403/02/10"}, {"city", kCounty}, {"rosta", ""}});
    entry().saveNew();
    EXPECT_EQ(dialogs.shown, (QStringList{pricing::text::VillageRequired, pricing::text::LetterDuplicate}));
    EXPECT_TRUE(entry().isVisible());
    EXPECT_EQ(db->scalar("SELECT count(*) FROM ghimat").toInt(), 2);

    // An amount beyond 64 bits: one Persian message, nothing saved.
    dialogs.shown.clear();
    fillLetter("56");
    in<QLineEdit>("khadamati")->setText("99999999999999999999");
    entry().saveNew();
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_TRUE(dialogs.shown[0].startsWith(QStringLiteral("خطا!"))) << dialogs.shown[0].toStdString();
    EXPECT_TRUE(dialogs.errors.isEmpty());
    EXPECT_EQ(db->scalar("SELECT count(*) FROM ghimat").toInt(), 2);

    // A coefficient that is no number: one Persian message, nothing saved.
    dialogs.shown.clear();
    in<QLineEdit>("khadamati")->setText("0");
    type("paye_zarib", ".");
    EXPECT_EQ(text("paye"), "0");
    entry().saveNew();
    EXPECT_EQ(dialogs.shown, QStringList{pricing::text::CoefficientNotNumber});
    EXPECT_TRUE(dialogs.errors.isEmpty());
    EXPECT_EQ(db->scalar("SELECT count(*) FROM ghimat").toInt(), 2);
}

TEST_P(PricingScreensTest, WaysOfDiscoveryFollowTheCheckListAndTheSetting)
{
    openSearch();
    search->newPrice();
    auto* list = in<QListWidget>("kashf_list");
    ASSERT_EQ(list->count(), 3);
    EXPECT_EQ(list->item(0)->text(), kFinders[0]) << "sorted alphabetically";
    fillLetter("70");
    check(kFinders, true);
    entry().saveNew();
    const qint64 id = stored("70")["id"].toLongLong();
    EXPECT_EQ(finders(id), kFinders);

    // Editing and unchecking one leaves two.
    ASSERT_TRUE(session.prices.locate("id", id));
    search->editPrice();
    EXPECT_EQ(entry().checkedFinders(), kFinders);
    check({kFinders[1]}, false);
    entry().saveChanges();
    EXPECT_EQ(finders(id), (QStringList{kFinders[0], kFinders[2]}));

    // A way no longer in the setting is not shown and goes on the next save.
    removeSettingValue(*db, lists::PriceFinders, kFinders[2]);
    search->editPrice();
    EXPECT_EQ(in<QListWidget>("kashf_list")->count(), 2);
    EXPECT_EQ(entry().checkedFinders(), QStringList{kFinders[0]});
    entry().saveChanges();
    EXPECT_EQ(finders(id), QStringList{kFinders[0]});
}

// ---------------------------------------------------------------------------------------
// Price search.

TEST_P(PricingScreensTest, SearchRestrictsToTheUsersCountiesAndFiltersLetters)
{
    for (const char* letter : {"12", "112", "1203", "45"})
        insertAssessment(QString::fromLatin1(letter), kCounty);
    insertAssessment("120", QStringLiteral("فسا"));

    login("ostan-without-counties");
    openSearch();
    EXPECT_EQ(session.prices.recordCount(), 0);
    EXPECT_EQ(search->findChild<QLabel*>("cnt")->text(), "0");

    login("admin");
    openSearch();
    EXPECT_EQ(session.prices.recordCount(), 5);
    EXPECT_EQ(search->findChild<QLabel*>("cnt")->text(), "5");

    login("ostan");
    openSearch();
    EXPECT_EQ(listedLetters(), (QStringList{"12", "112", "1203", "45"}));
    search->findChild<QCheckBox*>("CheckBox1")->setChecked(true);
    search->findChild<QLineEdit*>("paper_no")->setText("12");
    search->search();
    EXPECT_EQ(listedLetters(), (QStringList{"12", "112", "1203"}));
    EXPECT_EQ(search->findChild<QLabel*>("cnt")->text(), "3");
}

TEST_P(PricingScreensTest, DeleteAsksThePasswordAndTakesTheWaysAlong)
{
    insertAssessment("12", kCounty);
    const qint64 id = db->scalar("SELECT id FROM ghimat").toLongLong();
    db->insert("kashfghimat", {{"ghimat_id", id}, {"kashf", kFinders[0]}});
    openSearch();
    dialogs.inputs.enqueue("wrong");
    search->findChild<QAction*>("N3")->trigger();
    EXPECT_EQ(db->scalar("SELECT count(*) FROM ghimat").toInt(), 1);
    EXPECT_TRUE(dialogs.shown.isEmpty());
    EXPECT_EQ(dialogs.asked.last(), QStringLiteral("Delete Password | لطفا رمز حذف را وارد نماييد:"));
    dialogs.inputs.enqueue("4321");
    search->findChild<QAction*>("N3")->trigger();
    EXPECT_EQ(db->scalar("SELECT count(*) FROM ghimat").toInt(), 0);
    EXPECT_EQ(db->scalar("SELECT count(*) FROM kashfghimat").toInt(), 0);
    EXPECT_EQ(search->findChild<QLabel*>("cnt")->text(), "0");
}

TEST_P(PricingScreensTest, MenuItemsFollowThePageRights)
{
    openSearch();
    search->applyRights({false, true, false, true});
    EXPECT_FALSE(search->findChild<QAction*>("N1")->isEnabled());
    EXPECT_TRUE(search->findChild<QAction*>("N2")->isEnabled());
    EXPECT_FALSE(search->findChild<QAction*>("N3")->isEnabled());
}

TEST_P(PricingScreensTest, ExportWritesEveryColumnUnderItsHeaderText)
{
    insertAssessment("12", kCounty);
    insertAssessment("13", kOther, QStringLiteral("تجاري"), 950);
    openSearch();
    const QTemporaryDir out;
    dialogs.files.enqueue(out.filePath("ghimat.xlsx")); // where the clerk saves it
    const QString path = search->exportList();
    ASSERT_FALSE(path.isEmpty()) << dialogs.shown.join('\n').toStdString();
    EXPECT_EQ(dialogs.opened, QStringList{path});
    const QJsonValue rows = tarvest::testing::runPythonJson(R"(
import json, sys, openpyxl
ws = openpyxl.load_workbook(sys.argv[1]).active
rows = []
for row in ws.iter_rows(values_only=True):
    cells = ["" if c is None else str(c) for c in row]
    while cells and cells[-1] == "":
        cells.pop()
    rows.append(cells)
print(json.dumps(rows))
)",
                                                            {path});
    const QJsonArray table = rows.toArray();
    ASSERT_EQ(table.size(), 3);
    QStringList heading;
    for (const QJsonValue& v : table[0].toArray())
        heading << v.toString();
    ASSERT_EQ(heading.size(), 19) << heading.join(" | ").toStdString();
    EXPECT_EQ(heading[0], QStringLiteral("شناسه"));
    EXPECT_EQ(heading[8], QStringLiteral("تامبن کننده زمين"));
    EXPECT_EQ(heading[11], QStringLiteral("ارزش هر متر مربع"));
    EXPECT_EQ(heading[13], QString()) << "paye_zarib has no header text";
    EXPECT_EQ(heading[15], QStringLiteral("قطعات مجاور معبر کمتر از 12  متر از قرار هر متر مربع"));
    const QJsonArray second = table[2].toArray();
    EXPECT_EQ(second[1].toString(), kOther);
    EXPECT_EQ(second[9].toString(), "13");
    EXPECT_EQ(second[14].toString(), "950");
}

// ---------------------------------------------------------------------------------------
// Printed forms.

TEST_P(PricingScreensTest, ProvinceFormPrintsOneRowForOtherUsesAndThreeForResidential)
{
    insertAssessment("4662/ص", kCounty, QStringLiteral("تجاري"), 1500000);
    insertAssessment("4663", kCounty, QStringLiteral("مسكوني"), 950);
    openSearch();
    ASSERT_TRUE(session.prices.locate("paper_no", QStringLiteral("4662/ص")));
    std::optional<priceprints::PreparedPriceForm> form = priceprints::prepareProvinceForm(session);
    ASSERT_TRUE(form);
    QString text = printed(*form);
    EXPECT_TRUE(text.contains("1,500,000")) << text.toStdString();
    EXPECT_TRUE(text.contains(f(QStringLiteral("قيمت اراضي با کاربري مذکور  از قرار هر متر مربع"))));
    EXPECT_FALSE(text.contains(f(QStringLiteral("قطعات مجاورمعبر کمتر از 12"))));
    EXPECT_FALSE(text.contains("1650000"));
    EXPECT_TRUE(text.contains(f(QStringLiteral("فرم نهايي قيمت گذاري طرحهاي تفكيكي روستائي"))));

    // The next print, residential: the three street prices again.
    ASSERT_TRUE(session.prices.locate("paper_no", QStringLiteral("4663")));
    form = priceprints::prepareProvinceForm(session);
    ASSERT_TRUE(form);
    text = printed(*form);
    EXPECT_TRUE(text.contains("950")) << text.toStdString();
    EXPECT_FALSE(text.contains(",950"));
    for (const char* amount : {"1500000", "1650000", "1800000"})
        EXPECT_TRUE(text.contains(amount)) << amount;
    EXPECT_TRUE(text.contains(f(QStringLiteral("قطعات مجاورمعبر 12 تا 16متر از قرار هر متر مربع"))));
    EXPECT_FALSE(text.contains(f(QStringLiteral("کاربري مذکور"))));
    EXPECT_EQ(fitReport(*form), "");
    EXPECT_EQ(report::pageCount(form->layout, nullptr), 1) << "one letter, one page";
}

TEST_P(PricingScreensTest, CountyUsersGetTheCountyFormOnly)
{
    insertAssessment("12", kCounty, QStringLiteral("تجاري"), 0);
    login("city");
    openSearch();
    ASSERT_EQ(session.prices.recordCount(), 1);
    EXPECT_FALSE(priceprints::prepareProvinceForm(session));
    EXPECT_FALSE(priceprints::prepareUrbanHousingForm(session));
    EXPECT_EQ(dialogs.shown, (QStringList{pricing::text::CountyRefused, pricing::text::CountyRefused}));

    std::optional<priceprints::PreparedPriceForm> form = priceprints::prepareCountyForm(session);
    ASSERT_TRUE(form);
    const QString text = printed(*form);
    for (const QString& way : kFinders)
        EXPECT_TRUE(text.contains(f(way))) << way.toStdString();
    EXPECT_TRUE(text.contains(f(QStringLiteral("کميته محترم قيمت گذاري"))));
    EXPECT_TRUE(text.contains("1000000")) << "the value per square metre as stored";
    EXPECT_EQ(fitReport(*form), "");
}

TEST_P(PricingScreensTest, UrbanHousingFormAlwaysHasThreeRows)
{
    insertAssessment("12", kCounty, QStringLiteral("تجاري"), 1500000);
    openSearch();
    std::optional<priceprints::PreparedPriceForm> form = priceprints::prepareUrbanHousingForm(session);
    ASSERT_TRUE(form);
    const QString text = printed(*form);
    EXPECT_TRUE(text.contains("1,500,000"));
    EXPECT_TRUE(text.contains(f(QStringLiteral("مسکوني"))));
    EXPECT_TRUE(text.contains(f(QStringLiteral("ليست قطعات پيوست مي باشد"))));
    for (const char* amount : {"1500000", "1650000", "1800000"})
        EXPECT_TRUE(text.contains(amount)) << amount;
    EXPECT_EQ(fitReport(*form), "");
    EXPECT_EQ(report::pageCount(form->layout, nullptr), 1) << "one letter, one page";
}

TARVEST_FOR_EACH_DATABASE(PricingScreensTest);

} // namespace

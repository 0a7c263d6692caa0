// The fee document screens over a real database: the distribution driven through the
// entry screen's fields into the saved row, the county-and-year check on insert (none on
// edit), the settings read at each showing, the receipt check box, the other experts'
// rows (attached on save, deleted with the document), the search filters and band1, the
// delete password, the export read back, and the four prints read back from PDF.
#include "db/database.h"
#include "db/provision.h"
#include "db/session.h"
#include "db/settinglists.h"
#include "fakedialogs.h"
#include "fees/core/feedocs.h"
#include "fees/feeentry.h"
#include "fees/feesearchscreen.h"
#include "fees/otherexperts.h"
#include "fees/prints/core/statement.h"
#include "fees/prints/feeprints.h"
#include "gazetteer.h"
#include "pdftext.h"
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
#include <QPushButton>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QTemporaryDir>

using namespace tarvest;
using namespace tarvest::test;

namespace {

class FeeScreensTest : public DbTest {
protected:
    void SetUp() override
    {
        DbTest::SetUp();
        if (!db)
            return;
        ASSERT_TRUE(provisionSucceeded(provision(*db)));
        insertGazetteer(*db);
        addSettingValue(*db, lists::FeePerMember, "200000");
        addSettingValue(*db, lists::MemberCount, "5");
        addSettingValue(*db, lists::DeletePassword, "4321");
        session.setDatabase(tmp->openAnother());
        session.login = LoginState{"1", "admin", "admin"};
        setModalShower([this](QWidget* w) { modal << w->objectName(); });
        screen = std::make_unique<Tasnad_src>(session);
        screen->applyRights({true, true, true, true});
        screen->prepare();
    }
    void TearDown() override
    {
        screen.reset();
        setModalShower({});
    }

    Tasnad_ins& entry() { return screen->entryScreen(); }
    QLineEdit* field(const QString& name) { return entry().findChild<QLineEdit*>(name); }
    void set(const QString& name, const QString& text) { field(name)->setText(text); }
    QString shown(const QString& name) { return field(name)->text(); }
    QComboBox* city() { return entry().findChild<QComboBox*>("city"); }
    void click(const char* name) { entry().findChild<QAbstractButton*>(name)->click(); }
    // A new document prepared and shown (the showing steps run).
    void newDocument(const QString& county, const QString& year)
    {
        screen->findChild<QAction*>("N1")->trigger();
        entry().applyShowingSteps();
        city()->setEditText(county);
        set("sal", year);
    }
    QString stored(const QString& column, const QString& county, const QString& year)
    {
        return db->scalar("select " + column + " from asnad where city=? and sal=?", {county, year}).toString();
    }
    void tickFilter(const char* box, bool on = true) { screen->findChild<QCheckBox*>(box)->setChecked(on); }

    FakeDialogs dialogs;
    Session session;
    std::unique_ptr<Tasnad_src> screen;
    QStringList modal;
    QTemporaryDir dir;
};

} // namespace

TEST_P(FeeScreensTest, DistributionThroughTheFieldsIntoTheSavedRow)
{
    struct Case {
        const char* what;
        bool receipts;
        const char* rosta;
        const char* shahr;
        const char* fish;
        const char* fish2;
        QStringList expected; // "column=shown text=stored value"
    };
    const Case cases[] = {
        {"no receipts",
         false,
         "3",
         "2",
         "0",
         "0",
         {"ozv_mablagh_kol=500,000=500000", "shahr_kar=1,200,000=1200000", "ostan_kar=450,000=450000",
          "sayer_kar=300,000=300000", "sahm_vartalis=250000=250000", "band3=250,000=250000",
          "masol_zamin2=37,500=37500", "naghshe_kar2=17,500=17500", "odat_modir=0=0", "modirkol1=0=0"}},
        {"receipts",
         true,
         "3",
         "2",
         "1000000",
         "500000",
         {"ozv_mablagh_kol=1,000,000=1000000", "shahr_kar=0=0", "odat_modir=350,000=350000", "modirkol1=52,500=52500",
          "odat_kar=100,000=100000", "hesab_kar1=10,000=10000", "sahm_sabt=500000=500000", "modirkol2=150,000=150000"}},
        {"1.5 and 2.5 round to even", true, "3", "0", "0", "75", {"odat_kar=15=15", "hesab_kar1=2=2"}},
        {"2.5 rounds to 2", true, "3", "0", "0", "125", {"odat_kar=25=25", "hesab_kar1=2=2"}},
        {"both counts 0 without receipts",
         false,
         "0",
         "0",
         "0",
         "0",
         {"ozv_mablagh_kol=0=0", "shahr_kar=0=0", "band3=0=0", "hesab_kar2=0=0"}},
    };
    int year = 1390;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QString y = QString::number(++year);
        newDocument(QStringLiteral("لارستان"), y);
        set("rosta_cnt", c.rosta);
        set("shahr_cnt", c.shahr);
        if (c.receipts)
            click("fish_chk");
        set("fish_mablagh", c.fish);
        set("fish_mablagh2", c.fish2);
        click("hesab_chk");
        click("ins_btn");
        EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.shown.join('\n').toStdString();
        for (const QString& e : c.expected) {
            const QStringList parts = e.split('=');
            EXPECT_EQ(shown(parts[0]), parts[1]) << parts[0].toStdString();
            EXPECT_EQ(stored(parts[0], "لارستان", y), parts[2]) << parts[0].toStdString();
        }
        EXPECT_EQ(stored("fish", "لارستان", y), c.receipts ? "1" : "0");
        EXPECT_EQ(stored("ozv_mablagh", "لارستان", y), "200000");
        EXPECT_EQ(stored("vartalis_sahm", "لارستان", y), "100000");
    }

    // A half rial: 3 documents of a 1-rial member fee with receipts give shares of 1.5,
    // shown as such and stored whole, to even.
    newDocument(QStringLiteral("لارستان"), "1380");
    set("ozv_mablagh", "1");
    set("rosta_cnt", "3");
    set("shahr_cnt", "0");
    click("fish_chk");
    EXPECT_EQ(shown("sahm_vartalis"), "1.5");
    EXPECT_EQ(shown("band3"), "2");
    click("ins_btn");
    EXPECT_EQ(stored("sahm_vartalis", "لارستان", "1380"), "2");
    EXPECT_EQ(stored("band3", "لارستان", "1380"), "2");
}

TEST_P(FeeScreensTest, InsertChecksCountyAndYearEditDoesNot)
{
    newDocument(QStringLiteral("لارستان"), "1402");
    click("ins_btn");
    click("ins_btn");
    EXPECT_EQ(dialogs.shown, QStringList{fees::kDuplicateDocument});
    EXPECT_EQ(db->scalar("select count(*) from asnad").toInt(), 1);
    // The screen stays in insert mode; another year saves.
    set("sal", "1403");
    dialogs.shown.clear();
    click("ins_btn");
    EXPECT_TRUE(dialogs.shown.isEmpty());
    EXPECT_EQ(screen->documents().recordCount(), 2);

    // Editing the 1403 document onto 1402 is not checked.
    ASSERT_TRUE(screen->documents().locate("sal", "1403"));
    screen->findChild<QAction*>("N2")->trigger();
    EXPECT_TRUE(entry().findChild<QPushButton*>("ins_btn")->isHidden());
    EXPECT_FALSE(entry().findChild<QPushButton*>("edit_btn")->isHidden());
    set("sal", "1402");
    set("shahr_kar", "777");
    click("edit_btn");
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.shown.join('\n').toStdString();
    EXPECT_EQ(db->scalar("select count(*) from asnad where sal='1402'").toInt(), 2);
    EXPECT_EQ(db->scalar("select sum(shahr_kar) from asnad").toLongLong(), 777);
}

TEST_P(FeeScreensTest, SettingsAreReadAtEachShowingAndTheReceiptBoxEnablesItsFields)
{
    newDocument(QStringLiteral("لارستان"), "1402");
    EXPECT_EQ(shown("ozv_mablagh"), "200,000");
    EXPECT_EQ(shown("vartalis_sahm"), "100,000");
    EXPECT_EQ(shown("sabt_sahm"), "100,000");
    EXPECT_EQ(shown("ozv_cnt"), "5");
    EXPECT_GE(city()->findText(gz::Larestan), 0);
    EXPECT_EQ(city()->currentText(), "لارستان");
    for (const char* f : {"fish_name", "fish_no", "fish_dat", "fish_mablagh", "fish_name2", "fish_mablagh2"})
        EXPECT_FALSE(field(f)->isEnabled()) << f;
    click("fish_chk");
    for (const char* f : {"fish_name", "fish_no", "fish_dat", "fish_mablagh", "fish_name2", "fish_mablagh2"})
        EXPECT_TRUE(field(f)->isEnabled()) << f;
    click("ins_btn");

    // New settings show at the next showing, also when editing a document saved before.
    removeSettingValue(*db, lists::FeePerMember, "200000");
    addSettingValue(*db, lists::FeePerMember, "300001");
    removeSettingValue(*db, lists::MemberCount, "5");
    addSettingValue(*db, lists::MemberCount, "7");
    screen->findChild<QAction*>("N2")->trigger();
    entry().applyShowingSteps();
    EXPECT_TRUE(field("fish_mablagh")->isEnabled());
    EXPECT_EQ(shown("ozv_mablagh"), "300,001");
    EXPECT_EQ(shown("vartalis_sahm"), "150,000"); // 150000.5 to even
    EXPECT_EQ(shown("ozv_cnt"), "7");
    click("edit_btn");
    EXPECT_EQ(stored("ozv_mablagh", "لارستان", "1402"), "300001");
    EXPECT_EQ(stored("ozv_cnt", "لارستان", "1402"), "7");
}

TEST_P(FeeScreensTest, ConversionErrorNamesTheFieldAndChangesNothing)
{
    newDocument(QStringLiteral("لارستان"), "1402");
    set("rosta_cnt", "3");
    set("shahr_cnt", "2");
    click("hesab_chk");
    ASSERT_EQ(shown("shahr_kar"), "1,200,000");
    set("rosta_cnt", "");
    set("ozv_mablagh", "1");
    click("hesab_chk");
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_TRUE(dialogs.shown[0].contains("تعداد سند روستايي")) << dialogs.shown[0].toStdString();
    EXPECT_EQ(shown("shahr_kar"), "1,200,000");
    EXPECT_EQ(shown("ozv_mablagh_kol"), "500,000");
    // A sixteen-digit amount is refused by name as well.
    set("rosta_cnt", "3");
    set("ozv_mablagh", "1234567890123456");
    click("hesab_chk");
    ASSERT_EQ(dialogs.shown.size(), 2);
    EXPECT_TRUE(dialogs.shown[1].contains("15 رقم"));
    EXPECT_EQ(shown("shahr_kar"), "1,200,000");
}

TEST_P(FeeScreensTest, OtherExpertsRowsAreAttachedOnSaveAndDeletedWithTheDocument)
{
    // A row left under key 0 by an older version stays where it is.
    const qint64 legacy = db->insert("sayerkar", {{"asnad_id", 0}, {"nam", "قديمي"}, {"mablagh", 9}});
    newDocument(QStringLiteral("لارستان"), "1402");
    set("sayer_kar", "300000");
    entry().openExperts();
    EXPECT_EQ(modal.last(), "Tasnad_sayer_kar");
    Tasnad_sayer_kar& experts = entry().expertsDialog();
    EXPECT_EQ(experts.findChild<QLabel*>("asnad_id")->text(), "0");
    EXPECT_EQ(experts.findChild<QLabel*>("sayer_mablagh")->text(), "300000");
    EXPECT_EQ(experts.rows().recordCount(), 1) << "a row older versions left under key 0 is shown, to be deleted";
    auto* darsad = experts.findChild<QLineEdit*>("darsad");
    experts.findChild<QLineEdit*>("nam")->setText("فاطمه محمدي");
    darsad->setText("40");
    EXPECT_EQ(experts.findChild<QLineEdit*>("mablagh")->text(), "120,000");
    experts.findChild<QPushButton*>("ins_btn")->click();
    darsad->setText("");
    EXPECT_EQ(experts.findChild<QLineEdit*>("mablagh")->text(), "0");
    experts.findChild<QLineEdit*>("nam")->setText("حذفي");
    darsad->setText("5");
    experts.findChild<QPushButton*>("ins_btn")->click();
    EXPECT_EQ(experts.rows().recordCount(), 3);
    // Deleting from the pop-up removes the current row at once.
    experts.findChild<QAction*>("N1")->trigger();
    EXPECT_EQ(experts.rows().recordCount(), 2);

    click("ins_btn");
    const qint64 id = db->scalar("select id from asnad where sal='1402'").toLongLong();
    EXPECT_EQ(db->scalar("select count(*) from sayerkar where asnad_id=?", {id}).toInt(), 1);
    EXPECT_EQ(db->scalar("select mablagh from sayerkar where asnad_id=?", {id}).toLongLong(), 120000);
    EXPECT_EQ(db->scalar("select asnad_id from sayerkar where id=?", {legacy}).toLongLong(), 0);

    // Edit mode: the dialog works on the document's id and lists its row.
    screen->findChild<QAction*>("N2")->trigger();
    entry().openExperts();
    EXPECT_EQ(experts.findChild<QLabel*>("asnad_id")->text(), QString::number(id));
    EXPECT_EQ(experts.rows().recordCount(), 1);

    // Deleting the document with the password deletes its rows too.
    dialogs.inputs.enqueue("4321");
    screen->findChild<QAction*>("N3")->trigger();
    EXPECT_EQ(db->scalar("select count(*) from asnad").toInt(), 0);
    EXPECT_EQ(db->scalar("select count(*) from sayerkar").toInt(), 1);
}

TEST_P(FeeScreensTest, OtherExpertsBeforeAndAfterTheFirstSaveAllBelongToTheDocument)
{
    const qint64 legacy = db->insert("sayerkar", {{"asnad_id", 0}, {"nam", "قديمي"}, {"mablagh", 9}});
    Tasnad_sayer_kar& experts = entry().expertsDialog();
    auto addExpert = [&](const QString& name, const QString& percent) {
        experts.findChild<QLineEdit*>("nam")->setText(name);
        experts.findChild<QLineEdit*>("darsad")->setText(percent);
        experts.findChild<QPushButton*>("ins_btn")->click();
    };
    auto listed = [&] {
        QStringList names;
        ResultSet& rows = experts.rows();
        for (int r = 1; r <= rows.recordCount(); ++r) {
            rows.moveTo(r);
            names << rows.asString("nam");
        }
        return names;
    };

    newDocument(QStringLiteral("لارستان"), "1403");
    set("sayer_kar", "300000");
    entry().openExperts();
    addExpert(QStringLiteral("فاطمه محمدي"), "40");
    click("ins_btn");
    const qint64 id = db->scalar("select id from asnad where sal='1403'").toLongLong();
    ASSERT_GT(id, 0);
    ASSERT_TRUE(entry().insertMode()) << "the screen stays for the next document";

    // After the first save the dialog works on the document's id at once.
    entry().openExperts();
    EXPECT_EQ(experts.findChild<QLabel*>("asnad_id")->text(), QString::number(id));
    EXPECT_EQ(listed(), QStringList{QStringLiteral("فاطمه محمدي")});
    addExpert(QStringLiteral("حسن رضايي"), "10");
    EXPECT_EQ(listed(), (QStringList{QStringLiteral("فاطمه محمدي"), QStringLiteral("حسن رضايي")}));
    EXPECT_EQ(db->scalar("select count(*) from sayerkar where asnad_id=?", {id}).toInt(), 2);
    EXPECT_EQ(db->scalar("select count(*) from sayerkar where asnad_id=0").toInt(), 1);

    // The document opened for editing shows both.
    screen->search();
    ASSERT_TRUE(screen->findChild<QAction*>("N2")->isEnabled());
    ASSERT_TRUE(screen->documents().locate("id", id));
    screen->findChild<QAction*>("N2")->trigger();
    entry().openExperts();
    EXPECT_EQ(experts.findChild<QLabel*>("asnad_id")->text(), QString::number(id));
    EXPECT_EQ(listed().size(), 2);

    // A further new document's dialog lists the row left under key 0, which can go there.
    newDocument(QStringLiteral("فسا"), "1403");
    entry().openExperts();
    EXPECT_EQ(experts.findChild<QLabel*>("asnad_id")->text(), "0");
    EXPECT_EQ(listed(), QStringList{QStringLiteral("قديمي")});
    experts.rows().moveTo(1);
    experts.findChild<QAction*>("N1")->trigger();
    EXPECT_EQ(db->scalar("select count(*) from sayerkar where id=?", {legacy}).toInt(), 0);

    // Deleting the document deletes both of its rows.
    screen->search();
    ASSERT_TRUE(screen->documents().locate("id", id));
    dialogs.inputs.enqueue("4321");
    screen->findChild<QAction*>("N3")->trigger();
    EXPECT_EQ(db->scalar("select count(*) from asnad where id=?", {id}).toInt(), 0);
    EXPECT_EQ(db->scalar("select count(*) from sayerkar").toInt(), 0);
}

TEST_P(FeeScreensTest, FiltersCountAndBand1)
{
    auto add = [&](const QString& county, const QString& year, int fish) {
        db->insert("asnad", {{"city", county},
                             {"sal", year},
                             {"fish", fish},
                             {"rosta_cnt", 2},
                             {"shahr_cnt", 0},
                             {"ozv_mablagh", 100},
                             {"ozv_cnt", 1},
                             {"vartalis_sahm", 50},
                             {"sabt_sahm", 50}});
    };
    add("نجف آباد", "1400", 0);
    add("آباده", "1405", 1);
    add("آباده", "1399", 0);
    add("شيراز", "1401", 0);
    screen->search();
    EXPECT_EQ(screen->findChild<QLabel*>("cnt")->text(), "4");

    tickFilter("CheckBox2");
    screen->findChild<QComboBox*>("city")->setEditText("آباد");
    screen->search();
    EXPECT_EQ(screen->findChild<QLabel*>("cnt")->text(), "3");
    tickFilter("CheckBox1");
    screen->findChild<QLineEdit*>("sal")->setText("140");
    screen->search();
    EXPECT_EQ(screen->findChild<QLabel*>("cnt")->text(), "2");
    EXPECT_EQ(screen->totals().band1, "200"); // 2 × (100 + 100) / 2, the document without receipts
    tickFilter("CheckBox3");
    auto* fish = screen->findChild<QLineEdit*>("fish");
    EXPECT_TRUE(fish->isEnabled());
    fish->setText("1");
    screen->search();
    EXPECT_EQ(screen->findChild<QLabel*>("cnt")->text(), "1");
    EXPECT_EQ(screen->documents().asString("sal"), "1405");
    EXPECT_EQ(screen->totals().band1, "200") << "the receipt filter does not narrow band1";
    EXPECT_EQ(screen->totals().value("ro"), "2");
    // Unticking drops a filter.
    tickFilter("CheckBox2", false);
    tickFilter("CheckBox3", false);
    screen->search();
    EXPECT_EQ(screen->findChild<QLabel*>("cnt")->text(), "3");
}

TEST_P(FeeScreensTest, DeleteAsksForThePasswordAndRightsFollowThePage)
{
    db->insert("asnad", {{"city", "لارستان"}, {"sal", "1402"}, {"fish", 0}});
    screen->search();
    dialogs.inputs.enqueue("1234");
    screen->findChild<QAction*>("N3")->trigger();
    EXPECT_EQ(db->scalar("select count(*) from asnad").toInt(), 1);
    EXPECT_TRUE(dialogs.shown.isEmpty());
    ASSERT_EQ(dialogs.asked.size(), 1);
    EXPECT_EQ(dialogs.asked[0], "Delete Password |  لطفا رمز حذف را وارد نماييد: لارستان 1402");
    screen->findChild<QAction*>("N3")->trigger(); // cancelled: the preset "?"
    EXPECT_EQ(db->scalar("select count(*) from asnad").toInt(), 1);
    dialogs.inputs.enqueue("4321");
    screen->findChild<QAction*>("N3")->trigger();
    EXPECT_EQ(db->scalar("select count(*) from asnad").toInt(), 0);
    EXPECT_EQ(screen->findChild<QLabel*>("cnt")->text(), "1") << "the count is not recomputed";

    screen->applyRights({true, false, false, true});
    EXPECT_TRUE(screen->findChild<QAction*>("N1")->isEnabled());
    EXPECT_FALSE(screen->findChild<QAction*>("N2")->isEnabled());
    EXPECT_FALSE(screen->findChild<QAction*>("N3")->isEnabled());
    EXPECT_TRUE(screen->findChild<QAction*>("N4")->isEnabled());
}

TEST_P(FeeScreensTest, ExportReadsBackWithItsHeaders)
{
    db->insert(
        "asnad",
        {{"city", " لارستان "}, {"sal", "1402"}, {"fish", 1}, {"rosta_cnt", 12}, {"fish_mablagh", 999999999999999LL}});
    screen->search();
    const QTemporaryDir out;
    dialogs.files.enqueue(out.filePath("asnad.xlsx")); // where the clerk saves it
    const QString path = screen->exportList();
    ASSERT_FALSE(path.isEmpty()) << dialogs.shown.join('\n').toStdString();
    const QJsonValue rows = tarvest::testing::runPythonJson(R"(
import json, sys, openpyxl
ws = openpyxl.load_workbook(sys.argv[1]).active
print(json.dumps([["" if c is None else str(c) for c in row] for row in ws.iter_rows(values_only=True)]))
)",
                                                            {path});
    const QJsonArray table = rows.toArray();
    ASSERT_EQ(table.size(), 2);
    const QJsonArray head = table[0].toArray();
    EXPECT_EQ(head[0].toString(), "شناسه");
    EXPECT_EQ(head[1].toString(), "شهرستان");
    EXPECT_EQ(head[2].toString(), "سال");
    EXPECT_EQ(head[3].toString(), "تعداد اسناد روستايي");
    EXPECT_EQ(head[4].toString(), "تعداد اسناد شهري");
    EXPECT_EQ(head[5].toString(), "داراي فيش ثبت");
    EXPECT_EQ(head[6].toString(), "fish_name");
    const QJsonArray row = table[1].toArray();
    EXPECT_EQ(row[1].toString(), "لارستان");
    EXPECT_EQ(row[3].toString(), "12");
    EXPECT_EQ(row[9].toString(), "999999999999999");
}

TEST_P(FeeScreensTest, FourPrintsReadBackFromPdf)
{
    addSettingValue(*db, fees::holderListName("مدير کل"), "محمدرضا حسيني");
    db->insert("asnad", {{"city", "لارستان"},
                         {"sal", "1402"},
                         {"fish", 0},
                         {"rosta_cnt", 3},
                         {"shahr_cnt", 2},
                         {"ozv_mablagh_kol", 500000},
                         {"shahr_modir", 300000},
                         {"shahr_kar", 1200000},
                         {"moaven", 300000},
                         {"sayer_kar", 300000},
                         {"band3", 250000},
                         {"modirkol2", 75000},
                         {"moaven2", 50000},
                         {"ozv_mablagh", 200000},
                         {"ozv_cnt", 5},
                         {"vartalis_sahm", 100000},
                         {"sabt_sahm", 100000}});
    db->insert("asnad", {{"city", "شهرکرد"},
                         {"sal", "1402"},
                         {"fish", 1},
                         {"fish_mablagh", 1000000},
                         {"odat_modir", 350000},
                         {"moaven1", 35000},
                         {"modirkol1", 52500}});
    db->insert("sayerkar", {{"asnad_id", 1}, {"nam", "فاطمه محمدي"}, {"darsad", 40}, {"mablagh", 120000}});
    screen->search();
    auto printed = [&](const report::Layout& layout, const ResultSet* data) {
        const QString pdf = dir.filePath("p.pdf");
        report::renderToPdf(layout, data, pdf);
        std::string problems;
        for (const report::FitProblem& fp : report::fitProblems(layout, data))
            if (fp.kind != report::FitKind::Shrunk)
                problems += (fp.element + QLatin1Char(' ') + fp.what + QLatin1Char('\n')).toStdString();
        EXPECT_EQ(problems, "") << layout.name().toStdString();
        return foldPrintedText(pdfToText(pdf));
    };
    const auto f = [](const QString& s) { return foldPrintedText(s); };

    // The document list: the rows, the totals row and the three tables.
    const QString list = printed(feeprints::documentList(screen->totals(), "1403/05/01"), &screen->documents());
    EXPECT_TRUE(list.contains(f("ليست اسناد شهري و روستايي")));
    EXPECT_TRUE(list.contains("1403/05/01"));
    EXPECT_TRUE(list.contains(f("مجمـــــــــــــــوع")));
    // Amounts grouped in threes.
    EXPECT_TRUE(list.contains("650,000")) << "the manager's net receipt";
    EXPECT_TRUE(list.contains("3,000,000")) << "band1";
    EXPECT_TRUE(list.contains(f("عنوان") + f("مبلغ کل"))) << "the tables' heading row";

    // The tables alone.
    const QString tables = printed(feeprints::distributionTables(screen->totals()), nullptr);
    EXPECT_TRUE(tables.contains(f("پرداختي ها به تفکيک منابع در اسناد")));
    // The headings stand exactly in the layout; in the PDF every word of each is printed
    // (a text reader orders the runs of digits and slashes, and wrapped cells, its own way).
    const report::Layout tablesLayout = feeprints::distributionTables(screen->totals());
    // Slashes and brackets are left out: a reader mirrors brackets in right-to-left text.
    const QRegularExpression marks(QStringLiteral("[/()]"));
    const QString noSlash = QString(tables).remove(marks);
    for (const QString& heading : {fees::headingM1(), fees::headingM3(), fees::headingMB(),
                                   QStringLiteral("سهم 20 درصد حق کارشناسي مطابق بند \"ج\" بخشنامه 1386/8-8/م   "
                                                  "(توزيع بين عوامل مرتبط)")}) {
        bool inLayout = false;
        for (const report::Band& band : tablesLayout.bands())
            for (const report::Element& e : band.elements)
                inLayout = inLayout || e.text == heading;
        EXPECT_TRUE(inLayout) << heading.toStdString();
        for (QString word : heading.split(' ', Qt::SkipEmptyParts))
            EXPECT_TRUE(noSlash.contains(f(word.remove(marks)))) << word.toStdString();
    }
    EXPECT_TRUE(tables.contains("75,000"));
    EXPECT_TRUE(tables.contains("52,500"));

    // By source: the roster with its holder, the counties and the person.
    feeprints::PreparedStatement bySource = feeprints::statementBySource(*session.db());
    const QString source = printed(bySource.layout, bySource.rows.get());
    EXPECT_TRUE(source.contains(f("ليست پرداخت ها")));
    EXPECT_TRUE(source.contains(f("محمدرضا حسيني")));
    EXPECT_TRUE(source.contains(f("فاطمه محمدي")));
    EXPECT_TRUE(source.contains(f("لارستان")));
    QStringList sources;
    for (bySource.rows->first(); !bySource.rows->eof(); bySource.rows->next())
        if (!sources.contains(bySource.rows->asString("manba")))
            sources << bySource.rows->asString("manba");
    EXPECT_EQ(sources, (QStringList{fees::headingM1(), fees::headingMJ(), fees::headingMB(), fees::headingM3()}));
    EXPECT_EQ(bySource.rows->recordCount(), 22 + 4 + 1);

    // By post (A5): one line per post, the deputy's three headings merged.
    feeprints::PreparedStatement byPost = feeprints::statementByPost(*session.db());
    const QString post = printed(byPost.layout, byPost.rows.get());
    EXPECT_TRUE(post.contains(f("دريافتي اشخاص از اسناد")));
    ASSERT_TRUE(byPost.rows->locate("semat", "معاون عمران روستايي"));
    EXPECT_EQ(byPost.rows->asInteger("mablagh"), 385000);
    EXPECT_TRUE(post.contains("385000"));
    EXPECT_FALSE(post.contains(f("مدير شهرستان ها")));
    EXPECT_EQ(byPost.layout.paper(), report::Paper::A5);
}

TARVEST_FOR_EACH_DATABASE(FeeScreensTest);

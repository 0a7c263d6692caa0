// The phone book screen on both databases: the search at every change of its text
// (keheh written as kaf, yet entries of either kaf and yeh found), the radio group that
// waits for the next change, adding with the duplicate name message, an empty name
// accepted once and never listed, a delete that puts the row back into the fields, and
// the page rights from the main menu.
#include "admin/phonebookscreen.h"
#include "app/mainwindow.h"
#include "app/shell.h"
#include "db/provision.h"
#include "db/session.h"
#include "fakedialogs.h"
#include "testdb.h"
#include "typing.h"
#include "widgets/screen.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <tuple>

using namespace tarvest;

namespace {

class PhoneScreenTest : public test::DbTest {
protected:
    void SetUp() override
    {
        DbTest::SetUp();
        if (!db)
            return;
        ASSERT_TRUE(provisionSucceeded(provision(*db)));
        for (const auto& [name, tel, cmt] :
             {std::tuple{"دبيرخانه استان", "031-33221100", "داخلي 100"}, std::tuple{"كريمي", "0913-1111111", "کارشناس"},
              std::tuple{"کریمی", "0913-2222222", "مدیر"}, std::tuple{"امور زمين", "031-33221105", "ساختمان دوم"}})
            db->insert("phone", {{"name", name}, {"tel", tel}, {"cmt", cmt}});
        session.setDatabase(tmp->openAnother());
        session.login = LoginState{"1", "admin", "admin"};
        screen = std::make_unique<Tphone>(session);
        screen->applyRights({true, false, true, true});
        screen->prepare();
    }
    template <typename T>
    T* control(const char* name)
    {
        T* w = screen->findChild<T*>(name);
        EXPECT_TRUE(w) << name;
        return w;
    }
    QLineEdit* src() { return control<QLineEdit>("src"); }
    QStringList listed()
    {
        QStringList names;
        ResultSet& rs = screen->entries();
        for (int r = 0; r < rs.recordCount(); ++r)
            names << rs.textAt(r, rs.fieldIndex("name"));
        return names;
    }
    QString count() { return control<QLabel>("cnt")->text(); }
    void fill(const QString& name, const QString& tel, const QString& cmt)
    {
        control<QLineEdit>("name")->setText(name);
        control<QLineEdit>("tel")->setText(tel);
        control<QLineEdit>("cmt")->setText(cmt);
    }
    void add() { control<QPushButton>("ins_btn")->click(); }

    test::FakeDialogs dialogs;
    Session session;
    std::unique_ptr<Tphone> screen;
};

} // namespace

TEST_P(PhoneScreenTest, TypingSearchesAtEveryChangeAndFindsBothKafsAndYehs)
{
    EXPECT_EQ(listed().size(), 4) << "opening lists every entry";
    EXPECT_EQ(count(), "4");
    src()->setFocus();
    test::typeText(src(), "ک");
    EXPECT_EQ(src()->text(), "ك") << "the typed keheh is written as the Arabic kaf";
    test::typeText(src(), "ری");
    EXPECT_EQ(src()->text(), "كری");
    QStringList names = listed();
    names.sort();
    EXPECT_EQ(names, (QStringList{"كريمي", "کریمی"})) << "stored with either kaf and either yeh";
    EXPECT_EQ(count(), "2");
    src()->setText("امور");
    EXPECT_EQ(listed(), QStringList{"امور زمين"});
    src()->clear();
    EXPECT_EQ(count(), "4");
}

TEST_P(PhoneScreenTest, TheRadioGroupChoosesTheColumnAtTheNextChangeOfTheText)
{
    src()->setText("3322");
    EXPECT_TRUE(listed().isEmpty()) << "no name holds the digits";
    EXPECT_EQ(count(), "0");
    control<QRadioButton>("RadioGroup1_1")->click();
    EXPECT_TRUE(listed().isEmpty()) << "choosing the column alone does not search";
    EXPECT_EQ(screen->searchColumn(), PhoneColumn::Tel);
    src()->setText("33221");
    EXPECT_EQ(listed(), (QStringList{"امور زمين", "دبيرخانه استان"}));
    control<QRadioButton>("RadioGroup1_2")->click();
    src()->setText("مدير"); // stored with the Persian yeh
    EXPECT_EQ(listed(), QStringList{"کریمی"});
    src()->setText("کارشناس");
    EXPECT_EQ(src()->text(), "كارشناس");
    EXPECT_EQ(listed(), QStringList{"كريمي"}) << "found although stored with the keheh";
}

TEST_P(PhoneScreenTest, AddingRefusesADuplicateNameAndAcceptsAnEmptyNameOnceWithoutListingIt)
{
    fill("دبيرخانه استان", "1", "");
    add();
    EXPECT_EQ(dialogs.shown.takeLast(), "نام تکراري است");
    EXPECT_EQ(db->scalar("SELECT count(*) FROM phone").toInt(), 4);

    fill("اداره نارون", "031-47778899", "شهرستان");
    add();
    EXPECT_EQ(dialogs.shown.takeLast(), "ثبت شد");
    EXPECT_TRUE(listed().contains("اداره نارون")) << "the search runs again";
    EXPECT_EQ(count(), "5");

    fill("", "0912", "بي نام");
    add();
    EXPECT_EQ(dialogs.shown.takeLast(), "ثبت شد");
    EXPECT_EQ(listed().size(), 5) << "an entry without a name is never listed";
    control<QRadioButton>("RadioGroup1_2")->click();
    src()->setText("بي نام");
    EXPECT_TRUE(listed().isEmpty());
    fill("", "0935", "");
    add();
    EXPECT_EQ(dialogs.shown.takeLast(), "نام تکراري است");
    EXPECT_EQ(db->scalar("SELECT count(*) FROM phone WHERE name = ''").toInt(), 1);

    // The fields hold at most their columns' widths.
    EXPECT_EQ(control<QLineEdit>("name")->maxLength(), 100);
    EXPECT_EQ(control<QLineEdit>("tel")->maxLength(), 40);
    EXPECT_EQ(control<QLineEdit>("cmt")->maxLength(), 150);
}

TEST_P(PhoneScreenTest, DeletePutsTheRowBackIntoTheFieldsAndRemovesItAlone)
{
    src()->setText("امور");
    ASSERT_EQ(listed(), QStringList{"امور زمين"});
    auto* grid = control<QTableView>("DBGrid1");
    grid->setCurrentIndex(grid->model()->index(0, screen->entries().fieldIndex("name")));
    control<QTableView>("DBGrid1")->findChild<QAction*>("N1")->trigger();
    EXPECT_EQ(dialogs.shown.takeLast(), "حذف شد");
    EXPECT_EQ(control<QLineEdit>("name")->text(), "امور زمين");
    EXPECT_EQ(control<QLineEdit>("tel")->text(), "031-33221105");
    EXPECT_EQ(control<QLineEdit>("cmt")->text(), "ساختمان دوم");
    EXPECT_TRUE(listed().isEmpty());
    EXPECT_EQ(db->scalar("SELECT count(*) FROM phone").toInt(), 3);

    // "ثبت" adds it again.
    add();
    EXPECT_EQ(dialogs.shown.takeLast(), "ثبت شد");
    EXPECT_EQ(listed(), QStringList{"امور زمين"});
    EXPECT_EQ(db->scalar("SELECT count(*) FROM phone").toInt(), 4);
}

TEST_P(PhoneScreenTest, TheMenuChecksThePageAndAppliesItsRights)
{
    QTemporaryDir dir;
    Shell shell(std::make_unique<QSettings>(dir.filePath("tarvest.conf"), QSettings::IniFormat),
                dir.filePath("embedded.sqlite"));
    const qint64 reza = db->insert("users", {{"us", "reza"}, {"lev", "city"}});
    shell.session().setDatabase(tmp->openAnother());
    shell.session().login = LoginState{QString::number(reza), "city", "reza"};
    QStringList modal;
    setModalShower([&](QWidget* w) { modal << w->objectName(); });
    Tmain& main = shell.main();

    main.menuAction("phone")->trigger();
    EXPECT_EQ(dialogs.shown.takeLast(), "شما دسترسي به اين صفحه را نداريد");
    EXPECT_TRUE(modal.isEmpty());

    db->insert("dastrasi",
               {{"prs_id", reza}, {"page_name", "phone"}, {"darj", 0}, {"virayesh", 0}, {"hazf", 1}, {"namayesh", 1}});
    auto* phones = main.findChild<Tphone*>();
    ASSERT_NE(phones, nullptr);
    phones->findChild<QLineEdit*>("src")->setText("كريمي");
    phones->findChild<QLineEdit*>("name")->setText("مانده");
    main.menuAction("phone")->trigger();
    ASSERT_EQ(modal, QStringList{"Tphone"});
    EXPECT_EQ(phones->findChild<QLineEdit*>("src")->text(), "");
    EXPECT_EQ(phones->findChild<QLineEdit*>("name")->text(), "");
    EXPECT_EQ(phones->entries().recordCount(), 4);
    EXPECT_FALSE(phones->findChild<QPushButton*>("ins_btn")->isEnabled());
    EXPECT_TRUE(phones->findChild<QTableView*>("DBGrid1")->findChild<QAction*>("N1")->isEnabled());
    setModalShower({});
}

TARVEST_FOR_EACH_DATABASE(PhoneScreenTest);

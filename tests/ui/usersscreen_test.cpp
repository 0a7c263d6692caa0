// The users screen and its entry dialog: search, new and edited users with their
// messages, the administrator kept out of reach, deleting, the page-right boxes with
// the default profile, the county list and its buttons, and the export without
// passwords; on a real database of each kind.
#include "admin/userentry.h"
#include "admin/usersscreen.h"
#include "common/password.h"
#include "db/login.h"
#include "db/provision.h"
#include "db/session.h"
#include "db/settinglists.h"
#include "fakedialogs.h"
#include "gazetteer.h"
#include "pyhelpers.h"
#include "testdb.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSet>
#include <QTableView>
#include <QTemporaryDir>

using namespace tarvest;

namespace {

class UsersScreenTest : public test::DbTest {
protected:
    void SetUp() override
    {
        DbTest::SetUp();
        if (!db)
            return;
        ASSERT_TRUE(provisionSucceeded(provision(*db)));
        test::insertGazetteer(*db);
        for (const QString& group : {QStringLiteral("کارشناس"), QStringLiteral("مدير")})
            db->insert("setting", {{"component", lists::UserGroup}, {"cmt", group}});
        for (const QString& status : {QStringLiteral("فعال"), QStringLiteral("غير فعال")})
            db->insert("setting", {{"component", lists::UserStatus}, {"cmt", status}});
        session.setDatabase(tmp->openAnother());
        session.login = LoginState{"1", "admin", "admin"};
        setModalShower([this](QWidget* w) { modal << w->objectName(); });
        screen = std::make_unique<Tusers>(session);
        screen->prepare();
    }
    void TearDown() override
    {
        screen.reset();
        setModalShower({});
    }
    template <typename T>
    T* control(const char* name)
    {
        T* w = screen->findChild<T*>(name);
        EXPECT_TRUE(w) << name;
        return w;
    }
    template <typename T>
    T* entryControl(const char* name)
    {
        T* w = screen->entryScreen().findChild<T*>(name);
        EXPECT_TRUE(w) << name;
        return w;
    }
    // Adds a user through the menu and the dialog, as the administrator does.
    void addThroughDialog(const QString& us, const QString& ps, const QString& nam = QStringLiteral("کاربر"))
    {
        screen->newUser();
        entryControl<QLineEdit>("us")->setText(us);
        entryControl<QLineEdit>("ps")->setText(ps);
        entryControl<QLineEdit>("nam")->setText(nam);
        entryControl<QComboBox>("lev")->setEditText("city");
        entryControl<QComboBox>("ostan")->setEditText(test::gz::Fars);
        entryControl<QPushButton>("ins_btn")->click();
    }
    void select(const QString& us)
    {
        ASSERT_TRUE(screen->users().locate("us", us)) << us.toStdString();
        control<QTableView>("DBGrid1")->selectRow(screen->users().recNo() - 1);
        screen->showRightsOfCurrent();
    }
    QStringList names()
    {
        QStringList out;
        for (int r = 0; r < screen->users().recordCount(); ++r)
            out << screen->users().textAt(r, screen->users().fieldIndex("us"));
        return out;
    }
    qint64 idOf(const QString& us) { return db->scalar("SELECT id FROM users WHERE us = ?", {us}).toLongLong(); }
    QStringList listed()
    {
        QStringList out;
        auto* list = control<QListWidget>("list_loc");
        for (int i = 0; i < list->count(); ++i)
            out << list->item(i)->text();
        return out;
    }
    QAction* listItem(const char* name) { return control<QListWidget>("list_loc")->findChild<QAction*>(name); }

    test::FakeDialogs dialogs;
    Session session;
    QStringList modal;
    std::unique_ptr<Tusers> screen;
};

TEST_P(UsersScreenTest, NewUsersAreSavedOnceWhateverTheCaseAndTheDialogStaysOpen)
{
    EXPECT_EQ(control<QLabel>("cnt")->text(), "1");
    addThroughDialog("Ali.Karimi", "pass1");
    EXPECT_EQ(modal, QStringList{"Tusers_ins"});
    EXPECT_TRUE(entryControl<QPushButton>("ins_btn")->isVisibleTo(&screen->entryScreen()));
    EXPECT_FALSE(entryControl<QPushButton>("edit_btn")->isVisibleTo(&screen->entryScreen()));
    EXPECT_EQ(entryControl<QComboBox>("status")->currentText(), "فعال");
    EXPECT_EQ(dialogs.shown.takeLast(), "ثبت شد");
    EXPECT_EQ(names(), (QStringList{"admin", "Ali.Karimi"}));

    for (const QString& again : {QString("ali.karimi"), QString("ALI.KARIMI  ")}) {
        entryControl<QLineEdit>("us")->setText(again);
        entryControl<QPushButton>("ins_btn")->click();
        EXPECT_EQ(dialogs.shown.takeLast(), "خطا، نام كاربري تكراري است");
    }
    EXPECT_EQ(db->scalar("SELECT count(*) FROM users").toInt(), 2);
    const QString stored = db->scalar("SELECT ps FROM users WHERE us = 'Ali.Karimi'").toString();
    EXPECT_TRUE(isPasswordHash(stored));
    EXPECT_TRUE(findUser(*db, "ali.karimi", "pass1").has_value());
    EXPECT_EQ(db->scalar("SELECT cmt FROM log ORDER BY id DESC").toString(),
              " ثبت کاربر جديد Ali.Karimi " + test::gz::Fars);
    // The grid never holds the password.
    EXPECT_EQ(screen->users().fieldIndex("ps"), -1);
}

TEST_P(UsersScreenTest, AnEditShowsAnEmptyPasswordWhichKeepsTheCurrentOne)
{
    addThroughDialog("1234567890", "old");
    select("1234567890");
    modal.clear();
    screen->editUser();
    EXPECT_EQ(modal, QStringList{"Tusers_ins"});
    EXPECT_TRUE(entryControl<QLineEdit>("ps")->text().isEmpty());
    EXPECT_EQ(entryControl<QLineEdit>("us")->text(), "1234567890");
    EXPECT_FALSE(entryControl<QPushButton>("ins_btn")->isVisibleTo(&screen->entryScreen()));
    entryControl<QLineEdit>("nam")->setText("نام تازه");
    entryControl<QPushButton>("edit_btn")->click();
    EXPECT_TRUE(findUser(*db, "1234567890", "old").has_value());
    EXPECT_EQ(db->scalar("SELECT nam FROM users WHERE us = '1234567890'").toString(), "نام تازه");
    ASSERT_TRUE(screen->users().locate("us", "1234567890"));
    EXPECT_EQ(screen->users().asString("nam"), "نام تازه");

    select("1234567890");
    screen->editUser();
    entryControl<QLineEdit>("ps")->setText("new");
    entryControl<QPushButton>("edit_btn")->click();
    EXPECT_TRUE(findUser(*db, "1234567890", "new").has_value());
    EXPECT_FALSE(findUser(*db, "1234567890", "old").has_value());

    // Renaming onto another user's name in another case is refused.
    addThroughDialog("Reza", "x");
    select("1234567890");
    screen->editUser();
    entryControl<QLineEdit>("us")->setText("reza");
    entryControl<QPushButton>("edit_btn")->click();
    EXPECT_EQ(dialogs.shown.takeLast(), "خطا، نام كاربري تكراري است");
    EXPECT_EQ(idOf("reza"), 0);
}

TEST_P(UsersScreenTest, TheAdministratorCanBeNeitherEditedNorDeleted)
{
    select("admin");
    modal.clear();
    screen->editUser();
    EXPECT_TRUE(modal.isEmpty());
    EXPECT_EQ(dialogs.shown.takeLast(), "امکان ويرايش مدير نيست");
    screen->deleteUser();
    EXPECT_EQ(dialogs.shown.takeLast(), "خطا، امكان حذف مدير نيست");
    EXPECT_TRUE(dialogs.asked.isEmpty());
    EXPECT_EQ(idOf("admin"), 1);
}

TEST_P(UsersScreenTest, DeletingAsksFirstAndTakesTheUsersRightsAlong)
{
    addThroughDialog("1234567890", "p", "علي");
    const qint64 id = idOf("1234567890");
    db->insert("dastrasi2", {{"user_id", id}, {"cmt", test::gz::Markazi}});
    select("1234567890");
    screen->savePageRights();
    dialogs.answers.enqueue(Dialogs::Answer::No);
    screen->deleteUser();
    EXPECT_EQ(dialogs.asked.takeLast(), "آيا از حذف اين کاربر اطمينان داريد؟1234567890 علي " + test::gz::Fars);
    EXPECT_EQ(idOf("1234567890"), id);

    dialogs.answers.enqueue(Dialogs::Answer::Yes);
    screen->deleteUser();
    EXPECT_EQ(dialogs.shown.takeLast(), "حذف شد");
    EXPECT_EQ(names(), QStringList{"admin"});
    EXPECT_EQ(db->scalar("SELECT count(*) FROM dastrasi WHERE prs_id = ?", {id}).toInt(), 0);
    EXPECT_EQ(db->scalar("SELECT count(*) FROM dastrasi2 WHERE user_id = ?", {id}).toInt(), 0);
}

TEST_P(UsersScreenTest, TheBoxesShowTheDefaultProfileAndSaveAllElevenPages)
{
    addThroughDialog("1234567890", "p");
    select("1234567890");
    control<QCheckBox>("phone_show")->setChecked(true);
    auto* lev = control<QComboBox>("lev");
    lev->setCurrentIndex(lev->findText("city"));
    EXPECT_FALSE(control<QCheckBox>("phone_show")->isChecked()) << "a level change clears the boxes";
    auto* semat = control<QComboBox>("semat");
    semat->setCurrentIndex(semat->findText("کارشناس"));
    struct Box {
        const char* name;
        bool ticked;
    };
    for (const Box& b :
         {Box{"komision_ins", true}, Box{"komision_edit", true}, Box{"komision_del", false}, Box{"komision_show", true},
          Box{"ghimat_ins", true}, Box{"ghimat_edit", false}, Box{"kom_z_show", true}, Box{"abadiha_ins", false},
          Box{"abadiha_show", true}, Box{"set_show", false}, Box{"karbaran_show", false}})
        EXPECT_EQ(control<QCheckBox>(b.name)->isChecked(), b.ticked) << b.name;
    EXPECT_EQ(db->scalar("SELECT count(*) FROM dastrasi WHERE prs_id = ?", {idOf("1234567890")}).toInt(), 0)
        << "the boxes change only on screen";

    control<QPushButton>("ins_btn2")->click();
    EXPECT_EQ(dialogs.shown.takeLast(), "ثبت شد");
    const qint64 id = idOf("1234567890");
    EXPECT_EQ(db->scalar("SELECT count(*) FROM dastrasi WHERE prs_id = ?", {id}).toInt(), 11);
    EXPECT_EQ(
        db->scalar("SELECT darj + virayesh + hazf + namayesh FROM dastrasi WHERE prs_id = ? AND page_name = 'seting'",
                   {id})
            .toInt(),
        0);

    // Selecting another user and back shows what was stored.
    select("admin");
    EXPECT_TRUE(control<QCheckBox>("set_ins")->isChecked());
    select("1234567890");
    EXPECT_TRUE(control<QCheckBox>("kom_z_ins")->isChecked());
    EXPECT_FALSE(control<QCheckBox>("set_ins")->isChecked());
}

TEST_P(UsersScreenTest, TheCountyListIsBuiltWithItsButtonsAndSavedAsItStands)
{
    addThroughDialog("1234567890", "p");
    select("1234567890");
    const qint64 id = idOf("1234567890");
    auto* ostan = control<QComboBox>("ostan");
    ostan->setCurrentIndex(ostan->findText(test::gz::Fars));
    control<QPushButton>("SpeedButton2")->click();
    const QStringList all = listed();
    EXPECT_EQ(QSet<QString>(all.begin(), all.end()), (QSet<QString>{test::gz::Markazi, test::gz::Larestan}));
    EXPECT_EQ(all.size(), 2);
    auto* county = control<QComboBox>("shahrestan");
    county->setCurrentIndex(county->findText(test::gz::Larestan));
    control<QPushButton>("SpeedButton3")->click();
    EXPECT_EQ(listed().size(), 3);
    control<QListWidget>("list_loc")->setCurrentRow(0);
    listItem("remove_county")->trigger();
    EXPECT_EQ(listed().size(), 2);
    const QStringList kept = listed();
    control<QPushButton>("ins_btn")->click();
    EXPECT_EQ(dialogs.shown.takeLast(), "دسترسي ها بروز شد");
    EXPECT_EQ(loadCounties(*db, id), kept);

    select("admin");
    EXPECT_TRUE(listed().isEmpty());
    select("1234567890");
    EXPECT_EQ(listed(), kept);
    listItem("remove_all_counties")->trigger();
    control<QPushButton>("ins_btn")->click();
    EXPECT_TRUE(loadCounties(*db, id).isEmpty());
}

TEST_P(UsersScreenTest, TheSearchCountsAndListsTheUsersOfTheEnabledFilters)
{
    addThroughDialog("1234567890", "p", "علي کريمي");
    addThroughDialog("5550001", "p", "رضا");
    auto* nameBox = control<QCheckBox>("CheckBox3");
    nameBox->setChecked(true);
    control<QLineEdit>("nam")->setText("کريم");
    control<QPushButton>("src_btn")->click();
    EXPECT_EQ(control<QLabel>("cnt")->text(), "1");
    EXPECT_EQ(names(), QStringList{"1234567890"});
    nameBox->setChecked(false);
    control<QCheckBox>("CheckBox4")->setChecked(true);
    control<QComboBox>("lev2")->setEditText("city");
    control<QPushButton>("src_btn")->click();
    EXPECT_EQ(names(), (QStringList{"1234567890", "5550001"}));
    EXPECT_EQ(control<QLabel>("cnt")->text(), "2");
}

TEST_P(UsersScreenTest, TheRightsOfThePageEnableTheCommandsAndButtons)
{
    screen->applyRights({false, true, false, true});
    for (const char* b : {"ins_btn2", "ins_btn", "SpeedButton2", "SpeedButton3"})
        EXPECT_FALSE(control<QPushButton>(b)->isEnabled()) << b;
    EXPECT_FALSE(control<QAction>("N1")->isEnabled());
    EXPECT_TRUE(control<QAction>("N2")->isEnabled());
    EXPECT_FALSE(control<QAction>("N3")->isEnabled());
    modal.clear();
    screen->newUser();
    EXPECT_TRUE(modal.isEmpty());
}

TEST_P(UsersScreenTest, TheExportHasTheHeadingsAndTrimmedValuesButNoPassword)
{
    addThroughDialog("1234567890  ", "secret-one", " علي ");
    const QTemporaryDir out;
    dialogs.files.enqueue(out.filePath("karbaran.xlsx")); // where the clerk saves it
    screen->exportList();
    const QString path = screen->lastExport();
    ASSERT_FALSE(path.isEmpty()) << dialogs.shown.join('\n').toStdString();
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
    EXPECT_EQ(heading, (QStringList{"شناسه", "نام کاربري-کد ملي", "نام و نام خانوادگي", "ver", "سطح", "استان", "سمت",
                                    "موبايل", "status"}));
    const QString all = QString::fromUtf8(QJsonDocument(table).toJson());
    EXPECT_FALSE(all.contains("پسورد"));
    EXPECT_FALSE(all.contains("argon2"));
    EXPECT_FALSE(all.contains("secret-one"));
    QStringList user;
    for (const QJsonValue& v : table[2].toArray())
        user << v.toString();
    EXPECT_EQ(user.value(1), "1234567890");
    EXPECT_EQ(user.value(2), "علي");
    EXPECT_EQ(user.value(6), QString());
    EXPECT_EQ(user.value(8), "فعال");
}

TARVEST_FOR_EACH_DATABASE(UsersScreenTest);

} // namespace

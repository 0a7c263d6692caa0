// The start-up shell on both databases: login path, connection settings, password
// change, page checks, the message caption and closing the program.
#include "app/changepass.h"
#include "app/login.h"
#include "app/mainwindow.h"
#include "app/serversettings.h"
#include "app/shell.h"
#include "common/clock.h"
#include "common/password.h"
#include "common/workstation.h"
#include "db/connection.h"
#include "db/database.h"
#include "db/provision.h"
#include "fakedialogs.h"
#include "testdb.h"
#include "widgets/screen.h"

#include <QAction>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSqlQuery>
#include <QTimer>

using namespace tarvest;
using namespace tarvest::test;

namespace {

// Saved settings that lead the Local profile to the test's database.
ConnectionSettings settingsFor(const TempDatabase& tmp)
{
    ConnectionSettings s;
    if (tmp.backend() == Backend::Sqlite) {
        s.server = tmp.location();
        s.authentication = "Access";
        return s;
    }
    const PgParams p = PgParams::parse(tmp.location());
    s.server = p.host + ":" + QString::number(p.port);
    s.database = p.database;
    s.userName = p.user;
    s.password = p.password;
    s.authentication = "SQL Server";
    return s;
}

class ShellTest : public DbTest {
protected:
    void SetUp() override
    {
        DbTest::SetUp();
        if (!db)
            return;
        ASSERT_TRUE(provisionSucceeded(provision(*db)));
        Workstation::setFixed("10.0.0.9", "dabirkhaneh");
        Clock::setFixed(QDateTime(QDate(2025, 3, 21), QTime(8, 0)));
        reza = db->insert("users", {{"us", "reza"}, {"ps", hashPassword("s3cret")}, {"lev", "city"},
                                    {"nam", QStringLiteral("رضا")}, {"status", QStringLiteral("فعال")}});
        auto* store = new QSettings(dir.filePath("tarvest.conf"), QSettings::IniFormat);
        settingsFor(*tmp).write(*store);
        shell = std::make_unique<Shell>(std::unique_ptr<QSettings>(store), dir.filePath("embedded.sqlite"));
        shell->setQuitHandler([this] { ++quits; });
        setModalShower([this](QWidget* w) { modal << w->objectName(); });
    }
    void TearDown() override
    {
        shell.reset();
        setModalShower({});
        Workstation::setFixed({}, {});
        Clock::setFixed(std::nullopt);
    }

    void typeLogin(const QString& user, const QString& password)
    {
        shell->login().findChild<QLineEdit*>("us")->setText(user);
        shell->login().findChild<QLineEdit*>("ps")->setText(password);
    }
    void pressLogin() { shell->login().findChild<QPushButton*>("BitBtn1")->click(); }
    QStringList logTexts()
    {
        QStringList out;
        QSqlQuery q = db->exec("SELECT cmt FROM log ORDER BY id");
        while (q.next())
            out << q.value(0).toString();
        return out;
    }

    QTemporaryDir dir;
    FakeDialogs dialogs;
    std::unique_ptr<Shell> shell;
    QStringList modal;
    int quits = 0;
    qint64 reza = 0;
};

TEST_P(ShellTest, LoginPathRefusesThenAdmitsAndRemembersTheUser)
{
    shell->login().show();
    EXPECT_TRUE(shell->login().findChild<QLineEdit*>("us")->text().isEmpty());

    typeLogin("reza", "wrong");
    pressLogin();
    EXPECT_EQ(dialogs.shown.takeLast(), QStringLiteral("کلمه يا رمز عبور اشتباه است"));

    db->update("users", {{"status", QStringLiteral("غير فعال")}}, reza);
    typeLogin("reza", "s3cret");
    pressLogin();
    EXPECT_EQ(dialogs.shown.takeLast(), QStringLiteral("کاربر شما غير فعال شده است"));
    EXPECT_TRUE(logTexts().isEmpty());

    db->update("users", {{"status", QStringLiteral("فعال")}}, reza);
    db->insert("payamha", {{"rec_prs_id", reza}, {"show_dat", QString("")}});
    pressLogin();
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.shown.join('\n').toStdString();
    EXPECT_TRUE(shell->main().isVisible());
    EXPECT_FALSE(shell->login().isVisible());
    EXPECT_EQ(shell->main().menuAction("payam")->text(), QStringLiteral("پيام*"));
    EXPECT_EQ(shell->session().login.level, "city");
    EXPECT_EQ(logTexts(), QStringList{QStringLiteral("  ورود موفق به نرم افزار  reza رضا")});
    EXPECT_EQ(quits, 0);

    // The next start offers the last user's name and waits for the password.
    Shell next(std::make_unique<QSettings>(dir.filePath("tarvest.conf"), QSettings::IniFormat));
    next.setQuitHandler([] {});
    next.login().show();
    EXPECT_EQ(next.login().findChild<QLineEdit*>("us")->text(), "reza");
}

TEST_P(ShellTest, OutdatedProgramOffersTheNewPackageAndEnds)
{
    db->exec("UPDATE users SET ver = '2' WHERE us = 'admin'");
    db->insert("zamaem", {{"cmt", QStringLiteral("آخرين نسخه نرم افزار")}, {"pictype", ".deb"}, {"pic", QByteArray("package")}});
    const QString target = dir.filePath("chosen");
    dialogs.files.enqueue(target);
    shell->login().show();
    typeLogin("reza", "s3cret");
    pressLogin();
    ASSERT_FALSE(dialogs.shown.isEmpty());
    EXPECT_EQ(dialogs.shown.first(),
              QStringLiteral("اين نسخه قديمي است و قابل اجرا نيست. جديدترين نسخه  -  2 در ادامه نسخه جديد را دانلود و استفاده نماييد "));
    EXPECT_EQ(dialogs.suggestedNames, QStringList{"Tarvest1404_01_01"});
    QFile saved(target + ".deb");
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll(), QByteArray("package"));
    EXPECT_EQ(quits, 1);
    EXPECT_FALSE(shell->main().isVisible());
    EXPECT_EQ(logTexts().size(), 1);
    EXPECT_TRUE(logTexts().first().contains(QStringLiteral("ورود ناموفق")));
}

// The font help file is written whole or not at all: a folder that cannot take it gives the
// reason and opens nothing; a good one replaces the earlier copy and opens it.
TEST_P(ShellTest, FontHelpIsSavedSafelyAndOpened)
{
    db->insert("zamaem", {{"cmt", QStringLiteral("راهنمايي حل مشکل نمايش فونت ها")}, {"pictype", ".pdf"},
                          {"pic", QByteArray(100000, 'h')}});
    shell->login().show();
    const QString missing = dir.filePath("no-such-folder/help");
    dialogs.files.enqueue(missing);
    shell->login().fetchFontHelp();
    ASSERT_FALSE(dialogs.shown.isEmpty());
    EXPECT_TRUE(dialogs.shown.last().startsWith(QStringLiteral("خطا! فايل"))) << dialogs.shown.last().toStdString();
    EXPECT_TRUE(dialogs.shown.last().contains(QStringLiteral("پوشه وجود ندارد"))) << dialogs.shown.last().toStdString();
    EXPECT_TRUE(dialogs.opened.isEmpty());

    const QString target = dir.filePath("help");
    QFile earlier(target + ".pdf");
    ASSERT_TRUE(earlier.open(QIODevice::WriteOnly));
    earlier.write(QByteArray(200000, 'o')); // a longer earlier copy: nothing of it may remain
    earlier.close();
    dialogs.files.enqueue(target);
    shell->login().fetchFontHelp();
    EXPECT_EQ(dialogs.opened, QStringList{target + ".pdf"});
    QFile saved(target + ".pdf");
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll(), QByteArray(100000, 'h'));
}

TEST_P(ShellTest, PasswordChangeFromTheLoginWindow)
{
    shell->login().show();
    typeLogin("reza", "wrong");
    shell->login().openPasswordChange();
    EXPECT_EQ(dialogs.shown.takeLast(), QStringLiteral("كلمه و رمز عبور را در صفحه فعلي درست وارد نماييد"));

    typeLogin("reza", "s3cret");
    shell->login().openPasswordChange();
    Tchange_pass& change = shell->changePass();
    EXPECT_TRUE(change.isVisible());
    EXPECT_FALSE(shell->login().isVisible());

    struct Case { QString first, second, message; };
    const Case refused[] = {
        {"", "", QStringLiteral("كلمه عبور صحيح نيست")},
        {"new", "", QStringLiteral("كلمه عبور جديد همخواني ندارد")},
        {"new", "other", QStringLiteral("كلمه عبور جديد همخواني ندارد")},
    };
    for (const Case& c : refused) {
        change.findChild<QLineEdit*>("Edit1")->setText(c.first);
        change.findChild<QLineEdit*>("Edit2")->setText(c.second);
        change.change();
        EXPECT_EQ(dialogs.shown.takeLast(), c.message);
    }
    change.findChild<QLineEdit*>("Edit1")->setText("n3w");
    change.findChild<QLineEdit*>("Edit2")->setText("n3w");
    change.change();
    EXPECT_EQ(dialogs.shown.takeLast(), QStringLiteral("كلمه عبور تغيير يافت"));
    EXPECT_TRUE(shell->login().isVisible());
    EXPECT_FALSE(change.isVisible());

    // The login window still holds the old password: the change is not repeated with it.
    change.change();
    EXPECT_NE(dialogs.shown.takeLast(), QStringLiteral("كلمه عبور تغيير يافت"));

    typeLogin("reza", "n3w");
    pressLogin();
    EXPECT_TRUE(shell->main().isVisible());
}

struct RecordingTarget : AccessTarget {
    std::optional<PageRights> applied;
    void applyRights(const PageRights& r) override { applied = r; }
};

TEST_P(ShellTest, PageCheckAppliesRightsAndRefuses)
{
    shell->session().setDatabase(tmp->openAnother());
    shell->session().login = LoginState{QString::number(reza), "city", "reza"};
    Tmain& main = shell->main();
    const QString refusal = QStringLiteral("شما دسترسي به اين صفحه را نداريد");

    RecordingTarget target;
    EXPECT_FALSE(main.checkPageAccess("seting", &target));
    EXPECT_EQ(dialogs.shown.takeLast(), refusal);
    EXPECT_FALSE(target.applied.has_value()) << "no row: nothing applied";

    db->insert("dastrasi", {{"prs_id", reza}, {"page_name", "seting"}, {"darj", 1}, {"virayesh", 0}, {"hazf", 1}, {"namayesh", 0}});
    EXPECT_FALSE(main.checkPageAccess("seting", &target));
    EXPECT_EQ(dialogs.shown.takeLast(), refusal);
    ASSERT_TRUE(target.applied.has_value()) << "flags are applied even when viewing is refused";
    EXPECT_TRUE(target.applied->insert);
    EXPECT_TRUE(target.applied->remove);

    db->exec("UPDATE dastrasi SET darj = 0, namayesh = 1 WHERE prs_id = ?", {reza});
    EXPECT_TRUE(main.checkPageAccess("seting", &target));
    EXPECT_FALSE(target.applied->insert);
    EXPECT_TRUE(dialogs.shown.isEmpty());

    // The attachments command admits the user named admin only, whatever the rights.
    db->insert("dastrasi", {{"prs_id", reza}, {"page_name", "zamaem"}, {"darj", 1}, {"virayesh", 1}, {"hazf", 1}, {"namayesh", 1}});
    main.menuAction("zamaem")->trigger();
    EXPECT_EQ(dialogs.shown.takeLast(), QStringLiteral("اين صفحه فقط توسط مدير قابل رويت است"));

    // The settings command: the insert right decides the "ثبت" button.
    main.menuAction("seting")->trigger();
    EXPECT_EQ(modal.takeLast(), "Tsetting");
    auto* settings = main.findChild<QWidget*>("Tsetting");
    ASSERT_NE(settings, nullptr);
    EXPECT_FALSE(settings->findChild<QPushButton*>("ins_btn")->isEnabled());
    db->exec("UPDATE dastrasi SET darj = 1 WHERE prs_id = ? AND page_name = 'seting'", {reza});
    main.menuAction("seting")->trigger();
    EXPECT_TRUE(settings->findChild<QPushButton*>("ins_btn")->isEnabled());
    modal.clear();

    // The case register opens after its page check, with the user's rights on its menu.
    db->insert("dastrasi", {{"prs_id", reza}, {"page_name", "komision"}, {"darj", 0}, {"virayesh", 1}, {"hazf", 0}, {"namayesh", 1}});
    main.menuAction("komision")->trigger();
    EXPECT_EQ(modal.takeLast(), "Tkomision_rep");
    auto* cases = main.findChild<QWidget*>("Tkomision_rep");
    ASSERT_NE(cases, nullptr);
    EXPECT_FALSE(cases->findChild<QAction*>("N1")->isEnabled());
    EXPECT_TRUE(cases->findChild<QAction*>("N2")->isEnabled());
    main.menuAction("hesab")->trigger();
    EXPECT_EQ(modal.takeLast(), "Thesab");

    // The log viewer opens without a page check.
    main.menuAction("log")->trigger();
    EXPECT_EQ(modal.takeLast(), "Tlog");

    // A command whose screen is not there yet tells so instead of failing.
    main.menuAction("backup")->trigger();
    EXPECT_TRUE(dialogs.shown.takeLast().contains(QStringLiteral("پشتيبان گيري")));
}

TEST_P(ShellTest, NewMessagesRefreshTheCaptionAndAreAnnouncedOnce)
{
    shell->login().show();
    typeLogin("reza", "s3cret");
    pressLogin();
    Tmain& main = shell->main();
    EXPECT_EQ(main.menuAction("payam")->text(), QStringLiteral("پيام"));
    EXPECT_TRUE(main.messageTimer()->isActive());
    EXPECT_EQ(main.messageTimer()->interval(), 5000);

    main.checkMessages();
    EXPECT_TRUE(dialogs.shown.isEmpty());
    db->insert("payamha", {{"rec_prs_id", reza}, {"show_dat", QString("")}});
    main.checkMessages();
    EXPECT_EQ(main.menuAction("payam")->text(), QStringLiteral("پيام*"));
    EXPECT_EQ(dialogs.shown.takeLast(), QStringLiteral("شما اين تعداد پيام ناخوانده داريد 1"));
    main.checkMessages();
    EXPECT_TRUE(dialogs.shown.isEmpty()) << "the same count is not announced again";
    db->exec("UPDATE payamha SET show_dat = '1404/01/01'");
    main.checkMessages();
    EXPECT_EQ(main.menuAction("payam")->text(), QStringLiteral("پيام"));
}

TEST_P(ShellTest, ClosingTheMainWindowAsksFirst)
{
    shell->login().show();
    typeLogin("reza", "s3cret");
    pressLogin();
    Tmain& main = shell->main();
    for (Dialogs::Answer a : {Dialogs::Answer::No, Dialogs::Answer::Cancel}) {
        dialogs.answers.enqueue(a);
        main.menuAction("exit")->trigger();
        EXPECT_TRUE(main.isVisible());
        EXPECT_EQ(quits, 0);
    }
    dialogs.answers.enqueue(Dialogs::Answer::Yes);
    main.close();
    EXPECT_EQ(dialogs.asked.last(), QStringLiteral("آيا مي خواهيد از برنامه خارج شويد"));
    EXPECT_EQ(quits, 1);
}

TEST_P(ShellTest, ConnectionSettingsScreenSavesChecksAndProvisions)
{
    Tserver& server = shell->server();
    server.prepare();
    auto* name = server.findChild<QLineEdit*>("SqlServerName");
    auto* database = server.findChild<QLineEdit*>("DataBase");
    auto* user = server.findChild<QLineEdit*>("UserName");
    auto* password = server.findChild<QLineEdit*>("Password");
    EXPECT_EQ(name->text(), settingsFor(*tmp).server) << "opening shows the saved settings";

    // Windows authentication still needs a user name and password.
    server.findChild<QRadioButton*>("rbWindows")->setChecked(true);
    struct Case { QLineEdit* emptied; QString message; };
    const Case checks[] = {
        {name, QStringLiteral("نام سرور را وارد نمائيد")},
        {database, QStringLiteral("نام ديتابيس را وارد نمائيد")},
        {user, QStringLiteral("کلمه کاربري را وارد نمائيد")},
        {password, QStringLiteral("رمز عبور را وارد نمائيد")},
    };
    for (const Case& c : checks) {
        name->setText("srv");
        database->setText("Tarvest");
        user->setText("sa");
        password->setText("pw");
        c.emptied->clear();
        server.save();
        EXPECT_EQ(dialogs.shown.takeLast(), c.message);
    }
    password->setText("pw");
    server.save();
    ConnectionSettings saved = ConnectionSettings::read(shell->store());
    EXPECT_EQ(saved.authentication, "Windows");
    EXPECT_EQ(saved.password, "pw");
    EXPECT_EQ(shell->store().value("TarvestPassword").toString(), scramblePassword("pw"));

    // A database file: only its path is needed; the label makes a new file ready.
    const QString fresh = dir.filePath("office.sqlite");
    QFile(fresh).open(QIODevice::WriteOnly);
    server.findChild<QRadioButton*>("rbAccess")->setChecked(true);
    name->setText(fresh);
    database->clear();
    server.save();
    EXPECT_EQ(ConnectionSettings::read(shell->store()).authentication, "Access");
    server.provision();
    EXPECT_EQ(dialogs.shown.takeLast(), QStringLiteral("همه تنظيمات انجام شد"));
    EXPECT_TRUE(Database::openSqlite(fresh, false)->tableExists("komision"));
    EXPECT_TRUE(modal.isEmpty()) << "the open settings screen is not opened again";

    // A connection that fails shows its message and the settings screen.
    name->setText(dir.filePath("gone.sqlite"));
    server.save();
    shell->login().logIn();
    EXPECT_EQ(dialogs.shown.takeLast(), QStringLiteral("فايل اكسس يافت نشد"));
    EXPECT_EQ(modal, QStringList{"Tserver"});
    EXPECT_EQ(shell->session().db(), nullptr) << "a failed connection never leaves the old one in use";
}

TARVEST_FOR_EACH_DATABASE(ShellTest);

} // namespace

// The start-up shell on both databases: login path, connection settings, password
// change, page checks, the message caption and closing the program.
#include "admin/core/sampledata.h"
#include "app/changepass.h"
#include "app/login.h"
#include "app/mainwindow.h"
#include "app/serversettings.h"
#include "app/shell.h"
#include "cases/caseentry.h"
#include "cases/casesearchscreen.h"
#include "common/clock.h"
#include "common/password.h"
#include "common/workstation.h"
#include "db/connection.h"
#include "db/database.h"
#include "db/provision.h"
#include "fakedialogs.h"
#include "testdb.h"
#include "widgets/entryguard.h"
#include "widgets/screen.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSettings>
#include <QSqlQuery>
#include <QStatusBar>
#include <QStyle>
#include <QTest>
#include <QTimer>
#include <QToolButton>

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
        reza = db->insert("users", {{"us", "reza"},
                                    {"ps", hashPassword("s3cret")},
                                    {"lev", "city"},
                                    {"nam", QStringLiteral("رضا")},
                                    {"status", QStringLiteral("فعال")}});
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
    db->insert("zamaem",
               {{"cmt", QStringLiteral("آخرين نسخه نرم افزار")}, {"pictype", ".deb"}, {"pic", QByteArray("package")}});
    const QString target = dir.filePath("chosen");
    dialogs.files.enqueue(target);
    shell->login().show();
    typeLogin("reza", "s3cret");
    pressLogin();
    ASSERT_FALSE(dialogs.shown.isEmpty());
    EXPECT_EQ(
        dialogs.shown.first(),
        QStringLiteral(
            "اين نسخه قديمي است و قابل اجرا نيست. جديدترين نسخه  -  2 در ادامه نسخه جديد را دانلود و استفاده نماييد "));
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
    db->insert("zamaem", {{"cmt", QStringLiteral("راهنمايي حل مشکل نمايش فونت ها")},
                          {"pictype", ".pdf"},
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

    struct Case {
        QString first, second, message;
    };
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

    db->insert("dastrasi",
               {{"prs_id", reza}, {"page_name", "seting"}, {"darj", 1}, {"virayesh", 0}, {"hazf", 1}, {"namayesh", 0}});
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
    db->insert("dastrasi",
               {{"prs_id", reza}, {"page_name", "zamaem"}, {"darj", 1}, {"virayesh", 1}, {"hazf", 1}, {"namayesh", 1}});
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
    db->insert(
        "dastrasi",
        {{"prs_id", reza}, {"page_name", "komision"}, {"darj", 0}, {"virayesh", 1}, {"hazf", 0}, {"namayesh", 1}});
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

    // The backup opens without a page check too.
    main.menuAction("backup")->trigger();
    EXPECT_EQ(modal.takeLast(), "Tbackup");
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
    struct Case {
        QLineEdit* emptied;
        QString message;
    };
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

TEST_P(ShellTest, EscapeInThePasswordChangeReturnsToTheLogin)
{
    shell->login().show();
    typeLogin("reza", "s3cret");
    shell->login().openPasswordChange();
    Tchange_pass& change = shell->changePass();
    ASSERT_TRUE(change.isVisible());
    QTest::keyClick(change.findChild<QLineEdit*>("Edit1"), Qt::Key_Escape);
    EXPECT_FALSE(change.isVisible());
    EXPECT_TRUE(shell->login().isVisible()) << "the program goes on at the login window";
    EXPECT_EQ(quits, 0);

    // "انصراف" does the same.
    shell->login().openPasswordChange();
    change.findChild<QPushButton*>("BitBtn2")->click();
    EXPECT_TRUE(shell->login().isVisible());
    EXPECT_EQ(quits, 0);
}

TEST_P(ShellTest, EscapeInTheLoginWindowQuitsFromAnyControl)
{
    shell->login().show();
    const char* names[] = {"us", "ps", "Local", "Internet", "BitBtn1"};
    int expected = 0;
    for (const char* name : names) {
        QWidget* w = shell->login().findChild<QWidget*>(name);
        ASSERT_TRUE(w) << name;
        QTest::keyClick(w, Qt::Key_Escape);
        EXPECT_EQ(quits, ++expected) << name;
        shell->login().show();
    }
}

TEST_P(ShellTest, AdminTypedInCapitalsOpensTheAttachmentsAndIsRemembered)
{
    shell->login().show();
    typeLogin("ADMIN", "1");
    pressLogin();
    ASSERT_TRUE(shell->main().isVisible()) << dialogs.shown.join('\n').toStdString();
    EXPECT_EQ(shell->session().login.userName, "admin");
    EXPECT_EQ(shell->lastUser(), "admin");
    shell->main().menuAction("zamaem")->trigger();
    EXPECT_FALSE(dialogs.shown.contains(QStringLiteral("اين صفحه فقط توسط مدير قابل رويت است")));
    EXPECT_EQ(modal.takeLast(), "Tzamaem");
    EXPECT_EQ(logTexts().last(), QStringLiteral("  ورود موفق به نرم افزار  admin "));
}

TEST_P(ShellTest, LoginAndMainWindowShowTheDatabaseTheUserAndTheLevel)
{
    Tlogin& login = shell->login();
    login.show();
    const QString place = GetParam() == Backend::Sqlite ? tmp->location() : PgParams::parse(tmp->location()).database;
    auto* loginInfo = login.findChild<QLabel*>("databaseInfo");
    ASSERT_TRUE(loginInfo);
    EXPECT_TRUE(loginInfo->text().contains(place)) << loginInfo->text().toStdString();
    EXPECT_TRUE(loginInfo->text().contains(GetParam() == Backend::Sqlite ? QStringLiteral("فايل")
                                                                         : QStringLiteral("PostgreSQL")));

    typeLogin("reza", "s3cret");
    pressLogin();
    Tmain& main = shell->main();
    ASSERT_TRUE(main.isVisible());
    const QString database = main.findChild<QLabel*>("databaseInfo")->text();
    EXPECT_TRUE(database.contains(place)) << database.toStdString();
    const QString user = main.findChild<QLabel*>("userInfo")->text();
    EXPECT_TRUE(user.contains("reza")) << user.toStdString();
    EXPECT_TRUE(user.contains("city")) << user.toStdString();
    EXPECT_TRUE(main.statusBar()->isVisibleTo(&main));
}

TEST_P(ShellTest, MainMenuOpensFromTheKeyboard)
{
    shell->login().show();
    typeLogin("reza", "s3cret");
    pressLogin();
    Tmain& main = shell->main();
    ASSERT_TRUE(main.isVisible());
    EXPECT_EQ(main.menuBar()->activeAction(), nullptr);
    QTest::keyClick(&main, Qt::Key_F10);
    ASSERT_NE(main.menuBar()->activeAction(), nullptr);
    EXPECT_EQ(main.menuBar()->activeAction()->objectName(), "komision");
    // The arrow keys walk the menu (right to left: the next item is to the left).
    QTest::keyClick(main.menuBar(), Qt::Key_Left);
    EXPECT_EQ(main.menuBar()->activeAction()->objectName(), "asnad");
    QTest::keyClick(main.menuBar(), Qt::Key_Escape);

    // Alt pressed and released alone does the same.
    main.menuBar()->setActiveAction(nullptr);
    main.setFocus();
    QTest::keyPress(&main, Qt::Key_Alt, Qt::AltModifier);
    QTest::keyRelease(&main, Qt::Key_Alt, Qt::NoModifier);
    ASSERT_NE(main.menuBar()->activeAction(), nullptr);
}

TEST_P(ShellTest, ScreensSizedFromTheMainWindowStayInsideTheScreen)
{
    shell->session().setDatabase(tmp->openAnother());
    shell->session().login = LoginState{QString::number(reza), "city", "reza"};
    db->insert(
        "dastrasi",
        {{"prs_id", reza}, {"page_name", "komision"}, {"darj", 1}, {"virayesh", 1}, {"hazf", 1}, {"namayesh", 1}});
    Tmain& main = shell->main();
    const QRect area = main.screen()->availableGeometry();
    main.resize(area.width() + 400, area.height() + 300); // a main window larger than the screen
    main.menuAction("komision")->trigger();
    auto* cases = main.findChild<QWidget*>("Tkomision_rep");
    ASSERT_TRUE(cases);
    const int titleBar = cases->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, cases);
    // A window's position is its frame's: the title bar lies between it and the contents.
    EXPECT_GE(cases->y(), area.top());
    EXPECT_LE(cases->y() + titleBar + cases->height(), area.top() + area.height());
    EXPECT_GE(cases->x(), area.left());
    EXPECT_LE(cases->x() + cases->width(), area.left() + area.width());
}

TEST_P(ShellTest, ConnectionSettingsNamePostgreSqlChooseAFileAndTestTheConnection)
{
    Tserver& server = shell->server();
    server.prepare();
    auto* name = server.findChild<QLineEdit*>("SqlServerName");
    auto* database = server.findChild<QLineEdit*>("DataBase");
    auto* user = server.findChild<QLineEdit*>("UserName");
    auto* password = server.findChild<QLineEdit*>("Password");
    auto* serverCaption = server.findChild<QLabel*>("LabelSqlServerName");
    for (const char* kind : {"rbSQL", "rbWindows"}) {
        server.findChild<QRadioButton*>(kind)->setChecked(true);
        EXPECT_TRUE(server.findChild<QRadioButton*>(kind)->text().contains("PostgreSQL")) << kind;
        EXPECT_TRUE(serverCaption->text().contains("PostgreSQL"));
        EXPECT_TRUE(database->isEnabled() && user->isEnabled() && password->isEnabled());
        EXPECT_TRUE(server.findChild<QLabel*>("serverHint")->text().contains(QStringLiteral("درگاه")));
        EXPECT_FALSE(server.findChild<QToolButton*>("chooseFile")->isVisibleTo(&server));
    }

    // The file kind: its own caption, a chooser, the server-only fields off.
    server.findChild<QRadioButton*>("rbAccess")->setChecked(true);
    EXPECT_EQ(serverCaption->text(), QStringLiteral("فايل بانک اطلاعاتي :"));
    EXPECT_FALSE(database->isEnabled() || user->isEnabled() || password->isEnabled());
    auto* chooser = server.findChild<QToolButton*>("chooseFile");
    ASSERT_TRUE(chooser->isVisibleTo(&server));
    const QString file = dir.filePath("chosen.sqlite");
    Database::openSqlite(file, true);
    dialogs.files.enqueue(file);
    chooser->click();
    EXPECT_EQ(name->text(), file);
    EXPECT_TRUE(server.testConnection());
    EXPECT_TRUE(dialogs.shown.takeLast().contains(file));
    name->setText(dir.filePath("missing.sqlite"));
    EXPECT_FALSE(server.testConnection());
    EXPECT_TRUE(dialogs.shown.takeLast().startsWith(QStringLiteral("خطا! فايل بانک اطلاعاتي يافت نشد")));

    // A server: what went wrong, in Persian.
    server.findChild<QRadioButton*>("rbSQL")->setChecked(true);
    struct Case {
        QString server, database, user, password, message;
    };
    QList<Case> cases = {
        {"127.0.0.1:1", "x", "x", "x", QStringLiteral("سرور اتصال را نپذيرفت")},
        {"no-such-host.invalid", "x", "x", "x", QStringLiteral("نام سرور شناخته نشد")},
    };
    if (GetParam() == Backend::Postgres) {
        const PgParams p = PgParams::parse(tmp->location());
        const QString at = p.host + ":" + QString::number(p.port);
        cases << Case{at, p.database, p.user, p.password, QStringLiteral("اتصال برقرار شد")}
              << Case{at, "no_such_database_here", p.user, p.password, QStringLiteral("بانک اطلاعاتي با اين نام")}
              << Case{at, p.database, "no_such_role_here", "x", QStringLiteral("نام کاربري يا رمز عبور پذيرفته نشد")};
    }
    for (const Case& c : cases) {
        name->setText(c.server);
        database->setText(c.database);
        user->setText(c.user);
        password->setText(c.password);
        server.testConnection();
        ASSERT_FALSE(dialogs.shown.isEmpty());
        EXPECT_TRUE(dialogs.shown.takeLast().contains(c.message))
            << c.server.toStdString() << " " << c.database.toStdString();
    }
}

TEST_P(ShellTest, ProvisioningFailureIsToldInPersianByTheTablesPurpose)
{
    // Something else already carries the name of the users' table (in a file of its own,
    // whichever database the office used before).
    const QString file = dir.filePath("odd.sqlite");
    Database::openSqlite(file, true)->exec("CREATE VIEW users AS SELECT 1 AS a");
    ConnectionSettings s;
    s.server = file;
    s.authentication = "Access";
    s.write(shell->store());
    shell->server().provision();
    ASSERT_FALSE(dialogs.shown.isEmpty());
    const QString told = dialogs.shown.takeLast();
    EXPECT_TRUE(told.startsWith(QStringLiteral("خطا!"))) << told.toStdString();
    EXPECT_TRUE(told.contains(QStringLiteral("جدول كاربران (users): ساخته نشد"))) << told.toStdString();
    EXPECT_FALSE(told.contains(": failed:")) << told.toStdString();
}

TEST_P(ShellTest, FirstRunOnTheSampleReachesTheCasesAndSavesOne)
{
    fillSampleData(*db);
    shell->login().show();
    typeLogin("admin", "1");
    pressLogin();
    Tmain& main = shell->main();
    ASSERT_TRUE(main.isVisible()) << dialogs.shown.join('\n').toStdString();
    dialogs.shown.clear();

    // Every page the menu checks opens for the new office's administrator.
    for (const char* page :
         {"komision", "seting", "asnad", "ghimat", "arazi", "vagozari", "abadiha", "phone", "karbaran"}) {
        main.menuAction(page)->trigger();
        for (const QString& said : dialogs.shown)
            EXPECT_NE(said, QStringLiteral("شما دسترسي به اين صفحه را نداريد")) << page;
        dialogs.shown.clear();
    }
    auto* cases = main.findChild<Tkomision_rep*>("Tkomision_rep");
    ASSERT_TRUE(cases);
    main.menuAction("komision")->trigger();
    const int before = shell->session().cases.recordCount();
    EXPECT_EQ(before, db->scalar("SELECT count(*) FROM komision").toInt()) << "admin sees every county";

    // A new case of a sample village is saved and found.
    cases->newCase();
    Tkomision& entry = cases->entryScreen();
    auto list = [&](const char* name, const QString& text) { entry.findChild<QComboBox*>(name)->setEditText(text); };
    list("ostan", QStringLiteral("استان نمونه"));
    list("city", QStringLiteral("آبشار"));
    list("rosta", QStringLiteral("گل آباد"));
    list("karbari1", QStringLiteral("كشاورزي"));
    entry.findChild<QLineEdit*>("paper_no")->setText("9999/1");
    entry.saveNew();
    EXPECT_EQ(dialogs.shown.takeLast(), QStringLiteral("ثبت شد"));
    EXPECT_TRUE(cases->search());
    EXPECT_EQ(shell->session().cases.recordCount(), before + 1);
    EXPECT_TRUE(shell->session().cases.locate("paper_no", "9999/1"));
}

TEST_P(ShellTest, LeavingTheProgramWithUnsavedWorkAsksForItsScreenFirst)
{
    fillSampleData(*db);
    shell->login().show();
    typeLogin("admin", "1");
    pressLogin();
    Tmain& main = shell->main();
    ASSERT_TRUE(main.isVisible());
    main.menuAction("komision")->trigger();
    auto* cases = main.findChild<Tkomision_rep*>("Tkomision_rep");
    ASSERT_TRUE(cases);
    cases->newCase();
    Tkomision& entry = cases->entryScreen();
    entry.show();
    auto* paperNo = entry.findChild<QLineEdit*>("paper_no");
    paperNo->setText("9999/7");
    dialogs.asked.clear();

    // Stay: neither the program nor the case screen closes; what was typed stays.
    dialogs.answers.enqueue(Dialogs::Answer::Cancel);
    main.close();
    EXPECT_EQ(dialogs.asked, QStringList{EntryGuard::question()});
    EXPECT_EQ(quits, 0);
    EXPECT_TRUE(main.isVisible());
    EXPECT_TRUE(entry.isVisible());
    EXPECT_EQ(paperNo->text(), "9999/7");

    // Discard, then the program's own question.
    dialogs.answers.enqueue(Dialogs::Answer::No);
    dialogs.answers.enqueue(Dialogs::Answer::Yes);
    main.close();
    EXPECT_EQ(dialogs.asked.last(), QStringLiteral("آيا مي خواهيد از برنامه خارج شويد"));
    EXPECT_EQ(quits, 1);
}

TARVEST_FOR_EACH_DATABASE(ShellTest);

} // namespace

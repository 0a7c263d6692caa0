// The program attachments screen on both databases: the title list, storing with its
// checks (a taken title refused), opening a stored file unchanged into a new file,
// changing the password and deleting; the menu opens it for the administrator, and what
// it stores is what the login offers and the declaration form's signature lookup finds.
#include "admin/attachmentsscreen.h"
#include "admin/core/attachments.h"
#include "app/login.h"
#include "app/mainwindow.h"
#include "app/shell.h"
#include "cases/prints/core/countyprint.h"
#include "common/clock.h"
#include "common/password.h"
#include "db/connection.h"
#include "db/database.h"
#include "db/provision.h"
#include "db/session.h"
#include "fakedialogs.h"
#include "testdb.h"
#include "widgets/screen.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QTableView>
#include <QTemporaryDir>

#include <tuple>

using namespace tarvest;
using namespace tarvest::test;

namespace {

const QString kDuplicate = QStringLiteral("شرح ضميمه تكراري است");
const QString kAskTitle = QStringLiteral("خطا، ابتدا شرح ضميمه را وارد نماييد");
const QString kStored = QStringLiteral("ثبت شد");
const QString kDeleted = QStringLiteral("حذف شد");
const QString kCounty = QStringLiteral("اروميه");

class AttachmentsScreenTest : public DbTest {
protected:
    void SetUp() override
    {
        DbTest::SetUp();
        if (!db)
            return;
        ASSERT_TRUE(provisionSucceeded(provision(*db)));
        for (const QString& county : {kCounty, QStringLiteral("خوي")})
            db->insert("abadiha", {{"shahrestan", county}, {"rosta", "x"}});
        session.setDatabase(tmp->openAnother());
        screen = std::make_unique<Tzamaem>(session);
        screen->prepare();
    }
    template <typename T>
    T* control(const char* name)
    {
        T* w = screen->findChild<T*>(name);
        EXPECT_TRUE(w) << name;
        return w;
    }
    QString file(const QString& name, const QByteArray& bytes)
    {
        QFile f(dir.filePath(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return f.fileName();
    }
    void store(const QString& title, const QString& password, const QString& path)
    {
        auto* combo = control<QComboBox>("Combo_type");
        combo->setCurrentIndex(combo->findText(title));
        control<QLineEdit>("ramz")->setText(password);
        dialogs.files.enqueue(path);
        screen->storeFile();
    }
    // The grid's texts of a column, by its title (without the marks that isolate Latin runs).
    QStringList column(const QString& title)
    {
        QAbstractItemModel* m = control<QTableView>("DBGrid1")->model();
        QStringList out;
        for (int c = 0; c < m->columnCount(); ++c)
            if (m->headerData(c, Qt::Horizontal).toString() == title)
                for (int r = 0; r < m->rowCount(); ++r)
                    out << m->index(r, c).data().toString().remove(QRegularExpression("[\u2066-\u2069]"));
        return out;
    }
    int count() { return db->scalar("SELECT count(*) FROM zamaem").toInt(); }

    Session session;
    FakeDialogs dialogs;
    QTemporaryDir dir;
    std::unique_ptr<Tzamaem> screen;
};

TEST_P(AttachmentsScreenTest, ControlsAndTheFixedTitleList)
{
    EXPECT_EQ(screen->windowTitle(), QStringLiteral("ضمائم برنامه"));
    auto* combo = control<QComboBox>("Combo_type");
    EXPECT_FALSE(combo->isEditable());
    EXPECT_EQ(combo->currentIndex(), -1);
    QStringList items;
    for (int i = 0; i < combo->count(); ++i)
        items << combo->itemText(i);
    EXPECT_EQ(items, attachmentTitles(*db));
    EXPECT_TRUE(items.contains(QStringLiteral("آخرين نسخه نرم افزار")));
    EXPECT_TRUE(items.contains(QStringLiteral("تصوير امضا مدير شهرستان ") + kCounty));
    EXPECT_EQ(control<QPushButton>("image1_btn")->text(), QStringLiteral("انتخاب و ثبت ضميمه (Browse)"));
    EXPECT_EQ(control<QLabel>("Label4")->text(), QStringLiteral("*جهت حذف هر مورد بر روي آن کليک راست نماييد."));
    EXPECT_EQ(control<QLabel>("Label2")->text(), QStringLiteral("*جهت ذخيره هر تصوير بر روي آن كليك نماييد"));
    QStringList menu;
    for (QAction* a : control<QTableView>("DBGrid1")->actions())
        menu << a->text();
    EXPECT_EQ(menu, (QStringList{QStringLiteral("تغيير رمز"), QStringLiteral("حذف")}));
}

TEST_P(AttachmentsScreenTest, StoreChecksTitleAndDuplicateThenOpensTheFileUnchanged)
{
    QByteArray bytes;
    for (int i = 0; i < 50000; ++i)
        bytes.append(char(i % 256));
    const QString title = QStringLiteral("تصوير امضا مدير شهرستان ") + kCounty;

    // No title: the message, the file dialog still comes, nothing stored.
    dialogs.files.enqueue(file("a.jpg", "a"));
    screen->storeFile();
    EXPECT_EQ(dialogs.shown, QStringList{kAskTitle});
    EXPECT_TRUE(dialogs.files.isEmpty());
    EXPECT_EQ(count(), 0);
    dialogs.shown.clear();

    // Cancelling the file dialog stores nothing and says nothing.
    auto* combo = control<QComboBox>("Combo_type");
    combo->setCurrentIndex(combo->findText(title));
    screen->storeFile();
    EXPECT_TRUE(dialogs.shown.isEmpty());
    EXPECT_EQ(count(), 0);

    store(title, "s3cret", file("emza.jpeg", bytes));
    EXPECT_EQ(dialogs.shown, QStringList{kStored});
    EXPECT_EQ(column(QStringLiteral("شرح مدرک")), QStringList{title});
    EXPECT_EQ(column(QStringLiteral("فرمت تصوير")), QStringList{".jpeg"});
    EXPECT_EQ(column(QStringLiteral("رمز")), QStringList{kHasPassword}); // never the password
    dialogs.shown.clear();

    // The same title again: refused, the first one kept.
    store(title, "", file("other.jpg", "other"));
    EXPECT_EQ(dialogs.shown, QStringList{kDuplicate});
    EXPECT_EQ(count(), 1);
    dialogs.shown.clear();

    // A click opens the stored file, unchanged, from a new file with its extension.
    screen->openRow(0);
    screen->openRow(0);
    ASSERT_EQ(dialogs.opened.size(), 2);
    EXPECT_NE(dialogs.opened[0], dialogs.opened[1]);
    for (const QString& path : dialogs.opened) {
        EXPECT_TRUE(path.endsWith(".jpeg")) << path.toStdString();
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(f.readAll(), bytes);
        QFile::remove(path);
    }
    // The declaration form finds the picture with the password.
    EXPECT_EQ(caseprint::signaturePicture(*db, kCounty, "s3cret"), bytes);
    EXPECT_FALSE(caseprint::signaturePicture(*db, kCounty, "?"));
}

TEST_P(AttachmentsScreenTest, ChoosingATitleFiltersThenPasswordChangeAndDelete)
{
    const QString package = attachment::NewestPackage;
    const QString signature = attachment::signatureTitle(kCounty);
    store(package, "", file("tarvest.deb", "deb"));
    store(signature, "old", file("e.jpg", "JPEG"));
    ASSERT_EQ(count(), 2);
    EXPECT_EQ(column(QStringLiteral("رمز")), (QStringList{kNoPassword, kHasPassword}));

    auto* combo = control<QComboBox>("Combo_type");
    combo->setCurrentIndex(combo->findText(signature));
    screen->titleChosen();
    EXPECT_EQ(column(QStringLiteral("شرح مدرک")), QStringList{signature});

    // "تغيير رمز": a masked box titled "Password"; the answer is stored as a hash.
    control<QTableView>("DBGrid1")->setCurrentIndex(control<QTableView>("DBGrid1")->model()->index(0, 1));
    dialogs.inputs.enqueue("new");
    screen->changePasswordOfRow();
    EXPECT_EQ(dialogs.masked, QStringList{QStringLiteral("Password | تغيير رمز")});
    EXPECT_TRUE(isPasswordHash(db->scalar("SELECT ramz FROM zamaem WHERE cmt = ?", {signature}).toString()));
    EXPECT_FALSE(caseprint::signaturePicture(*db, kCounty, "old"));
    EXPECT_EQ(caseprint::signaturePicture(*db, kCounty, "new"), QByteArray("JPEG"));
    // Cancelling keeps it.
    screen->changePasswordOfRow();
    EXPECT_EQ(caseprint::signaturePicture(*db, kCounty, "new"), QByteArray("JPEG"));

    // "حذف" removes the chosen row only, without asking, and lists all again.
    dialogs.shown.clear();
    screen->deleteRow();
    EXPECT_EQ(dialogs.shown, QStringList{kDeleted});
    EXPECT_EQ(dialogs.asked.size(), 2); // the two password boxes, no confirmation
    EXPECT_EQ(column(QStringLiteral("شرح مدرک")), QStringList{package});
    EXPECT_EQ(count(), 1);
}

TARVEST_FOR_EACH_DATABASE(AttachmentsScreenTest);

// Settings that lead the Local profile to the test's database.
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

// The menu opens the screen for the administrator (and the backup screen for anyone); the
// login offers what it stored.
class AttachmentsInTheProgram : public DbTest {
protected:
    void SetUp() override
    {
        DbTest::SetUp();
        if (!db)
            return;
        ASSERT_TRUE(provisionSucceeded(provision(*db)));
        Clock::setFixed(QDateTime(QDate(2025, 3, 21), QTime(8, 0)));
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
        Clock::setFixed(std::nullopt);
    }
    void logIn(const QString& user, const QString& password)
    {
        shell->login().findChild<QLineEdit*>("us")->setText(user);
        shell->login().findChild<QLineEdit*>("ps")->setText(password);
        shell->login().findChild<QPushButton*>("BitBtn1")->click();
    }
    QString file(const QString& name, const QByteArray& bytes)
    {
        QFile f(dir.filePath(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return f.fileName();
    }
    QTemporaryDir dir;
    FakeDialogs dialogs;
    std::unique_ptr<Shell> shell;
    QStringList modal;
    int quits = 0;
};

TEST_P(AttachmentsInTheProgram, StoredPackageAndFontHelpAreWhatTheLoginOffers)
{
    shell->login().show();
    logIn("admin", "1");
    ASSERT_TRUE(shell->main().isVisible()) << dialogs.shown.join('\n').toStdString();
    shell->main().menuAction("zamaem")->trigger();
    ASSERT_EQ(modal, QStringList{"Tzamaem"});
    // The backup command needs no right either.
    shell->main().menuAction("backup")->trigger();
    EXPECT_EQ(modal.takeLast(), "Tbackup");
    auto* screen = shell->main().findChild<Tzamaem*>("Tzamaem");
    ASSERT_TRUE(screen);
    auto* combo = screen->findChild<QComboBox*>("Combo_type");
    for (const auto& [title, name, bytes] :
         {std::tuple{attachment::NewestPackage, QString("tarvest_2.0.deb"), QByteArray("new package")},
          std::tuple{attachment::FontHelp, QString("help.pdf"), QByteArray("%PDF help")}}) {
        combo->setCurrentIndex(combo->findText(title));
        dialogs.files.enqueue(file(name, bytes));
        screen->storeFile();
    }
    EXPECT_EQ(dialogs.shown, (QStringList{kStored, kStored}));

    // The font help link of the login window saves and opens the stored file.
    const QString help = dir.filePath("saved-help");
    dialogs.files.enqueue(help);
    shell->login().fetchFontHelp();
    QFile savedHelp(help + ".pdf");
    ASSERT_TRUE(savedHelp.open(QIODevice::ReadOnly));
    EXPECT_EQ(savedHelp.readAll(), QByteArray("%PDF help"));

    // An outdated program is offered the stored package.
    db->exec("UPDATE users SET ver = '99' WHERE us = 'admin'");
    db->insert("users", {{"us", "reza"},
                         {"ps", hashPassword("s3cret")},
                         {"lev", "city"},
                         {"nam", QStringLiteral("رضا")},
                         {"status", QStringLiteral("فعال")}});
    Shell next(std::make_unique<QSettings>(dir.filePath("tarvest.conf"), QSettings::IniFormat),
               dir.filePath("embedded.sqlite"));
    next.setQuitHandler([] {});
    next.login().show();
    next.login().findChild<QLineEdit*>("us")->setText("reza");
    next.login().findChild<QLineEdit*>("ps")->setText("s3cret");
    const QString package = dir.filePath("chosen");
    dialogs.files.enqueue(package);
    next.login().findChild<QPushButton*>("BitBtn1")->click();
    QFile saved(package + ".deb");
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll(), QByteArray("new package"));
}

TARVEST_FOR_EACH_DATABASE(AttachmentsInTheProgram);

} // namespace

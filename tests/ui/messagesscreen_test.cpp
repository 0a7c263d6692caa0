// The message screen on both databases: sending with the repetition check and with no
// recipient, recipients told apart by id when their entries read the same, the
// administrator's filter and deletions (the selected delete keeps unseen messages,
// the delete of every seen message asks first), the refusals for other users, the
// read-only text of the current message, and the "پيام*" caption after closing.
#include "admin/messagesscreen.h"
#include "app/mainwindow.h"
#include "app/shell.h"
#include "common/clock.h"
#include "db/login.h"
#include "db/provision.h"
#include "db/schema.h"
#include "db/session.h"
#include "db/settinglists.h"
#include "fakedialogs.h"
#include "testdb.h"
#include "widgets/screen.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QItemSelectionModel>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QSettings>
#include <QSqlQuery>
#include <QTableView>
#include <QTemporaryDir>
#include <QToolButton>

using namespace tarvest;

namespace {

const QString kSent = QStringLiteral("ارسال انجام شد");
const QString kAdminOnly = QStringLiteral("حذف فقط توسط مدير سيستم قابل انجام است");
const QString kDeleted = QStringLiteral("حذف شد");

class MessagesScreenTest : public test::DbTest {
protected:
    void SetUp() override
    {
        DbTest::SetUp();
        if (!db)
            return;
        ASSERT_TRUE(provisionSucceeded(provision(*db)));
        Clock::setFixed(QDateTime(QDate(2024, 7, 22), QTime(9, 0))); // 1403/05/01
        admin = db->scalar("SELECT id FROM users WHERE us = 'admin'").toLongLong();
        reza = user("reza", "فارس", "city", "کارشناس", "رضا کریمی");
        // Two users whose entries read the same.
        ali1 = user("ali1", "فارس", "city", "کارشناس", "علي احمدي");
        ali2 = user("ali2", "فارس", "city", "کارشناس", "علي احمدي");
        for (const QString& s : {QStringLiteral("اداري"), QStringLiteral("فوري")})
            db->insert("setting", {{"component", lists::MessageSubject}, {"cmt", s}});
        session.setDatabase(tmp->openAnother());
        setModalShower([this](QWidget* w) { modal << w->objectName(); });
        screen = std::make_unique<Tpayam>(session);
    }
    void TearDown() override
    {
        screen.reset();
        setModalShower({});
        Clock::setFixed(std::nullopt);
    }
    qint64 user(const QString& us, const QString& ostan, const QString& lev, const QString& semat, const QString& nam)
    {
        return db->insert("users", {{"us", us}, {"ostan", ostan}, {"lev", lev}, {"semat", semat}, {"nam", nam}});
    }
    qint64 message(qint64 to, const QString& seen, const QString& subject = "اداري", const QString& text = "متن",
                   const QString& sent = "1403/04/01")
    {
        return db->insert("payamha", {{"send_prs_id", admin},
                                      {"rec_prs_id", to},
                                      {"send_dat", sent},
                                      {"show_dat", seen},
                                      {"mozo", subject},
                                      {"cmt", text.toUtf8()}});
    }
    void logIn(const QString& us, qint64 id)
    {
        session.login = LoginState{QString::number(id), "city", us};
        screen->prepare();
    }
    template <typename T>
    T* control(const char* name)
    {
        T* w = screen->findChild<T*>(name);
        EXPECT_TRUE(w) << name;
        return w;
    }
    QAction* item(const char* name) { return control<QTableView>("DBGrid1")->findChild<QAction*>(name); }
    QListWidget* recipients() { return control<QListWidget>("prs_list"); }
    // Ticks the recipients whose entry holds the text (every one of them).
    void tick(qint64 id)
    {
        for (int i = 0; i < recipients()->count(); ++i)
            if (recipients()->item(i)->data(Qt::UserRole).toLongLong() == id)
                recipients()->item(i)->setCheckState(Qt::Checked);
    }
    void compose(const QString& subject, const QString& text)
    {
        control<QComboBox>("mozo")->setEditText(subject);
        control<QPlainTextEdit>("cmt")->setPlainText(text);
    }
    void send() { control<QToolButton>("BitBtn1")->click(); }
    int count(const QString& sql, const QVariantList& params = {}) { return db->scalar(sql, params).toInt(); }
    int rowOf(qint64 id)
    {
        ResultSet& rs = screen->messages();
        for (int r = 0; r < rs.recordCount(); ++r)
            if (rs.valueAt(r, rs.fieldIndex("id")).toLongLong() == id)
                return r;
        ADD_FAILURE() << "message " << id << " not listed";
        return -1;
    }
    // As a click on the row does: the row alone selected, and current.
    void makeCurrent(qint64 id)
    {
        auto* grid = control<QTableView>("DBGrid1");
        grid->setCurrentIndex(grid->model()->index(rowOf(id), screen->messages().fieldIndex("mozo")));
    }
    void selectAlso(qint64 id)
    {
        auto* grid = control<QTableView>("DBGrid1");
        grid->selectionModel()->select(grid->model()->index(rowOf(id), 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    QList<qint64> stored()
    {
        QList<qint64> out;
        QSqlQuery q = db->exec("SELECT id FROM payamha ORDER BY id");
        while (q.next())
            out << q.value(0).toLongLong();
        return out;
    }

    test::FakeDialogs dialogs;
    Session session;
    QStringList modal;
    std::unique_ptr<Tpayam> screen;
    qint64 admin = 0, reza = 0, ali1 = 0, ali2 = 0;
};

} // namespace

TEST_P(MessagesScreenTest, TheSameSubjectToTheSameRecipientOnOneDayIsStoredOnce)
{
    logIn("reza", reza);
    compose("اداري", "لطفا پرونده را ارسال فرماييد");
    tick(ali1);
    send();
    EXPECT_EQ(dialogs.shown.takeLast(), kSent);
    send();
    EXPECT_EQ(dialogs.shown.takeLast(), kSent) << "the second send still reports";
    EXPECT_EQ(count("SELECT count(*) FROM payamha"), 1);
    {
        // (Closed before the next send: an open read would hold the file's lock.)
        QSqlQuery q = db->exec("SELECT send_prs_id, rec_prs_id, send_dat, show_dat, mozo FROM payamha");
        ASSERT_TRUE(q.next());
        EXPECT_EQ(q.value(0).toLongLong(), reza);
        EXPECT_EQ(q.value(1).toLongLong(), ali1);
        EXPECT_EQ(q.value(2).toString(), "1403/05/01");
        EXPECT_EQ(q.value(3).toString(), "");
        EXPECT_EQ(q.value(4).toString(), "اداري");
    }
    // Subject, text and ticks stay as they were.
    EXPECT_EQ(control<QComboBox>("mozo")->currentText(), "اداري");
    EXPECT_EQ(control<QPlainTextEdit>("cmt")->toPlainText(), "لطفا پرونده را ارسال فرماييد");
    EXPECT_EQ(screen->tickedRecipients(), QList<qint64>{ali1});

    // Another subject the same day is another message.
    control<QComboBox>("mozo")->setEditText("فوري");
    send();
    EXPECT_EQ(count("SELECT count(*) FROM payamha"), 2);
    EXPECT_TRUE(dialogs.errors.isEmpty()) << dialogs.errors.join(" | ").toStdString();
}

TEST_P(MessagesScreenTest, NoRecipientTickedStoresNothingAndReportsTheSend)
{
    logIn("reza", reza);
    compose("اداري", "متن");
    send();
    EXPECT_EQ(dialogs.shown, QStringList{kSent});
    EXPECT_EQ(count("SELECT count(*) FROM payamha"), 0);
}

TEST_P(MessagesScreenTest, TwoUsersWithTheSameEntryEachGetTheirOwnMessage)
{
    logIn("reza", reza);
    QStringList texts;
    for (int i = 0; i < recipients()->count(); ++i)
        texts << recipients()->item(i)->text();
    EXPECT_EQ(texts.count("فارس*city*کارشناس*علي احمدي"), 2);
    EXPECT_TRUE(texts.contains("*city**admin") || texts.contains("*admin**")) << texts.join(" | ").toStdString();

    // Only the second of the two: the first gets nothing.
    tick(ali2);
    compose("اداري", "براي علي دوم");
    send();
    EXPECT_EQ(count("SELECT count(*) FROM payamha WHERE rec_prs_id = ?", {ali2}), 1);
    EXPECT_EQ(count("SELECT count(*) FROM payamha WHERE rec_prs_id = ?", {ali1}), 0);

    // The group box ticks every recipient: each user gets one, the two alike included.
    control<QCheckBox>("CheckBox1")->click();
    EXPECT_EQ(screen->tickedRecipients().size(), recipients()->count());
    control<QComboBox>("mozo")->setEditText("فوري");
    send();
    for (qint64 id : {admin, reza, ali1, ali2})
        EXPECT_EQ(count("SELECT count(*) FROM payamha WHERE rec_prs_id = ? AND mozo = ?", {id, "فوري"}), 1) << id;
    control<QCheckBox>("CheckBox1")->click();
    EXPECT_TRUE(screen->tickedRecipients().isEmpty());
}

TEST_P(MessagesScreenTest, ASubjectLongerThanItsColumnIsRefusedByItsCaptionAndNothingIsSent)
{
    logIn("reza", reza);
    tick(ali1);
    compose(QString(101, u'م'), "متن");
    send();
    EXPECT_EQ(dialogs.shown, QStringList{tooLongMessage("موضوع", 100)});
    EXPECT_EQ(count("SELECT count(*) FROM payamha"), 0);
    compose(QString(100, u'م'), "متن");
    send();
    EXPECT_EQ(count("SELECT count(*) FROM payamha"), 1);
}

TEST_P(MessagesScreenTest, OpeningEmptiesSubjectTextAndFilterAndKeepsTheTicks)
{
    logIn("reza", reza);
    EXPECT_EQ(control<QComboBox>("mozo")->count(), 2);
    EXPECT_FALSE(control<QComboBox>("girande")->isEnabled()) << "the filter is the administrator's";
    compose("اداري", "متن");
    tick(ali1);
    const qint64 late = user("late", "فارس", "city", "", "نفر جديد");
    screen->prepare();
    EXPECT_EQ(control<QComboBox>("mozo")->currentText(), "");
    EXPECT_EQ(control<QPlainTextEdit>("cmt")->toPlainText(), "");
    EXPECT_EQ(screen->tickedRecipients(), QList<qint64>{ali1});
    bool listed = false;
    for (int i = 0; i < recipients()->count(); ++i)
        listed = listed || recipients()->item(i)->data(Qt::UserRole).toLongLong() == late;
    EXPECT_TRUE(listed) << "a user added meanwhile is listed at the next opening";
}

TEST_P(MessagesScreenTest, TheUserSeesOwnMessagesWithTheCurrentTextReadOnlyAndMarksThem)
{
    const qint64 mine = message(reza, "", "اداري", "متن اول\nخط دوم", "1403/04/01");
    message(ali1, "", "اداري", "مال ديگري");
    logIn("reza", reza);
    ASSERT_EQ(screen->messages().recordCount(), 1);
    auto* text = control<QPlainTextEdit>("DBMemo1");
    EXPECT_TRUE(text->isReadOnly());
    EXPECT_EQ(text->toPlainText(), "متن اول\nخط دوم");
    EXPECT_EQ(control<QLabel>("current_mozo")->text(), "اداري") << "the subject whole above the text";

    makeCurrent(mine);
    item("N1")->trigger();
    EXPECT_EQ(db->scalar("SELECT show_dat FROM payamha WHERE id = ?", {mine}).toString(), "1403/05/01");
    EXPECT_EQ(screen->messages().asString("show_dat"), "1403/05/01") << "the set is reopened";

    item("N2")->trigger();
    EXPECT_EQ(dialogs.shown.takeLast(), "reza");
    db->exec("UPDATE users SET us = 'reza2' WHERE id = ?", {reza});
    item("N2")->trigger();
    EXPECT_EQ(dialogs.shown.takeLast(), "reza2") << "the recipient's name as stored now";

    // Deleting is the administrator's: every delete item refuses, nothing is asked.
    for (const char* name : {"N3", "N4", "N5"}) {
        item(name)->trigger();
        EXPECT_EQ(dialogs.shown.takeLast(), kAdminOnly) << name;
    }
    EXPECT_TRUE(dialogs.asked.isEmpty());
    EXPECT_EQ(count("SELECT count(*) FROM payamha"), 2);
}

TEST_P(MessagesScreenTest, AdministratorsSelectedDeleteRemovesOnlyTheSeenOnes)
{
    const qint64 seen1 = message(reza, "1403/04/02");
    const qint64 seen2 = message(ali1, "1403/04/03");
    const qint64 unseen = message(reza, "");
    const qint64 other = message(ali2, "1403/04/02");
    logIn("admin", admin);
    ASSERT_EQ(screen->messages().recordCount(), 4) << "the administrator sees every message";
    makeCurrent(seen1);
    selectAlso(seen2);
    selectAlso(unseen);
    item("N5")->trigger();
    EXPECT_EQ(dialogs.shown.takeLast(), kDeleted);
    EXPECT_EQ(stored(), (QList<qint64>{unseen, other}));
    EXPECT_EQ(screen->messages().recordCount(), 2);

    // The current message alone, without a question.
    makeCurrent(other);
    item("N3")->trigger();
    EXPECT_EQ(dialogs.shown.takeLast(), kDeleted);
    EXPECT_TRUE(dialogs.asked.isEmpty());
    EXPECT_EQ(stored(), QList<qint64>{unseen});
}

TEST_P(MessagesScreenTest, DeletingEverySeenMessageAsksFirstAndReachesRowsNotShown)
{
    const qint64 seenReza = message(reza, "1403/04/02");
    const qint64 unseenReza = message(reza, "");
    const qint64 seenAli = message(ali1, "1403/04/02");
    logIn("admin", admin);
    // Only ali2's messages are shown (none), yet the seen ones of every user go.
    auto* filter = control<QComboBox>("girande");
    ASSERT_TRUE(filter->isEnabled());
    filter->setCurrentIndex(filter->findData(ali2));
    EXPECT_EQ(screen->messages().recordCount(), 0);

    dialogs.answers.enqueue(Dialogs::Answer::No);
    item("N4")->trigger();
    EXPECT_EQ(dialogs.asked.size(), 1);
    EXPECT_EQ(stored(), (QList<qint64>{seenReza, unseenReza, seenAli})) << "No deletes nothing";
    dialogs.answers.enqueue(Dialogs::Answer::Cancel);
    item("N4")->trigger();
    EXPECT_EQ(stored().size(), 3);
    dialogs.answers.enqueue(Dialogs::Answer::Yes);
    item("N4")->trigger();
    EXPECT_EQ(dialogs.shown.takeLast(), kDeleted);
    EXPECT_EQ(stored(), QList<qint64>{unseenReza});
}

TEST_P(MessagesScreenTest, TheAdministratorsFilterTellsUsersWithTheSameEntryApart)
{
    const qint64 toAli1 = message(ali1, "");
    const qint64 toAli2 = message(ali2, "");
    message(reza, "");
    logIn("admin", admin);
    auto* filter = control<QComboBox>("girande");
    EXPECT_EQ(filter->currentText(), "") << "opened without a filter";
    const int first = filter->findData(ali1), second = filter->findData(ali2);
    ASSERT_GE(first, 0);
    ASSERT_GE(second, 0);
    EXPECT_EQ(filter->itemText(first), filter->itemText(second));
    filter->setCurrentIndex(second);
    ASSERT_EQ(screen->messages().recordCount(), 1);
    EXPECT_EQ(screen->messages().asInteger("id"), toAli2);
    filter->setCurrentIndex(first);
    ASSERT_EQ(screen->messages().recordCount(), 1);
    EXPECT_EQ(screen->messages().asInteger("id"), toAli1);
    // The filter stays through the actions that reopen the set.
    item("N1")->trigger();
    EXPECT_EQ(screen->messages().recordCount(), 1);
    filter->setCurrentIndex(0);
    EXPECT_EQ(screen->messages().recordCount(), 3);
    // The next opening empties it.
    filter->setCurrentIndex(second);
    screen->prepare();
    EXPECT_EQ(filter->currentIndex(), 0);
    EXPECT_EQ(screen->messages().recordCount(), 3);
}

TEST_P(MessagesScreenTest, TheMenuCaptionFollowsTheUnreadCountWhenTheScreenCloses)
{
    QTemporaryDir dir;
    Shell shell(std::make_unique<QSettings>(dir.filePath("tarvest.conf"), QSettings::IniFormat),
                dir.filePath("embedded.sqlite"));
    shell.session().setDatabase(tmp->openAnother());
    shell.session().login = LoginState{QString::number(reza), "city", "reza"};
    setModalShower([this](QWidget* w) { modal << w->objectName(); }); // after the shell's own
    Tmain& main = shell.main();
    QList<qint64> unseen;
    for (int i = 0; i < 3; ++i)
        unseen << message(reza, "", QString("موضوع %1").arg(i));
    message(reza, "1403/04/05");
    message(reza, "1403/04/06");
    EXPECT_EQ(unreadMessageCount(*db, QString::number(reza)), 3);

    main.menuAction("payam")->trigger();
    ASSERT_EQ(modal, QStringList{"Tpayam"}) << dialogs.shown.join(" | ").toStdString();
    auto* messages = main.findChild<Tpayam*>();
    ASSERT_NE(messages, nullptr);
    EXPECT_EQ(messages->messages().recordCount(), 5);
    messages->show();
    messages->close();
    EXPECT_EQ(main.menuAction("payam")->text(), QStringLiteral("پيام*"));

    main.menuAction("payam")->trigger();
    auto* grid = messages->findChild<QTableView*>("DBGrid1");
    QAction* seen = grid->findChild<QAction*>("N1");
    for (qint64 id : unseen) {
        ResultSet& rs = messages->messages();
        ASSERT_TRUE(rs.locate("id", id));
        const int row = rs.recNo() - 1;
        rs.first(); // the grid's row decides, not the result's position
        grid->setCurrentIndex(grid->model()->index(row, rs.fieldIndex("mozo")));
        seen->trigger();
    }
    messages->show();
    messages->close();
    EXPECT_EQ(main.menuAction("payam")->text(), QStringLiteral("پيام"));
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.shown.join(" | ").toStdString();
}

TARVEST_FOR_EACH_DATABASE(MessagesScreenTest);

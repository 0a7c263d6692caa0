// Every entry screen keeps the clerk's work, on both databases: Enter in any field (and
// on the save button) saves nothing, the save button's shortcut saves; closing with
// changed fields asks "save / discard / stay", staying keeps every value, saving closes
// only with the record stored, and a screen closed as loaded asks nothing.
#include "admin/gazetteerscreen.h"
#include "admin/messagesscreen.h"
#include "admin/phonebookscreen.h"
#include "admin/userentry.h"
#include "cases/caseentry.h"
#include "db/database.h"
#include "db/provision.h"
#include "db/session.h"
#include "db/settinglists.h"
#include "fakedialogs.h"
#include "fees/feeentry.h"
#include "fees/feesearchscreen.h"
#include "fees/otherexperts.h"
#include "gazetteer.h"
#include "lands/landscreens.h"
#include "pricing/priceentry.h"
#include "pricing/transfertypes.h"
#include "testdb.h"
#include "widgets/conventions.h"
#include "widgets/dateedit.h"
#include "widgets/entryguard.h"
#include "widgets/screen.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTest>

#include <functional>

using namespace tarvest;
using namespace tarvest::test;
using namespace tarvest::test::gz;

namespace {

class EntryScreensTest : public DbTest {
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
        recipient = db->insert("users", {{"us", "maryam"}, {"lev", "city"}, {"nam", QStringLiteral("مريم")}});
        session.setDatabase(tmp->openAnother());
        session.login = LoginState{"7", "ostan", "tester"};
        session.cases.open("SELECT * FROM komision ORDER BY pk");
        setModalShower([](QWidget*) {});
    }
    void TearDown() override
    {
        screens.clear();
        setModalShower({});
    }

    // One entry screen: how it is opened for a new record, what a save accepts, where
    // it writes, and a field the clerk types into.
    struct Entry {
        const char* name;
        const char* table;
        std::function<QDialog*()> open; // built once, prepared for a new record
        std::function<void(QDialog*)> fill;
        const char* typed;
    };
    template <typename T>
    T* keep(std::unique_ptr<T> screen)
    {
        T* raw = screen.get();
        screens.push_back(std::move(screen));
        return raw;
    }
    static void set(QDialog* screen, const QString& name, const QString& value)
    {
        QWidget* w = screen->findChild<QWidget*>(name);
        ASSERT_NE(w, nullptr) << name.toStdString();
        if (auto* d = qobject_cast<DateEdit*>(w))
            d->setDateText(value);
        else if (auto* e = qobject_cast<QLineEdit*>(w))
            e->setText(value);
        else if (auto* c = qobject_cast<QComboBox*>(w))
            c->setEditText(value);
        else if (auto* t = qobject_cast<QPlainTextEdit*>(w))
            t->setPlainText(value);
    }
    static QString valueOf(QDialog* screen, const QString& name)
    {
        return entryFieldValue(screen->findChild<QWidget*>(name)).toString();
    }

    std::vector<Entry> entries()
    {
        std::vector<Entry> all;
        all.push_back({"Tkomision", "komision",
                       [this] {
                           auto* s = keep(std::make_unique<Tkomision>(session));
                           s->prepareNew();
                           return s;
                       },
                       [](QDialog* s) {
                           set(s, "ostan", Fars);
                           set(s, "city", Markazi);
                           set(s, "rosta", QStringLiteral("کوشک"));
                           set(s, "paper_no", "12/345");
                           set(s, "paper_dat", "1403/02/10");
                           set(s, "karbari1", QStringLiteral("زراعي"));
                           set(s, "darkhast", QStringLiteral("علي محمدي"));
                       },
                       "darkhast"});
        all.push_back({"Tasnad_ins", "asnad",
                       [this] {
                           auto* search = keep(std::make_unique<Tasnad_src>(session));
                           search->applyRights({true, true, true, true});
                           search->entryScreen().prepareNew();
                           return static_cast<QDialog*>(&search->entryScreen());
                       },
                       [](QDialog* s) {
                           set(s, "city", Larestan);
                           set(s, "sal", "1403");
                       },
                       "fish_name"});
        all.push_back({"Tasnad_sayer_kar", "sayerkar",
                       [this] {
                           auto* experts = keep(std::make_unique<Tasnad_sayer_kar>(session));
                           experts->prepare(0, 300000, &pending);
                           return experts;
                       },
                       [](QDialog* s) {
                           set(s, "nam", QStringLiteral("فاطمه محمدي"));
                           set(s, "darsad", "40");
                       },
                       "nam"});
        all.push_back({"Tghimat_ins", "ghimat",
                       [this] {
                           // The price search's result, which a new assessment joins.
                           session.prices.setDatabase(session.db());
                           session.prices.open("SELECT * FROM ghimat ORDER BY id", {}, "ghimat");
                           auto* s = keep(std::make_unique<Tghimat_ins>(session));
                           s->prepareNew();
                           return s;
                       },
                       [](QDialog* s) {
                           set(s, "city", Markazi);
                           set(s, "rosta", QStringLiteral("کوشک"));
                           set(s, "karbari", QStringLiteral("مسکوني"));
                           set(s, "paper_no", "88");
                           set(s, "paper_dat", "1403/05/01");
                           set(s, "arzesh", "1500000");
                       },
                       "paper_no"});
        all.push_back({"Tghimat_typ", "vagozarityp",
                       [this] {
                           auto* s = keep(std::make_unique<Tghimat_typ>(session));
                           s->applyRights({true, true, true, true});
                           s->prepare();
                           return s;
                       },
                       [](QDialog* s) {
                           set(s, "vagozari", QStringLiteral("اجاره بلند مدت"));
                           set(s, "zarib", "1.5");
                       },
                       "vagozari"});
        all.push_back({"Tarazi_ins", "arazi",
                       [this] {
                           auto* s = keep(std::make_unique<Tarazi_ins>(session));
                           s->prepareNew();
                           return s;
                       },
                       [](QDialog* s) {
                           set(s, "shahrestan", Larestan);
                           set(s, "abadi", "4411");
                           set(s, "rosta", QStringLiteral("بنارویه"));
                       },
                       "rosta"});
        all.push_back({"Tabadiha_ins", "abadiha",
                       [this] {
                           auto* list = keep(std::make_unique<Tabadiha>(session));
                           list->applyRights({true, true, true, true});
                           list->entryScreen().prepareNew();
                           return static_cast<QDialog*>(&list->entryScreen());
                       },
                       [](QDialog* s) {
                           set(s, "ostan", Fars);
                           set(s, "shahrestan", Larestan);
                           set(s, "rosta", QStringLiteral("ده نو"));
                           set(s, "cod", "990011");
                       },
                       "rosta"});
        all.push_back({"Tusers_ins", "users",
                       [this] {
                           auto* s = keep(std::make_unique<Tusers_ins>(session));
                           s->prepareNew();
                           return s;
                       },
                       [](QDialog* s) {
                           set(s, "us", "2280000001");
                           set(s, "ps", "s3cret");
                           set(s, "nam", QStringLiteral("حسين رضايي"));
                           set(s, "lev", "city");
                       },
                       "nam"});
        all.push_back({"Tphone", "phone",
                       [this] {
                           auto* s = keep(std::make_unique<Tphone>(session));
                           s->applyRights({true, true, true, true});
                           s->prepare();
                           return s;
                       },
                       [](QDialog* s) {
                           set(s, "name", QStringLiteral("دفتر فني شهرستان لارستان"));
                           set(s, "tel", "07152223344");
                       },
                       "tel"});
        all.push_back({"Tpayam", "payamha",
                       [this] {
                           auto* s = keep(std::make_unique<Tpayam>(session));
                           s->prepare();
                           return s;
                       },
                       [](QDialog* s) {
                           set(s, "mozo", QStringLiteral("جلسه كميسيون"));
                           for (QListWidget* list : s->findChildren<QListWidget*>())
                               for (int i = 0; i < list->count(); ++i)
                                   if (list->item(i)->flags() & Qt::ItemIsUserCheckable)
                                       list->item(i)->setCheckState(Qt::Checked);
                       },
                       "mozo"});
        return all;
    }

    // The inputs of a screen the clerk can reach, in tab order.
    static QList<QWidget*> reachableInputs(QDialog* screen)
    {
        QList<QWidget*> out;
        QWidget* w = screen;
        do {
            w = w->nextInFocusChain();
            const QWidget* parent = w->parentWidget();
            const bool part = parent
                              && (qobject_cast<const QComboBox*>(parent)
                                  || qobject_cast<const QAbstractSpinBox*>(parent));
            if (w->window() == screen && !part && entryFieldValue(w).isValid() && canTakeFocus(w) && !out.contains(w))
                out << w;
        } while (w != screen);
        return out;
    }
    static QList<QAbstractButton*> saveButtons(QDialog* screen)
    {
        QList<QAbstractButton*> out;
        for (const char* name : {"ins_btn", "edit_btn", "BitBtn1"})
            if (auto* b = screen->findChild<QAbstractButton*>(name, Qt::FindChildrenRecursively);
                b && b->window() == screen && b->isVisibleTo(screen))
                out << b;
        return out;
    }
    int count(const char* table) { return db->scalar(QStringLiteral("select count(*) from ") + table).toInt(); }

    FakeDialogs dialogs;
    Session session;
    std::vector<std::unique_ptr<QObject>> screens;
    QList<qint64> pending;
    qint64 recipient = 0;
};

} // namespace

TEST_P(EntryScreensTest, EnterInEveryFieldSavesNothingUntilTheSaveShortcut)
{
    for (const Entry& e : entries()) {
        SCOPED_TRACE(e.name);
        QDialog* screen = e.open();
        screen->show();
        screen->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(screen));
        e.fill(screen);
        const int before = count(e.table);
        const QList<QWidget*> inputs = reachableInputs(screen);
        EXPECT_GE(inputs.size(), 2);
        for (QWidget* field : inputs) {
            if (!canTakeFocus(field))
                continue; // a field the last Enter's reaction disabled
            field->setFocus();
            for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
                QTest::keyClick(field, key, key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
                ASSERT_EQ(count(e.table), before) << "Enter in " << field->objectName().toStdString();
                ASSERT_TRUE(screen->isVisible()) << "Enter in " << field->objectName().toStdString();
            }
        }
        // Enter on the focused save button saves nothing either.
        for (QAbstractButton* button : saveButtons(screen)) {
            button->setFocus();
            QTest::keyClick(button, Qt::Key_Return);
            EXPECT_EQ(count(e.table), before) << "Enter on " << button->objectName().toStdString();
        }
        // In a field that is no part of a chain, Enter moves on in reading order.
        QWidget* first = inputs.first();
        first->setFocus();
        QTest::keyClick(first, Qt::Key_Return);
        EXPECT_NE(QApplication::focusWidget(), first);
        // The save button's shortcut saves.
        dialogs.shown.clear();
        e.fill(screen); // what Enter typed (a line in a text) is put right
        QTest::keySequence(screen, QKeySequence::Save);
        EXPECT_GT(count(e.table), before) << dialogs.shown.join(" | ").toStdString();
        screen->hide();
    }
}

TEST_P(EntryScreensTest, ClosingWithChangedFieldsAsksAndStayKeepsTheValues)
{
    for (const Entry& e : entries()) {
        SCOPED_TRACE(e.name);
        QDialog* screen = e.open();
        screen->show();
        screen->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(screen));
        // As loaded: closing asks nothing.
        EXPECT_TRUE(screen->close());
        EXPECT_FALSE(screen->isVisible());
        EXPECT_TRUE(dialogs.asked.isEmpty()) << dialogs.asked.join(" | ").toStdString();

        // Typed into: the close box (or Alt+F4) asks; stay keeps the screen and the values.
        screen = e.open();
        screen->show();
        screen->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(screen));
        e.fill(screen);
        set(screen, e.typed, QStringLiteral("نوشته كاربر ۱۲۳"));
        const QString typed = valueOf(screen, e.typed);
        const int before = count(e.table);
        dialogs.answers << Dialogs::Answer::Cancel;
        EXPECT_FALSE(screen->close());
        ASSERT_EQ(dialogs.asked.size(), 1);
        EXPECT_EQ(dialogs.asked.last(), EntryGuard::question());
        EXPECT_TRUE(screen->isVisible());
        EXPECT_EQ(valueOf(screen, e.typed), typed);
        EXPECT_EQ(count(e.table), before);

        // Discard closes without saving.
        dialogs.answers << Dialogs::Answer::No;
        EXPECT_TRUE(screen->close());
        EXPECT_FALSE(screen->isVisible());
        EXPECT_EQ(count(e.table), before);

        // Save stores the record and then closes; closing again asks nothing.
        screen = e.open();
        screen->show();
        screen->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(screen));
        e.fill(screen);
        dialogs.asked.clear();
        dialogs.answers << Dialogs::Answer::Yes;
        screen->close();
        EXPECT_EQ(dialogs.asked, QStringList{EntryGuard::question()});
        EXPECT_GT(count(e.table), before);
        EXPECT_FALSE(screen->isVisible());
        dialogs.asked.clear();
    }
}

TEST_P(EntryScreensTest, ASaveThatIsRefusedKeepsTheScreenOpen)
{
    // A land record whose county and code are taken: "save" in the question shows the
    // refusal and the screen stays with what was typed.
    auto* land = keep(std::make_unique<Tarazi_ins>(session));
    land->prepareNew();
    land->show();
    set(land, "shahrestan", Larestan);
    set(land, "abadi", "4411");
    land->saveNew();
    ASSERT_EQ(count("arazi"), 1);
    land->prepareNew();
    set(land, "shahrestan", Larestan);
    set(land, "abadi", "4411");
    set(land, "rosta", QStringLiteral("بنارویه"));
    dialogs.shown.clear();
    dialogs.answers << Dialogs::Answer::Yes;
    EXPECT_FALSE(land->close());
    EXPECT_TRUE(land->isVisible());
    EXPECT_EQ(dialogs.shown, QStringList{QStringLiteral("شهرستان و کد آبادي تکراري است")});
    EXPECT_EQ(valueOf(land, "rosta"), QStringLiteral("بنارویه"));
    EXPECT_EQ(count("arazi"), 1);
    // Leaving the program asks the same for the shown screen; staying keeps it.
    dialogs.answers << Dialogs::Answer::Cancel;
    EXPECT_FALSE(EntryGuard::confirmCloseAll());
    EXPECT_TRUE(land->isVisible());
    dialogs.answers << Dialogs::Answer::No;
    EXPECT_TRUE(EntryGuard::confirmCloseAll());
}

TARVEST_FOR_EACH_DATABASE(EntryScreensTest);

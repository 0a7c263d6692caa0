// The case entry screen over a real database: saving a new case with its checks and
// their messages, editing a stored case, the county office's refusals, what each
// level may change, the loaded texts and their reactions, the caption actions, and a
// text too long for its column.
#include "cases/caseentry.h"
#include "cases/core/caserules.h"
#include "cases/core/valuation.h"
#include "common/jalali.h"
#include "db/provision.h"
#include "db/session.h"
#include "db/settinglists.h"
#include "fakedialogs.h"
#include "gazetteer.h"
#include "testdb.h"
#include "typing.h"
#include "widgets/dateedit.h"
#include "widgets/entryguard.h"
#include "widgets/linklabel.h"
#include "widgets/recordchanged.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlQuery>
#include <QTest>

using namespace tarvest;
using namespace tarvest::test::gz;

namespace {

const QString kVillage = "کوشک";
const QString kBlank = "    /  /  ";

class CaseEntryTest : public test::DbTest {
protected:
    void SetUp() override
    {
        DbTest::SetUp();
        if (!db)
            return;
        ASSERT_TRUE(provisionSucceeded(provision(*db)));
        test::insertGazetteer(*db);
        session.setDatabase(tmp->openAnother());
        session.login = {"7", "ostan", "tester"};
        session.cases.open("SELECT * FROM komision ORDER BY pk");
        screen = std::make_unique<Tkomision>(session);
    }

    QWidget* control(const QString& name)
    {
        QWidget* w = screen->findChild<QWidget*>(name);
        EXPECT_TRUE(w) << name.toStdString();
        return w;
    }
    QString text(const QString& name)
    {
        QWidget* w = control(name);
        if (auto* d = qobject_cast<DateEdit*>(w))
            return d->dateText();
        if (auto* l = qobject_cast<QLineEdit*>(w))
            return l->text();
        if (auto* c = qobject_cast<QComboBox*>(w))
            return c->currentText();
        return {};
    }
    void set(const QString& name, const QString& value)
    {
        QWidget* w = control(name);
        if (auto* d = qobject_cast<DateEdit*>(w))
            d->setDateText(value);
        else if (auto* l = qobject_cast<QLineEdit*>(w))
            l->setText(value);
        else if (auto* c = qobject_cast<QComboBox*>(w))
            c->setEditText(value);
    }
    // A new case that passes every check.
    void fillValidNew()
    {
        screen->prepareNew();
        set("ostan", Fars);
        set("city", Markazi);
        set("rosta", kVillage);
        set("paper_no", "12/345");
        set("paper_dat", "1403/02/10");
        set("karbari1", "زراعي");
        set("darkhast", "علي");
    }
    // Stores a case straight into the table and makes it the current case.
    qint64 store(const QVariantMap& changes)
    {
        QVariantMap row{{"ostan", Fars},          {"city", Markazi},           {"rosta", kVillage},
                        {"paper_no", "1"},        {"paper_dat", "1403/01/20"}, {"karbari1", "زراعي"},
                        {"takhrib_masahat", "0"}, {"karbar", "creator"}};
        for (auto it = changes.begin(); it != changes.end(); ++it)
            row.insert(it.key(), it.value());
        const qint64 key = db->insert("komision", row);
        session.cases.refresh();
        EXPECT_TRUE(session.cases.locate("pk", key));
        return key;
    }
    int caseCount() { return db->scalar("SELECT COUNT(*) FROM komision").toInt(); }
    QString column(qint64 key, const QString& name)
    {
        return db->scalar("SELECT " + name + " FROM komision WHERE pk = ?", {key}).toString();
    }

    test::FakeDialogs dialogs;
    Session session;
    std::unique_ptr<Tkomision> screen;
};

} // namespace

TEST_P(CaseEntryTest, NewCaseIsSavedWithEveryColumnAndTheSecondPressIsADuplicate)
{
    fillValidNew();
    EXPECT_TRUE(screen->findChild<QPushButton*>("ins_btn")->isVisibleTo(screen.get()));
    EXPECT_FALSE(screen->findChild<QPushButton*>("edit_btn")->isVisibleTo(screen.get()));
    screen->findChild<QCheckBox*>("taeid_zamin")->setChecked(true);
    set("zamin", "گروه الف"); // a hidden field is saved like the others
    screen->saveNew();
    ASSERT_EQ(dialogs.shown, QStringList{caseText::Saved});
    ASSERT_EQ(caseCount(), 1);
    const qint64 key = session.cases.asInteger("pk");
    EXPECT_EQ(column(key, "karbar"), "tester");
    EXPECT_EQ(column(key, "ostan"), Fars);
    EXPECT_EQ(column(key, "zamin"), "گروه الف");
    EXPECT_EQ(column(key, "taeid_zamin"), caseText::LandApproved);
    EXPECT_EQ(column(key, "reg_dat"), TodayJalali());
    EXPECT_EQ(column(key, "fish_dat"), kBlank);
    EXPECT_EQ(column(key, "ost_paper_no"), kBlank);
    EXPECT_EQ(column(key, "takhfif_darsad"), "0");
    EXPECT_EQ(column(key, "cmt"), "");
    EXPECT_EQ(session.cases.recordCount(), 1);

    // The screen keeps its values: pressing again finds the case just saved.
    dialogs.shown.clear();
    screen->findChild<QPushButton*>("ins_btn")->click();
    EXPECT_EQ(dialogs.shown, QStringList{caseText::Duplicate});
    EXPECT_EQ(caseCount(), 1);

    // The same letter for another village is another case.
    dialogs.shown.clear();
    set("rosta", "آبباریک");
    screen->saveNew();
    EXPECT_EQ(dialogs.shown, QStringList{caseText::Saved});
    EXPECT_EQ(caseCount(), 2);
    screen->findChild<QCheckBox*>("taeid_zamin")->setChecked(false);
    set("paper_no", "99");
    screen->saveNew();
    EXPECT_EQ(column(session.cases.asInteger("pk"), "taeid_zamin"), "");
}

TEST_P(CaseEntryTest, NewCaseChecksShowTheirMessagesInOrderAndSaveNothing)
{
    // A stored case without a village and with the same letter: only the duplicate check finds it.
    store({{"rosta", ""}, {"paper_no", "12/345"}, {"paper_dat", "1403/02/10"}, {"city", "ناموجود"}});
    struct Row {
        const char* what;
        QList<QPair<QString, QString>> changes;
        QStringList messages;
    };
    const Row rows[] = {
        {"empty village and existing use, unknown county",
         {{"rosta", ""}, {"karbari1", ""}, {"city", "ناموجود"}},
         {caseText::VillageRequired, caseText::ExistingUseRequired, caseText::Duplicate}},
        {"covered without its letter", {{"tahteposhesh", "کميته امداد"}}, {caseText::CoveredWithoutLetter}},
        {"no destroyed area", {{"takhrib_masahat", ""}}, {caseText::DestroyedAreaRequired}},
        {"typed county", {{"city", Larestan + "ی"}}, {caseText::UnknownCounty}},
        {"county of another province", {{"city", Shahrekord}}, {caseText::UnknownCounty}},
    };
    for (const Row& r : rows) {
        fillValidNew();
        for (const auto& [name, value] : r.changes)
            set(name, value);
        dialogs.shown.clear();
        screen->saveNew();
        EXPECT_EQ(dialogs.shown, r.messages) << r.what;
        EXPECT_EQ(caseCount(), 1) << r.what;
        // The entered values stay.
        for (const auto& [name, value] : r.changes)
            EXPECT_EQ(text(name), value) << r.what;
    }
}

TEST_P(CaseEntryTest, NewCasePresetsAndLevelEnableSets)
{
    struct Row {
        QString level;
        QStringList enabled;
        QStringList disabled;
    };
    const Row rows[] = {
        {"city",
         {"paper_no", "kharej", "bakhsh", "moshaver", "malek_varizi"},
         {"fani", "mashmol", "cmt", "taeid_zamin", "reg_dat", "komision_dat", "ost_paper_no"}},
        {"ostan", {"paper_no", "fani", "mashmol", "zamin", "dabir", "komision_dat"}, {}},
        {"ثبت پرونده", {"paper_no", "fani", "komision_dat"}, {"zamin", "mashmol"}},
        {"امور زمين",
         {"zamin", "mashmol", "paper_no2", "malek_varizi", "price_metr"},
         {"paper_no", "city", "rosta", "fani", "dabir", "metraj"}},
        {"امور فني و مطالعات", {"fani"}, {"paper_no", "zamin", "mashmol", "dabir", "komision_t_k"}},
        {"دبير كميسيون معاملات", {"dabir"}, {"paper_no", "fani", "malek_sahm"}},
    };
    for (const Row& r : rows) {
        session.login.level = r.level;
        screen->prepareNew();
        for (const QString& name : r.enabled)
            EXPECT_TRUE(control(name)->isEnabled()) << r.level.toStdString() << " " << name.toStdString();
        for (const QString& name : r.disabled)
            EXPECT_FALSE(control(name)->isEnabled()) << r.level.toStdString() << " " << name.toStdString();
    }
    // A level without a set leaves the fields as the last one did.
    session.login.level = "admin";
    screen->prepareNew();
    EXPECT_TRUE(control("dabir")->isEnabled());
    EXPECT_FALSE(control("fani")->isEnabled());

    // Presets of a new case.
    EXPECT_EQ(text("takhrib_masahat"), "0");
    EXPECT_EQ(text("takhfif_darsad"), "0");
    for (const char* zero : {"metraj", "price_metr", "melk_arzesh", "masahat_khales"})
        EXPECT_EQ(text(zero), "0") << zero;
    EXPECT_EQ(text("reg_dat"), TodayJalali());
    EXPECT_EQ(text("paper_dat"), kBlank);
    EXPECT_EQ(text("ostan"), "");
    EXPECT_EQ(text("cmt"), "");
    EXPECT_EQ(text("malek_pardakhti"), "");
    EXPECT_EQ(text("masahat_na"), "");
}

TEST_P(CaseEntryTest, EditingReplacesTheUserAndKeepsTheCaseCurrent)
{
    // A county no longer in the gazetteer blocks only when it is changed.
    const qint64 key = store({{"city", "قدیم"}, {"takhfif_darsad", QVariant()}, {"cmt", "یادداشت"}});
    const qint64 other = store({{"rosta", "آبباریک"}, {"paper_no", "2"}});
    ASSERT_TRUE(session.cases.locate("pk", key));
    session.login.level = "امور فني و مطالعات";
    ASSERT_TRUE(screen->prepareEdit());
    EXPECT_FALSE(screen->findChild<QPushButton*>("ins_btn")->isVisibleTo(screen.get()));
    EXPECT_TRUE(screen->findChild<QPushButton*>("edit_btn")->isVisibleTo(screen.get()));
    EXPECT_EQ(text("takhfif_darsad"), "0");
    EXPECT_EQ(text("cmt"), "یادداشت");
    EXPECT_EQ(text("fish_dat"), kBlank);
    EXPECT_FALSE(control("paper_no")->isEnabled()); // the level's set holds when editing too
    EXPECT_TRUE(control("fani")->isEnabled());

    screen->show();
    screen->saveEdit();
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.shown.join(" | ").toStdString();
    EXPECT_FALSE(screen->isVisible());
    EXPECT_EQ(column(key, "karbar"), "tester");
    EXPECT_EQ(column(key, "takhfif_darsad"), "0");
    EXPECT_EQ(session.cases.asInteger("pk"), key);
    EXPECT_EQ(session.cases.asString("karbar"), "tester");

    struct Row {
        const char* what;
        QList<QPair<QString, QString>> changes;
        QStringList messages;
    };
    const Row refused[] = {
        {"typed county", {{"city", "جدید"}}, {caseText::UnknownCounty}},
        {"collides with another case",
         {{"city", Markazi}, {"rosta", "آبباریک"}, {"paper_no", "2"}, {"paper_dat", "1403/01/20"}},
         {caseText::Duplicate}},
        {"no village", {{"rosta", ""}}, {caseText::VillageRequired}},
    };
    for (const Row& r : refused) {
        ASSERT_TRUE(session.cases.locate("pk", key));
        ASSERT_TRUE(screen->prepareEdit());
        for (const auto& [name, value] : r.changes)
            set(name, value);
        dialogs.shown.clear();
        screen->saveEdit();
        EXPECT_EQ(dialogs.shown, r.messages) << r.what;
        EXPECT_EQ(column(key, "city"), "قدیم") << r.what;
    }

    // Moving the case to a known county and a free letter number is accepted.
    ASSERT_TRUE(screen->prepareEdit());
    set("city", Markazi);
    set("paper_no", "3");
    dialogs.shown.clear();
    screen->saveEdit();
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.shown.join(" | ").toStdString();
    EXPECT_EQ(column(key, "city"), Markazi);
    EXPECT_EQ(column(other, "paper_no"), "2");
}

TEST_P(CaseEntryTest, ACaseChangedOnAnotherWorkstationIsNotOverwrittenAndReloadShowsTheChange)
{
    const qint64 key = store({{"darkhast", "علي"}});
    // Workstation A has the same case open.
    Session otherSession;
    otherSession.setDatabase(tmp->openAnother());
    otherSession.login = {"8", "ostan", "other"};
    otherSession.cases.open("SELECT * FROM komision ORDER BY pk");
    ASSERT_TRUE(otherSession.cases.locate("pk", key));
    Tkomision other(otherSession);
    ASSERT_TRUE(other.prepareEdit());
    ASSERT_TRUE(screen->prepareEdit());

    // A saves a new applicant name, then this workstation saves a comment.
    other.findChild<QLineEdit*>("darkhast")->setText("رضا");
    other.saveEdit();
    ASSERT_EQ(column(key, "darkhast"), "رضا");
    set("cmt", "توضیح");
    dialogs.answers.enqueue(Dialogs::Answer::Yes);
    screen->saveEdit();

    ASSERT_EQ(dialogs.asked.size(), 1);
    EXPECT_TRUE(dialogs.asked.front().startsWith(RecordChanged().message())) << dialogs.asked.front().toStdString();
    EXPECT_TRUE(dialogs.asked.front().endsWith(kReloadChangedRecord));
    EXPECT_EQ(column(key, "darkhast"), "رضا") << "the first change is kept";
    EXPECT_EQ(column(key, "cmt"), "") << "nothing of the refused save is written";
    EXPECT_EQ(text("darkhast"), "رضا") << "the reload shows the other change";

    set("cmt", "توضیح");
    dialogs.shown.clear();
    screen->saveEdit();
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.shown.join(" | ").toStdString();
    EXPECT_EQ(column(key, "cmt"), "توضیح");
    EXPECT_EQ(column(key, "darkhast"), "رضا");
}

TEST_P(CaseEntryTest, CountyOfficeCannotOpenApprovedOrRegisteredCases)
{
    session.login.level = "city";
    const qint64 both = store({{"taeid_zamin", caseText::LandApproved}, {"ost_paper_no", "1403/03/01"}});
    const qint64 registered = store({{"paper_no", "2"}, {"ost_paper_no", "1403/03/01"}});
    const qint64 open = store({{"paper_no", "3"}, {"ost_paper_no", kBlank}, {"cmt", "باز"}});

    ASSERT_TRUE(session.cases.locate("pk", both));
    EXPECT_FALSE(screen->prepareEdit());
    EXPECT_EQ(dialogs.shown, (QStringList{caseText::ApprovedNoEdit, caseText::ProvinceRegisteredNoEdit}));

    dialogs.shown.clear();
    ASSERT_TRUE(session.cases.locate("pk", registered));
    EXPECT_FALSE(screen->prepareEdit());
    EXPECT_EQ(dialogs.shown, QStringList{caseText::ProvinceRegisteredNoEdit});

    dialogs.shown.clear();
    ASSERT_TRUE(session.cases.locate("pk", open));
    EXPECT_TRUE(screen->prepareEdit());
    EXPECT_TRUE(dialogs.shown.isEmpty());
    EXPECT_EQ(text("paper_no"), "3");
    EXPECT_EQ(text("cmt"), "باز");
    EXPECT_FALSE(control("cmt")->isEnabled());
    EXPECT_TRUE(control("paper_no")->isEnabled());

    // Another level opens the approved case.
    session.login.level = "ostan";
    ASSERT_TRUE(session.cases.locate("pk", both));
    EXPECT_TRUE(screen->prepareEdit());
    EXPECT_TRUE(screen->findChild<QCheckBox*>("taeid_zamin")->isChecked());
}

TEST_P(CaseEntryTest, LoadingRecomputesTheOwnersShareThenCopiesTheStoredFee)
{
    store({{"masahat_khales", "200"},
           {"price_metr", "500000"},
           {"melk_arzesh", "100000000"},
           {"malek_pardakhti", "1"},
           {"malek_varizi", "777"},
           {"takhfif_darsad", "0"}});
    ASSERT_TRUE(screen->prepareEdit());
    const auto expected = valuation::ownerShare({"200", "500000", "100000000", "1"}).fields.malek_pardakhti;
    EXPECT_NE(expected, "1");
    EXPECT_EQ(text("malek_pardakhti"), expected);
    EXPECT_EQ(text("melk_arzesh"), "100000000");
    EXPECT_EQ(text("malek_varizi"), "777");
}

TEST_P(CaseEntryTest, TooLongTextIsRefusedWithAMessage)
{
    // A text field takes no more than its column while typing.
    fillValidNew();
    auto* applicant = screen->findChild<QLineEdit*>("darkhast");
    EXPECT_EQ(applicant->maxLength(), 70);
    EXPECT_EQ(screen->findChild<QLineEdit*>("phone")->maxLength(), 20);
    applicant->clear();
    QTest::keyClicks(applicant, QString(75, QChar(u'b')));
    EXPECT_EQ(applicant->text().size(), 70);

    // A list's text (a chosen setting value may be longer than the column) is refused
    // at saving, naming the field by its caption.
    set("sanad", QString(21, QChar(u'ب')));
    screen->saveNew();
    ASSERT_EQ(dialogs.shown.size(), 1) << dialogs.shown.join(" | ").toStdString();
    EXPECT_EQ(dialogs.shown.first(), QStringLiteral("خطا! «نوع سند مالكيت» حداكثر 20 نويسه مي پذيرد"));
    EXPECT_EQ(caseCount(), 0);
    EXPECT_EQ(session.cases.recordCount(), 0);

    // The same when editing: the stored case stays as it was.
    const qint64 key = store({{"darkhast", "کوتاه"}});
    ASSERT_TRUE(screen->prepareEdit());
    set("karbari2", QString(31, QChar(u'پ')));
    dialogs.shown.clear();
    screen->saveEdit();
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_TRUE(dialogs.shown.first().startsWith(QStringLiteral("خطا! «نوع كاربري مورد تقاضا»")))
        << dialogs.shown.first().toStdString();
    EXPECT_EQ(column(key, "karbari2"), "");
}

TEST_P(CaseEntryTest, PersianDigitsTypedValueTheCaseAndAreStoredAsDigits)
{
    fillValidNew();
    screen->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(screen.get()));
    auto type = [this](const char* name, const QString& typed) {
        auto* field = screen->findChild<QLineEdit*>(name);
        field->setFocus();
        field->selectAll();
        test::typeText(field, typed);
    };
    type("metraj", QString::fromUtf16(u"۳۰۰"));
    type("price_metr", QString::fromUtf16(u"۱۰۰۰۰۰۰"));
    screen->findChild<QLineEdit*>("melk_arzesh")->setFocus();     // the value follows
    screen->findChild<QLineEdit*>("malek_pardakhti")->setFocus(); // and the owner's share
    EXPECT_EQ(text("metraj"), "300") << "shown with the digits it computes with";
    EXPECT_EQ(text("masahat_khales"), "300");
    EXPECT_EQ(text("melk_arzesh"), "300000000");
    const QString share = valuation::ownerShare({"300", "1000000", "300000000", {}}).fields.malek_pardakhti;
    EXPECT_EQ(text("malek_pardakhti"), share);
    EXPECT_EQ(text("malek_varizi"), valuation::feeText(share, u"0"));
    EXPECT_NE(text("malek_varizi"), "0");

    // A number the screen was given in Persian digits is stored with Latin ones.
    set("takhfif_darsad", QString::fromUtf16(u"۱۰"));
    screen->saveNew();
    EXPECT_EQ(dialogs.shown.takeLast(), caseText::Saved);
    const qint64 key = db->scalar("SELECT max(pk) FROM komision").toLongLong();
    EXPECT_EQ(column(key, "metraj"), "300");
    EXPECT_EQ(column(key, "price_metr"), "1000000");
    EXPECT_EQ(column(key, "takhfif_darsad"), "10");
}

TEST_P(CaseEntryTest, AnImpossibleDateIsNotSaved)
{
    fillValidNew();
    screen->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(screen.get()));
    auto* date = screen->findChild<DateEdit*>("m_paper_dat");
    date->setFocus();
    date->setCursorPosition(0);
    QTest::keyClicks(date, "14031340");
    ASSERT_EQ(date->dateText(), "1403/13/40");
    screen->saveNew();
    EXPECT_EQ(dialogs.shown, QStringList{DateEdit::invalidDateMessage()});
    EXPECT_EQ(caseCount(), 0);
    EXPECT_TRUE(date->hasFocus());
}

TEST_P(CaseEntryTest, EscapeNeverClosesTheScreenButTheCloseBoxDoes)
{
    fillValidNew();
    screen->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(screen.get()));
    for (const char* name : {"paper_no", "paper_dat", "rosta", "ins_btn"}) {
        QWidget* w = control(name);
        w->setFocus();
        QTest::keyClick(w, Qt::Key_Escape);
        EXPECT_TRUE(screen->isVisible()) << name;
    }
    EXPECT_EQ(text("paper_no"), "12/345") << "what was typed stays";
    // The close box asks about what was typed; discarding closes.
    dialogs.answers << test::FakeDialogs::Answer::No;
    screen->close();
    EXPECT_EQ(dialogs.asked.last(), EntryGuard::question());
    EXPECT_FALSE(screen->isVisible());
}

TEST_P(CaseEntryTest, NoLargeAreaReminderOnABlankNewCase)
{
    store({{"metraj", "3500"},
           {"masahat_khales", "3500"},
           {"price_metr", "100000"},
           {"melk_arzesh", "350000000"},
           {"takhfif_darsad", "0"}});
    ASSERT_TRUE(screen->prepareEdit());
    EXPECT_TRUE(dialogs.shown.contains(valuation::kLargeAreaReminder)) << "the case viewed is large";
    dialogs.shown.clear();
    screen->prepareNew();
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.shown.join(" | ").toStdString();
    EXPECT_EQ(text("masahat_khales"), "0");

    // The reminder still comes for a large plot typed into the new case.
    set("masahat_khales", "3200");
    EXPECT_EQ(dialogs.shown, QStringList{valuation::kLargeAreaReminder});
}

TEST_P(CaseEntryTest, ShowingFillsListsAndCaptionsAct)
{
    addSettingValue(*db, lists::DocumentKinds, "ششدانگ");
    addSettingValue(*db, lists::DocumentKinds, "قولنامه");
    addSettingValue(*db, lists::RequestKind, "تفکیک");
    screen->prepareNew();
    set("sanad", "دستی");
    screen->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(screen.get()));

    auto* sanad = screen->findChild<QComboBox*>("sanad");
    ASSERT_EQ(sanad->count(), 2);
    EXPECT_EQ(sanad->itemText(1), "قولنامه");
    EXPECT_EQ(sanad->currentText(), "دستی");
    auto* manzor = screen->findChild<QComboBox*>("manzor");
    ASSERT_EQ(manzor->count(), 1);
    EXPECT_EQ(manzor->itemText(0), "تفکیک");
    EXPECT_GT(screen->findChild<QComboBox*>("ostan")->count(), 0);

    // Leaving the applicant's name writes kaf for keheh.
    auto* applicant = screen->findChild<QLineEdit*>("darkhast");
    applicant->setFocus();
    applicant->setText("کریم");
    screen->findChild<QLineEdit*>("phone")->setFocus();
    EXPECT_EQ(applicant->text(), "كریم");

    // Today's date from the captions.
    for (const char* name : {"paper_dat", "komision_dat", "komision_t_k_dat", "paper_dat2"}) {
        auto* caption = screen->findChild<LinkLabel*>(QString(name) + "_caption");
        ASSERT_TRUE(caption) << name;
        QTest::mouseClick(caption, Qt::LeftButton);
        EXPECT_EQ(text(name), TodayJalali()) << name;
    }

    // The village caption writes kaf into every village name of the gazetteer.
    QTest::mouseClick(screen->findChild<LinkLabel*>("rosta_caption"), Qt::LeftButton);
    EXPECT_EQ(db->scalar("SELECT COUNT(*) FROM abadiha WHERE rosta = ?", {"كوشك"}).toInt(), 2);
    EXPECT_EQ(db->scalar("SELECT COUNT(*) FROM abadiha WHERE rosta = ?", {"کوشک"}).toInt(), 0);
    EXPECT_TRUE(dialogs.shown.isEmpty());
}

TARVEST_FOR_EACH_DATABASE(CaseEntryTest);

// The interaction rules shared by every screen: Enter chains, focus highlight,
// filter check boxes, digit-only fields, grid columns and title sorting, and the delete
// password prompt.
#include "db/provision.h"
#include "db/resultset.h"
#include "db/settinglists.h"
#include "fakedialogs.h"
#include "testdb.h"
#include "typing.h"
#include "widgets/conventions.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

using namespace tarvest;
using namespace tarvest::test;

namespace {

QColor normalBase(const QWidget* w)
{
    return QApplication::palette(w).color(QPalette::Active, QPalette::Base);
}

// A small search form: four fields and a button, shown and active so that focus
// moves for real.
struct Form {
    QWidget window;
    QLineEdit* first = new QLineEdit;
    QLineEdit* second = new QLineEdit;
    QLineEdit* third = new QLineEdit;
    QLineEdit* fourth = new QLineEdit;
    QPushButton* button = new QPushButton(QStringLiteral("جستجو"));
    int actions = 0;

    Form()
    {
        auto* layout = new QVBoxLayout(&window);
        for (QWidget* w : {static_cast<QWidget*>(first), static_cast<QWidget*>(second), static_cast<QWidget*>(third),
                           static_cast<QWidget*>(fourth), static_cast<QWidget*>(button)})
            layout->addWidget(w);
        QObject::connect(button, &QPushButton::clicked, &window, [this] { ++actions; });
        window.show();
        QApplication::setActiveWindow(&window);
        EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
    }
    QWidget* focused() const { return QApplication::focusWidget(); }
};

void pressEnter(QWidget* w)
{
    QTest::keyClick(w, Qt::Key_Return);
}

struct SkipCase {
    const char* name;
    bool hideSecond, disableSecond, disableThird, disableFourth;
    int expected; // 1..4: the field that gets the focus from the first
};

class EnterChainSkips : public ::testing::TestWithParam<SkipCase> {};

TEST_P(EnterChainSkips, EnterMovesToTheFirstControlThatCanTakeTheFocus)
{
    const SkipCase c = GetParam();
    Form f;
    EnterChain chain;
    chain.add(f.first).add(f.second).add(f.third).add(f.fourth, f.button);
    f.second->setHidden(c.hideSecond);
    f.second->setEnabled(!c.disableSecond);
    f.third->setEnabled(!c.disableThird);
    f.fourth->setEnabled(!c.disableFourth);

    f.first->setFocus();
    pressEnter(f.first);
    const QLineEdit* fields[] = {f.first, f.second, f.third, f.fourth};
    EXPECT_EQ(f.focused(), fields[c.expected - 1]);
    EXPECT_EQ(f.actions, 0) << "moving on never runs the action";
}

INSTANTIATE_TEST_SUITE_P(Chain, EnterChainSkips,
                         ::testing::Values(SkipCase{"NextShown", false, false, false, false, 2},
                                           SkipCase{"NextHidden", true, false, false, false, 3},
                                           SkipCase{"NextDisabled", false, true, false, false, 3},
                                           SkipCase{"HiddenThenDisabled", true, false, true, false, 4},
                                           SkipCase{"NoneCanTakeIt", true, false, true, true, 1}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(EnterChain, ActionsRangesAndOtherKeys)
{
    Form f;
    int ran = 0;
    EnterChain chain;
    chain.add(f.first, [&] { ++ran; }).addRange(f.second, f.fourth).add(f.third).add(f.fourth, f.button);

    // Enter in an action field runs the action and leaves the focus where it is.
    f.first->setFocus();
    pressEnter(f.first);
    EXPECT_EQ(ran, 1);
    EXPECT_EQ(f.focused(), f.first);

    // The keypad's Enter counts as Enter.
    QTest::keyClick(f.first, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(ran, 2);

    // The first date of a range jumps to the second, past controls between them.
    f.second->setFocus();
    pressEnter(f.second);
    EXPECT_EQ(f.focused(), f.fourth);

    // A button reaction clicks the button.
    pressEnter(f.fourth);
    EXPECT_EQ(f.actions, 1);
    EXPECT_EQ(f.focused(), f.fourth);

    // Typing still types.
    QTest::keyClicks(f.fourth, "ab");
    EXPECT_EQ(f.fourth->text(), "ab");
}

TEST(EnterChain, RangeWithDisabledSecondDateMovesOnAlongTheChain)
{
    Form f;
    EnterChain chain;
    chain.addRange(f.first, f.second).add(f.second).add(f.third);
    f.second->setEnabled(false);
    f.first->setFocus();
    pressEnter(f.first);
    EXPECT_EQ(f.focused(), f.third);
}

TEST(FocusHighlight, YellowWhileTheFieldHasTheFocus)
{
    Form f;
    highlightOnFocus(f.second);
    f.first->setFocus();
    EXPECT_EQ(fieldColor(f.second), normalBase(f.second));
    f.second->setFocus();
    EXPECT_EQ(fieldColor(f.second), QColor("#FFFF00"));
    f.third->setFocus();
    EXPECT_EQ(fieldColor(f.second), normalBase(f.second));
    EXPECT_EQ(fieldColor(f.first), normalBase(f.first)) << "fields without the highlight never change";
}

TEST(FilterCheckBox, TickingSwitchesTheFieldsOnAndUntickingOff)
{
    Form f;
    auto* box = new QCheckBox(QStringLiteral("تاريخ"), &f.window);
    box->show();
    bindFilter(box, {f.second, f.third});
    EXPECT_FALSE(f.second->isEnabled());
    EXPECT_FALSE(f.third->isEnabled());
    EXPECT_FALSE(filterOn(f.second));

    box->click();
    EXPECT_TRUE(filterOn(f.second));
    EXPECT_TRUE(f.third->isEnabled());
    EXPECT_EQ(f.focused(), f.second);
    EXPECT_EQ(fieldColor(f.second), QColor("#FFFF00"));
    EXPECT_EQ(fieldColor(f.third), normalBase(f.third)) << "only the first is coloured";

    box->click();
    EXPECT_FALSE(filterOn(f.second));
    EXPECT_FALSE(f.third->isEnabled());
    EXPECT_EQ(fieldColor(f.second), normalBase(f.second));
}

TEST(FilterCheckBox, FilterOnFollowsTheFieldNotItsWindow)
{
    Form f;
    auto* box = new QCheckBox(&f.window);
    bindFilter(box, {f.second});
    box->setChecked(true);
    f.window.setEnabled(false); // a window behind a modal dialog
    EXPECT_TRUE(filterOn(f.second));
}

struct DigitCase {
    const char* name;
    QString typed;
    QString expected;
};

class DigitKeys : public ::testing::TestWithParam<DigitCase> {};

TEST_P(DigitKeys, OnlyDigitsReachTheField)
{
    const DigitCase c = GetParam();
    QLineEdit field;
    acceptDigitKeysOnly(&field);
    typeText(&field, c.typed);
    EXPECT_EQ(field.text(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Field, DigitKeys,
                         ::testing::Values(DigitCase{"Ascii", "12", "12"},
                                           DigitCase{"LetterChangesNothing", "1a2", "12"},
                                           DigitCase{"SignsAndPoint", "-1.5 %", "15"},
                                           DigitCase{"PersianDigits", QStringLiteral("۱۴۰۳"), "1403"},
                                           DigitCase{"ArabicIndicDigits", QStringLiteral("٤٥"), "45"},
                                           DigitCase{"PersianLetter", QStringLiteral("۲ب"), "2"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(DigitKeysField, BackspaceEnterAndCursorKeysStillWork)
{
    QLineEdit field;
    int entered = 0;
    QObject::connect(&field, &QLineEdit::returnPressed, [&] { ++entered; });
    acceptDigitKeysOnly(&field);
    QTest::keyClicks(&field, "123");
    QTest::keyClick(&field, Qt::Key_Left);
    QTest::keyClick(&field, Qt::Key_Backspace);
    QTest::keyClick(&field, Qt::Key_Return);
    EXPECT_EQ(field.text(), "13");
    EXPECT_EQ(entered, 1);
}

// ---- Title click sorting on a real result set ----------------------------------

class TitleSorting : public DbTest {
protected:
    void SetUp() override
    {
        DbTest::SetUp();
        if (!db)
            return;
        ASSERT_TRUE(provisionSucceeded(provision(*db)));
        // Name and number in different orders, so each sort is told apart.
        db->insert("phone", {{"name", "b"}, {"tel", "3"}});
        db->insert("phone", {{"name", "c"}, {"tel", "1"}});
        db->insert("phone", {{"name", "a"}, {"tel", "2"}});
        rs = std::make_unique<ResultSet>(db);
        rs->open("select * from phone order by id");
        model = std::make_unique<ResultSetModel>(rs.get());
        grid.setModel(model.get());
        TitleSort::attach(&grid);
        grid.resize(500, 200);
        grid.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&grid));
    }

    void clickTitle(const QString& field)
    {
        const int col = rs->fieldIndex(field);
        QHeaderView* h = grid.horizontalHeader();
        const QPoint at(h->sectionViewportPosition(col) + h->sectionSize(col) / 2, h->height() / 2);
        QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, at);
    }

    QString column(const QString& field) const
    {
        QStringList values;
        for (int r = 0; r < rs->recordCount(); ++r)
            values << rs->textAt(r, rs->fieldIndex(field));
        return values.join(',');
    }

    std::unique_ptr<ResultSet> rs;
    std::unique_ptr<ResultSetModel> model;
    QTableView grid;
};

TEST_P(TitleSorting, SameTitleTogglesAndAnotherTitleStartsAscending)
{
    rs->moveTo(2); // the row of "c"
    const int name = rs->fieldIndex("name"), tel = rs->fieldIndex("tel");

    const char* expected[] = {"a,b,c", "c,b,a", "a,b,c"};
    for (const char* order : expected) {
        clickTitle("name");
        EXPECT_EQ(column("name"), order);
        EXPECT_TRUE(isTitleBold(&grid, name));
        EXPECT_EQ(rs->asString("name"), "c") << "the current record stays current";
    }

    clickTitle("tel");
    EXPECT_EQ(column("tel"), "1,2,3");
    EXPECT_EQ(column("name"), "c,a,b");
    EXPECT_TRUE(isTitleBold(&grid, tel));
    EXPECT_FALSE(isTitleBold(&grid, name));
    EXPECT_EQ(TitleSort::of(&grid)->boldColumn(), tel);
    EXPECT_EQ(rs->asString("name"), "c");
}

TEST_P(TitleSorting, ANewQueryStartsAscendingAgain)
{
    clickTitle("name");
    EXPECT_EQ(column("name"), "a,b,c");
    rs->open("select * from phone order by id");
    clickTitle("name");
    EXPECT_EQ(column("name"), "a,b,c");
}

TEST_P(TitleSorting, NothingHappensOnAnotherKindOfModel)
{
    QStandardItemModel other(2, 2);
    other.setItem(0, 0, new QStandardItem("z"));
    other.setItem(1, 0, new QStandardItem("y"));
    grid.setModel(&other);
    clickTitle("id");
    EXPECT_EQ(other.item(0, 0)->text(), "z");
    EXPECT_FALSE(isTitleBold(&grid, 0));
    EXPECT_EQ(TitleSort::of(&grid)->boldColumn(), -1);
    grid.setModel(model.get());
}

TEST_P(TitleSorting, ShownColumnsComeInTheirOrderAndWidthsAndTheRestIsHidden)
{
    const int defaultWidth = grid.horizontalHeader()->defaultSectionSize();
    showColumnsInOrder(&grid, *rs, {{"tel", 70}, {"absent", 50}, {"name", 0}});
    const int name = rs->fieldIndex("name"), tel = rs->fieldIndex("tel");
    for (int c = 0; c < rs->fieldCount(); ++c)
        EXPECT_EQ(grid.isColumnHidden(c), c != name && c != tel) << rs->fieldName(c).toStdString();
    EXPECT_EQ(grid.horizontalHeader()->visualIndex(tel), 0);
    EXPECT_EQ(grid.horizontalHeader()->visualIndex(name), 1);
    EXPECT_EQ(grid.columnWidth(tel), 70);
    EXPECT_EQ(grid.columnWidth(name), defaultWidth);
}

TARVEST_FOR_EACH_DATABASE(TitleSorting);

// ---- The delete password prompt -------------------------------------------------

class DeletePassword : public DbTest {
protected:
    void SetUp() override
    {
        DbTest::SetUp();
        if (!db)
            return;
        ASSERT_TRUE(provisionSucceeded(provision(*db)));
    }
};

TEST_P(DeletePassword, OnlyThePasswordPassesAndAnUnsetOneFollowsTheScreensRule)
{
    using enum EmptyDeletePassword;
    const struct {
        const char* password; // nullptr: none set
        const char* typed;    // nullptr: the box cancelled
        EmptyDeletePassword empty;
        bool passes;
    } cases[] = {
        {"4321", "4321", DeletesNothing, true},   {"4321", "1234", DeletesNothing, false},
        {"4321", nullptr, DeletesNothing, false}, {"4321", "4321", MatchesEmptyText, true},
        {nullptr, "", DeletesNothing, false},     {nullptr, "", MatchesEmptyText, true},
        {nullptr, "x", MatchesEmptyText, false},  {nullptr, nullptr, MatchesEmptyText, false},
    };
    for (const auto& c : cases) {
        db->exec("DELETE FROM setting");
        if (c.password)
            addSettingValue(*db, lists::DeletePassword, c.password);
        FakeDialogs dialogs;
        if (c.typed)
            dialogs.inputs.enqueue(c.typed);
        const bool passed = deletePasswordGiven(*db, "prompt text", c.empty);
        const std::string which = std::string(c.password ? c.password : "(none)") + " / "
                                  + (c.typed ? c.typed : "(cancel)") + " / " + std::to_string(int(c.empty));
        EXPECT_EQ(passed, c.passes) << which;
        EXPECT_EQ(dialogs.masked, QStringList{"Delete Password | prompt text"}) << which;
    }
}

TARVEST_FOR_EACH_DATABASE(DeletePassword);

} // namespace

// The settings screen: adding a value with its checks, deleting a row, the grid it
// shows, and the rights it follows.
#include "app/settingscreen.h"
#include "db/provision.h"
#include "db/session.h"
#include "db/settinglists.h"
#include "fakedialogs.h"
#include "fees/prints/core/statement.h"
#include "testdb.h"

#include <QAction>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>

using namespace tarvest;

namespace {

const QString kAskValue = "لطفا مقدار مناسب را وارد نماييد";
const QString kDuplicate = "تكراري است";
const QString kAdded = "ثبت شد";
const QString kDeleted = "حذف شد";

class SettingScreenTest : public test::DbTest {
protected:
    void SetUp() override
    {
        DbTest::SetUp();
        if (!db)
            return;
        ASSERT_TRUE(provisionSucceeded(provision(*db)));
        put(lists::Consultant, "مهندسین مشاور ب");
        put(lists::Consultant, "مهندسین مشاور الف");
        put(lists::Consultant + " حقوقی", "دفتر ج"); // a longer name containing "مشاور"
        put(lists::DeletePassword, "1234");
        session.setDatabase(tmp->openAnother());
        screen = std::make_unique<Tsetting>(session);
        screen->prepare();
    }
    void put(const QString& list, const QString& value)
    {
        db->insert("setting", {{"component", list}, {"cmt", value}});
    }
    template <typename T>
    T* control(const char* name)
    {
        T* w = screen->findChild<T*>(name);
        EXPECT_TRUE(w) << name;
        return w;
    }
    void choose(const QString& list)
    {
        auto* c = control<QComboBox>("component");
        c->setCurrentIndex(c->findText(list));
        ASSERT_EQ(c->currentText(), list);
    }
    void add(const QString& value)
    {
        control<QLineEdit>("cmt")->setText(value);
        control<QPushButton>("ins_btn")->click();
    }
    QAction* deleteItem()
    {
        const auto actions = control<QTableView>("DBGrid1")->actions();
        for (QAction* a : actions)
            if (a->text() == "حذف")
                return a;
        ADD_FAILURE() << "no delete item in the grid's pop-up";
        return nullptr;
    }
    // The grid's column of a field, as the user sees it.
    QStringList shown(const char* field)
    {
        QStringList values;
        for (int i = 0; i < screen->rows().recordCount(); ++i)
            values << screen->rows().textAt(i, screen->rows().fieldIndex(field));
        return values;
    }

    test::FakeDialogs dialogs;
    Session session;
    std::unique_ptr<Tsetting> screen;
};

} // namespace

TEST_P(SettingScreenTest, OpensOnEveryRowWithNothingChosen)
{
    EXPECT_EQ(screen->windowTitle(), "تنظيمات");
    auto* component = control<QComboBox>("component");
    EXPECT_EQ(component->currentIndex(), -1);
    EXPECT_FALSE(component->isEditable());
    // The 34 fixed lists, then the holder names of the fee statements' posts, then the
    // office's province.
    const QStringList holders = fees::holderListNames();
    ASSERT_FALSE(holders.isEmpty());
    ASSERT_EQ(component->count(), 34 + holders.size() + 1);
    EXPECT_EQ(component->itemText(8), lists::DeletePassword);
    for (int i = 0; i < holders.size(); ++i)
        EXPECT_EQ(component->itemText(34 + i), holders[i]);
    EXPECT_EQ(component->itemText(34 + holders.size()), lists::OfficeProvince);
    // The screen says where the province of the forms' titles comes from.
    auto* province = screen->findChild<QLabel*>("province_source");
    ASSERT_NE(province, nullptr);
    EXPECT_TRUE(province->text().contains(lists::OfficeProvince)) << province->text().toStdString();
    EXPECT_EQ(screen->rows().recordCount(), 4);

    auto* grid = control<QTableView>("DBGrid1");
    const auto& rs = screen->rows();
    EXPECT_TRUE(grid->isColumnHidden(rs.fieldIndex("id")));
    EXPECT_TRUE(grid->isColumnHidden(rs.fieldIndex("def")));
    EXPECT_FALSE(grid->isColumnHidden(rs.fieldIndex("cmt")));
    EXPECT_EQ(grid->model()->headerData(rs.fieldIndex("component"), Qt::Horizontal), "عنوان");
    EXPECT_EQ(grid->model()->headerData(rs.fieldIndex("cmt"), Qt::Horizontal), "شرح");
}

TEST_P(SettingScreenTest, ChoosingAListShowsExactlyItsRowsByValue)
{
    choose(lists::Consultant);
    EXPECT_EQ(shown("cmt"), (QStringList{"مهندسین مشاور الف", "مهندسین مشاور ب"}));
    EXPECT_TRUE(control<QTableView>("DBGrid1")->isColumnHidden(screen->rows().fieldIndex("id")));
}

TEST_P(SettingScreenTest, AddingChecksTheValueAndShowsTheList)
{
    choose(lists::Consultant);
    add("مهندسین مشاور پ");
    EXPECT_EQ(dialogs.shown, QStringList{kAdded});
    EXPECT_EQ(shown("cmt"), (QStringList{"مهندسین مشاور الف", "مهندسین مشاور ب", "مهندسین مشاور پ"}));
    EXPECT_EQ(settingChoices(*db, lists::Consultant).last(), "مهندسین مشاور پ");

    dialogs.shown.clear();
    add("مهندسین مشاور پ");
    add("");
    add("   ");
    EXPECT_EQ(dialogs.shown, (QStringList{kDuplicate, kAskValue, kAskValue}));
    EXPECT_EQ(settingChoices(*db, lists::Consultant).size(), 3);

    // No list chosen: nothing stored under an empty name.
    dialogs.shown.clear();
    screen->prepare();
    add("بدون عنوان");
    EXPECT_EQ(dialogs.shown, QStringList{kAskValue});
    EXPECT_EQ(db->scalar("SELECT count(*) FROM setting").toInt(), 5);
}

TEST_P(SettingScreenTest, DeletingTheSelectedRowShowsEveryListByName)
{
    put(lists::Consultant, "مهندسین مشاور الف"); // the same pair twice
    choose(lists::Consultant);
    ASSERT_EQ(shown("cmt").first(), "مهندسین مشاور الف");
    auto* grid = control<QTableView>("DBGrid1");
    grid->setCurrentIndex(grid->model()->index(0, screen->rows().fieldIndex("cmt")));
    deleteItem()->trigger();

    EXPECT_EQ(dialogs.shown, QStringList{kDeleted});
    EXPECT_EQ(control<QLineEdit>("cmt")->text(), "مهندسین مشاور الف");
    EXPECT_EQ(settingChoices(*db, lists::Consultant), QStringList{"مهندسین مشاور ب"});
    // The grid now holds every list, ordered by name.
    const QStringList names = shown("component");
    EXPECT_EQ(names.size(), 3);
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
    EXPECT_TRUE(names.contains(lists::DeletePassword));
    EXPECT_TRUE(dialogs.asked.isEmpty()); // no question and no password on this screen
}

TEST_P(SettingScreenTest, CommandsFollowTheRights)
{
    const struct {
        bool insert, remove;
    } cases[] = {{true, true}, {false, true}, {true, false}, {false, false}};
    for (const auto& c : cases) {
        PageRights rights;
        rights.insert = c.insert;
        rights.remove = c.remove;
        screen->applyRights(rights);
        EXPECT_EQ(control<QPushButton>("ins_btn")->isEnabled(), c.insert);
        EXPECT_EQ(deleteItem()->isEnabled(), c.remove);
    }

    // A disabled delete item deletes nothing even when run.
    choose(lists::DeletePassword);
    auto* grid = control<QTableView>("DBGrid1");
    grid->setCurrentIndex(grid->model()->index(0, 1));
    deleteItem()->trigger();
    screen->deleteSelected();
    EXPECT_EQ(settingValue(*db, lists::DeletePassword), "1234");
    EXPECT_TRUE(dialogs.shown.isEmpty());
}

TARVEST_FOR_EACH_DATABASE(SettingScreenTest);

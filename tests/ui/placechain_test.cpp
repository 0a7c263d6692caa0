// Place fields bound to their chains: the user's typing and picking refill the list
// below, the screen's own text changes do not, and each screen's variant clears what
// it should.
#include "db/provision.h"
#include "fakedialogs.h"
#include "gazetteer.h"
#include "testdb.h"
#include "typing.h"
#include "widgets/placechain.h"

#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <QVBoxLayout>

using namespace tarvest;
using namespace tarvest::test::gz;

namespace {

QStringList items(const QComboBox* c)
{
    QStringList list;
    for (int i = 0; i < c->count(); ++i)
        list << c->itemText(i);
    return list;
}

// One window with a screen's place fields bound to a chain over a small gazetteer.
class PlaceListsTest : public test::DbTest {
protected:
    void SetUp() override
    {
        DbTest::SetUp();
        if (!db)
            return;
        ASSERT_TRUE(provisionSucceeded(provision(*db)));
        test::insertGazetteer(*db);
    }

    PlaceLists& bind(const PlaceChain& chain)
    {
        auto* layout = new QVBoxLayout(&window);
        QList<QComboBox*> combos;
        for (const PlaceLevel& level : chain.levels) {
            auto* c = new QComboBox;
            c->setObjectName(level.control);
            layout->addWidget(c);
            combos << c;
        }
        lists = std::make_unique<PlaceLists>(chain, combos, [this] { return db; });
        window.show();
        return *lists;
    }
    QComboBox* field(const char* name) { return window.findChild<QComboBox*>(name); }

    // The user replaces a field's text by typing.
    void type(const char* name, const QString& text)
    {
        QComboBox* c = field(name);
        c->lineEdit()->selectAll();
        test::typeText(c->lineEdit(), text);
        ASSERT_EQ(c->currentText(), text) << name;
    }

    test::FakeDialogs dialogs;
    QWidget window;
    std::unique_ptr<PlaceLists> lists;
};

} // namespace

TEST_P(PlaceListsTest, CaseEntryListsOnlyThePlacesUnderTheChosenProvinceAndCounty)
{
    bind(caseEntryPlaces()).fillTop();
    EXPECT_EQ(items(field("ostan")), (QStringList{"", Isfahan, Quoted, Fars}));

    type("ostan", Fars);
    EXPECT_EQ(items(field("city")), (QStringList{Larestan, Markazi}));
    type("city", Markazi);
    EXPECT_EQ(items(field("bakhsh")), (QStringList{"زرقان", "کوار"}));

    // Another province with the same county name: the county text stays, and the
    // districts follow the new province once the county is chosen again.
    type("ostan", Isfahan);
    EXPECT_EQ(items(field("city")), QStringList{Markazi});
    EXPECT_EQ(field("city")->currentText(), Markazi);
    type("city", Markazi);
    EXPECT_EQ(items(field("bakhsh")), QStringList{"جرقویه"});

    // Picking from the list refills as typing does.
    type("ostan", Fars);
    ASSERT_EQ(field("city")->currentIndex(), 1);
    QTest::keyClick(field("city"), Qt::Key_Up);
    EXPECT_EQ(field("city")->currentText(), Larestan);
    EXPECT_EQ(items(field("bakhsh")), QStringList{"بنارویه"});

    // A quote in a province name is a plain character.
    type("ostan", Quoted);
    EXPECT_EQ(items(field("city")), QStringList{Shahrekord});

    // A county not in the gazetteer: no districts, and the typed text stays.
    type("ostan", Fars);
    type("bakhsh", "زرقان");
    type("city", "ناموجود");
    EXPECT_TRUE(items(field("bakhsh")).isEmpty());
    EXPECT_EQ(field("bakhsh")->currentText(), "");
    EXPECT_EQ(field("city")->currentText(), "ناموجود");
    EXPECT_TRUE(dialogs.shown.isEmpty());
}

TEST_P(PlaceListsTest, CaseEntryChoosesTheVillageCodeOnlyWhenThereIsOne)
{
    bind(caseEntryPlaces()).fillTop();
    type("ostan", Fars);
    type("city", Markazi);
    type("bakhsh", "زرقان");
    type("dehestan", "رحمت");
    type("rosta", "آبباریک");
    EXPECT_EQ(items(field("abadi_cod")), QStringList{"101"});
    EXPECT_EQ(field("abadi_cod")->currentText(), "101");

    type("bakhsh", "کوار");
    EXPECT_EQ(field("dehestan")->currentText(), "");
    type("dehestan", "طسوج");
    type("rosta", "کوشک");
    EXPECT_EQ(items(field("abadi_cod")), (QStringList{"102", "103"}));
    EXPECT_EQ(field("abadi_cod")->currentText(), "");
}

TEST_P(PlaceListsTest, TextsSetByTheScreenRefillNothing)
{
    bind(caseEntryPlaces()).fillTop();
    // As when a stored case is shown: every field set by the program.
    field("ostan")->setCurrentIndex(field("ostan")->findText(Fars));
    field("city")->setEditText(Markazi);
    field("bakhsh")->setEditText("زرقان");
    field("dehestan")->setEditText("رحمت");
    field("rosta")->setEditText("آبباریک");
    field("abadi_cod")->setEditText("999");
    for (const char* name : {"city", "bakhsh", "dehestan", "rosta", "abadi_cod"})
        EXPECT_EQ(field(name)->count(), 0) << name;
    EXPECT_EQ(field("abadi_cod")->currentText(), "999");

    // The user's change afterwards refills as usual and keeps the stored texts above.
    type("rosta", "آبباریک");
    EXPECT_EQ(items(field("abadi_cod")), QStringList{"101"});
    EXPECT_EQ(field("bakhsh")->currentText(), "زرقان");
}

TEST_P(PlaceListsTest, GazetteerEntryEmptiesTheTextsBelowAChange)
{
    bind(gazetteerPlaces()).fillTop();
    type("ostan", Fars);
    type("shahrestan", Markazi);
    QStringList towns = items(field("shahr")); // the town list is not sorted
    towns.sort();
    EXPECT_EQ(towns, (QStringList{"", "شیراز"}));
    type("shahr", "شیراز");
    type("bakhsh", "زرقان");
    type("dehestan", "رحمت");
    EXPECT_EQ(items(field("rosta")), QStringList{"آبباریک"});
    type("rosta", "آبباریک");
    type("cod", "101");

    type("shahrestan", Larestan);
    EXPECT_EQ(items(field("shahr")), QStringList{"لار"});
    for (const char* name : {"shahr", "bakhsh", "dehestan", "rosta", "cod"})
        EXPECT_EQ(field(name)->currentText(), "") << name;
    EXPECT_EQ(field("ostan")->currentText(), Fars);
    EXPECT_EQ(field("shahrestan")->currentText(), Larestan);
}

TEST_P(PlaceListsTest, PriceEntryStartsAtTheCountyAndKeepsTexts)
{
    bind(priceEntryPlaces()).fillTop();
    EXPECT_EQ(items(field("city")), (QStringList{Orphan, Shahrekord, Larestan, Markazi}));
    type("city", Markazi);
    type("bakhsh", "کوار");
    type("city", Larestan);
    EXPECT_EQ(items(field("bakhsh")), QStringList{"بنارویه"});
    EXPECT_EQ(field("bakhsh")->currentText(), "کوار");
}

TEST_P(PlaceListsTest, CaseSearchFillsItsProvinceListOnceAndOtherScreensEachTime)
{
    PlaceLists& search = bind(caseSearchPlaces());
    search.fillTop();
    db->insert("abadiha", {{"ostan", "گیلان"}, {"shahrestan", "رشت"}});
    search.fillTop();
    EXPECT_FALSE(items(field("ostan")).contains("گیلان"));
    type("ostan", "گیلان");
    EXPECT_EQ(items(field("city")), QStringList{"رشت"});

    PlaceLists users(usersPlaces(), {new QComboBox(&window), new QComboBox(&window)}, [this] { return db; });
    users.fillTop();
    EXPECT_TRUE(items(users.combo(0)).contains("گیلان"));
}

TARVEST_FOR_EACH_DATABASE(PlaceListsTest);

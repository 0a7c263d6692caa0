// Gazetteer lookups: the refill step under chosen ancestors and the single lists, on
// a real database of each kind with a small gazetteer.
#include "common/errors.h"
#include "db/places.h"
#include "db/provision.h"
#include "gazetteer.h"
#include "testdb.h"

using namespace tarvest;
using namespace tarvest::test::gz;

namespace {

class PlacesTest : public test::DbTest {
protected:
    void SetUp() override
    {
        DbTest::SetUp();
        if (!db)
            return;
        ASSERT_TRUE(provisionSucceeded(provision(*db)));
        test::insertGazetteer(*db);
    }
};

} // namespace

TEST_P(PlacesTest, EachLevelListsTheDistinctValuesUnderItsAncestors)
{
    const PlaceChain chain = caseEntryPlaces();
    const struct {
        int level;
        QStringList ancestors;
        QStringList expected;
    } cases[] = {
        // Persian alphabetical order: چ comes before ف, unlike in code point order.
        {0, {}, {"", Isfahan, Quoted, Fars}},
        // A county name shared by two provinces shows once under each.
        {1, {Fars}, {Larestan, Markazi}},
        {1, {Isfahan}, {Markazi}},
        // A quote in the province name is just a character of the value.
        {1, {Quoted}, {Shahrekord}},
        // An empty province matches only rows whose province is empty.
        {1, {""}, {Orphan}},
        {1, {QString()}, {Orphan}},
        // Districts of the chosen province and county only.
        {2, {Fars, Markazi}, {"زرقان", "کوار"}},
        {2, {Isfahan, Markazi}, {"جرقویه"}},
        // A county not in the gazetteer has no districts.
        {2, {Fars, "ناموجود"}, {}},
        {5, {Fars, Markazi, "زرقان", "رحمت", "آبباریک"}, {"101"}},
        {5, {Fars, Markazi, "کوار", "طسوج", "کوشک"}, {"102", "103"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(chain.valuesFor(*db, c.level, c.ancestors), c.expected)
            << "level " << c.level << " under " << c.ancestors.join('/').toStdString();
}

TEST_P(PlacesTest, ChainsStartingAtTheCountyLookAcrossProvinces)
{
    // Price entry names no province: "مرکزی" gathers the districts of both provinces.
    EXPECT_EQ(priceEntryPlaces().valuesFor(*db, 1, {Markazi}), (QStringList{"جرقویه", "زرقان", "کوار"}));
    EXPECT_EQ(landEntryPlaces().valuesFor(*db, 4, {Markazi, "کوار", "طسوج", "کوشک"}).size(), 2);
    // The gazetteer chain has the town level: rows without a town sit under the empty town.
    EXPECT_EQ(gazetteerPlaces().valuesFor(*db, 3, {Fars, Markazi, ""}), QStringList{"کوار"});
    EXPECT_EQ(gazetteerPlaces().valuesFor(*db, 3, {Fars, Markazi, "شیراز"}), QStringList{"زرقان"});
}

TEST_P(PlacesTest, SingleListsOfferEveryProvincesValuesOnce)
{
    const QStringList counties{Orphan, Shahrekord, Larestan, Markazi};
    EXPECT_EQ(allCounties(*db), counties);
    EXPECT_EQ(priceEntryPlaces().valuesFor(*db, 0, {}), counties);
    EXPECT_EQ(landEntryPlaces().valuesFor(*db, 0, {}), counties);
    EXPECT_EQ(allVillages(*db).size(), 6);
    EXPECT_EQ(allProvinces(*db).size(), 4);

    EXPECT_EQ(landSearchVillages(*db).size(), 6);
    QStringList markaziVillages = landSearchVillages(*db, Markazi);
    markaziVillages.sort();
    EXPECT_EQ(markaziVillages, (QStringList{"آبباریک", "حسن آباد", "کوشک"}));
    EXPECT_TRUE(landSearchVillages(*db, QString("ناموجود")).isEmpty());
}

TEST_P(PlacesTest, OnlyGazetteerPlaceColumnsAreLookedUp)
{
    EXPECT_THROW(placeValues(*db, "ostan from abadiha; delete from abadiha --"), Error);
    EXPECT_THROW(placeValues(*db, place::County, {{"1=1 or ostan", Fars}}), Error);
    EXPECT_EQ(db->scalar("SELECT count(*) FROM abadiha").toInt(), 8);
}

TARVEST_FOR_EACH_DATABASE(PlacesTest);

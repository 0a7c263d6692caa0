// Fee documents in the database: the search with its filters and totals, band1 without
// the receipt filter, the county-and-year rule under simultaneous saves, deleting a
// document with its other experts' rows, attaching the rows of a new document, and the
// statements (roster, counties, persons), each connection building its own.
#include "db/database.h"
#include "db/provision.h"
#include "db/resultset.h"
#include "db/settinglists.h"
#include "fees/core/feedocs.h"
#include "fees/prints/core/statement.h"
#include "race.h"
#include "testdb.h"

#include <QSqlQuery>

#include <algorithm>

using namespace tarvest;
using namespace tarvest::fees;

namespace {

class FeeDocsTest : public test::DbTest {
protected:
    void SetUp() override
    {
        DbTest::SetUp();
        if (!db)
            return;
        ASSERT_TRUE(provisionSucceeded(provision(*db)));
    }
    qint64 doc(const QString& city, const QString& sal, int fish, QVariantMap more = {})
    {
        more.insert("city", city);
        more.insert("sal", sal);
        more.insert("fish", fish);
        return db->insert("asnad", more);
    }
    QStringList cities(const FeeFilters& f)
    {
        ResultSet rs(db);
        rs.open(feeSearchQuery(*db, f));
        QStringList out;
        for (int r = 0; r < rs.recordCount(); ++r)
            out << rs.textAt(r, rs.fieldIndex("city")) + "/" + rs.textAt(r, rs.fieldIndex("sal"));
        return out;
    }
};

const QVariantMap kPool{{"rosta_cnt", 3}, {"shahr_cnt", 2},          {"ozv_mablagh", 200000},
                        {"ozv_cnt", 5},   {"vartalis_sahm", 100000}, {"sabt_sahm", 100001}};

} // namespace

TEST_P(FeeDocsTest, FiltersCountTotalsAndBand1)
{
    doc("نجف آباد", "1400", 0, kPool);
    doc("نجف آباد", "1409", 1, {{"rosta_cnt", 7}, {"fish_mablagh", 1000}, {"odat_modir", 350}});
    doc("آباده", "1399", 0, kPool);
    doc("شيراز", "1403", 0,
        {{"rosta_cnt", 1}, {"shahr_cnt", 0}, {"ozv_mablagh", 1}, {"ozv_cnt", 1}, {"vartalis_sahm", 0}, {"sabt_sahm", 0}});

    EXPECT_EQ(cities({"آباد", {}, {}}), (QStringList{"نجف آباد/1400", "نجف آباد/1409", "آباده/1399"}));
    EXPECT_EQ(cities({{}, "140", {}}), (QStringList{"نجف آباد/1400", "نجف آباد/1409", "شيراز/1403"}));
    EXPECT_EQ(cities({{}, {}, "1"}), (QStringList{"نجف آباد/1409"}));
    EXPECT_EQ(cities({{}, {}, "x"}), QStringList{});
    // A "%" typed in a filter stands for itself.
    EXPECT_EQ(cities({"%", {}, {}}), QStringList{});

    // The receipt filter narrows the totals but not band1: 5 × (5×200000 + 200001) / 2.
    const FeeTotals withReceipts = feeTotals(*db, {"آباد", {}, "1"});
    EXPECT_EQ(withReceipts.value("c"), "1");
    EXPECT_EQ(withReceipts.value("ro"), "7");
    EXPECT_EQ(withReceipts.value("km"), "650");
    EXPECT_EQ(withReceipts.value("band1"), "6000005"); // two documents without receipts
    // A half rial of the pool stays exact: 1 × 1 / 2.
    EXPECT_EQ(feeTotals(*db, {"شيراز", {}, {}}).band1, "0.5");
    // No row: count 0 and empty sums.
    const FeeTotals none = feeTotals(*db, {"تهران", {}, {}});
    EXPECT_EQ(none.value("c"), "0");
    EXPECT_EQ(none.value("ro"), "");
    EXPECT_EQ(none.band1, "");
}

TEST_P(FeeDocsTest, SimultaneousNewDocumentsOfOneCountyAndYearStoreExactlyOne)
{
    constexpr int kRounds = 8;
    const std::vector<int> saved = test::raceSaves(*tmp, 4, kRounds, [](Database& mine, int round, int) {
        ResultSet docs(&mine);
        docs.open(feeSearchQuery(mine, {"-", {}, {}}));
        try {
            saveNewFeeDocument(docs, {{"city", "کازرون"}, {"sal", QString::number(1400 + round)}, {"fish", 0}}, {});
            return true;
        } catch (const DuplicateKey&) {
            return false;
        }
    });
    for (int round = 0; round < kRounds; ++round) {
        EXPECT_EQ(saved[round], 1) << "round " << round;
        EXPECT_EQ(db->scalar("select count(*) from asnad where sal=?", {QString::number(1400 + round)}).toInt(), 1);
    }
}

TEST_P(FeeDocsTest, ExpertRowsOfANewDocumentAreAttachedAndGoWithIt)
{
    const qint64 legacy = db->insert("sayerkar", {{"asnad_id", 0}, {"nam", "قديمي"}, {"mablagh", 5}});
    const qint64 mine = db->insert("sayerkar", {{"asnad_id", 0}, {"nam", "رضا"}, {"mablagh", 7}});
    ResultSet docs(db);
    docs.open(feeSearchQuery(*db, {}));
    const qint64 id = saveNewFeeDocument(docs, {{"city", "فسا"}, {"sal", "1402"}, {"fish", 0}}, {mine});
    EXPECT_EQ(db->scalar("select asnad_id from sayerkar where id=?", {mine}).toLongLong(), id);
    EXPECT_EQ(db->scalar("select asnad_id from sayerkar where id=?", {legacy}).toLongLong(), 0);
    // A second save of the same county and year is refused and attaches nothing.
    const qint64 other = db->insert("sayerkar", {{"asnad_id", 0}, {"nam", "ب"}, {"mablagh", 1}});
    EXPECT_THROW(saveNewFeeDocument(docs, {{"city", "فسا"}, {"sal", "1402"}}, {other}), DuplicateKey);
    EXPECT_EQ(db->scalar("select asnad_id from sayerkar where id=?", {other}).toLongLong(), 0);

    // The dialog of a new document lists every row still under key 0 (the old one and the
    // one the refused save left), so they can be seen and deleted; a document's dialog
    // lists its own rows.
    ResultSet rows(db);
    const ExpertRows unsaved = expertRowsQuery(0);
    rows.open(unsaved.sql, unsaved.params);
    EXPECT_EQ(rows.recordCount(), 2);
    const ExpertRows own = expertRowsQuery(id);
    rows.open(own.sql, own.params);
    ASSERT_EQ(rows.recordCount(), 1);
    EXPECT_EQ(rows.value("id").toLongLong(), mine);

    ASSERT_TRUE(docs.locate("id", id));
    deleteFeeDocument(*db, docs);
    EXPECT_EQ(db->scalar("select count(*) from asnad").toInt(), 0);
    EXPECT_EQ(db->scalar("select count(*) from sayerkar where id=?", {mine}).toInt(), 0);
    EXPECT_EQ(db->scalar("select count(*) from sayerkar where asnad_id=0").toInt(), 2);
}

TEST_P(FeeDocsTest, StatementRosterCountiesAndPersons)
{
    // No document: the 22 roster rows with empty amounts.
    QList<StatementRow> empty = buildStatement(*db, false);
    ASSERT_EQ(empty.size(), 22);
    for (const StatementRow& r : empty)
        EXPECT_TRUE(r.mablagh.isNull()) << r.semat.toStdString();
    EXPECT_EQ(empty[0].nam, "؟");

    addSettingValue(*db, holderListName("مدير کل"), "دکتر محمدرضا حسيني");
    doc("مرودشت", "1401", 0, {{"shahr_modir", 100}, {"shahr_kar", 400}, {"modirkol2", 30}, {"moaven", 9}});
    doc("مرودشت", "1402", 1, {{"shahr_modir", 1}, {"shahr_kar", 4}, {"moaven1", 5}, {"moaven2", 2}});
    doc("لار", "1402", 0, {{"shahr_modir", 10}, {"shahr_kar", 40}});
    db->insert("sayerkar", {{"asnad_id", 1}, {"nam", "زهرا"}, {"darsad", 40}, {"mablagh", 120000}});
    db->insert("sayerkar", {{"asnad_id", 2}, {"nam", "زهرا"}, {"darsad", 40}, {"mablagh", 1000}});
    db->insert("sayerkar", {{"asnad_id", 1}, {"nam", "علي"}, {"darsad", 60}, {"mablagh", 180000}});
    db->insert("sayerkar", {{"asnad_id", 0}, {"nam", "علي"}, {"darsad", 10}, {"mablagh", 1}});

    const QList<StatementRow> rows = buildStatement(*db, false);
    ASSERT_EQ(rows.size(), 22 + 4 + 2);
    EXPECT_EQ(rows[0].nam, "دکتر محمدرضا حسيني");
    EXPECT_EQ(rows[14].nam, "دکتر محمدرضا حسيني"); // the same post under MB
    EXPECT_EQ(rows[1].nam, "؟");
    EXPECT_EQ(rows[0].mablagh.toLongLong(), 30);
    EXPECT_EQ(rows[11].mablagh.toLongLong(), 111); // county managers together
    // One pair per county, both years summed.
    EXPECT_EQ(rows[22].mahal, "مرودشت");
    EXPECT_EQ(rows[22].mablagh.toLongLong(), 101);
    EXPECT_EQ(rows[23].mablagh.toLongLong(), 404);
    EXPECT_EQ(rows[24].mahal, "لار");
    // Persons: summed over documents; the percentage when the rows agree, empty otherwise.
    EXPECT_EQ(rows[26].nam, "زهرا");
    EXPECT_EQ(rows[26].mablagh.toLongLong(), 121000);
    EXPECT_EQ(rows[26].darsad.toDouble(), 40.0);
    EXPECT_EQ(rows[27].nam, "علي");
    EXPECT_EQ(rows[27].mablagh.toLongLong(), 180001);
    EXPECT_TRUE(rows[27].darsad.isNull());

    // The statement by post leaves out rows 12 and 13 and merges one post's headings.
    fillStatement(*db, true);
    QSqlQuery q = db->exec(byPostQuery(db->kind()));
    QHash<QString, qint64> byPost;
    int lines = 0;
    while (q.next()) {
        byPost.insert(q.value(1).toString(), q.value(0).toLongLong());
        ++lines;
    }
    EXPECT_FALSE(byPost.contains("مدير شهرستان ها"));
    EXPECT_EQ(byPost.value("معاون عمران روستايي"), 2 + 9 + 5);
    EXPECT_EQ(byPost.value("؟"), 121000 + 180001);
    EXPECT_EQ(byPost.value("مدير شهرستان"), 111);

    // By source: ordered by heading, then place.
    fillStatement(*db, false);
    q = db->exec(bySourceQuery(db->kind()));
    QStringList order;
    while (q.next())
        order << q.value(3).toString() + "|" + q.value(0).toString();
    QStringList sorted = order;
    std::stable_sort(sorted.begin(), sorted.end(), [](const QString& a, const QString& b) {
        return a.section('|', 0, 0) + QChar(1) + a.section('|', 1)
               < b.section('|', 0, 0) + QChar(1) + b.section('|', 1);
    });
    EXPECT_EQ(order, sorted);
    EXPECT_EQ(order.size(), 28);
}

TEST_P(FeeDocsTest, TwoConnectionsBuildingStatementsAtOnceEachReadTheirOwn)
{
    doc("بوشهر", "1401", 0, {{"shahr_modir", 10}});
    // Each workstation keeps a document of its own in its statement's last county row:
    // with a shared scratch table the rows of the other would mix in or vanish.
    const std::vector<int> ok = test::raceSaves(*tmp, 2, 6, [](Database& mine, int round, int worker) {
        fillStatement(mine, worker == 0);
        const int expected = worker == 0 ? 20 + 2 : 22 + 2;
        for (int i = 0; i < 3; ++i) {
            const int rows = mine.scalar("select count(*) from " + statementTable()).toInt();
            if (rows != expected)
                throw Error(QStringLiteral("round %1: %2 rows instead of %3").arg(round).arg(rows).arg(expected));
            fillStatement(mine, worker == 0);
        }
        return true;
    });
    for (int n : ok)
        EXPECT_EQ(n, 2);
}

TEST_P(FeeDocsTest, AStatementThatFailsPartWayKeepsThePreviousOneWhole)
{
    doc("بوشهر", "1401", 0, {{"shahr_modir", 10}});
    fillStatement(*db, false);
    const int before = db->scalar("select count(*) from " + statementTable()).toInt();
    ASSERT_EQ(before, 24);
    // The persons' rows cannot be read: the statement fails after its roster and counties.
    db->exec("alter table sayerkar rename to sayerkar_away");
    doc("کنگان", "1402", 0, {{"shahr_modir", 5}});
    EXPECT_THROW(fillStatement(*db, false), Error);
    EXPECT_EQ(db->scalar("select count(*) from " + statementTable()).toInt(), before);
    db->exec("alter table sayerkar_away rename to sayerkar");
    fillStatement(*db, false);
    EXPECT_EQ(db->scalar("select count(*) from " + statementTable()).toInt(), before + 2);
}

TARVEST_FOR_EACH_DATABASE(FeeDocsTest);

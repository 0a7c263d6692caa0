// The snapshot cursor shared by the search and entry screens, on both kinds.
#include "common/bidi.h"
#include "common/errors.h"
#include "db/database.h"
#include "db/provision.h"
#include "db/resultset.h"
#include "testdb.h"

#include <QBuffer>
#include <QFile>
#include <QSignalSpy>

#include <algorithm>
#include <numeric>

using namespace tarvest;
using namespace tarvest::test;

namespace {

class ResultSetTest : public DbTest {
protected:
    void SetUp() override
    {
        DbTest::SetUp();
        if (!db)
            return;
        ASSERT_TRUE(provisionSucceeded(provision(*db)));
        // Three cases, inserted out of date order.
        const struct {
            const char* no;
            const char* dat;
            const char* area;
        } rows[] = {{"100", "1403/02/10", "250"}, {"101", "1402/11/01", "1200.5"}, {"102", "    /  /  ", "75"}};
        for (const auto& r : rows)
            keys << db->insert(
                "komision",
                {{"paper_no", r.no}, {"paper_dat", r.dat}, {"masahat_na", r.area}, {"city", QStringLiteral("اروميه")}});
        rs = std::make_unique<ResultSet>(db);
        rs->open("select * from komision where city = ? order by pk", {QStringLiteral("اروميه")});
    }
    QList<qint64> keys;
    std::unique_ptr<ResultSet> rs;
};

TEST_P(ResultSetTest, WalksTheSnapshotLikeACursor)
{
    EXPECT_EQ(rs->recordCount(), 3);
    EXPECT_EQ(rs->table(), "komision");
    EXPECT_EQ(rs->recNo(), 1);
    EXPECT_FALSE(rs->eof());
    QStringList seen;
    for (rs->first(); !rs->eof(); rs->next())
        seen << rs->asString("PAPER_NO"); // field names without regard to case
    EXPECT_EQ(seen, QStringList({"100", "101", "102"}));
    EXPECT_EQ(rs->recNo(), 3);
    EXPECT_TRUE(rs->moveTo(2));
    EXPECT_EQ(rs->asString("paper_no"), "101");
    EXPECT_FALSE(rs->moveTo(4));
    EXPECT_EQ(rs->fieldIndex("paper_no"), 1);
    EXPECT_EQ(rs->fieldName(0).toLower(), "pk");
    EXPECT_EQ(rs->fieldCount(), rs->fieldNames().size());
    EXPECT_THROW(rs->value("no_such_field"), Error);

    // Statements run meanwhile do not disturb the snapshot.
    db->exec("DELETE FROM komision");
    EXPECT_EQ(rs->recordCount(), 3);
    EXPECT_EQ(rs->asString("paper_no"), "101");

    ResultSet empty(db);
    empty.open("select * from komision");
    EXPECT_TRUE(empty.isEmpty());
    EXPECT_TRUE(empty.eof());
    EXPECT_EQ(empty.recNo(), 0);
    EXPECT_THROW(empty.asString("paper_no"), Error);
}

TEST_P(ResultSetTest, ReadsFieldsAsTextNumberCurrencyAndBoolean)
{
    const qint64 id = db->insert("asnad",
                                 {{"city", "x"}, {"fish_mablagh", "3,000,000,000"}, {"fish", 1}, {"rosta_cnt", 7}});
    db->insert("sayerkar", {{"asnad_id", id}, {"darsad", "12.5"}, {"mablagh", 1500}});
    ResultSet a(db);
    a.open("select a.*, s.darsad from asnad a left join sayerkar s on s.asnad_id = a.id");
    EXPECT_EQ(a.asCurrency("fish_mablagh"), 3000000000LL);
    EXPECT_EQ(a.asInteger("rosta_cnt"), 7);
    EXPECT_TRUE(a.asBoolean("fish"));
    EXPECT_FALSE(a.asBoolean("shahr_cnt")); // null
    EXPECT_EQ(a.asString("shahr_cnt"), "");
    EXPECT_DOUBLE_EQ(a.asFloat("darsad"), 12.5);
    EXPECT_EQ(a.asString("darsad"), "12.5");
    EXPECT_EQ(a.asString("city"), "x");
    EXPECT_THROW(a.asInteger("city"), Error);
}

TEST_P(ResultSetTest, AppendEditAndDeleteWriteThroughToTheTable)
{
    auto other = tmp->openAnother(); // a second workstation
    rs->moveTo(2);
    rs->append({{"paper_no", "103"}, {"paper_dat", "1403/05/01"}, {"city", QStringLiteral("اروميه")}});
    EXPECT_EQ(rs->recordCount(), 4);
    EXPECT_EQ(rs->recNo(), 4) << "the new row is current";
    const qint64 newKey = rs->asInteger("pk");
    EXPECT_GT(newKey, keys.last()) << "the identity key is filled in";
    EXPECT_EQ(other->scalar("SELECT paper_no FROM komision WHERE pk = ?", {newKey}).toString(), "103");

    rs->edit({{"paper_no", "103/ب"}, {"ostan", QStringLiteral("آذربايجان غربي")}});
    EXPECT_EQ(rs->asString("paper_no"), QStringLiteral("103/ب"));
    EXPECT_EQ(other->scalar("SELECT ostan FROM komision WHERE pk = ?", {newKey}).toString(),
              QStringLiteral("آذربايجان غربي"));

    EXPECT_THROW(rs->edit({{"paper_no", QString(31, QChar(u'9'))}}), Error);
    EXPECT_EQ(rs->asString("paper_no"), QStringLiteral("103/ب")) << "a refused edit changes nothing";

    ASSERT_TRUE(rs->locate("pk", keys[1]));
    rs->remove();
    EXPECT_EQ(rs->recordCount(), 3);
    EXPECT_EQ(rs->asString("paper_no"), "102") << "the next row becomes current";
    EXPECT_EQ(other->scalar("SELECT count(*) FROM komision WHERE pk = ?", {keys[1]}).toInt(), 0);

    // A row deleted by another workstation cannot be edited silently.
    other->exec("DELETE FROM komision WHERE pk = ?", {rs->asInteger("pk")});
    EXPECT_THROW(rs->edit({{"paper_no", "x"}}), Error);

    ResultSet computed(db);
    computed.open("select count(*) as c from komision");
    EXPECT_THROW(computed.append({{"paper_no", "1"}}), Error) << "no table to write to";
}

TEST_P(ResultSetTest, LocateAndSortKeepTheChosenRecord)
{
    EXPECT_TRUE(rs->locate("paper_no", "101"));
    EXPECT_TRUE(rs->locate("pk", QString::number(keys[0]))) << "a key typed as text still matches";
    EXPECT_FALSE(rs->locate("paper_no", "999"));
    EXPECT_EQ(rs->asString("paper_no"), "100");

    rs->sort("paper_dat", Qt::AscendingOrder);
    QStringList dates;
    for (int r = 0; r < rs->recordCount(); ++r)
        dates << rs->valueAt(r, rs->fieldIndex("paper_dat")).toString();
    EXPECT_EQ(dates, QStringList({"    /  /  ", "1402/11/01", "1403/02/10"})) << "a blank date sorts first";
    EXPECT_EQ(rs->asString("paper_no"), "100") << "the current record stays current";

    rs->sort("pk", Qt::DescendingOrder);
    EXPECT_EQ(rs->valueAt(0, 0).toLongLong(), keys[2]);
    EXPECT_EQ(rs->asString("paper_no"), "100");
    EXPECT_EQ(rs->sortField().toLower(), "pk");

    rs->refresh(); // same query again: order and current record survive
    EXPECT_EQ(rs->valueAt(0, 0).toLongLong(), keys[2]);
    EXPECT_EQ(rs->asString("paper_no"), "100");
}

TEST_P(ResultSetTest, LargeObjectsToAndFromFilesAndStreams)
{
    QTemporaryDir dir;
    const QString in = dir.filePath("scan.jpg");
    QByteArray bytes(200000, '\0');
    for (int i = 0; i < bytes.size(); ++i)
        bytes[i] = char((i * 31) & 0xff);
    {
        QFile f(in);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    ResultSet pics(db);
    pics.open("select * from komision_pic where cod = ?", {keys[0]});
    pics.append({{"cod", keys[0]}, {"ext", ".jpg"}, {"cmt", QStringLiteral("نقشه")}});
    pics.loadBlobFromFile("pic", in);
    EXPECT_EQ(pics.blob("pic"), bytes);

    const QString out = dir.filePath("out.jpg");
    pics.blobToFile("pic", out);
    QFile f(out);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), bytes);

    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    pics.blobToStream("pic", buffer);
    EXPECT_EQ(buffer.data(), bytes);

    ResultSet again(db);
    again.open("select * from komision_pic");
    EXPECT_EQ(again.blob("pic"), bytes);
    EXPECT_THROW(pics.loadBlobFromFile("pic", dir.filePath("missing.jpg")), Error);
}

TEST_P(ResultSetTest, ModelFollowsTheResultSet)
{
    ResultSetModel model(rs.get());
    model.setTitles({{"PAPER_NO", QStringLiteral("شماره نامه")}});
    EXPECT_EQ(model.rowCount(), 3);
    EXPECT_EQ(model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("شماره نامه"));
    EXPECT_EQ(model.headerData(2, Qt::Horizontal).toString(), "paper_dat");
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    rs->append({{"paper_no", "104"}});
    EXPECT_EQ(inserted.count(), 1);
    EXPECT_EQ(model.rowCount(), 4);
    model.sort(1, Qt::DescendingOrder);
    EXPECT_EQ(model.data(model.index(0, 1)).toString(), isolateLeftToRight("104"))
        << "numbers and codes keep their order inside the right-to-left grid";
}

TEST_P(ResultSetTest, RowsChangedOrDeletedElsewhereAfterTheSearch)
{
    // Nothing of the rows is read yet: the search holds only their keys.
    auto other = tmp->openAnother();
    other->exec("UPDATE komision SET paper_no = '100/ج' WHERE pk = ?", {keys[0]});
    other->exec("DELETE FROM komision WHERE pk = ?", {keys[1]});
    ASSERT_EQ(rs->recordCount(), 3) << "the snapshot keeps its rows";
    const int paperNo = rs->fieldIndex("paper_no");
    EXPECT_EQ(rs->textAt(0, paperNo), QStringLiteral("100/ج")) << "a changed row reads as it is now";
    EXPECT_FALSE(rs->isGone(0));
    EXPECT_TRUE(rs->isGone(1));
    EXPECT_EQ(rs->textAt(1, paperNo), "") << "a deleted row reads empty";
    EXPECT_EQ(rs->valueAt(1, rs->fieldIndex("pk")).toLongLong(), keys[1]) << "but keeps its key";
    EXPECT_EQ(rs->textAt(2, paperNo), "102");

    ASSERT_TRUE(rs->moveTo(2));
    EXPECT_EQ(rs->asInteger("pk"), keys[1]);
    EXPECT_EQ(rs->asString("paper_dat"), "");
    EXPECT_THROW(rs->edit({{"paper_no", "x"}}), Error) << "no silent edit of a deleted row";
    ResultSetModel model(rs.get());
    EXPECT_EQ(model.data(model.index(1, paperNo)).toString(), "");
    EXPECT_FALSE(model.data(model.index(1, paperNo), Qt::ToolTipRole).toString().isEmpty());
    EXPECT_TRUE(model.data(model.index(0, paperNo), Qt::ToolTipRole).isNull());

    // A new order asks the database again: the deleted row is gone for good.
    rs->sort("paper_no", Qt::AscendingOrder);
    EXPECT_EQ(rs->recordCount(), 2);
}

TEST_P(ResultSetTest, PagesAcrossTheEndOfTheSet)
{
    // More rows than a few pages, read in their order at the edges of the pages.
    constexpr int extra = 700;
    db->begin();
    for (int i = 0; i < extra; ++i)
        db->insert("komision", {{"paper_no", QStringLiteral("p%1").arg(i, 4, 10, QLatin1Char('0'))}, {"city", "x"}});
    db->commit();
    ResultSet all(db);
    all.open("select * from komision where city = ? order by paper_no", {QString("x")});
    ASSERT_EQ(all.recordCount(), extra);
    const int paperNo = all.fieldIndex("paper_no");
    for (int r : {0, 255, 256, 257, 511, 512, extra - 2, extra - 1})
        EXPECT_EQ(all.textAt(r, paperNo), QStringLiteral("p%1").arg(r, 4, 10, QLatin1Char('0'))) << "row " << r;
    EXPECT_FALSE(all.valueAt(extra, paperNo).isValid()) << "past the end";
    EXPECT_FALSE(all.valueAt(-1, paperNo).isValid());

    all.last();
    EXPECT_EQ(all.recNo(), extra);
    EXPECT_EQ(all.asString("paper_no"), QStringLiteral("p%1").arg(extra - 1, 4, 10, QLatin1Char('0')));
    all.next();
    EXPECT_TRUE(all.eof());
    EXPECT_FALSE(all.moveTo(extra + 1));

    // Walking every row from the first, as a print or an export does.
    int seen = 0;
    for (all.first(); !all.eof(); all.next())
        seen += all.asString("paper_no") == QStringLiteral("p%1").arg(seen, 4, 10, QLatin1Char('0'));
    EXPECT_EQ(seen, extra);

    // A row appended at the end is read like the others and keeps its place in a new order.
    all.append({{"paper_no", "a"}, {"city", "y"}});
    EXPECT_EQ(all.recordCount(), extra + 1);
    EXPECT_EQ(all.textAt(extra, paperNo), "a");
    all.sort("paper_no", Qt::DescendingOrder);
    EXPECT_EQ(all.recordCount(), extra + 1);
    EXPECT_EQ(all.textAt(extra, paperNo), "a");
    EXPECT_EQ(all.asString("paper_no"), "a") << "the appended row stays current";
}

TEST_P(ResultSetTest, SortThenEditThenLocate)
{
    rs->sort("paper_no", Qt::DescendingOrder); // 102, 101, 100
    ASSERT_TRUE(rs->moveTo(2));
    EXPECT_EQ(rs->asString("paper_no"), "101");
    rs->edit({{"paper_no", "099"}});
    EXPECT_EQ(rs->recNo(), 2) << "an edit does not reorder the rows";
    EXPECT_EQ(rs->asString("paper_no"), "099");

    rs->first();
    ASSERT_TRUE(rs->locate("paper_no", "099"));
    EXPECT_EQ(rs->recNo(), 2);
    EXPECT_EQ(rs->asInteger("pk"), keys[1]);
    ASSERT_TRUE(rs->locate("pk", keys[0]));
    EXPECT_EQ(rs->recNo(), 3);
    EXPECT_FALSE(rs->locate("paper_no", "101")) << "the old value is gone";

    // Sorted again on the edited column, the edited record stays current.
    ASSERT_TRUE(rs->locate("pk", keys[1]));
    rs->sort("paper_no", Qt::AscendingOrder);
    EXPECT_EQ(rs->recNo(), 1);
    EXPECT_EQ(rs->asString("paper_no"), "099");
}

TEST_P(ResultSetTest, TextsSortInTheSameOrderOnBothDatabases)
{
    // Persian letters that Arabic code order puts apart from the Arabic ones, an empty
    // text and a missing one; ties keep the order they had.
    const QStringList names = {
        QStringLiteral("گلی"),  QStringLiteral("پری"),  QStringLiteral("بهرام"), QString(""),
        QStringLiteral("ژاله"), QStringLiteral("كريم"), QStringLiteral("کریم"),  QStringLiteral("Zahra"),
        QStringLiteral("ali"),  QStringLiteral("بهرام")};
    db->exec("DELETE FROM komision");
    QList<qint64> ids;
    for (const QString& n : names)
        ids << db->insert("komision", {{"darkhast", n}, {"city", "s"}});
    ids << db->insert("komision", {{"city", "s"}}); // no name
    ResultSet sorted(db);
    sorted.open("select * from komision where city = ? order by pk", {QString("s")});
    sorted.sort("darkhast", Qt::AscendingOrder);
    // The order of the earlier client-side sort: empty first, then by character code.
    QList<int> expected(ids.size());
    std::iota(expected.begin(), expected.end(), 0);
    auto nameOf = [&](int i) { return i < names.size() ? QVariant(names[i]) : QVariant(); };
    std::stable_sort(expected.begin(), expected.end(), [&](int a, int b) {
        const QVariant x = nameOf(a), y = nameOf(b);
        if (x.isNull() || y.isNull())
            return x.isNull() && !y.isNull();
        return QString::compare(x.toString(), y.toString(), Qt::CaseSensitive) < 0;
    });
    QList<qint64> want, got;
    for (int i : expected)
        want << ids[i];
    for (int r = 0; r < sorted.recordCount(); ++r)
        got << sorted.valueAt(r, 0).toLongLong();
    EXPECT_EQ(got, want);
    sorted.sort("darkhast", Qt::DescendingOrder);
    EXPECT_EQ(sorted.valueAt(sorted.recordCount() - 1, 0).toLongLong(), ids.last()) << "no name last, descending";
    EXPECT_EQ(sorted.textAt(0, sorted.fieldIndex("darkhast")), QStringLiteral("گلی"));
}

TARVEST_FOR_EACH_DATABASE(ResultSetTest);

} // namespace

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
        const struct { const char* no; const char* dat; const char* area; } rows[] = {
            {"100", "1403/02/10", "250"}, {"101", "1402/11/01", "1200.5"}, {"102", "    /  /  ", "75"}};
        for (const auto& r : rows)
            keys << db->insert("komision", {{"paper_no", r.no}, {"paper_dat", r.dat}, {"masahat_na", r.area},
                                            {"city", QStringLiteral("اروميه")}});
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
    const qint64 id = db->insert("asnad", {{"city", "x"}, {"fish_mablagh", "3,000,000,000"}, {"fish", 1},
                                           {"rosta_cnt", 7}});
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

TARVEST_FOR_EACH_DATABASE(ResultSetTest);

} // namespace

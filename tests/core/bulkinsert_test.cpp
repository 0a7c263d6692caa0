// Rows written through one statement prepared once, on both kinds of database: every
// row arrives whole whatever the group size, and a refused group fails with the
// database's reason without its rows being sent again.
#include "common/errors.h"
#include "db/bulkinsert.h"
#include "db/database.h"
#include "testdb.h"

using namespace tarvest;
using namespace tarvest::test;

namespace {

class BulkInsertTest : public DbTest {
protected:
    void SetUp() override
    {
        DbTest::SetUp();
        if (db)
            db->exec("CREATE TABLE bulk_rows (n integer PRIMARY KEY, name varchar(200), code varchar(20))");
    }
    static QVariantList row(int n)
    {
        // A long Persian name with both kafs, an empty code every third row, no code at
        // all every fifth: texts, empty texts and nulls keep what they are.
        const QVariant code = n % 5 == 0   ? QVariant()
                              : n % 3 == 0 ? QVariant(QStringLiteral(""))
                                           : QVariant(QStringLiteral("0230%1").arg(n));
        return {n, QStringLiteral("سيد محمدرضا حسيني كيا کلانتري فيروزآبادي %1").arg(n), code};
    }
    // The rows as "n|name|code", a missing code as "<null>".
    static QString text(const QVariantList& r)
    {
        return r[0].toString() + u'|' + r[1].toString() + u'|'
               + (r[2].isNull() ? QStringLiteral("<null>") : r[2].toString());
    }
    QStringList stored()
    {
        QStringList out;
        QSqlQuery q = db->exec("SELECT n, name, code FROM bulk_rows ORDER BY n");
        while (q.next())
            out << text({q.value(0), q.value(1), q.value(2)});
        return out;
    }
};

TEST_P(BulkInsertTest, EveryRowArrivesWholeAcrossTheGroups)
{
    // Counts around the group of three (a tail of one and of two), and the database's
    // own group size.
    const struct {
        int rows;
        int perStatement;
    } cases[] = {{0, 3}, {1, 3}, {3, 3}, {4, 3}, {8, 3}, {1, 0}, {120, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.rows << " rows, " << c.perStatement << " a statement");
        db->exec("DELETE FROM bulk_rows");
        QStringList expected;
        BulkInsert bulk(*db, "bulk_rows", {"n", "name", "code"}, c.perStatement);
        for (int n = 1; n <= c.rows; ++n) {
            bulk.add(row(n));
            expected << text(row(n));
        }
        bulk.flush();
        bulk.flush(); // nothing held: nothing written twice
        EXPECT_EQ(stored(), expected);
    }
}

TEST_P(BulkInsertTest, ARefusedGroupFailsWithTheReasonAndIsNotSentAgain)
{
    BulkInsert bulk(*db, "bulk_rows", {"n", "name", "code"}, 3);
    bulk.add(row(1));
    bulk.add(row(2));
    try {
        bulk.add(row(1)); // the third row fills the group; its key is taken
        FAIL() << "a duplicate key was stored";
    } catch (const Error& e) {
        EXPECT_TRUE(e.message().startsWith(QStringLiteral("خطا در اجرای دستور بانک اطلاعاتی: ")))
            << e.message().toStdString();
    }
    EXPECT_TRUE(stored().isEmpty()) << "the refused statement wrote none of its rows";

    // The inserter goes on with the rows that follow; the refused ones are gone.
    bulk.add(row(4));
    bulk.flush();
    EXPECT_EQ(stored(), QStringList{text(row(4))});

    EXPECT_THROW(bulk.add({5, "x"}), Error) << "a row of the wrong width";
    bulk.add(row(6));
    bulk.flush();
    EXPECT_EQ(stored(), (QStringList{text(row(4)), text(row(6))}));
}

TARVEST_FOR_EACH_DATABASE(BulkInsertTest);

} // namespace

// Writing values through the database layer on both kinds: bound values, text
// widths, whole-rial amounts, identity keys and server defaults.
#include "common/errors.h"
#include "db/database.h"
#include "db/provision.h"
#include "db/schema.h"
#include "testdb.h"

using namespace tarvest;
using namespace tarvest::test;

namespace {

class DatabaseTest : public DbTest {
protected:
    void SetUp() override
    {
        DbTest::SetUp();
        if (db) {
            ASSERT_TRUE(provisionSucceeded(provision(*db)));
        }
    }
};

TEST_P(DatabaseTest, ValuesAreBoundNeverSpliced)
{
    const QString hostile = QStringLiteral("x'); DELETE FROM users; -- «ک ي»");
    const qint64 id = db->insert("phone", {{"name", hostile}, {"tel", "021-1"}});
    EXPECT_EQ(db->scalar("SELECT name FROM phone WHERE id = ?", {id}).toString(), hostile);
    EXPECT_EQ(db->scalar("SELECT count(*) FROM users").toInt(), 1);
    EXPECT_EQ(db->scalar("SELECT count(*) FROM phone WHERE name " + db->like() + " ?", {"%DELETE from%"}).toInt(), 1)
        << "filters match without regard to case";
}

TEST_P(DatabaseTest, TextLongerThanItsColumnIsRefusedBeforeTheStatement)
{
    const QString thirty = QString(30, QChar(0x06A9)); // thirty Persian letters fit nvarchar(30)
    EXPECT_NO_THROW(db->insert("komision", {{"paper_no", thirty}}));
    try {
        db->insert("komision", {{"paper_no", thirty + "1"}});
        FAIL() << "a 31-character letter number was stored";
    } catch (const Error& e) {
        EXPECT_TRUE(e.message().contains("paper_no"));
        EXPECT_TRUE(e.message().contains("30"));
    }
    // The database itself refuses it too, for statements written by other means.
    EXPECT_THROW(db->exec("INSERT INTO komision (paper_no) VALUES (?)", {thirty + "1"}), Error);
    EXPECT_EQ(db->scalar("SELECT count(*) FROM komision").toInt(), 1);
    // An unbounded column takes a long text.
    EXPECT_NO_THROW(db->insert("komision", {{"ostan", QString(5000, QChar(u'x'))}}));
}

TEST_P(DatabaseTest, AmountsAreExactWholeRials)
{
    struct Case {
        QVariant in;
        qint64 stored;
    };
    const Case cases[] = {
        {QStringLiteral("2,147,483,648"), 2147483648LL},
        {QStringLiteral("9223372036854775807"), 9223372036854775807LL},
        {qint64(3000000000000LL), 3000000000000LL},
        {QStringLiteral("1250000.5"), 1250000}, // half to even
        {QStringLiteral("1250001.5"), 1250002},
        {QStringLiteral("۱۲۵٬۰۰۰"), 125000}, // Persian digits and separator
        {QStringLiteral("-987,654"), -987654},
        {QStringLiteral(""), 0},
    };
    for (const Case& c : cases) {
        const qint64 id = db->insert("asnad", {{"fish_mablagh", c.in}});
        const QVariant back = db->scalar("SELECT fish_mablagh FROM asnad WHERE id = ?", {id});
        EXPECT_EQ(back.toLongLong(), c.stored) << c.in.toString().toStdString();
        EXPECT_EQ(db->scalar("SELECT fish_mablagh - 1 FROM asnad WHERE id = ?", {id}).toString(),
                  QString::number(c.stored - 1))
            << "arithmetic on the column is exact";
    }
    for (const char* bad : {"abc", "12.5.1", "99999999999999999999"})
        EXPECT_THROW(db->insert("asnad", {{"fish_mablagh", QString::fromLatin1(bad)}}), Error) << bad;
}

TEST_P(DatabaseTest, IdentityKeysAreNotReusedAfterADelete)
{
    const qint64 a = db->insert("phone", {{"name", "a"}});
    const qint64 b = db->insert("phone", {{"name", "b"}});
    EXPECT_EQ(b, a + 1);
    EXPECT_EQ(db->remove("phone", b), 1);
    const qint64 c = db->insert("phone", {{"name", "c"}});
    EXPECT_GT(c, b);
}

TEST_P(DatabaseTest, LogRowsGetTheServerTime)
{
    db->insert("log", {{"karbar", "admin"}, {"cmt", QStringLiteral("ورود")}});
    const QString stamp = db->scalar("SELECT saat_sys FROM log").toString();
    EXPECT_FALSE(stamp.isEmpty());
    EXPECT_TRUE(stamp.startsWith(QDate::currentDate().toString("yyyy-MM-dd"))
                || stamp.startsWith(QDate::currentDate().addDays(-1).toString("yyyy-MM-dd")))
        << stamp.toStdString();
}

TEST_P(DatabaseTest, NumberColumnsTakeTypedTextAndRefuseWhatIsNotANumber)
{
    const qint64 id = db->insert("asnad", {{"rosta_cnt", "12"}, {"shahr_cnt", ""}, {"fish", true}});
    QSqlQuery q = db->exec("SELECT rosta_cnt, shahr_cnt, fish FROM asnad WHERE id = ?", {id});
    ASSERT_TRUE(q.next());
    EXPECT_EQ(q.value(0).toInt(), 12);
    EXPECT_EQ(q.value(1).toInt(), 0);
    EXPECT_EQ(q.value(2).toInt(), 1);
    EXPECT_THROW(db->insert("asnad", {{"rosta_cnt", "دوازده"}}), Error);
    EXPECT_THROW(db->insert("sayerkar", {{"darsad", "1.2.3"}}), Error);
    EXPECT_THROW(db->insert("asnad", {{"no_such_column", "1"}}), Error);
    EXPECT_THROW(db->insert("no_such_table", {{"a", "1"}}), Error);
}

TEST_P(DatabaseTest, WholeNumbersBeyond32BitsAreRefusedBeforeTheStatement)
{
    struct Case {
        const char* column;
        QVariant value;
        bool fits;
    };
    const Case cases[] = {
        {"rosta_cnt", QStringLiteral("2147483647"), true},  {"ozv_cnt", QStringLiteral("-2147483648"), true},
        {"rosta_cnt", QStringLiteral("2147483648"), false}, {"ozv_cnt", QString::fromUtf16(u"۳۰۰۰۰۰۰۰۰۰"), false},
        {"shahr_cnt", qint64(5000000000LL), false},         {"fish", QStringLiteral("-2147483649"), false},
    };
    for (const Case& c : cases) {
        const QString what = QString::fromLatin1(c.column) + " = " + c.value.toString();
        if (c.fits) {
            EXPECT_NO_THROW(db->insert("asnad", {{c.column, c.value}})) << what.toStdString();
            continue;
        }
        try {
            db->insert("asnad", {{c.column, c.value}});
            ADD_FAILURE() << "stored " << what.toStdString();
        } catch (const Error& e) {
            EXPECT_TRUE(e.message().startsWith(QStringLiteral("خطا!"))) << e.message().toStdString();
            EXPECT_TRUE(e.message().contains(QLatin1String(c.column))) << e.message().toStdString();
        }
    }
    EXPECT_EQ(db->scalar("SELECT count(*) FROM asnad").toInt(), 2);
    // A 64-bit column takes what a 32-bit one refuses.
    EXPECT_NO_THROW(db->insert("kashfghimat", {{"ghimat_id", qint64(5000000000LL)}}));
}

TEST_P(DatabaseTest, LargeObjectsKeepEveryByte)
{
    QByteArray bytes;
    for (int i = 0; i < 70000; ++i)
        bytes.append(char(i * 7 % 256));
    const qint64 id = db->insert("zamaem", {{"cmt", "x"}, {"pictype", ".jpg"}, {"pic", bytes}});
    EXPECT_EQ(db->scalar("SELECT pic FROM zamaem WHERE id = ?", {id}).toByteArray(), bytes);
}

TEST_P(DatabaseTest, FailedStatementReportsTheDatabaseReason)
{
    try {
        db->exec("SELECT no_such_column FROM users");
        FAIL();
    } catch (const Error& e) {
        EXPECT_TRUE(e.message().contains("no_such_column")) << e.message().toStdString();
    }
}

TARVEST_FOR_EACH_DATABASE(DatabaseTest);

TEST(PgParams, ParsesConninfoAndKeepsOtherOptions)
{
    const PgParams p = PgParams::parse("host=db.local port=5433 dbname=Tarvest user=sa password=s3 sslmode=require");
    EXPECT_EQ(p.host, "db.local");
    EXPECT_EQ(p.port, 5433);
    EXPECT_EQ(p.database, "Tarvest");
    EXPECT_EQ(p.user, "sa");
    EXPECT_EQ(p.password, "s3");
    EXPECT_EQ(p.options, "sslmode=require");
    EXPECT_FALSE(p.toConninfo().contains("s3")) << "the description never shows the password";
    EXPECT_THROW(PgParams::parse("host"), Error);
}

TEST(Sqlite, MissingFileIsAnErrorWhenNotCreating)
{
    QTemporaryDir dir;
    EXPECT_THROW(Database::openSqlite(dir.filePath("none.sqlite"), false), Error);
}

} // namespace

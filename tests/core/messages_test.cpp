// Internal messages on both databases: the recipient entries by user id, the message
// set of a user and of the administrator, the repetition check (also between two
// workstations), the unread count, and deletions that touch only the rows they name.
#include "admin/core/messages.h"
#include "db/login.h"
#include "db/provision.h"
#include "race.h"
#include "testdb.h"

#include <QSqlQuery>

using namespace tarvest;

namespace {

class MessagesTest : public test::DbTest {
protected:
    void SetUp() override
    {
        DbTest::SetUp();
        if (!db)
            return;
        ASSERT_TRUE(provisionSucceeded(provision(*db)));
        admin = db->scalar("SELECT id FROM users WHERE us = 'admin'").toLongLong();
        reza = user("reza", "فارس", "city", "کارشناس", "رضا کریمی");
    }
    qint64 user(const QString& us, const QVariant& ostan, const QString& lev, const QString& semat, const QString& nam)
    {
        return db->insert("users", {{"us", us}, {"ostan", ostan}, {"lev", lev}, {"semat", semat}, {"nam", nam}});
    }
    qint64 message(qint64 to, const QVariant& seen, const QString& sent = "1403/05/01", qint64 from = 0)
    {
        return db->insert("payamha", {{"send_prs_id", from ? from : admin},
                                      {"rec_prs_id", to},
                                      {"send_dat", sent},
                                      {"show_dat", seen},
                                      {"mozo", "اداري"},
                                      {"cmt", QByteArray("x")}});
    }
    QList<qint64> ids(const QString& where = "1 = 1")
    {
        QList<qint64> out;
        QSqlQuery q = db->exec("SELECT id FROM payamha WHERE " + where + " ORDER BY id");
        while (q.next())
            out << q.value(0).toLongLong();
        return out;
    }
    int count(const QString& sql, const QVariantList& params = {}) { return db->scalar(sql, params).toInt(); }

    qint64 admin = 0;
    qint64 reza = 0;
};

} // namespace

TEST(MessageEntries, FourPartsJoinedByStarsAndAnEmptyValueGivesAnEmptyPart)
{
    EXPECT_EQ(userEntryText("فارس", "city", "کارشناس", "رضا"), "فارس*city*کارشناس*رضا");
    EXPECT_EQ(userEntryText("", "city", "", "رضا"), "*city**رضا");
    EXPECT_EQ(userEntryText("", "", "", ""), "***");
}

TEST_P(MessagesTest, EntriesCarryEachUsersIdEvenWhenTheirTextsAreTheSame)
{
    const qint64 first = user("ali1", "فارس", "city", "کارشناس", "علي");
    const qint64 second = user("ali2", "فارس", "city", "کارشناس", "علي");
    const qint64 noProvince = user("nima", QVariant(), "ostan", "مدير", "نيما");
    const QList<UserEntry> entries = userEntries(*db);
    ASSERT_EQ(entries.size(), 5);
    EXPECT_EQ(entries[0].id, admin);
    EXPECT_EQ(entries[2].id, first);
    EXPECT_EQ(entries[3].id, second);
    EXPECT_EQ(entries[2].text, entries[3].text);
    EXPECT_EQ(entries[4].text, "*ostan*مدير*نيما") << "a missing province is an empty part";
    EXPECT_EQ(entries[4].id, noProvince);

    // Sent to both entries of the same text: each user gets a message of their own.
    const SendOutcome sent = sendMessage(*db, reza, {entries[2].id, entries[3].id}, "جلسه", "متن", "1403/05/02");
    EXPECT_EQ(sent.stored, 2);
    EXPECT_EQ(count("SELECT count(*) FROM payamha WHERE rec_prs_id = ?", {first}), 1);
    EXPECT_EQ(count("SELECT count(*) FROM payamha WHERE rec_prs_id = ?", {second}), 1);
    EXPECT_EQ(unreadMessageCount(*db, QString::number(first)), 1);
}

TEST_P(MessagesTest, OneMessageADayPerSenderRecipientAndSubject)
{
    const QString text = "لطفا پرونده هاي معوق را تا پايان هفته تكميل فرماييد.\nبا سپاس";
    SendOutcome out = sendMessage(*db, admin, {reza}, "اداري", text, "1403/05/02");
    EXPECT_EQ(out.stored, 1);
    out = sendMessage(*db, admin, {reza}, "اداري", "متن ديگر", "1403/05/02");
    EXPECT_EQ(out.stored, 0);
    EXPECT_EQ(out.skipped, 1);
    EXPECT_EQ(count("SELECT count(*) FROM payamha"), 1);

    // Another subject, another day or another sender is another message.
    const qint64 other = user("sara", "فارس", "city", "", "سارا");
    EXPECT_EQ(sendMessage(*db, admin, {reza}, "فوري", text, "1403/05/02").stored, 1);
    EXPECT_EQ(sendMessage(*db, admin, {reza}, "اداري", text, "1403/05/03").stored, 1);
    EXPECT_EQ(sendMessage(*db, other, {reza}, "اداري", text, "1403/05/02").stored, 1);
    // A send to several recipients skips only the one who has it already.
    out = sendMessage(*db, admin, {other, reza}, "اداري", text, "1403/05/02");
    EXPECT_EQ(out.stored, 1);
    EXPECT_EQ(out.skipped, 1);
    // No recipient: nothing stored.
    EXPECT_EQ(sendMessage(*db, admin, {}, "اداري", text, "1403/05/09").stored, 0);
    EXPECT_EQ(count("SELECT count(*) FROM payamha"), 5);

    // Stored as sent: unseen (the empty text, not a missing value), the text whole.
    QSqlQuery q = db->exec("SELECT send_prs_id, send_dat, show_dat, mozo, cmt FROM payamha ORDER BY id");
    ASSERT_TRUE(q.next());
    EXPECT_EQ(q.value(0).toLongLong(), admin);
    EXPECT_EQ(q.value(1).toString(), "1403/05/02");
    EXPECT_FALSE(q.value(2).isNull());
    EXPECT_EQ(q.value(2).toString(), "");
    EXPECT_EQ(q.value(3).toString(), "اداري");
    EXPECT_EQ(messageText(q.value(4)), text);
    EXPECT_EQ(unreadMessageCount(*db, QString::number(reza)), 4);
}

TEST_P(MessagesTest, ASendThatFailsHalfWayStoresNone)
{
    const qint64 other = user("sara", "فارس", "city", "", "سارا");
    // The subject fits, but the recipient id does not fit its whole-number column.
    EXPECT_THROW(sendMessage(*db, admin, {reza, other, qint64(1) << 40}, "اداري", "متن", "1403/05/02"), Error);
    EXPECT_EQ(count("SELECT count(*) FROM payamha"), 0);
    EXPECT_THROW(sendMessage(*db, admin, {reza}, QString(101, u'م'), "متن", "1403/05/02"), Error);
    EXPECT_EQ(count("SELECT count(*) FROM payamha"), 0);
}

TEST_P(MessagesTest, TwoWorkstationsSendingTheSameMessageStoreIt)
{
    const std::vector<int> stored = test::raceSaves(*tmp, 2, 5, [&](Database& conn, int round, int) {
        const QString day = QString("1403/06/%1").arg(round + 1, 2, 10, QLatin1Char('0'));
        return sendMessage(conn, admin, {reza}, "اداري", "متن", day).stored == 1;
    });
    for (int s : stored)
        EXPECT_EQ(s, 1) << "exactly one of the two sends stores each round's message";
    EXPECT_EQ(count("SELECT count(*) FROM payamha"), 5);
}

TEST_P(MessagesTest, TheMessageSetOfAUserAndOfTheAdministrator)
{
    const qint64 other = user("sara", "فارس", "city", "", "سارا");
    const qint64 old = message(reza, "1403/01/02", "1403/01/01");
    const qint64 newest = message(reza, "", "1403/07/01");
    const qint64 sameDay = message(reza, "", "1403/07/01");
    const qint64 toOther = message(other, "", "1403/06/01");
    const qint64 gone = user("gone", "فارس", "city", "", "رفته");
    const qint64 fromGone = message(reza, "", "1403/02/01", gone);
    db->remove("users", gone);

    ResultSet rs(db);
    rs.open(messageQuery(*db, reza));
    QList<qint64> order;
    for (int r = 0; r < rs.recordCount(); ++r)
        order << rs.valueAt(r, rs.fieldIndex("id")).toLongLong();
    EXPECT_EQ(order, (QList<qint64>{sameDay, newest, fromGone, old})) << "newest date first, then newest row";
    ASSERT_TRUE(rs.locate("id", newest));
    EXPECT_EQ(rs.asString("ferestande"), "admin");
    ASSERT_TRUE(rs.locate("id", fromGone));
    EXPECT_EQ(rs.asString("ferestande"), "") << "a sender whose row is gone";

    rs.open(messageQuery(*db, std::nullopt));
    EXPECT_EQ(rs.recordCount(), 5);
    EXPECT_TRUE(rs.locate("id", toOther));
    rs.open(messageQuery(*db, other));
    EXPECT_EQ(rs.recordCount(), 1);

    EXPECT_EQ(recipientName(*db, toOther), "sara");
    db->remove("users", other);
    EXPECT_EQ(recipientName(*db, toOther), "") << "a recipient whose row is gone";
}

TEST_P(MessagesTest, ThreeUnseenAndTwoSeenCountThreeAndMarkingCountsDown)
{
    const qint64 a = message(reza, "");
    const qint64 b = message(reza, "");
    const qint64 c = message(reza, "");
    message(reza, "1403/05/02");
    message(reza, "1403/05/03");
    message(reza, QVariant()); // a missing date: neither unseen nor seen
    message(admin, "");
    EXPECT_EQ(unreadMessageCount(*db, QString::number(reza)), 3);
    for (qint64 id : {a, b, c})
        EXPECT_EQ(markMessageSeen(*db, id, "1403/05/04"), 1);
    EXPECT_EQ(unreadMessageCount(*db, QString::number(reza)), 0);
    EXPECT_EQ(markMessageSeen(*db, a, "1403/05/05"), 1) << "marking again overwrites the date";
    EXPECT_EQ(db->scalar("SELECT show_dat FROM payamha WHERE id = ?", {a}).toString(), "1403/05/05");
    EXPECT_EQ(unreadMessageCount(*db, QString::number(admin)), 1);
}

TEST_P(MessagesTest, DeletionsTouchOnlyTheRowsTheyName)
{
    const qint64 other = user("sara", "فارس", "city", "", "سارا");
    const qint64 seen1 = message(reza, "1403/05/02");
    const qint64 seen2 = message(reza, "1403/05/03");
    const qint64 unseen = message(reza, "");
    const qint64 missing = message(reza, QVariant());
    const qint64 seenOther = message(other, "1403/05/02");
    const qint64 unseenOther = message(other, "");

    // The selection: two seen and one unseen; the unseen one stays, so does every other row.
    EXPECT_EQ(deleteSeenMessages(*db, {seen1, unseen, seen2}), 2);
    EXPECT_EQ(ids(), (QList<qint64>{unseen, missing, seenOther, unseenOther}));
    EXPECT_EQ(deleteSeenMessages(*db, {missing}), 0) << "a message without a date is not seen";
    EXPECT_EQ(deleteSeenMessages(*db, QList<qint64>{}), 0);

    EXPECT_EQ(deleteMessage(*db, unseenOther), 1);
    EXPECT_EQ(ids(), (QList<qint64>{unseen, missing, seenOther}));

    // Every seen message of every user.
    message(reza, "1403/05/09");
    EXPECT_EQ(deleteSeenMessages(*db), 2);
    EXPECT_EQ(ids(), (QList<qint64>{unseen, missing}));
}

TEST_P(MessagesTest, ASelectionOfManyMessagesIsDeletedWhole)
{
    db->begin();
    for (int i = 0; i < 1203; ++i)
        message(reza, i % 3 ? "1403/05/02" : "");
    db->commit();
    const QList<qint64> all = ids();
    EXPECT_EQ(deleteSeenMessages(*db, all), 802);
    EXPECT_EQ(count("SELECT count(*) FROM payamha"), 401);
    EXPECT_EQ(unreadMessageCount(*db, QString::number(reza)), 401);
}

TARVEST_FOR_EACH_DATABASE(MessagesTest);

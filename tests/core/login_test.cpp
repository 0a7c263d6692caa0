// The login check and the password change on both databases.
#include "common/clock.h"
#include "common/password.h"
#include "common/workstation.h"
#include "db/database.h"
#include "db/login.h"
#include "db/provision.h"
#include "testdb.h"

using namespace tarvest;
using namespace tarvest::test;
using Result = LoginOutcome::Result;

namespace {

class LoginTest : public DbTest {
protected:
    void SetUp() override
    {
        DbTest::SetUp();
        if (!db)
            return;
        ASSERT_TRUE(provisionSucceeded(provision(*db)));
        Workstation::setFixed("10.0.0.7", "karshenas-pc");
        Clock::setFixed(QDateTime(QDate(2025, 3, 21), QTime(9, 30)));
        reza = db->insert("users", {{"us", "reza"},
                                    {"ps", hashPassword("s3cret")},
                                    {"lev", "city"},
                                    {"nam", QStringLiteral("رضا احمدي")},
                                    {"status", QStringLiteral("فعال")}});
    }
    void TearDown() override
    {
        Workstation::setFixed({}, {});
        Clock::setFixed(std::nullopt);
    }
    QStringList logTexts()
    {
        QStringList out;
        QSqlQuery q = db->exec("SELECT cmt FROM log ORDER BY id");
        while (q.next())
            out << q.value(0).toString();
        return out;
    }
    qint64 reza = 0;
};

TEST_P(LoginTest, RefusesWrongPasswordAndInactiveUser)
{
    struct Case {
        QString user, password, status;
        Result expected;
    };
    const Case cases[] = {
        {"reza", "wrong", QStringLiteral("فعال"), Result::WrongPassword},
        {"nobody", "s3cret", QStringLiteral("فعال"), Result::WrongPassword},
        {"reza", "s3cret ", QStringLiteral("فعال"), Result::WrongPassword}, // passwords compare exactly
        {"reza", "s3cret", QString(""), Result::Inactive},
        {"reza", "s3cret", QStringLiteral("غير فعال"), Result::Inactive},
    };
    for (const Case& c : cases) {
        db->update("users", {{"status", c.status}}, reza);
        EXPECT_EQ(logIn(*db, c.user, c.password).result, c.expected)
            << c.user.toStdString() << "/" << c.password.toStdString();
    }
    EXPECT_TRUE(logTexts().isEmpty()) << "refused logins write no record";
}

TEST_P(LoginTest, SuccessSetsTheStateWritesTheRecordAndCountsUnreadMessages)
{
    db->insert("payamha", {{"rec_prs_id", reza}, {"show_dat", QString("")}, {"mozo", "a"}});
    db->insert("payamha", {{"rec_prs_id", reza}, {"show_dat", "1403/12/01"}, {"mozo", "b"}});
    db->insert("payamha", {{"rec_prs_id", reza}, {"mozo", "null date is not unread"}});
    db->update("users", {{"ver", "0"}}, reza);

    const LoginOutcome out = logIn(*db, "REZA  ", "s3cret"); // name without case and trailing blanks
    ASSERT_EQ(out.result, Result::LoggedIn);
    EXPECT_EQ(out.state.userId, QString::number(reza));
    EXPECT_EQ(out.state.level, "city");
    EXPECT_EQ(out.state.userName, "reza") << "the stored name, whatever was typed";
    EXPECT_EQ(out.unreadMessages, 1);
    EXPECT_EQ(db->scalar("SELECT ver FROM users WHERE id = ?", {reza}).toString(), "1");

    QSqlQuery q = db->exec("SELECT karbar, ip, computer_name, tarikh, cmt, saat FROM log");
    ASSERT_TRUE(q.next());
    EXPECT_EQ(q.value(0).toString(), "reza");
    EXPECT_EQ(q.value(1).toString(), "10.0.0.7");
    EXPECT_EQ(q.value(2).toString(), "karshenas-pc");
    EXPECT_EQ(q.value(3).toString(), "1404/01/01");
    EXPECT_EQ(q.value(4).toString(), QStringLiteral("  ورود موفق به نرم افزار  reza رضا احمدي"));
    EXPECT_EQ(q.value(5).toString(), "09:30:00") << "time of day in Latin digits, no zone";
    EXPECT_FALSE(q.next());
}

TEST_P(LoginTest, OutdatedProgramIsRefusedExceptForAdminWhoMarksTheNewVersion)
{
    db->exec("UPDATE users SET ver = '2' WHERE us = 'admin'");
    const LoginOutcome refused = logIn(*db, "reza", "s3cret");
    EXPECT_EQ(refused.result, Result::Outdated);
    EXPECT_EQ(refused.newestVersion, "2");
    EXPECT_EQ(logTexts(),
              QStringList{QStringLiteral("  ورود ناموفق به نرم افزار بدليل استفاده از نسخه قديمي   2 reza")});

    EXPECT_EQ(logIn(*db, "admin", "1").result, Result::LoggedIn) << "admin's own login writes 1 into its row";
    EXPECT_EQ(logIn(*db, "reza", "s3cret").result, Result::LoggedIn);
}

TEST_P(LoginTest, AdminTypedInCapitalsIsTheAdministrator)
{
    const LoginOutcome out = logIn(*db, "ADMIN", "1");
    ASSERT_EQ(out.result, Result::LoggedIn);
    EXPECT_EQ(out.state.userName, "admin");
    EXPECT_TRUE(out.state.isAdministrator());
    EXPECT_EQ(db->scalar("SELECT karbar FROM log").toString(), "admin");
    EXPECT_FALSE(logIn(*db, "REZA", "s3cret").state.isAdministrator());
}

TEST_P(LoginTest, MissingOrUnreadableNewestVersionMeansNoNewerVersion)
{
    for (const char* ver : {"", "abc"}) {
        db->exec("UPDATE users SET ver = ? WHERE us = 'admin'", {QString::fromLatin1(ver)});
        EXPECT_EQ(logIn(*db, "reza", "s3cret").result, Result::LoggedIn) << ver;
    }
    db->exec("DELETE FROM users WHERE us = 'admin'");
    EXPECT_EQ(logIn(*db, "reza", "s3cret").result, Result::LoggedIn);
}

TEST_P(LoginTest, PlainPasswordIsAcceptedOnceAndStoredAsAHash)
{
    const qint64 old = db->insert("users", {{"us", "old"}, {"ps", "plain-1"}, {"status", QStringLiteral("فعال")}});
    EXPECT_FALSE(findUser(*db, "old", "plain-2").has_value());
    ASSERT_TRUE(findUser(*db, "old", "plain-1").has_value());
    const QString stored = db->scalar("SELECT ps FROM users WHERE id = ?", {old}).toString();
    EXPECT_TRUE(isPasswordHash(stored));
    EXPECT_TRUE(verifyPassword(stored, "plain-1"));
    EXPECT_TRUE(findUser(*db, "old", "plain-1").has_value());
}

TEST_P(LoginTest, PasswordChangeNeedsTheCurrentPassword)
{
    EXPECT_FALSE(changePassword(*db, "reza", "wrong", "new-one"));
    EXPECT_TRUE(findUser(*db, "reza", "s3cret").has_value());
    EXPECT_TRUE(changePassword(*db, "reza", "s3cret", "new-one"));
    EXPECT_FALSE(findUser(*db, "reza", "s3cret").has_value());
    EXPECT_TRUE(findUser(*db, "reza", "new-one").has_value());
    EXPECT_TRUE(changePassword(*db, "reza", "new-one", "new-one")) << "the same password again is a change";
    const QString stored = db->scalar("SELECT ps FROM users WHERE id = ?", {reza}).toString();
    EXPECT_TRUE(isPasswordHash(stored));
}

TARVEST_FOR_EACH_DATABASE(LoginTest);

} // namespace

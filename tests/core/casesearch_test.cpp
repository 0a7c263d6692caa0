// The case search conditions on both databases.
#include "cases/core/casesearch.h"
#include "db/database.h"
#include "db/provision.h"
#include "db/resultset.h"
#include "testdb.h"

using namespace tarvest;
using namespace tarvest::test;

namespace {

class CaseSearchTest : public DbTest {
protected:
    void SetUp() override
    {
        DbTest::SetUp();
        if (!db)
            return;
        ASSERT_TRUE(provisionSucceeded(provision(*db)));
        struct Row {
            const char* no;
            QString city, rosta, darkhast;
            const char* area;
            const char* meeting;
            const char* reg;
            QString taeid, manzor;
        };
        const QString urmia = QStringLiteral("اروميه"), khoy = QStringLiteral("خوي");
        const Row rows[] = {
            {"100/5", urmia, QStringLiteral("قره حسنلو"), QStringLiteral("علي كريمي"), "99", "1403/02/10", "1403/01/05",
             QStringLiteral("تاييد امور زمين"), QStringLiteral("تغيير كاربري")},
            {"101/5", urmia, QStringLiteral("باراندوز"), QStringLiteral("رضا احمدي"), "1000", "1403/03/01",
             "1403/02/01", QString(""), QStringLiteral("افزايش محدوده")},
            {"7", khoy, QStringLiteral("قطور"), QStringLiteral("50%_off"), "100", "    /  /  ", "1402/12/29",
             QString(""), QStringLiteral("تغيير كاربري")},
            {"8", khoy, QStringLiteral("قطور"), QStringLiteral("x"), "abc", "    /  /  ", "1403/01/01", QString(""),
             QStringLiteral("تغيير كاربري")},
        };
        for (const Row& r : rows)
            keys << db->insert("komision", {{"paper_no", r.no},
                                            {"city", r.city},
                                            {"rosta", r.rosta},
                                            {"darkhast", r.darkhast},
                                            {"masahat_khales", r.area},
                                            {"komision_t_k_dat", r.meeting},
                                            {"reg_dat", r.reg},
                                            {"taeid_zamin", r.taeid},
                                            {"manzor", r.manzor},
                                            {"ostan", QStringLiteral("آذربايجان غربي")}});
        db->insert("komision_pic", {{"cod", keys[1]}, {"ext", ".jpg"}});
        db->insert("komision_pic", {{"cod", keys[1]}, {"ext", ".pdf"}});
        userId = db->insert("users", {{"us", "ostani"}, {"lev", "ostan"}});
        db->insert("dastrasi2", {{"user_id", userId}, {"cmt", urmia}});
    }

    // Keys of the found cases (by position in the fixture) and the count.
    std::pair<QList<int>, qint64> run(const CaseFilters& f, const LoginState& user)
    {
        const CaseQuery q = buildCaseSearch(f, user, db->kind());
        const qint64 count = db->scalar(q.countSql, q.params).toLongLong();
        ResultSet rs(db);
        rs.open(q.resultSql, q.params, "komision");
        QList<int> found;
        for (rs.first(); !rs.eof(); rs.next())
            found << keys.indexOf(rs.asInteger("pk"));
        return {found, count};
    }

    LoginState admin{"1", "admin", "admin"};
    QList<qint64> keys;
    qint64 userId = 0;
};

TEST_P(CaseSearchTest, EachFilterAloneAndTheCountAgrees)
{
    struct Case {
        const char* what;
        std::function<void(CaseFilters&)> set;
        QList<int> expected;
    };
    const QList<Case> cases = {
        {"no filter", [](CaseFilters&) {}, {0, 1, 2, 3}},
        {"province", [](CaseFilters& f) { f.ostan = QStringLiteral("غربي"); }, {0, 1, 2, 3}},
        {"letter number contains", [](CaseFilters& f) { f.paperNo = "/5"; }, {0, 1}},
        {"county", [](CaseFilters& f) { f.city = QStringLiteral("خوي"); }, {2, 3}},
        {"village", [](CaseFilters& f) { f.rosta = QStringLiteral("قطور"); }, {2, 3}},
        {"applicant", [](CaseFilters& f) { f.darkhast = QStringLiteral("كريمي"); }, {0}},
        {"applicant with pattern characters taken literally", [](CaseFilters& f) { f.darkhast = "0%_"; }, {2}},
        {"area at least 100, as numbers",
         [](CaseFilters& f) {
             f.areaComparison = AreaComparison::AtLeast;
             f.area = 100;
         },
         {1, 2}},
        {"area at most 100",
         [](CaseFilters& f) {
             f.areaComparison = AreaComparison::AtMost;
             f.area = 100;
         },
         {0, 2}},
        {"area equal",
         [](CaseFilters& f) {
             f.areaComparison = AreaComparison::Equal;
             f.area = 1000;
         },
         {1}},
        {"meeting dates inclusive",
         [](CaseFilters& f) {
             f.meetingDates = {{"1403/02/10", "1403/03/01"}};
         },
         {0, 1}},
        {"blank lower date admits blank dates",
         [](CaseFilters& f) {
             f.meetingDates = {{"    /  /  ", "1403/02/10"}};
         },
         {0, 2, 3}},
        {"registration dates",
         [](CaseFilters& f) {
             f.registrationDates = {{"1403/01/01", "1403/01/31"}};
         },
         {0, 3}},
        {"id list",
         [this](CaseFilters& f) {
             f.ids = QList<qint64>{keys[3], keys[1], keys[1]};
         },
         {1, 3}},
        {"empty id list finds nothing", [](CaseFilters& f) { f.ids = QList<qint64>{}; }, {}},
        {"land affairs approval", [](CaseFilters& f) { f.taeidZamin = QStringLiteral("تاييد امور زمين"); }, {0}},
        {"request type", [](CaseFilters& f) { f.manzor = QStringLiteral("افزايش محدوده"); }, {1}},
        {"combined",
         [](CaseFilters& f) {
             f.city = QStringLiteral("اروميه");
             f.manzor = QStringLiteral("تغيير كاربري");
         },
         {0}},
    };
    for (const Case& c : cases) {
        CaseFilters f;
        c.set(f);
        const auto [found, count] = run(f, admin);
        EXPECT_EQ(found, c.expected) << c.what;
        EXPECT_EQ(count, c.expected.size()) << c.what;
    }
}

TEST_P(CaseSearchTest, UsersSeeOnlyTheirCounties)
{
    EXPECT_EQ(run({}, LoginState{QString::number(userId), "ostan", "ostani"}).first, QList<int>({0, 1}));
    EXPECT_EQ(run({}, LoginState{"999", "ostan", "nobody"}).second, 0) << "an empty county list sees no case";
    EXPECT_EQ(run({}, LoginState{"999", "city", QStringLiteral("خوي")}).second, 0);
}

TEST_P(CaseSearchTest, PictureCountIsEmptyForACaseWithoutPictures)
{
    const CaseQuery q = buildCaseSearch({}, admin, db->kind());
    ResultSet rs(db);
    rs.open(q.resultSql, q.params, "komision");
    ASSERT_TRUE(rs.locate("pk", keys[1]));
    EXPECT_EQ(rs.asInteger("pic_count"), 2);
    ASSERT_TRUE(rs.locate("pk", keys[0]));
    EXPECT_TRUE(rs.isNull("pic_count"));
}

TARVEST_FOR_EACH_DATABASE(CaseSearchTest);

TEST(CaseSearchText, ApplicantNamesTakeTheArabicKaf)
{
    EXPECT_EQ(toArabicKaf(QStringLiteral("کریم کاظمی")), QStringLiteral("كریم كاظمی"));
}

} // namespace

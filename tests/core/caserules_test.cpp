// Rules of a case record: the field table against the komision table, the checks
// before saving and their order, the duplicate lookup with and without the case
// being edited, the enable sets of each user level, and the kaf normalisation.
#include "cases/core/caserules.h"
#include "db/database.h"
#include "db/places.h"
#include "db/provision.h"
#include "db/settinglists.h"
#include "gazetteer.h"
#include "testdb.h"

#include <QHash>
#include <QSet>
#include <QSqlQuery>

using namespace tarvest;
using namespace tarvest::test::gz;

namespace {

// A case that passes every check: Fars / Markazi is in the gazetteer.
CaseTexts validCase()
{
    return {{"ostan", Fars},         {"city", Markazi},           {"rosta", "کوشک"},
            {"paper_no", "12/345"},  {"paper_dat", "1403/02/10"}, {"karbari1", "زراعي"},
            {"takhrib_masahat", "0"}};
}

} // namespace

TEST(CaseFields, TableMatchesTheRecordAndTheLoadOrder)
{
    QSet<QString> names;
    for (const CaseField& f : caseFields()) {
        EXPECT_FALSE(names.contains(f.name)) << f.name.toStdString();
        names.insert(f.name);
        if (!f.list.isEmpty()) {
            EXPECT_TRUE(settingListNames().contains(f.list)) << f.name.toStdString();
        }
    }
    EXPECT_EQ(names.size(), 57);

    // Every field but the check box is loaded from a stored case, and nothing else is.
    QSet<QString> loaded(caseLoadOrder().begin(), caseLoadOrder().end());
    QSet<QString> expected = names;
    expected.remove("taeid_zamin");
    EXPECT_EQ(loaded, expected);
    EXPECT_EQ(caseLoadOrder().count("malek_pardakhti"), 2);

    // The sorted lists are exactly the case entry's place chain.
    QStringList sorted, chain;
    for (const CaseField& f : caseFields())
        if (f.sorted())
            sorted << f.name;
    for (const PlaceLevel& l : caseEntryPlaces().levels)
        chain << l.control;
    EXPECT_EQ(sorted, chain);

    // Hidden fields, and the ones whose caption writes today's date.
    QStringList hidden, today;
    for (const CaseField& f : caseFields()) {
        if (!f.visible())
            hidden << f.name;
        if (f.todayCaption())
            today << f.name;
    }
    EXPECT_EQ(hidden, (QStringList{"dabir", "zamin", "moshaver", "bazdid_dat", "tasvib_dat", "tasvib_result",
                                   "tasvib_b_dat", "tasvib_paper_no", "ost_paper_no"}));
    EXPECT_EQ(today, (QStringList{"paper_dat", "paper_dat2", "komision_t_k_dat", "komision_dat"}));
}

TEST(CaseFields, RequiredFieldChecksReportEveryFailureInOrder)
{
    struct Row {
        const char* what;
        CaseTexts changes;
        QStringList messages;
    };
    const Row rows[] = {
        {"complete", {}, {}},
        {"covered without letter", {{"tahteposhesh", "کميته امداد"}}, {caseText::CoveredWithoutLetter}},
        {"covered with letter", {{"tahteposhesh", "کميته امداد"}, {"tahteposhesh_no", "55"}}, {}},
        {"no village, no existing use",
         {{"rosta", ""}, {"karbari1", ""}},
         {caseText::VillageRequired, caseText::ExistingUseRequired}},
        {"all four",
         {{"tahteposhesh", "x"}, {"rosta", ""}, {"karbari1", ""}, {"takhrib_masahat", ""}},
         {caseText::CoveredWithoutLetter, caseText::VillageRequired, caseText::ExistingUseRequired,
          caseText::DestroyedAreaRequired}},
    };
    for (const Row& r : rows) {
        CaseTexts t = validCase();
        for (auto it = r.changes.begin(); it != r.changes.end(); ++it)
            t.insert(it.key(), it.value());
        EXPECT_EQ(caseFieldProblems(t), r.messages) << r.what;
    }
}

TEST(CaseFields, EditRefusalsGuardOnlyTheCountyOffice)
{
    const QString blank = "    /  /  ";
    EXPECT_EQ(editRefusals("city", caseText::LandApproved, "1403/01/01"),
              (QStringList{caseText::ApprovedNoEdit, caseText::ProvinceRegisteredNoEdit}));
    EXPECT_EQ(editRefusals("city", caseText::LandApproved, blank), QStringList{caseText::ApprovedNoEdit});
    EXPECT_EQ(editRefusals("city", "", "1403/01/01"), QStringList{caseText::ProvinceRegisteredNoEdit});
    EXPECT_TRUE(editRefusals("city", "", blank).isEmpty());
    EXPECT_TRUE(editRefusals("city", "", "").isEmpty());
    EXPECT_TRUE(editRefusals("ostan", caseText::LandApproved, "1403/01/01").isEmpty());
}

TEST(CaseFields, LevelEnableSets)
{
    const QStringList group = {"paper_no",
                               "paper_dat",
                               "paper_no2",
                               "paper_dat2",
                               "city",
                               "rosta",
                               "darkhast",
                               "manzor",
                               "masahat_na",
                               "malek_varizi",
                               "metraj",
                               "malek_pardakhti",
                               "fani",
                               "zamin",
                               "mashmol",
                               "dabir",
                               "komision_dat",
                               "komision_idea",
                               "price_metr",
                               "melk_arzesh",
                               "malek_sahm",
                               "masahat_khales",
                               "ghimat_karshenasi_d",
                               "ghimat_karshenasi_kh",
                               "komision_t_k",
                               "komision_t_k_dat"};
    struct Row {
        QString level;
        QStringList enabled; // within the office group
    };
    QStringList registration = group;
    registration.removeAll("zamin");
    registration.removeAll("mashmol");
    const Row rows[] = {
        {"ostan", group},
        {"ثبت پرونده", registration},
        {"امور زمين",
         {"zamin", "mashmol", "paper_no2", "paper_dat2", "malek_pardakhti", "melk_arzesh", "komision_dat",
          "komision_idea", "malek_sahm", "price_metr", "malek_varizi"}},
        {"امور فني و مطالعات", {"fani"}},
        {"دبير كميسيون معاملات", {"dabir"}},
    };
    for (const Row& r : rows) {
        const auto set = enableSetFor(r.level);
        ASSERT_TRUE(set) << r.level.toStdString();
        EXPECT_EQ(QSet<QString>(set->enabled.begin(), set->enabled.end()),
                  QSet<QString>(r.enabled.begin(), r.enabled.end()))
            << r.level.toStdString();
        QSet<QString> all(set->enabled.begin(), set->enabled.end());
        all.unite(QSet<QString>(set->disabled.begin(), set->disabled.end()));
        EXPECT_EQ(all, QSet<QString>(group.begin(), group.end())) << r.level.toStdString();
    }

    const auto county = enableSetFor("city");
    ASSERT_TRUE(county);
    EXPECT_EQ(county->enabled.size(), 29);
    EXPECT_EQ(county->disabled.size(), 19);
    EXPECT_TRUE(county->enabled.contains("kharej"));
    EXPECT_TRUE(county->disabled.contains("taeid_zamin"));
    EXPECT_TRUE(county->disabled.contains("cmt"));
    for (const QString& name : county->enabled + county->disabled)
        EXPECT_TRUE(caseField(name)) << name.toStdString();

    EXPECT_FALSE(enableSetFor("admin"));
    EXPECT_FALSE(enableSetFor("keshvar"));
}

TEST(CaseFields, KehehBecomesKaf)
{
    EXPECT_EQ(arabicKaf("کریم کاکایی"), "كریم كاكایی");
    EXPECT_EQ(arabicKaf("كاظم"), "كاظم");
    EXPECT_EQ(arabicKaf(""), "");
}

// ---- Against the database ----------------------------------------------------------

class CaseRulesTest : public test::DbTest {
protected:
    void SetUp() override
    {
        DbTest::SetUp();
        if (!db)
            return;
        ASSERT_TRUE(provisionSucceeded(provision(*db)));
        test::insertGazetteer(*db);
    }
    qint64 store(const CaseTexts& t)
    {
        QVariantMap row;
        for (auto it = t.begin(); it != t.end(); ++it)
            row.insert(it.key(), it.value());
        return db->insert("komision", row);
    }
};

TEST_P(CaseRulesTest, NewCaseProblemsInOrder)
{
    EXPECT_TRUE(newCaseProblems(*db, validCase()).isEmpty());

    CaseTexts typedCounty = validCase();
    typedCounty["city"] = Larestan + " "; // not the gazetteer's text
    EXPECT_EQ(newCaseProblems(*db, typedCounty), QStringList{caseText::UnknownCounty});
    CaseTexts wrongProvince = validCase();
    wrongProvince["city"] = Shahrekord;
    EXPECT_EQ(newCaseProblems(*db, wrongProvince), QStringList{caseText::UnknownCounty});

    store(validCase());
    EXPECT_EQ(newCaseProblems(*db, validCase()), QStringList{caseText::Duplicate});

    // Failing required fields skip the gazetteer check, but the duplicate check still runs.
    CaseTexts incomplete = validCase();
    incomplete["city"] = "ناموجود";
    incomplete["karbari1"] = "";
    store(incomplete);
    EXPECT_EQ(newCaseProblems(*db, incomplete), (QStringList{caseText::ExistingUseRequired, caseText::Duplicate}));

    CaseTexts otherVillage = validCase();
    otherVillage["rosta"] = "آبباریک";
    EXPECT_TRUE(newCaseProblems(*db, otherVillage).isEmpty());
}

TEST_P(CaseRulesTest, DuplicateLookupMatchesAllFourAndLeavesOutTheEditedCase)
{
    const qint64 key = store(validCase());
    EXPECT_TRUE(isDuplicateCase(*db, validCase()));
    EXPECT_FALSE(isDuplicateCase(*db, validCase(), key));
    for (const char* column : {"paper_no", "paper_dat", "city", "rosta"}) {
        CaseTexts t = validCase();
        t[column] = t[column] + "1";
        EXPECT_FALSE(isDuplicateCase(*db, t)) << column;
    }
    // Quotes are values, not SQL.
    CaseTexts quoted = validCase();
    quoted["paper_no"] = "1' OR '1'='1";
    EXPECT_FALSE(isDuplicateCase(*db, quoted));
}

TEST_P(CaseRulesTest, EditProblemsCheckCountyAndDuplicateOnlyWhenChanged)
{
    CaseTexts other = validCase();
    other["rosta"] = "آبباریک";
    store(other);
    // A stored case whose county is no longer in the gazetteer still saves unchanged.
    CaseTexts mine = validCase();
    mine["city"] = "قدیم";
    const qint64 key = store(mine);

    EXPECT_TRUE(editCaseProblems(*db, mine, mine, key).isEmpty());

    CaseTexts typed = mine;
    typed["city"] = "جدید";
    EXPECT_EQ(editCaseProblems(*db, typed, mine, key), QStringList{caseText::UnknownCounty});

    CaseTexts collides = validCase();
    collides["rosta"] = "آبباریک";
    EXPECT_EQ(editCaseProblems(*db, collides, mine, key), QStringList{caseText::Duplicate});

    CaseTexts moved = validCase();
    EXPECT_TRUE(editCaseProblems(*db, moved, mine, key).isEmpty());
}

TEST_P(CaseRulesTest, VillageNamesGetKaf)
{
    normaliseVillageNames(*db);
    QStringList villages;
    QSqlQuery q = db->exec("SELECT rosta FROM abadiha ORDER BY id");
    while (q.next())
        villages << q.value(0).toString();
    EXPECT_EQ(villages, (QStringList{"آبباریك", "آبباریك", "كوشك", "كوشك", "حسن آباد", "بنارویه", "دستگرد", "سه"}));
    EXPECT_EQ(db->scalar("SELECT shahrestan FROM abadiha WHERE cod = ?", {"401"}).toString(), Shahrekord);
}

TEST_P(CaseRulesTest, VillageNamesOfTwentyThousandVillagesChangeInOneTransactionTouchingOnlyThoseWithKeheh)
{
    // Every second village has a keheh in its name.
    db->exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 20000) "
             "INSERT INTO abadiha (ostan, shahrestan, rosta) SELECT ?, ?, "
             "CASE WHEN i % 2 = 0 THEN ? || CAST(i AS varchar(10)) ELSE ? || CAST(i AS varchar(10)) END FROM n",
             {Fars, Larestan, QStringLiteral("کلاته "), QStringLiteral("ده ")});
    const bool pg = db->kind() == DbKind::Postgres;
    // Which rows a statement wrote: the row version on a server, a trigger on SQLite.
    if (!pg) {
        db->exec("CREATE TEMP TABLE touched (id integer)");
        db->exec(
            "CREATE TEMP TRIGGER note_touched AFTER UPDATE ON abadiha BEGIN INSERT INTO touched VALUES (new.id); END");
    }
    const auto versions = [&] {
        QHash<qint64, QString> v;
        if (pg) {
            QSqlQuery q = db->exec("SELECT id, xmin::text FROM abadiha");
            while (q.next())
                v.insert(q.value(0).toLongLong(), q.value(1).toString());
        }
        return v;
    };
    const QHash<qint64, QString> before = versions();
    const QString kehehPattern = QStringLiteral("%ک%");
    const int withKeheh = db->scalar("SELECT count(*) FROM abadiha WHERE rosta LIKE ?", {kehehPattern}).toInt();
    EXPECT_EQ(withKeheh, 10000 + 4); // and the two names of the small gazetteer, twice each

    EXPECT_EQ(normaliseVillageNames(*db), withKeheh);

    EXPECT_EQ(db->scalar("SELECT count(*) FROM abadiha WHERE rosta LIKE ?", {kehehPattern}).toInt(), 0);
    EXPECT_EQ(db->scalar("SELECT rosta FROM abadiha WHERE rosta LIKE ?", {QStringLiteral("% 20000")}).toString(),
              QStringLiteral("كلاته 20000"));
    EXPECT_EQ(db->scalar("SELECT count(*) FROM abadiha WHERE rosta LIKE ?", {QStringLiteral("ده %")}).toInt(), 10000);
    if (pg) {
        const QHash<qint64, QString> after = versions();
        QSet<QString> writers;
        int touched = 0;
        for (auto it = after.begin(); it != after.end(); ++it)
            if (it.value() != before.value(it.key())) {
                ++touched;
                writers.insert(it.value());
            }
        EXPECT_EQ(touched, withKeheh);
        EXPECT_EQ(writers.size(), 1) << "one transaction";
    } else {
        EXPECT_EQ(db->scalar("SELECT count(*) FROM touched").toInt(), withKeheh);
    }
    EXPECT_EQ(normaliseVillageNames(*db), 0) << "a repeat touches nothing";
}

TARVEST_FOR_EACH_DATABASE(CaseRulesTest);

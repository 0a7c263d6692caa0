#include "admin/core/sampledata.h"

#include "cases/core/caserules.h"
#include "cases/core/valuation.h"
#include "common/errors.h"
#include "common/password.h"
#include "db/database.h"
#include "db/provision.h"
#include "db/settinglists.h"

#include <QSqlQuery>

namespace tarvest {

using namespace Qt::StringLiterals;

namespace {

const QString kProvince = u"استان نمونه"_s;

struct SampleDehestan {
    const char16_t* bakhsh;
    const char16_t* dehestan;
    std::initializer_list<const char16_t*> villages;
};

struct SampleCounty {
    const char16_t* name;
    const char16_t* code; // the county's part of every village code
    std::initializer_list<SampleDehestan> dehestans;
};

// Made-up places; some village names carry the Persian keheh, as typed gazetteers do.
const std::initializer_list<SampleCounty>& sampleCounties()
{
    static const std::initializer_list<SampleCounty> counties = {
        {u"آبشار",
         u"01",
         {{u"مركزي", u"دشت سبز", {u"گل آباد", u"چشمه سار", u"کوشک نو", u"باغ بهار"}},
          {u"مركزي", u"رودبار", {u"ده بالا", u"ده پايين", u"سرچشمه"}},
          {u"کوهپايه", u"برف انبار", {u"کلاته", u"اسپيدان", u"نارنجستان", u"پل سنگي"}}}},
        {u"سپيدار",
         u"02",
         {{u"مركزي", u"جلگه", {u"كهنه ده", u"شور آب", u"آب باريک"}},
          {u"مركزي", u"آفتاب", {u"شيرين كند", u"چنار", u"تپه سرخ"}},
          {u"دشتستان", u"كوير", {u"ريگ زار", u"خرمايي", u"نخلستان", u"کاروانسرا"}}}},
        {u"نارون",
         u"03",
         {{u"مركزي", u"ميانرود", {u"ارغوان", u"زيتون", u"بيدستان"}},
          {u"جنگلي", u"سايه سار", {u"انجيلي", u"گردو بن", u"بلوط زار", u"ماهيان"}}}},
    };
    return counties;
}

struct SampleList {
    const QString& name;
    QStringList values;
};

// Each list of the settings screen with the values an office usually keeps in it.
QList<SampleList> sampleLists()
{
    using namespace lists;
    return {
        {TechnicalAffairs, {u"بررسي و تاييد شد"_s, u"نياز به بازديد مجدد"_s, u"طرح هادي مصوب دارد"_s}},
        {DocumentKinds, {u"شش دانگ"_s, u"مشاعي"_s, u"قولنامه اي"_s, u"اوقافي"_s}},
        {LandUseKinds, {u"كشاورزي"_s, u"مسكوني"_s, u"باغ"_s, u"تجاري"_s, u"صنعتي"_s, u"خدماتي"_s}},
        {TransactionsLetterDate, {u"1403/01/15"_s}},
        {LandProvider, {u"بنياد مسكن"_s, u"منابع طبيعي"_s, u"اهالي روستا"_s}},
        {Coverage, {u"كميته امداد"_s, u"بهزيستي"_s, valuation::kTwoDisabled, u"ايثارگران"_s}},
        {MemberCount, {u"5"_s}},
        {FeePerMember, {u"2500000"_s}},
        {DeletePassword, {u"1234"_s}},
        {SecurityHead, {u"محمود نيك پور"_s}},
        {CommissionAttachments, {u"نقشه"_s, u"سند مالكيت"_s, u"صورتجلسه كميسيون"_s, u"گزارش بازديد"_s}},
        {TransactionsLetterNo, {u"12/345"_s}},
        {ServiceLandCoefficient, {u"0.5"_s}},
        {Plots12To16Coefficient, {u"1.2"_s}},
        {PlotsOver16Coefficient, {u"1.5"_s}},
        {PlotsUnder12Coefficient, {u"1"_s}},
        {RuralDeputyPostTitle, {u"معاون عمران روستايي"_s}},
        {PriceFinders, {u"كارشناس رسمي دادگستري"_s, u"هيات سه نفره"_s, u"كارشناس بنياد"_s}},
        {LegalExpert, {u"زهرا احمدي"_s}},
        {LandGroup, {u"موافق"_s, u"مخالف"_s, u"نياز به بررسي"_s}},
        {UserGroup, {u"كارشناس"_s, u"رئيس اداره"_s, u"مدير"_s}},
        {EligibleApplicant, {u"مشمول"_s, u"غير مشمول"_s}},
        {DirectorGeneral, {u"علي رضايي"_s}},
        {LandAcquisitionAuthority, {u"بنياد مسكن"_s, u"اداره راه و شهرسازي"_s}},
        {LandStage, {u"شناسايي"_s, u"تملک"_s, u"واگذاري"_s}},
        {Consultant, {u"مهندسين مشاور آبادگران"_s, u"مهندسين مشاور طرح نو"_s}},
        {SupportDeputy, {u"حسن كريمي"_s}},
        {RuralDeputy, {u"مريم صادقي"_s}},
        {LandUseChangeResult, {u"موافقت"_s, u"مخالفت"_s, u"موافقت مشروط"_s}},
        {CommissionOpinion, {u"موافق"_s, u"مخالف"_s, u"ارجاع به كميسيون"_s}},
        {RuralDeputyOpinion, {u"موافق"_s, u"مخالف"_s}},
        {RequestKind, {u"تغيير كاربري"_s, u"افزايش محدوده"_s}},
        {LandPlanKind, {u"طرح هادي"_s, u"طرح ساماندهي"_s}},
        {LandStudyKind, {u"مطالعات پايه"_s, u"مطالعات تفصيلي"_s}},
        {UserStatus, {u"فعال"_s, u"غير فعال"_s}},
        {MessageSubject, {u"اداري"_s, u"پرونده"_s, u"عمومي"_s}},
    };
}

// A fixed sequence of numbers, so that every sample database is the same.
class Sequence {
public:
    int next(int below)
    {
        m_state = m_state * 1103515245u + 12345u;
        return int((m_state >> 8) % unsigned(below));
    }

private:
    unsigned m_state = 20240320u;
};

QString twoDigits(int n)
{
    return QStringLiteral("%1").arg(n, 2, 10, QChar(u'0'));
}

QString dateText(int year, int month, int day)
{
    return QString::number(year) + u'/' + twoDigits(month) + u'/' + twoDigits(day);
}

struct Village {
    QString county, bakhsh, dehestan, name, code;
};

struct UserSpec {
    QString us, lev, nam, semat;
    QStringList counties; // empty: every county
    bool maySeeEverything;
};

void grant(Database& db, qint64 userId, const QString& page, bool insert, bool edit, bool remove)
{
    db.insert(u"dastrasi"_s, {{u"prs_id"_s, userId},
                              {u"page_name"_s, page},
                              {u"darj"_s, insert ? 1 : 0},
                              {u"virayesh"_s, edit ? 1 : 0},
                              {u"hazf"_s, remove ? 1 : 0},
                              {u"namayesh"_s, 1}});
}

} // namespace

SampleSummary fillSampleData(Database& db)
{
    const QList<ProvisionStep> steps = provision(db);
    if (!provisionSucceeded(steps)) {
        QStringList failed;
        for (const ProvisionStep& s : steps)
            if (s.outcome == ProvisionStep::Outcome::Failed)
                failed << describe(s);
        throw Error(u"بانک اطلاعاتي آماده نشد: "_s + failed.join(u"; "_s));
    }
    if (db.scalar(u"SELECT count(*) FROM komision"_s).toLongLong() > 0)
        throw Error(u"اين بانک اطلاعاتي پرونده دارد؛ داده نمونه فقط در بانک اطلاعاتي خالي نوشته مي شود."_s);

    SampleSummary summary;
    db.begin();
    try {
        // The gazetteer.
        QList<Village> villages;
        QStringList counties;
        for (const SampleCounty& county : sampleCounties()) {
            counties << QString::fromUtf16(county.name);
            int dehestanNo = 0;
            for (const SampleDehestan& d : county.dehestans) {
                ++dehestanNo;
                int villageNo = 0;
                for (const char16_t* name : d.villages) {
                    ++villageNo;
                    // Province, county, rural district and village parts; the leading
                    // zero is part of the code.
                    const QString code = u"05"_s + QString::fromUtf16(county.code) + twoDigits(dehestanNo)
                                         + QStringLiteral("%1").arg(villageNo * 10, 3, 10, QChar(u'0'));
                    Village v{QString::fromUtf16(county.name), QString::fromUtf16(d.bakhsh),
                              QString::fromUtf16(d.dehestan), QString::fromUtf16(name), code};
                    db.insert(u"abadiha"_s, {{u"cod"_s, v.code},
                                             {u"rosta"_s, v.name},
                                             {u"ostan"_s, kProvince},
                                             {u"shahrestan"_s, v.county},
                                             {u"bakhsh"_s, v.bakhsh},
                                             {u"dehestan"_s, v.dehestan},
                                             {u"shahr"_s, v.county},
                                             {u"city"_s, v.county},
                                             {u"khanevar"_s, QString::number(40 + 13 * villageNo)},
                                             {u"jamiyat"_s, QString::number(150 + 47 * villageNo)}});
                    villages << v;
                }
            }
        }
        summary.villages = int(villages.size());

        // The setting lists.
        for (const SampleList& list : sampleLists()) {
            for (const QString& value : list.values) {
                db.insert(u"setting"_s, {{u"component"_s, list.name}, {u"cmt"_s, value}});
                ++summary.settingValues;
            }
        }

        // Users of every level; a county office's user is named after its county.
        const qint64 adminId = db.scalar(u"SELECT min(id) FROM users WHERE us = ?"_s, {u"admin"_s}).toLongLong();
        for (const QString& county : counties)
            db.insert(u"dastrasi2"_s, {{u"user_id"_s, adminId}, {u"cmt"_s, county}});
        const QList<UserSpec> users = {
            {counties[0], u"city"_s, u"كاربر شهرستان آبشار"_s, u"كارشناس"_s, {counties[0]}, false},
            {counties[1], u"city"_s, u"كاربر شهرستان سپيدار"_s, u"كارشناس"_s, {counties[1]}, false},
            {u"ostan"_s, u"ostan"_s, u"كارشناس استان"_s, u"رئيس اداره"_s, {}, true},
            {u"keshvar"_s, u"keshvar"_s, u"ناظر كشوري"_s, u"مدير"_s, {}, false},
            {u"sabt"_s, u"ثبت پرونده"_s, u"ثبت پرونده استان"_s, u"كارشناس"_s, {}, false},
            {u"zamin"_s, u"امور زمين"_s, u"امور زمين استان"_s, u"كارشناس"_s, {}, false},
            {u"fani"_s, u"امور فني و مطالعات"_s, u"امور فني استان"_s, u"كارشناس"_s, {}, false},
            {u"dabir"_s, u"دبير كميسيون معاملات"_s, u"دبير كميسيون"_s, u"كارشناس"_s, {}, false},
        };
        QList<qint64> userIds;
        for (const UserSpec& u : users) {
            // Each user's hash has its own salt, as the users screen would store it.
            const qint64 id = db.insert(u"users"_s, {{u"us"_s, u.us},
                                                     {u"ps"_s, hashPassword(kSamplePassword)},
                                                     {u"lev"_s, u.lev},
                                                     {u"ver"_s, u"1"_s},
                                                     {u"nam"_s, u.nam},
                                                     {u"ostan"_s, kProvince},
                                                     {u"semat"_s, u.semat},
                                                     {u"mobile"_s, u"0912000000"_s + QString::number(summary.users)},
                                                     {u"status"_s, u"فعال"_s}});
            ++summary.users;
            userIds << id;
            for (const QString& county : u.counties.isEmpty() ? counties : u.counties)
                db.insert(u"dastrasi2"_s, {{u"user_id"_s, id}, {u"cmt"_s, county}});
            const bool city = u.lev == QLatin1String("city");
            grant(db, id, u"komision"_s, true, true, u.maySeeEverything);
            grant(db, id, u"kom_z"_s, true, true, u.maySeeEverything);
            for (const QString& page : {u"asnad"_s, u"ghimat"_s, u"arazi"_s, u"phone"_s})
                grant(db, id, page, true, !city, u.maySeeEverything);
            if (u.maySeeEverything)
                for (const QString& page : {u"seting"_s, u"vagozari"_s, u"abadiha"_s})
                    grant(db, id, page, true, true, false);
        }

        // Transfer types with their coefficients, a phone book and a few messages.
        const QList<QPair<QString, double>> transfers = {
            {u"واگذاري به متقاضي"_s, 1.0}, {u"واگذاري به ايثارگران"_s, 0.7}, {u"واگذاري خدماتي"_s, 0.5}};
        for (const auto& t : transfers)
            db.insert(u"vagozarityp"_s, {{u"vagozari"_s, t.first}, {u"zarib"_s, t.second}});
        const QList<QPair<QString, QString>> phones = {{u"دبيرخانه استان"_s, u"031-33221100"_s},
                                                       {u"اداره شهرستان آبشار"_s, u"031-42223344"_s},
                                                       {u"اداره شهرستان سپيدار"_s, u"031-45556677"_s},
                                                       {u"اداره شهرستان نارون"_s, u"031-47778899"_s},
                                                       {u"امور زمين"_s, u"031-33221105"_s},
                                                       {u"امور فني و مطالعات"_s, u"031-33221107"_s}};
        for (const auto& p : phones)
            db.insert(u"phone"_s, {{u"name"_s, p.first}, {u"tel"_s, p.second}, {u"cmt"_s, u"داخلي"_s}});
        for (int i = 0; i < userIds.size(); ++i) {
            db.insert(u"payamha"_s,
                      {{u"send_prs_id"_s, adminId},
                       {u"rec_prs_id"_s, userIds[i]},
                       {u"send_dat"_s, u"1403/02/01"_s},
                       {u"show_dat"_s, i % 2 ? u"1403/02/02"_s : u""_s},
                       {u"mozo"_s, u"اداري"_s},
                       {u"cmt"_s, u"لطفا پرونده هاي معوق شهرستان را تا پايان هفته تكميل فرماييد."_s.toUtf8()}});
        }

        // A few dozen cases, valued as the case screen values them.
        Sequence seq;
        const QStringList uses = sampleLists()[2].values;
        const QStringList documents = sampleLists()[1].values;
        const QStringList coverage = sampleLists()[5].values;
        const QStringList results = {u"موافقت"_s, u"مخالفت"_s, u"موافقت مشروط"_s};
        const QStringList applicants = {u"محمد حسيني"_s, u"فاطمه كريمي"_s, u"علي اكبري"_s,  u"رضا موسوي"_s,
                                        u"زهرا رحيمي"_s, u"حسين جعفري"_s,  u"مريم قاسمي"_s, u"مهدي نوري"_s,
                                        u"سارا محمدي"_s, u"احمد كاظمي"_s,  u"ليلا عباسي"_s, u"جواد صالحي"_s};
        constexpr int kCases = 36;
        for (int i = 0; i < kCases; ++i) {
            const Village& v = villages[(i * 7) % villages.size()];
            const int month = 1 + (i % 12);
            const int day = 1 + seq.next(28);
            const QString letterDate = dateText(i < 18 ? 1402 : 1403, month, day);
            const int metraj = 150 + 50 * seq.next(80) + (i == 5 ? 3200 : 0);
            const int destroyed = seq.next(3) == 0 ? 10 * seq.next(6) : 0;
            const int price = 500000 + 250000 * seq.next(40);
            const QString covered = i % 9 == 4 ? coverage[seq.next(int(coverage.size()))] : QString();

            const QString net = valuation::netAreaText(QString::number(metraj), QString::number(destroyed));
            const QString value = valuation::propertyValueText(net, QString::number(price));
            const valuation::ShareOutcome share = valuation::ownerShare(
                {net, QString::number(price), value, QString()});
            const QString discount = valuation::discountText(covered);
            const QString fee = valuation::feeText(share.fields.malek_pardakhti, discount);
            const bool decided = i % 3 != 2;
            const QString blank = u"    /  /  "_s;

            QVariantMap row{
                {u"ostan"_s, kProvince},
                {u"city"_s, v.county},
                {u"bakhsh"_s, v.bakhsh},
                {u"dehestan"_s, v.dehestan},
                {u"rosta"_s, v.name},
                {u"abadi_cod"_s, v.code},
                {u"paper_no"_s, QStringLiteral("%1/%2").arg(100 + i).arg(2 + i % 5)},
                {u"paper_dat"_s, letterDate},
                {u"darkhast"_s, arabicKaf(applicants[i % applicants.size()])},
                {u"phone"_s, u"0913"_s + QStringLiteral("%1").arg(1000000 + 7919 * i)},
                {u"sanad"_s, documents[i % documents.size()]},
                {u"karbari1"_s, uses[0]},
                {u"karbari2"_s, uses[1 + i % (uses.size() - 1)]},
                {u"m_paper_no"_s, QString::number(5000 + i)},
                {u"m_paper_dat"_s, letterDate},
                {u"manzor"_s, i % 4 == 3 ? u"افزايش محدوده"_s : u"تغيير كاربري"_s},
                {u"metraj"_s, QString::number(metraj)},
                {u"masahat_na"_s, QString::number(metraj)},
                {u"takhrib_masahat"_s, QString::number(destroyed)},
                {u"masahat_khales"_s, share.fields.masahat_khales},
                {u"price_metr"_s, QString::number(price)},
                {u"ghimat_karshenasi_d"_s, QString::number(price)},
                {u"ghimat_karshenasi_kh"_s, QString::number(price / 4)},
                {u"melk_arzesh"_s, share.fields.melk_arzesh},
                {u"malek_pardakhti"_s, share.fields.malek_pardakhti},
                {u"tahteposhesh"_s, covered},
                {u"tahteposhesh_no"_s, covered.isEmpty() ? QString() : QString::number(700 + i)},
                {u"tahteposhesh_dat"_s, covered.isEmpty() ? blank : letterDate},
                {u"takhfif_darsad"_s, discount},
                {u"malek_varizi"_s, fee},
                {u"paper_no2"_s, decided ? QString::number(900 + i) : QString()},
                {u"paper_dat2"_s, decided ? dateText(1403, 1 + (month % 12), day) : blank},
                {u"fish_no"_s, decided ? QString::number(880000 + 37 * i) : QString()},
                {u"fish_dat"_s, decided ? dateText(1403, 1 + (month % 12), day) : blank},
                {u"fish_mablagh"_s, decided ? fee : QString()},
                {u"komision_t_k"_s, decided ? results[i % results.size()] : QString()},
                {u"komision_t_k_dat"_s, decided ? dateText(1403, 1 + (month % 12), 1 + (day % 27)) : blank},
                {u"komision_idea"_s, decided ? u"موافق"_s : QString()},
                {u"komision_dat"_s, decided ? letterDate : blank},
                {u"fani"_s, i % 2 ? u"بررسي و تاييد شد"_s : QString()},
                {u"reg_dat"_s, letterDate},
                {u"taeid_zamin"_s, i % 6 == 0 ? u"تاييد امور زمين"_s : QString()},
                {u"ost_paper_no"_s, i % 10 == 9 ? letterDate : blank},
                {u"cmt"_s, i % 5 == 0 ? u"پرونده نمونه"_s : QString()},
                {u"karbar"_s, u"admin"_s},
            };
            for (const QString& date : {u"bazdid_dat"_s, u"tasvib_dat"_s, u"tasvib_b_dat"_s, u"tasvib_paper_dat"_s})
                row.insert(date, blank);
            db.insert(u"komision"_s, row);
            ++summary.cases;
        }
        db.commit();
    } catch (...) {
        db.rollback();
        throw;
    }
    return summary;
}

} // namespace tarvest

#include "cases/core/caserules.h"

#include "common/jalali.h"
#include "db/database.h"
#include "db/resultset.h"
#include "db/schema.h"
#include "db/settinglists.h"
#include "db/uniquekey.h"

#include <QSqlQuery>

namespace tarvest {

using namespace Qt::StringLiterals;

const QList<CaseField>& caseFields()
{
    using K = CaseFieldKind;
    using F = CaseField;
    static const QList<CaseField> fields = {
        {u"ostan"_s, K::List, u"استان"_s, {}, F::Sorted},
        {u"city"_s, K::List, u"شهرستان"_s, {}, F::Sorted},
        {u"bakhsh"_s, K::List, u"بخش"_s, {}, F::Sorted},
        {u"dehestan"_s, K::List, u"دهستان"_s, {}, F::Sorted},
        {u"rosta"_s, K::List, u"روستا"_s, {}, F::Sorted},
        {u"paper_no"_s, K::Text, u"شماره نامه دبيرخانه شهرستان"_s, {}, 0},
        {u"paper_dat"_s, K::Date, u"تاريخ نامه شهرستان"_s, {}, F::Today},
        {u"darkhast"_s, K::Text, u"درخواست كننده/متقاضي"_s, {}, 0},
        {u"phone"_s, K::Text, u"شماره تماس متقاضي"_s, {}, 0},
        {u"sanad"_s, K::List, u"نوع سند مالكيت"_s, lists::DocumentKinds, 0},
        {u"abadi_cod"_s, K::List, u"كد آبادي"_s, {}, F::Sorted},
        {u"karbari1"_s, K::List, u"*نوع كاربري موجود"_s, lists::LandUseKinds, 0},
        {u"karbari2"_s, K::List, u"نوع كاربري مورد تقاضا"_s, lists::LandUseKinds, 0},
        {u"m_paper_no"_s, K::Text, u"شماره نامه متقاضي"_s, {}, 0},
        {u"m_paper_dat"_s, K::Date, u"تاريخ نامه متقاضي"_s, {}, 0},
        {u"manzor"_s, K::List, u"نوع درخواست"_s, lists::RequestKind, 0},
        {u"metraj"_s, K::Text, u"مساحت زمين"_s, {}, 0},
        {u"takhrib_masahat"_s, K::Text, u"مساحت تخريب"_s, {}, 0},
        {u"price_metr"_s, K::Text, u"قيمت هر متر مربع"_s, {}, 0},
        {u"kharej"_s, K::Text, u"قيمت اراضي خارج طرح"_s, {}, 0},
        {u"masahat_khales"_s, K::Text, u"مساحت معادل خالص مسکوني"_s, {}, 0},
        {u"melk_arzesh"_s, K::Text, u"ارزش ملك"_s, {}, 0},
        {u"malek_pardakhti"_s, K::Text, u"سهم مالك"_s, {}, 0},
        {u"paper_no2"_s, K::Text, u"شماره نامه"_s, {}, 0},
        {u"paper_dat2"_s, K::Date, u"تاريخ نامه واريز وجه"_s, {}, F::Today},
        {u"tahteposhesh"_s, K::List, u"تحت پوشش"_s, lists::Coverage, 0},
        {u"takhfif_darsad"_s, K::Text, u"درصد تخفيف"_s, {}, 0},
        {u"malek_varizi"_s, K::Text, u"هزينه خدمات فني"_s, {}, 0},
        {u"fish_no"_s, K::Text, u"شماره فيش واريزي"_s, {}, 0},
        {u"fish_dat"_s, K::Date, u"تاريخ فيش واريزي"_s, {}, 0},
        {u"fish_mablagh"_s, K::Text, u"مبلغ فيش"_s, {}, 0},
        {u"masahat_na"_s, K::Text, u"مساحت ناخالص زمين"_s, {}, 0},
        {u"tahteposhesh_no"_s, K::Text, u"*شماره نامه تحت پوشش"_s, {}, 0},
        {u"tahteposhesh_dat"_s, K::Date, u"تاريخ نامه تحت پوشش"_s, {}, 0},
        {u"malek_sahm"_s, K::Text, u"سهم ورتاليس"_s, {}, 0},
        {u"m_khales_b"_s, K::Text, u"مساحت خالص زمين دريافتي ورتاليس"_s, {}, 0},
        {u"komision_t_k_dat"_s, K::Date, u"تاريخ جلسه كميسيون تغيير كاربري"_s, {}, F::Today},
        {u"reg_dat"_s, K::Date, u"تاريخ ثبت"_s, {}, 0},
        {u"tasvib_paper_dat"_s, K::Date, u"تاريخ نامه ابلاغ مصوبه كميته به ورتاليس شهرستان"_s, {}, 0},
        {u"ghimat_karshenasi_d"_s, K::Text, u"قيمت کارشناسي روزهرمترمربع زمين درداخل محدوده روستا(ريال)"_s, {}, 0},
        {u"ghimat_karshenasi_kh"_s,
         K::Text,
         u"قيمت کارشناسي روز هر مترمربع اراضي واقع درخارج محدوده روستا باتوجه به کاربري فعلي به صورت ناخالص(ريال)"_s,
         {},
         0},
        {u"fani"_s, K::List, u"امور فني و مطالعات"_s, lists::TechnicalAffairs, F::Wide},
        {u"mashmol"_s, K::List, u"گروه زمين-متقاضي مشمول"_s, lists::EligibleApplicant, F::Wide},
        {u"komision_idea"_s, K::List, u"نظريه عمران روستايي"_s, lists::CommissionOpinion, 0},
        {u"komision_dat"_s, K::Date, u"تاريخ تاييد امور زمين"_s, {}, F::Today},
        {u"komision_t_k"_s, K::List, u"نتيجه كميسيون تغيير كاربري"_s, lists::LandUseChangeResult, 0},
        {u"taeid_zamin"_s, K::Check, u"تاييد امور زمين"_s, {}, 0},
        {u"cmt"_s, K::Text, u"ساير توضيحات"_s, {}, 0},
        {u"dabir"_s, K::List, u"معاون عمران روستايي"_s, lists::RuralDeputyOpinion, F::Hidden},
        {u"zamin"_s, K::List, u"گروه زمين"_s, lists::LandGroup, F::Hidden},
        {u"moshaver"_s, K::List, u"نام مشاور طرح"_s, lists::Consultant, F::Hidden},
        {u"bazdid_dat"_s, K::Date, u"تاريخ بازديد و ارائه گزارش فني ورتاليس شهرستان"_s, {}, F::Hidden},
        {u"tasvib_dat"_s, K::Date, u"تاريخ تصويب نهايي طرح در كميته تصويب"_s, {}, F::Hidden},
        {u"tasvib_result"_s, K::List, u"نتيجه جلسه كميته تصويب"_s, lists::LandUseChangeResult, F::Hidden},
        {u"tasvib_b_dat"_s, K::Date, u"تاريخ برگزاري پرونده در كميته تصويب"_s, {}, F::Hidden},
        {u"tasvib_paper_no"_s, K::Text, u"شماره نامه ابلاغ مصوبه كميته به ورتاليس شهرستان"_s, {}, F::Hidden},
        {u"ost_paper_no"_s, K::Date, u"تاريخ ثبت در دبيرخانه استان"_s, {}, F::Hidden},
    };
    return fields;
}

const CaseField* caseField(const QString& name)
{
    for (const CaseField& f : caseFields())
        if (f.name == name)
            return &f;
    return nullptr;
}

const QStringList& caseLoadOrder()
{
    static const QStringList order = {
        u"ostan"_s,
        u"city"_s,
        u"bakhsh"_s,
        u"dehestan"_s,
        u"rosta"_s,
        u"abadi_cod"_s,
        u"takhrib_masahat"_s,
        u"tahteposhesh"_s,
        u"tahteposhesh_no"_s,
        u"tahteposhesh_dat"_s,
        u"takhfif_darsad"_s,
        u"paper_no"_s,
        u"paper_dat"_s,
        u"fish_no"_s,
        u"fish_dat"_s,
        u"fish_mablagh"_s,
        u"kharej"_s,
        u"darkhast"_s,
        u"malek_pardakhti"_s,
        u"manzor"_s,
        u"masahat_na"_s,
        u"metraj"_s,
        u"price_metr"_s,
        u"malek_pardakhti"_s,
        u"fani"_s,
        u"zamin"_s,
        u"mashmol"_s,
        u"dabir"_s,
        u"komision_dat"_s,
        u"komision_idea"_s,
        u"melk_arzesh"_s,
        u"ghimat_karshenasi_kh"_s,
        u"masahat_khales"_s,
        u"malek_sahm"_s,
        u"ghimat_karshenasi_d"_s,
        u"paper_no2"_s,
        u"paper_dat2"_s,
        u"malek_varizi"_s,
        u"reg_dat"_s,
        u"komision_t_k"_s,
        u"komision_t_k_dat"_s,
        u"moshaver"_s,
        u"tasvib_dat"_s,
        u"phone"_s,
        u"m_paper_no"_s,
        u"m_paper_dat"_s,
        u"sanad"_s,
        u"karbari1"_s,
        u"karbari2"_s,
        u"bazdid_dat"_s,
        u"tasvib_b_dat"_s,
        u"tasvib_result"_s,
        u"tasvib_paper_no"_s,
        u"tasvib_paper_dat"_s,
        u"cmt"_s,
        u"m_khales_b"_s,
        u"ost_paper_no"_s,
    };
    return order;
}

QStringList caseFieldProblems(const CaseTexts& t)
{
    QStringList problems;
    if (!t.value(u"tahteposhesh"_s).isEmpty() && t.value(u"tahteposhesh_no"_s).isEmpty())
        problems << caseText::CoveredWithoutLetter;
    if (t.value(u"rosta"_s).isEmpty())
        problems << caseText::VillageRequired;
    if (t.value(u"karbari1"_s).isEmpty())
        problems << caseText::ExistingUseRequired;
    if (t.value(u"takhrib_masahat"_s).isEmpty())
        problems << caseText::DestroyedAreaRequired;
    return problems;
}

QStringList caseWidthProblems(const CaseTexts& texts)
{
    QStringList problems;
    for (const CaseField& f : caseFields()) {
        const int width = textWidth(QStringLiteral("komision"), f.name);
        if (width > 0 && texts.value(f.name).toUcs4().size() > width)
            problems << tooLongMessage(f.caption, width);
    }
    return problems;
}

const QStringList& caseNumberFields()
{
    static const QStringList names = {QStringLiteral("metraj"),
                                      QStringLiteral("takhrib_masahat"),
                                      QStringLiteral("masahat_na"),
                                      QStringLiteral("masahat_khales"),
                                      QStringLiteral("price_metr"),
                                      QStringLiteral("ghimat_karshenasi_d"),
                                      QStringLiteral("ghimat_karshenasi_kh"),
                                      QStringLiteral("melk_arzesh"),
                                      QStringLiteral("malek_pardakhti"),
                                      QStringLiteral("takhfif_darsad"),
                                      QStringLiteral("malek_varizi"),
                                      QStringLiteral("kharej"),
                                      QStringLiteral("fish_mablagh"),
                                      QStringLiteral("malek_sahm"),
                                      QStringLiteral("m_khales_b")};
    return names;
}

namespace {

// A text to bind: never a null string, which the drivers would send as NULL.
QVariant bound(const QString& text)
{
    return text.isNull() ? QVariant(QString(u""_s)) : QVariant(text);
}

} // namespace

bool provinceHasCounty(Database& db, const QString& province, const QString& county)
{
    return db.scalar(u"SELECT 1 FROM abadiha WHERE ostan = ? AND shahrestan = ?"_s, {bound(province), bound(county)})
        .isValid();
}

bool isDuplicateCase(Database& db, const CaseTexts& t, std::optional<qint64> excludeKey)
{
    QString sql = u"SELECT 1 FROM komision WHERE paper_no = ? AND paper_dat = ? AND city = ? AND rosta = ?"_s;
    QVariantList params{bound(t.value(u"paper_no"_s)), bound(t.value(u"paper_dat"_s)), bound(t.value(u"city"_s)),
                        bound(t.value(u"rosta"_s))};
    if (excludeKey) {
        sql += u" AND pk <> ?"_s;
        params << *excludeKey;
    }
    return db.scalar(sql, params).isValid();
}

QStringList newCaseProblems(Database& db, const CaseTexts& texts)
{
    QStringList problems = caseFieldProblems(texts);
    if (problems.isEmpty() && !provinceHasCounty(db, texts.value(u"ostan"_s), texts.value(u"city"_s)))
        problems << caseText::UnknownCounty;
    if (isDuplicateCase(db, texts))
        problems << caseText::Duplicate;
    return problems;
}

QStringList editCaseProblems(Database& db, const CaseTexts& texts, const CaseTexts& stored, qint64 key)
{
    QStringList problems = caseFieldProblems(texts);
    const auto changed = [&](const QString& column) { return texts.value(column) != stored.value(column); };
    if (problems.isEmpty() && changed(u"city"_s)
        && !provinceHasCounty(db, texts.value(u"ostan"_s), texts.value(u"city"_s)))
        problems << caseText::UnknownCounty;
    const bool identityChanged = changed(u"paper_no"_s) || changed(u"paper_dat"_s) || changed(u"city"_s)
                                 || changed(u"rosta"_s);
    if (identityChanged && isDuplicateCase(db, texts, key))
        problems << caseText::Duplicate;
    return problems;
}

const UniqueRule& caseKeyRule()
{
    static const UniqueRule rule{u"komision"_s, {u"paper_no"_s, u"paper_dat"_s, u"city"_s, u"rosta"_s}};
    return rule;
}

QVariantMap caseRow(const CaseTexts& texts, const QString& user)
{
    QVariantMap values;
    for (auto it = texts.begin(); it != texts.end(); ++it)
        values.insert(it.key(), it.value().isNull() ? u""_s : it.value());
    values.insert(u"karbar"_s, user.isNull() ? u""_s : user);
    return values;
}

QStringList saveNewCase(ResultSet& cases, const CaseTexts& texts, const QString& user)
{
    Database& db = *cases.database();
    const QStringList problems = newCaseProblems(db, texts);
    if (!problems.isEmpty())
        return problems;
    try {
        cases.append(caseRow(texts, user), &caseKeyRule());
    } catch (const DuplicateKey&) {
        return {caseText::Duplicate};
    }
    return {};
}

QStringList saveCaseChanges(ResultSet& cases, const CaseTexts& texts, const QString& user)
{
    CaseTexts stored;
    for (const QString& column : {u"paper_no"_s, u"paper_dat"_s, u"city"_s, u"rosta"_s})
        stored.insert(column, cases.asString(column));
    // A letter date never entered is the blank date in the field.
    if (stored.value(u"paper_dat"_s).isEmpty())
        stored.insert(u"paper_dat"_s, kBlankDate);
    const QStringList problems = editCaseProblems(*cases.database(), texts, stored, cases.asInteger(u"pk"_s));
    if (!problems.isEmpty())
        return problems;
    try {
        cases.edit(caseRow(texts, user), &caseKeyRule());
    } catch (const DuplicateKey&) {
        return {caseText::Duplicate};
    }
    return {};
}

QStringList editRefusals(const QString& userLevel, const QString& approvedColumn,
                         const QString& provinceRegisteredColumn)
{
    QStringList refusals;
    if (userLevel != level::CountyOffice)
        return refusals;
    if (approvedColumn == caseText::LandApproved)
        refusals << caseText::ApprovedNoEdit;
    if (!provinceRegisteredColumn.isEmpty() && provinceRegisteredColumn != kBlankDate)
        refusals << caseText::ProvinceRegisteredNoEdit;
    return refusals;
}

std::optional<EnableSet> enableSetFor(const QString& userLevel)
{
    if (userLevel == level::CountyOffice)
        return EnableSet{{u"paper_no"_s,
                          u"paper_dat"_s,
                          u"city"_s,
                          u"bakhsh"_s,
                          u"dehestan"_s,
                          u"kharej"_s,
                          u"rosta"_s,
                          u"abadi_cod"_s,
                          u"darkhast"_s,
                          u"phone"_s,
                          u"sanad"_s,
                          u"karbari1"_s,
                          u"karbari2"_s,
                          u"m_paper_no"_s,
                          u"m_paper_dat"_s,
                          u"manzor"_s,
                          u"metraj"_s,
                          u"price_metr"_s,
                          u"masahat_khales"_s,
                          u"melk_arzesh"_s,
                          u"malek_pardakhti"_s,
                          u"paper_no2"_s,
                          u"paper_dat2"_s,
                          u"malek_varizi"_s,
                          u"ghimat_karshenasi_kh"_s,
                          u"masahat_na"_s,
                          u"ghimat_karshenasi_d"_s,
                          u"moshaver"_s,
                          u"bazdid_dat"_s},
                         {u"dabir"_s, u"fani"_s, u"zamin"_s, u"mashmol"_s, u"komision_dat"_s, u"komision_idea"_s,
                          u"reg_dat"_s, u"malek_sahm"_s, u"komision_t_k"_s, u"komision_t_k_dat"_s, u"m_khales_b"_s,
                          u"tasvib_dat"_s, u"tasvib_result"_s, u"tasvib_b_dat"_s, u"tasvib_paper_no"_s,
                          u"tasvib_paper_dat"_s, u"cmt"_s, u"ost_paper_no"_s, u"taeid_zamin"_s}};

    // The office group: each office level closes the whole group and opens its part.
    static const QStringList group = {u"paper_no"_s,
                                      u"paper_dat"_s,
                                      u"paper_no2"_s,
                                      u"paper_dat2"_s,
                                      u"city"_s,
                                      u"rosta"_s,
                                      u"darkhast"_s,
                                      u"manzor"_s,
                                      u"masahat_na"_s,
                                      u"malek_varizi"_s,
                                      u"metraj"_s,
                                      u"malek_pardakhti"_s,
                                      u"fani"_s,
                                      u"zamin"_s,
                                      u"mashmol"_s,
                                      u"dabir"_s,
                                      u"komision_dat"_s,
                                      u"komision_idea"_s,
                                      u"price_metr"_s,
                                      u"melk_arzesh"_s,
                                      u"malek_sahm"_s,
                                      u"masahat_khales"_s,
                                      u"ghimat_karshenasi_d"_s,
                                      u"ghimat_karshenasi_kh"_s,
                                      u"komision_t_k"_s,
                                      u"komision_t_k_dat"_s};
    QStringList open;
    if (userLevel == level::Province) {
        open = group;
    } else if (userLevel == level::CaseRegistration) {
        open = group;
        open.removeAll(u"zamin"_s);
        open.removeAll(u"mashmol"_s);
    } else if (userLevel == level::LandAffairs) {
        open = {u"zamin"_s,           u"mashmol"_s,     u"paper_no2"_s,    u"paper_dat2"_s,
                u"malek_pardakhti"_s, u"melk_arzesh"_s, u"komision_dat"_s, u"komision_idea"_s,
                u"malek_sahm"_s,      u"price_metr"_s,  u"malek_varizi"_s};
    } else if (userLevel == level::TechnicalAffairs) {
        open = {u"fani"_s};
    } else if (userLevel == level::CommissionSecretary) {
        open = {u"dabir"_s};
    } else {
        return std::nullopt;
    }
    EnableSet set{open, {}};
    for (const QString& f : group)
        if (!open.contains(f))
            set.disabled << f;
    return set;
}

QString arabicKaf(const QString& text)
{
    QString out = text;
    out.replace(QChar(0x06A9), QChar(0x0643));
    return out;
}

int normaliseVillageNames(Database& db)
{
    // The replacement arabicKaf makes, done by the database on the rows that hold a
    // keheh; a single statement is one transaction on both kinds.
    const QString keheh(QChar(0x06A9)), kaf(QChar(0x0643));
    QSqlQuery q = db.exec(u"UPDATE abadiha SET rosta = replace(rosta, ?, ?) WHERE rosta LIKE ?"_s,
                          {keheh, kaf, u"%"_s + keheh + u"%"_s});
    return q.numRowsAffected();
}

} // namespace tarvest

#include "pricing/core/pricing.h"

#include "common/errors.h"
#include "db/database.h"
#include "pricing/core/derivedprices.h"

#include <QSqlQuery>

namespace tarvest::pricing {

const UniqueRule& transferTypeRule()
{
    static const UniqueRule rule{QStringLiteral("vagozarityp"), {QStringLiteral("vagozari")}};
    return rule;
}

TransferTypeAdd addTransferType(Database& db, const QString& name, const QString& zarib, QStringList& problems)
{
    problems.clear();
    QVariant coefficient; // no value for an empty text
    if (!zarib.trimmed().isEmpty()) {
        const std::optional<QString> k = normalisedCoefficient(zarib);
        if (!k)
            throw Error(text::CoefficientNotNumber);
        coefficient = k->toDouble();
    }
    const QVariantMap row{{QStringLiteral("vagozari"), name}, {QStringLiteral("zarib"), coefficient}};
    if (name.isEmpty())
        problems << text::TransferTypeRequired;
    // The name's check runs also for an empty name, as the screen has always told both.
    if (keyTaken(db, transferTypeRule(), row))
        problems << text::TransferTypeDuplicate;
    if (!problems.isEmpty())
        return TransferTypeAdd::Refused;
    try {
        saveUnique(db, transferTypeRule(), row, {}, [&] { db.insert(QStringLiteral("vagozarityp"), row); });
    } catch (const DuplicateKey&) {
        problems << text::TransferTypeDuplicate;
        return TransferTypeAdd::Refused;
    }
    return TransferTypeAdd::Added;
}

QStringList transferTypeNames(Database& db)
{
    QStringList names;
    QSqlQuery q = db.exec(QStringLiteral("SELECT vagozari FROM vagozarityp ORDER BY id"));
    while (q.next())
        names << q.value(0).toString();
    return names;
}

const UniqueRule& priceLetterRule()
{
    static const UniqueRule rule{
        QStringLiteral("ghimat"),
        {QStringLiteral("paper_no"), QStringLiteral("paper_dat"), QStringLiteral("city"), QStringLiteral("rosta")}};
    return rule;
}

QVariantMap Assessment::row() const
{
    return {{QStringLiteral("city"), city},
            {QStringLiteral("bakhsh"), bakhsh},
            {QStringLiteral("dehestan"), dehestan},
            {QStringLiteral("rosta"), rosta},
            {QStringLiteral("abadi_cod"), abadiCod},
            {QStringLiteral("karbari"), karbari},
            {QStringLiteral("sal"), sal},
            {QStringLiteral("tamin"), tamin},
            {QStringLiteral("paper_no"), paperNo},
            {QStringLiteral("paper_dat"), paperDat},
            {QStringLiteral("vagozari"), vagozari},
            {QStringLiteral("arzesh"), arzesh},
            {QStringLiteral("paye_zarib"), payeZarib},
            {QStringLiteral("paye"), paye},
            {QStringLiteral("mojaver12"), mojaver12},
            {QStringLiteral("mojaver16"), mojaver16},
            {QStringLiteral("mojaver_max"), mojaverMax},
            {QStringLiteral("khadamati"), khadamati}};
}

QStringList newAssessmentProblems(Database& db, const Assessment& a)
{
    QStringList problems;
    if (a.rosta.isEmpty())
        problems << text::VillageRequired;
    if (keyTaken(db, priceLetterRule(), a.row()))
        problems << text::LetterDuplicate;
    return problems;
}

namespace {

void writeFinders(Database& db, qint64 id, const QStringList& kashf)
{
    for (const QString& way : kashf)
        db.insert(QStringLiteral("kashfghimat"), {{QStringLiteral("ghimat_id"), id}, {QStringLiteral("kashf"), way}});
}

// Runs `write` in one transaction; a failure rolls everything back and reads the result
// set again, so it never shows a row that was not stored.
template <typename F>
void inOneTransaction(ResultSet& prices, F&& write)
{
    Database& db = *prices.database();
    db.begin();
    try {
        write();
        db.commit();
    } catch (...) {
        db.rollback();
        if (!db.inTransaction())
            prices.refresh();
        throw;
    }
}

} // namespace

QStringList saveNewAssessment(ResultSet& prices, const Assessment& a)
{
    Database& db = *prices.database();
    QStringList problems = newAssessmentProblems(db, a);
    if (!problems.isEmpty())
        return problems;
    try {
        inOneTransaction(prices, [&] {
            prices.append(a.row(), &priceLetterRule());
            writeFinders(db, prices.asInteger(QStringLiteral("id")), a.kashf);
        });
    } catch (const DuplicateKey&) {
        return {text::LetterDuplicate};
    }
    return {};
}

QStringList saveAssessmentChanges(ResultSet& prices, const Assessment& a)
{
    Database& db = *prices.database();
    const qint64 id = prices.asInteger(QStringLiteral("id"));
    try {
        inOneTransaction(prices, [&] {
            prices.edit(a.row(), &priceLetterRule());
            db.exec(QStringLiteral("DELETE FROM kashfghimat WHERE ghimat_id = ?"), {id});
            writeFinders(db, id, a.kashf);
        });
    } catch (const DuplicateKey&) {
        return {text::LetterDuplicate};
    }
    return {};
}

void deleteAssessment(ResultSet& prices)
{
    Database& db = *prices.database();
    const qint64 id = prices.asInteger(QStringLiteral("id"));
    inOneTransaction(prices, [&] {
        db.exec(QStringLiteral("DELETE FROM kashfghimat WHERE ghimat_id = ?"), {id});
        prices.remove();
    });
}

QStringList priceFinders(Database& db, qint64 assessmentId)
{
    QStringList out;
    QSqlQuery q = db.exec(QStringLiteral("SELECT kashf FROM kashfghimat WHERE ghimat_id = ? ORDER BY id"),
                          {assessmentId});
    while (q.next())
        out << q.value(0).toString();
    return out;
}

bool countyUserMayEdit(const QString& level, const QString& storedPaye)
{
    return level != kCountyLevel || storedPaye == QLatin1String("0");
}

PriceQuery buildPriceSearch(const PriceFilters& f, const LoginState& user, DbKind kind)
{
    QString where;
    QVariantList params;
    const QString contains = containsCondition(kind);
    if (user.level != QLatin1String("admin")) {
        where += QStringLiteral(" AND city IN (SELECT cmt FROM dastrasi2 WHERE user_id = ?)");
        params << user.userId.toLongLong();
    }
    auto containsFilter = [&](const std::optional<QString>& value, const char* column) {
        if (!value)
            return;
        where += QStringLiteral(" AND ") + QLatin1String(column) + contains;
        params << containsPattern(*value);
    };
    containsFilter(f.paperNo, "paper_no");
    containsFilter(f.city, "city");
    containsFilter(f.rosta, "rosta");

    PriceQuery q;
    q.countSql = QStringLiteral("SELECT count(*) AS c FROM ghimat WHERE id <> -1") + where;
    q.params = params;
    q.paged.select = QStringLiteral("SELECT * FROM ghimat");
    q.paged.where = QStringLiteral("id <> -1") + where;
    q.paged.params = params;
    q.paged.order = QStringLiteral("id");
    q.paged.table = QStringLiteral("ghimat");
    return q;
}

const QList<PriceColumn>& priceSearchColumns()
{
    static const QList<PriceColumn> columns = {
        {"id", u"", 0},
        {"city", u"شهرستان", 80},
        {"bakhsh", u"بخش", 80},
        {"dehestan", u"دهستان", 80},
        {"rosta", u"روستا", 80},
        {"abadi_cod", u"کد آبادي", 80},
        {"karbari", u"کاربري", 80},
        {"sal", u"سال تملک", 80},
        {"tamin", u"تامين کننده", 80},
        {"paper_no", u"شماره نامه", 80},
        {"paper_dat", u"تاريخ نامه", 80},
        {"arzesh", u"ارزش", 80},
        {"vagozari", u"نوع واگذاري", 80},
        {"paye_zarib", u"ضريب پايه", 0},
        {"paye", u"پايه", 80},
        {"mojaver12", u"معابر کمتر12", 80},
        {"mojaver16", u"معابر کمتر16", 80},
        {"mojaver_max", u"معابر بيش16", 80},
        {"khadamati", u"خدماتي", 80},
    };
    return columns;
}

QHash<QString, QString> priceExportTitles()
{
    return {
        {QStringLiteral("id"), QStringLiteral("شناسه")},
        {QStringLiteral("city"), QStringLiteral("شهرستان")},
        {QStringLiteral("bakhsh"), QStringLiteral("بخش")},
        {QStringLiteral("dehestan"), QStringLiteral("دهستان")},
        {QStringLiteral("rosta"), QStringLiteral("روستا")},
        {QStringLiteral("abadi_cod"), QStringLiteral("کد آبادي")},
        {QStringLiteral("karbari"), QStringLiteral("کاربري")},
        {QStringLiteral("sal"), QStringLiteral("سال تملک")},
        {QStringLiteral("tamin"), QStringLiteral("تامبن کننده زمين")},
        {QStringLiteral("paper_no"), QStringLiteral("شماره نامه شهرستان")},
        {QStringLiteral("paper_dat"), QStringLiteral("تاريخ نامه شهرستان")},
        {QStringLiteral("arzesh"), QStringLiteral("ارزش هر متر مربع")},
        {QStringLiteral("vagozari"), QStringLiteral("نوع واگذاري")},
        {QStringLiteral("paye_zarib"), QString()},
        {QStringLiteral("paye"), QStringLiteral("قيمت پايه")},
        {QStringLiteral("mojaver12"), QStringLiteral("قطعات مجاور معبر کمتر از 12  متر از قرار هر متر مربع")},
        {QStringLiteral("mojaver16"), QStringLiteral("قطعات مجاور معبر 12 تا 16متر از قرار هر متر مربع")},
        {QStringLiteral("mojaver_max"), QStringLiteral("قطعات مجاور معبر بيش از 16 متر از قرار هر متر مربع ")},
        {QStringLiteral("khadamati"), QStringLiteral("قيمت اراضي با کاربري خدماتي  از قرار هر متر مربع ")},
    };
}

} // namespace tarvest::pricing

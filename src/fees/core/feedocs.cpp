#include "fees/core/feedocs.h"

#include "common/decimal.h"
#include "db/database.h"
#include "db/dialect.h"

#include <QSqlQuery>
#include <QSqlRecord>

namespace tarvest::fees {

namespace {

struct Conditions {
    QStringList terms;
    QVariantList params;
};

// The county and year lines, then (when asked) the receipt line.
Conditions filterConditions(Database& db, const FeeFilters& f, bool withReceipt)
{
    Conditions c;
    c.terms << QStringLiteral("id<>-1");
    if (f.city) {
        c.terms << QStringLiteral("city") + containsCondition(db.kind());
        c.params << containsPattern(*f.city);
    }
    if (f.sal) {
        c.terms << QStringLiteral("sal") + containsCondition(db.kind());
        c.params << containsPattern(*f.sal);
    }
    if (withReceipt && f.fish) {
        bool ok = false;
        const int flag = f.fish->trimmed().toInt(&ok);
        // A receipt flag that is no number matches no document.
        c.terms << (ok ? QStringLiteral("fish=?") : QStringLiteral("1=0"));
        if (ok)
            c.params << flag;
    }
    return c;
}

QString sumText(const QVariant& v)
{
    if (v.isNull() || !v.isValid())
        return {};
    // Sums of whole rials come back as integers or exact numerics.
    const QString t = v.toString();
    const auto d = Decimal::parse(t);
    return d ? d->toShortString(40) : t;
}

} // namespace

const UniqueRule& feeDocumentRule()
{
    static const UniqueRule rule{QStringLiteral("asnad"), {QStringLiteral("city"), QStringLiteral("sal")}};
    return rule;
}

KeyedQuery feeSearchQuery(Database& db, const FeeFilters& filters)
{
    const Conditions c = filterConditions(db, filters, true);
    KeyedQuery q;
    q.select = QStringLiteral("SELECT * FROM asnad");
    q.where = c.terms.join(QStringLiteral(" and "));
    q.params = c.params;
    q.order = QStringLiteral("id");
    q.table = QStringLiteral("asnad");
    return q;
}

const QList<TotalColumn>& totalColumns()
{
    static const QList<TotalColumn> cols = [] {
        QList<TotalColumn> c{
            {"ro", "sum(rosta_cnt)"},
            {"sh", "sum(shahr_cnt)"},
            {"fm", "sum(fish_mablagh)"},
            {"fk", "sum(fish_mablagh2)"},
            {"oz", "sum(ozv_mablagh_kol)"},
            {"sb", "sum(sahm_vartalis)"},
            {"ss", "sum(sahm_sabt)"},
            {"sm", "sum(shahr_modir)"},
            {"sk", "sum(shahr_kar)"},
            {"mo", "sum(moaven)"},
            {"ok", "sum(ostan_kar)"},
            {"om", "sum(ostan_mas)"},
            {"km", "sum(fish_mablagh-odat_modir)"},
            {"kk", "sum(fish_mablagh2-odat_kar)"},
            {"os", "sum(odat_modir+odat_kar)"},
            {"odat_sum", "sum(odat_modir)"},
            {"oka", "sum(odat_kar)"},
            {"ba", "sum(band3)"},
        };
        const char* sums[][2] = {
            {"mod1", "modirkol1"},    {"moa1", "moaven1"},  {"mas1", "masol_zamin1"}, {"san1", "sanad_kar1"},
            {"nag1", "naghshe_kar1"}, {"daf1", "daftar1"},  {"hes1", "hesabdari1"},   {"hesk1", "hesab_kar1"},
            {"mod2", "modirkol2"},    {"moa2", "moaven2"},  {"mas2", "masol_zamin2"}, {"san2", "sanad_kar2"},
            {"nag2", "naghshe_kar2"}, {"daf2", "daftar2"},  {"hes2", "hesabdari2"},   {"hesk2", "hesab_kar2"},
            {"moa", "moaven"},        {"osm", "ostan_mas"}, {"osk", "ostan_kar"},     {"shm", "shahr_modir"},
            {"shk", "shahr_kar"},     {"sak", "sayer_kar"},
        };
        for (const auto& s : sums)
            c.append({QLatin1String(s[0]), QStringLiteral("sum(%1)").arg(QLatin1String(s[1]))});
        return c;
    }();
    return cols;
}

FeeTotals feeTotals(Database& db, const FeeFilters& filters)
{
    FeeTotals t;
    // The totals record, over all three filters.
    {
        const Conditions c = filterConditions(db, filters, true);
        QStringList sel{QStringLiteral("count(*) as c")};
        for (const TotalColumn& col : totalColumns())
            // As text, so a sum beyond the range of a double keeps every digit.
            sel << QStringLiteral("cast(") + col.expression + QStringLiteral(" as text) as ") + col.name;
        QSqlQuery q = db.exec(QStringLiteral("select ") + sel.join(u',') + QStringLiteral(" from asnad where ")
                                  + c.terms.join(QStringLiteral(" and ")),
                              c.params);
        if (q.next()) {
            t.values.insert(QStringLiteral("c"), q.value(0).toString());
            for (int i = 0; i < totalColumns().size(); ++i)
                t.values.insert(totalColumns()[i].name, sumText(q.value(i + 1)));
        }
    }
    // band1: the pool of the documents without receipts, county and year filters only.
    // The products are summed exactly here, so no amount a document can hold wraps.
    {
        FeeFilters noReceipt = filters;
        noReceipt.fish.reset();
        Conditions c = filterConditions(db, noReceipt, false);
        c.terms << QStringLiteral("fish=0");
        QSqlQuery q = db.exec(QStringLiteral("select rosta_cnt, shahr_cnt, ozv_mablagh, ozv_cnt, vartalis_sahm, "
                                             "sabt_sahm from asnad where ")
                                  + c.terms.join(QStringLiteral(" and ")),
                              c.params);
        Decimal sum;
        bool any = false;
        while (q.next()) {
            bool isNull = false;
            for (int i = 0; i < 6; ++i)
                isNull = isNull || q.value(i).isNull();
            if (isNull)
                continue; // a row with an empty column adds nothing to the sum, as in SQL
            auto d = [&](int i) { return Decimal::fromInteger(q.value(i).toLongLong()); };
            sum = sum + (d(0) + d(1)) * (d(2) * d(3) + d(4) + d(5));
            any = true;
        }
        if (any)
            t.band1 = Decimal::divide(sum, Decimal::fromInteger(2), 4).toShortString(40);
    }
    return t;
}

qint64 saveNewFeeDocument(ResultSet& documents, const QVariantMap& row, const QList<qint64>& pendingExperts)
{
    Database& db = *documents.database();
    db.begin();
    try {
        documents.append(row, &feeDocumentRule());
        const qint64 id = documents.value(QStringLiteral("id")).toLongLong();
        attachExperts(db, id, pendingExperts);
        db.commit();
        return id;
    } catch (...) {
        db.rollback();
        throw;
    }
}

void deleteFeeDocument(Database& db, ResultSet& documents)
{
    const QVariant id = documents.value(QStringLiteral("id"));
    db.begin();
    try {
        documents.remove();
        db.exec(QStringLiteral("delete from sayerkar where asnad_id=?"), {id});
        db.commit();
    } catch (...) {
        db.rollback();
        throw;
    }
}

void attachExperts(Database& db, qint64 documentId, const QList<qint64>& rowIds)
{
    if (rowIds.isEmpty())
        return;
    db.begin();
    try {
        for (qint64 row : rowIds)
            db.exec(QStringLiteral("update sayerkar set asnad_id=? where id=? and asnad_id=0"), {documentId, row});
        db.commit();
    } catch (...) {
        db.rollback();
        throw;
    }
}

ExpertRows expertRowsQuery(qint64 documentId)
{
    return {QStringLiteral("select * from sayerkar where asnad_id=? order by id"), {documentId}};
}

} // namespace tarvest::fees

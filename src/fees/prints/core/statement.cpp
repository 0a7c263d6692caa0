#include "fees/prints/core/statement.h"

#include "db/database.h"
#include "db/settinglists.h"

#include <QHash>
#include <QSqlQuery>

namespace tarvest::fees {

QString headingM3()
{
    return QStringLiteral("موضوع بند 3 جلسه 8 هيات مرکزي ماده 14 قانون الحاق");
}

QString headingM1()
{
    return QStringLiteral(
        "بند 1 جلسه 13 هيئت مرکزي ماده 14 ابلاغي نامه شماره د/28040 مورخ 6/6/97 معاونت عمران روستايي");
}

QString headingMB()
{
    return QStringLiteral("سهم 35 درصد هيات مطابق بند \" ب \" بخشنامه 1386/8-8/م");
}

QString headingMJ()
{
    return QStringLiteral("سهم 20 درصد حق کارشناسي مطابق بند \" ج \" بخشنامه 1386/8-8/م (توزيع بين عوامل مرتبط)");
}

const QList<RosterRow>& roster()
{
    static const QList<RosterRow> rows = [] {
        const QString ostan = QStringLiteral("استان");
        const QString shahrestan = QStringLiteral("شهرستان");
        const QString dg = QStringLiteral("مدير کل");
        const QString deputy = QStringLiteral("معاون عمران روستايي");
        const QString land = QStringLiteral("کارشناس مسئول زمين");
        const QString doc = QStringLiteral("کارشناس سند");
        const QString survey = QStringLiteral("کارشناس نقشه برداري");
        const QString office = QStringLiteral("رئيس دفتر مديرکل");
        const QString acc = QStringLiteral("رئيس حسابداري");
        const QString accExpert = QStringLiteral("کارشناس حسابداري");
        return QList<RosterRow>{
            {ostan, dg, true, headingM3(), "30", "modirkol2", true},
            {ostan, deputy, true, headingM3(), "20", "moaven2", true},
            {ostan, land, true, headingM3(), "15", "masol_zamin2", true},
            {ostan, doc, true, headingM3(), "10", "sanad_kar2", true},
            {ostan, survey, true, headingM3(), "7", "naghshe_kar2", true},
            {ostan, office, true, headingM3(), "6", "daftar2", true},
            {ostan, acc, true, headingM3(), "6", "hesabdari2", true},
            {ostan, accExpert, true, headingM3(), "6", "hesab_kar2", true},
            {ostan, deputy, true, headingM1(), "10", "moaven", true},
            {ostan, land, true, headingM1(), "15", "ostan_mas", true},
            {ostan, doc, true, headingM1(), "15", "ostan_kar", true},
            {shahrestan, QStringLiteral("مدير شهرستان ها"), false, headingM1(), "10", "shahr_modir", false},
            {shahrestan, QStringLiteral("کارشناس شهرستان ها"), false, headingM1(), "40", "shahr_kar", false},
            {ostan, QStringLiteral("ساير کارشناسان"), false, headingM1(), "10", "sayer_kar", true},
            {ostan, dg, true, headingMB(), "15", "modirkol1", true},
            {ostan, deputy, true, headingMB(), "10", "moaven1", true},
            {ostan, land, true, headingMB(), "10", "masol_zamin1", true},
            {ostan, doc, true, headingMJ(), "35", "sanad_kar1", true},
            {ostan, survey, true, headingMJ(), "25", "naghshe_kar1", true},
            {ostan, office, true, headingMJ(), "15", "daftar1", true},
            {ostan, acc, true, headingMJ(), "15", "hesabdari1", true},
            {ostan, accExpert, true, headingMJ(), "10", "hesab_kar1", true},
        };
    }();
    return rows;
}

QString holderListName(const QString& post)
{
    return QStringLiteral("صورتحساب اسناد - ") + post;
}

QStringList holderListNames()
{
    QStringList names;
    for (const RosterRow& r : roster())
        if (r.named && !names.contains(holderListName(r.semat)))
            names << holderListName(r.semat);
    return names;
}

namespace {

const QString kUnknown = QStringLiteral("؟");

QVariant amount(const QVariant& v)
{
    if (v.isNull() || !v.isValid())
        return {};
    return v.toLongLong();
}

} // namespace

QList<StatementRow> buildStatement(Database& db, bool postStatement)
{
    QList<StatementRow> out;
    // The roster: every column summed over all documents in one query.
    QStringList sums;
    for (const RosterRow& r : roster())
        sums << QStringLiteral("cast(sum(%1) as bigint)").arg(r.column);
    QSqlQuery totals = db.exec(QStringLiteral("select ") + sums.join(u',') + QStringLiteral(" from asnad"));
    totals.next();
    QHash<QString, QString> holders;
    for (int i = 0; i < roster().size(); ++i) {
        const RosterRow& r = roster()[i];
        if (postStatement && !r.inPostStatement)
            continue;
        QString name = kUnknown;
        if (r.named) {
            if (!holders.contains(r.semat)) {
                const QString set = settingValue(db, holderListName(r.semat)).trimmed();
                holders.insert(r.semat, set.isEmpty() ? kUnknown : set);
            }
            name = holders.value(r.semat);
        }
        out.append({r.mahal, r.semat, name, r.manba, r.darsad.toDouble(), amount(totals.value(i))});
    }
    // Per county, in the order the counties first appear.
    QSqlQuery counties = db.exec(QStringLiteral(
        "select city, cast(sum(shahr_modir) as bigint), cast(sum(shahr_kar) as bigint) from asnad group by city "
        "order by min(id)"));
    while (counties.next()) {
        const QString city = counties.value(0).toString();
        out.append({city, QStringLiteral("مدير شهرستان"), kUnknown, headingM1(), 10.0, amount(counties.value(1))});
        out.append({city, QStringLiteral("کارشناس شهرستان"), kUnknown, headingM1(), 40.0, amount(counties.value(2))});
    }
    // Per other expert, rows of every document summed by name; the percentage where all
    // of the person's rows agree.
    QSqlQuery experts = db.exec(QStringLiteral("select nam, cast(sum(mablagh) as bigint), min(darsad), max(darsad), "
                                               "count(darsad), count(*) from sayerkar group by nam order by min(id)"));
    while (experts.next()) {
        QVariant percent;
        if (!experts.value(2).isNull() && experts.value(2).toDouble() == experts.value(3).toDouble()
            && experts.value(4).toLongLong() == experts.value(5).toLongLong())
            percent = experts.value(2).toDouble();
        out.append({QStringLiteral("ساير کارشناسان"), kUnknown, experts.value(0).toString(), headingM1(), percent,
                    amount(experts.value(1))});
    }
    return out;
}

QString statementTable()
{
    return QStringLiteral("fee_statement");
}

void fillStatement(Database& db, bool postStatement)
{
    const bool pg = db.kind() == DbKind::Postgres;
    db.exec(QStringLiteral("create temporary table if not exists fee_statement (seq integer, mahal varchar(100), "
                           "semat varchar(100), nam varchar(100), manba varchar(250), darsad %1, mablagh %2)")
                .arg(pg ? QStringLiteral("double precision") : QStringLiteral("REAL"),
                     pg ? QStringLiteral("bigint") : QStringLiteral("INTEGER")));
    db.begin();
    try {
        const QList<StatementRow> rows = buildStatement(db, postStatement);
        db.exec(QStringLiteral("delete from fee_statement"));
        int seq = 0;
        for (const StatementRow& r : rows)
            db.exec(QStringLiteral("insert into fee_statement values (?,?,?,?,?,?,?)"),
                    {++seq, r.mahal, r.semat, r.nam, r.manba, r.darsad, r.mablagh});
        db.commit();
    } catch (...) {
        db.rollback();
        throw;
    }
}

namespace {
// Texts sort by their characters' codes on both databases.
QString codeOrder(DbKind kind)
{
    return kind == DbKind::Postgres ? QStringLiteral(" collate \"C\"") : QStringLiteral(" collate binary");
}
} // namespace

QString bySourceQuery(DbKind kind)
{
    return QStringLiteral("select mahal, semat, nam, manba, darsad, mablagh from fee_statement order by manba")
           + codeOrder(kind) + QStringLiteral(", mahal") + codeOrder(kind) + QStringLiteral(", seq");
}

QString byPostQuery(DbKind kind)
{
    return QStringLiteral(
               "select cast(sum(mablagh) as bigint) as mablagh, semat from fee_statement group by semat order by "
               "case when sum(mablagh) is null then 0 else 1 end, sum(mablagh), semat")
           + codeOrder(kind);
}

} // namespace tarvest::fees

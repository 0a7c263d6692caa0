#include "db/places.h"

#include "common/errors.h"
#include "db/database.h"

#include <QCollator>
#include <QSqlQuery>

#include <algorithm>

namespace tarvest {

namespace {

// Only these columns are ever written into a lookup's text.
bool isPlaceColumn(const QString& column)
{
    static const QStringList columns = {place::Province,      place::County,  place::Town, place::District,
                                        place::RuralDistrict, place::Village, place::Code};
    return columns.contains(column);
}

void requirePlaceColumn(const QString& column)
{
    if (!isPlaceColumn(column))
        throw Error(
            QStringLiteral("ستون «%1» از ستون‌های جدول آباديها نيست").arg(column));
}

PlaceLevel level(const QString& column, const QString& control, bool sorted)
{
    return PlaceLevel{column, control, sorted};
}

} // namespace

QStringList placeValues(Database& db, const QString& column, const QList<PlaceFilter>& ancestors, PlaceOrder order)
{
    requirePlaceColumn(column);
    QString sql = QStringLiteral("SELECT DISTINCT %1 FROM abadiha").arg(column);
    QVariantList params;
    QStringList conditions;
    for (const PlaceFilter& f : ancestors) {
        requirePlaceColumn(f.column);
        conditions << f.column + QStringLiteral(" = ?");
        // A null column never equals anything: an empty field matches rows whose column is empty.
        params << (f.value.isNull() ? QStringLiteral("") : f.value);
    }
    if (!conditions.isEmpty())
        sql += QStringLiteral(" WHERE ") + conditions.join(QStringLiteral(" AND "));
    if (order == PlaceOrder::Sorted)
        sql += QStringLiteral(" ORDER BY ") + column;
    QSqlQuery q = db.exec(sql, params);
    QStringList values;
    while (q.next())
        values << q.value(0).toString();
    if (order == PlaceOrder::Sorted) {
        // In Persian alphabetical order (چ after ج, گ after ک), the same on every database
        // whatever its collation.
        const QCollator persian(QLocale(QLocale::Persian, QLocale::Iran));
        std::stable_sort(values.begin(), values.end(), persian);
    }
    return values;
}

QStringList PlaceChain::valuesFor(Database& db, int index, const QStringList& ancestorTexts) const
{
    QList<PlaceFilter> filters;
    for (int i = 0; i < index && i < levels.size(); ++i)
        filters << PlaceFilter{levels[i].column, ancestorTexts.value(i)};
    const PlaceLevel& l = levels.at(index);
    return placeValues(db, l.column, filters, l.sorted ? PlaceOrder::Sorted : PlaceOrder::AsFound);
}

PlaceChain caseEntryPlaces()
{
    PlaceChain c;
    c.levels = {level(place::Province, "ostan", true),  level(place::County, "city", true),
                level(place::District, "bakhsh", true), level(place::RuralDistrict, "dehestan", true),
                level(place::Village, "rosta", true),   level(place::Code, "abadi_cod", true)};
    c.reactingLevels = 5;
    c.clear = PlaceChain::TextClear::Child;
    c.keepTextUnderTop = true;
    c.fillTopOnce = true;
    c.chooseSingleLast = true;
    return c;
}

PlaceChain gazetteerPlaces()
{
    PlaceChain c;
    c.levels = {level(place::Province, "ostan", true),
                level(place::County, "shahrestan", true),
                level(place::Town, "shahr", false),
                level(place::District, "bakhsh", true),
                level(place::RuralDistrict, "dehestan", true),
                level(place::Village, "rosta", true),
                level(place::Code, "cod", true)};
    c.reactingLevels = 5; // the village and the code are typed
    c.clear = PlaceChain::TextClear::ChildAndBelow;
    return c;
}

PlaceChain priceEntryPlaces()
{
    PlaceChain c;
    c.levels = {level(place::County, "city", true), level(place::District, "bakhsh", true),
                level(place::RuralDistrict, "dehestan", true), level(place::Village, "rosta", true),
                level(place::Code, "abadi_cod", true)};
    c.reactingLevels = 4;
    return c;
}

PlaceChain landEntryPlaces()
{
    PlaceChain c;
    c.levels = {level(place::County, "shahrestan", true), level(place::District, "bakhsh", true),
                level(place::RuralDistrict, "dehestan", true), level(place::Village, "rosta", true),
                level(place::Code, "abadi", false)};
    c.reactingLevels = 4;
    return c;
}

PlaceChain caseSearchPlaces()
{
    PlaceChain c;
    c.levels = {level(place::Province, "ostan", true), level(place::County, "city", false)};
    c.reactingLevels = 1;
    c.fillTopOnce = true;
    return c;
}

PlaceChain usersPlaces()
{
    PlaceChain c;
    c.levels = {level(place::Province, "ostan", false), level(place::County, "shahrestan", false)};
    c.reactingLevels = 1;
    return c;
}

QStringList allCounties(Database& db)
{
    return placeValues(db, place::County, {}, PlaceOrder::Sorted);
}

QStringList allVillages(Database& db)
{
    return placeValues(db, place::Village, {}, PlaceOrder::Sorted);
}

QStringList allProvinces(Database& db)
{
    return placeValues(db, place::Province);
}

QStringList landSearchVillages(Database& db, const std::optional<QString>& county)
{
    QList<PlaceFilter> filters;
    if (county)
        filters << PlaceFilter{place::County, *county};
    return placeValues(db, place::Village, filters);
}

} // namespace tarvest

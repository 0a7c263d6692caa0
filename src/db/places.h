#pragma once
// Place lookups in the gazetteer `abadiha`. A place is named level by level, from the
// province down to the village code; every screen that asks for a place offers each
// level as a drop-down list holding the distinct values found under the chosen
// ancestors. The lists only help: a place field is free text as well.
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace tarvest {

class Database;

// Gazetteer columns, top to bottom.
namespace place {
inline const QString Province = QStringLiteral("ostan");
inline const QString County = QStringLiteral("shahrestan");
inline const QString Town = QStringLiteral("shahr");
inline const QString District = QStringLiteral("bakhsh");
inline const QString RuralDistrict = QStringLiteral("dehestan");
inline const QString Village = QStringLiteral("rosta");
inline const QString Code = QStringLiteral("cod");
} // namespace place

// One chosen ancestor: a gazetteer column and the text standing in its field. An
// empty text is compared as the empty string, so it matches only rows whose column
// is empty.
struct PlaceFilter {
    QString column;
    QString value;
};

enum class PlaceOrder {
    AsFound, // in the order the database returns them
    Sorted,  // in Persian alphabetical order of the value
};

// The refill step: the distinct values of `column` among the gazetteer rows that
// match every ancestor. Columns must be gazetteer place columns (tarvest::Error
// otherwise); every ancestor text is a bound value.
QStringList placeValues(Database& db, const QString& column, const QList<PlaceFilter>& ancestors = {},
                        PlaceOrder order = PlaceOrder::AsFound);

// How one screen chains its place lists.
struct PlaceLevel {
    QString column;      // gazetteer column the list offers
    QString control;     // the screen's control (its objectName)
    bool sorted = false; // offered in the order of its values
};

struct PlaceChain {
    enum class TextClear {
        None,         // only lists are refilled; what stands in the fields stays
        Child,        // the child's text is emptied before its list is refilled
        ChildAndBelow // the child's text and every text below it are emptied
    };

    QList<PlaceLevel> levels; // top to bottom
    // Levels whose change refills the next level; levels from here down have no
    // reaction (the gazetteer's village and code are typed).
    int reactingLevels = 0;
    TextClear clear = TextClear::None;
    // The province change of the case entry leaves the county text as it stands
    // even though lower changes empty the child's text.
    bool keepTextUnderTop = false;
    // The top list is filled when the screen is shown only while it is still empty
    // (case entry and case search fill it once a run).
    bool fillTopOnce = false;
    // When the last level's list holds exactly one value it is chosen (the case
    // entry's village code).
    bool chooseSingleLast = false;

    // The values of level `index` under the ancestors' texts (one per level above).
    QStringList valuesFor(Database& db, int index, const QStringList& ancestorTexts) const;
};

// The variants of the screens.
PlaceChain caseEntryPlaces();  // ostan, city, bakhsh, dehestan, rosta, abadi_cod
PlaceChain gazetteerPlaces();  // ostan, shahrestan, shahr, bakhsh, dehestan, rosta, cod
PlaceChain priceEntryPlaces(); // city, bakhsh, dehestan, rosta, abadi_cod
PlaceChain landEntryPlaces();  // shahrestan, bakhsh, dehestan, rosta, abadi
PlaceChain caseSearchPlaces(); // ostan, city
PlaceChain usersPlaces();      // ostan, shahrestan

// Single lists.
// Every county of every province, ordered: the county list of the fee document,
// fee search, price search and land search screens.
QStringList allCounties(Database& db);
// Every village of every county, ordered: the price search's village list.
QStringList allVillages(Database& db);
// Every province, as found: the province lists of the users screens.
QStringList allProvinces(Database& db);
// The land search's village list: the villages of one county, or of all counties
// when no county is given.
QStringList landSearchVillages(Database& db, const std::optional<QString>& county = std::nullopt);

} // namespace tarvest

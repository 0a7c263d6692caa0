#pragma once
// The land-pricing rules over the database: transfer types (`vagozarityp`) with their
// unique names, price assessments (`ghimat`) saved with their ways of price discovery
// (`kashfghimat`) in one transaction, the duplicate letter rule of a new assessment,
// and the price search with the county restriction of every level but "admin".
#include "db/dialect.h"
#include "db/resultset.h"
#include "db/session.h"
#include "db/uniquekey.h"

#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <optional>

namespace tarvest {
class Database;
}

namespace tarvest::pricing {

namespace text {
inline const QString TransferTypeRequired = QStringLiteral("خطا! نوع واگذاري الزاميست");
inline const QString TransferTypeDuplicate = QStringLiteral("خطا! نوع واگذاري تکراري است");
inline const QString VillageRequired = QStringLiteral("خطا! نام روستا الزاميست");
inline const QString LetterDuplicate = QStringLiteral("خطا! شماره نامه،تاريخ نامه، روستا و شهرستان تكراري است");
inline const QString ProvinceRegistered = QStringLiteral("بدليل ثبت در استان،امکان ويرايش نيست");
inline const QString CountyRefused = QStringLiteral("خطا! کاربر گرامي شما دسترسي به اين صفحه نداريد");
// Our own refusals of a value the fields cannot hold.
inline const QString CoefficientNotNumber = QStringLiteral("خطا! ضريب بايد عدد باشد");
inline const QString AmountTooLarge = QStringLiteral("خطا! مبلغ «%1» بيش از حد بزرگ است");
} // namespace text

inline const QString kCountyLevel = QStringLiteral("city");

// ---------------------------------------------------------------------------------------
// Transfer types.

// No two transfer types share a name.
const UniqueRule& transferTypeRule();

enum class TransferTypeAdd { Added, Refused };
// Adds a transfer type. `zarib` is the coefficient's text: empty stores no value, a text
// that is not a number is refused (tarvest::Error with CoefficientNotNumber). The refusals
// of an empty and of a taken name are both listed in `problems` (both can apply at once);
// the check of the name and the insert hold the name's lock, so two workstations adding
// the same name at once store it once.
TransferTypeAdd addTransferType(Database& db, const QString& name, const QString& zarib, QStringList& problems);
// The names, in the order they were added: the choices of the price entry's `vagozari`.
QStringList transferTypeNames(Database& db);

// ---------------------------------------------------------------------------------------
// Price assessments.

// A new assessment's county letter: letter number, letter date, county and village.
const UniqueRule& priceLetterRule();

// The texts of the entry screen's fields, by column name, and its derived amounts.
struct Assessment {
    QString city, bakhsh, dehestan, rosta, abadiCod, karbari, sal, tamin, paperNo, paperDat, vagozari;
    qint64 arzesh = 0, paye = 0, mojaver12 = 0, mojaver16 = 0, mojaverMax = 0, khadamati = 0;
    double payeZarib = 0;
    QStringList kashf; // the checked ways of price discovery, in list order

    QVariantMap row() const; // the `ghimat` columns
};

// The checks of a new assessment before it is saved: the village is required and the
// letter must not already be registered in `ghimat`. Both refusals can apply at once.
QStringList newAssessmentProblems(Database& db, const Assessment& a);

// Saves a new assessment into the price result set (appended, made current) and its
// ways of price discovery, all in one transaction under the letter's lock. Returns the
// refusals (nothing is written then); throws tarvest::Error for a failed statement,
// with nothing written.
QStringList saveNewAssessment(ResultSet& prices, const Assessment& a);
// Writes the current assessment of the result set and replaces its ways of price
// discovery, in one transaction; only while the stored row is as it was loaded
// (RecordChanged otherwise). A changed letter that another assessment holds is refused.
QStringList saveAssessmentChanges(ResultSet& prices, const Assessment& a);
// Deletes the current assessment and its ways of price discovery, in one transaction.
void deleteAssessment(ResultSet& prices);
// The ways of price discovery stored for an assessment, in the order they were saved.
QStringList priceFinders(Database& db, qint64 assessmentId);

// A county user may not edit an assessment once a base price is set (the stored text
// of `paye` is not "0"; an empty value counts as set).
bool countyUserMayEdit(const QString& level, const QString& storedPaye);

// ---------------------------------------------------------------------------------------
// Price search.

struct PriceFilters {
    std::optional<QString> paperNo; // letter number, contains
    std::optional<QString> city;    // county, contains
    std::optional<QString> rosta;   // village, contains
};

struct PriceQuery {
    QString countSql; // one row, column c
    QVariantList params;
    KeyedQuery paged; // every column of ghimat, by id
};

PriceQuery buildPriceSearch(const PriceFilters& filters, const LoginState& user, DbKind kind);

struct PriceColumn {
    const char* name;
    const char16_t* title;
    int width; // 0: the grid's default
};
// The grid's columns in order (id first, hidden) with their titles.
const QList<PriceColumn>& priceSearchColumns();
// The export's header texts by column (paye_zarib has none).
QHash<QString, QString> priceExportTitles();

} // namespace tarvest::pricing

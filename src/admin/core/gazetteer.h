#pragma once
// The village gazetteer's rules: its search, its spreadsheet sheet, the replacement of the
// whole table from a sheet, the renaming of a level for the listed villages, and the
// saving and deleting of one village with its log records. Village codes are the key of
// the gazetteer: no two villages share one, also when two workstations save the same code
// at the same moment (saveUnique under villageCodeRule).
#include "db/uniquekey.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>

#include <functional>
#include <optional>

namespace tarvest {

class Database;
struct SheetTable;

// The seven gazetteer columns in the grid's order, which is also the sheet's order.
struct GazetteerColumn {
    QString column;
    QString caption;
};
const QList<GazetteerColumn>& gazetteerColumns(); // cod, ostan, shahrestan, shahr, bakhsh, dehestan, rosta

// Village codes are unique in the gazetteer.
const UniqueRule& villageCodeRule();

// The search's filters: a filter takes part when it holds a value (its field enabled);
// each matches anywhere in its column, "%" and "_" taken literally.
struct GazetteerFilters {
    std::optional<QString> cod{}, dehestan{}, ostan{}, bakhsh{}, shahrestan{}, rosta{};
};

struct SqlWithParams {
    QString sql;
    QVariantList params;
};
// "select count(*) ..." and "select * ..." with the same conditions; the list is ordered
// by city, district, rural district, village (then row id, so the order is fixed).
SqlWithParams gazetteerCountQuery(Database& db, const GazetteerFilters& f);
SqlWithParams gazetteerListQuery(Database& db, const GazetteerFilters& f);
qint64 countVillages(Database& db, const GazetteerFilters& f);

// One village as the entry dialog and the sheet give it.
struct Village {
    QString cod, ostan, shahrestan, shahr, bakhsh, dehestan, rosta;
    // The table's other columns (`city`, `khanevar`, `jamiyat`, `zarib`, `x`, `y`) as the
    // gazetteer's own export gives them back: column → text; a column not given is empty.
    QVariantMap more{};
    QVariantMap values() const; // the seven columns: column → text
};

// The columns of `Village::more`, in the table's order.
const QStringList& gazetteerMoreColumns();

// Messages of the gazetteer screens.
namespace gazetteer_msg {
inline const QString ColumnCount = QStringLiteral("خطا! تعداد ستون ها برابر نيست");
inline const QString SameVillage = QStringLiteral("خطا! شهرستان و روستا و استان و کدآبادي تکراري است");
inline const QString NewCodeTaken = QStringLiteral("خطا! کد آبادي تکراريست");
inline const QString EditCodeTaken = QStringLiteral("خطا! کد آبادي تکراري است");
inline const QString EmptyName = QStringLiteral("خطا! نام جديد خالي است");
} // namespace gazetteer_msg

// The export's header texts by field name: `id` "شناسه", `city` "شهرستان", `cod`
// "کد آبادي", ...; other fields keep their names.
QHash<QString, QString> gazetteerExportTitles();

// A sheet read for the replacement: exactly the seven columns in the grid's order under a
// heading row, in columns A to G, every value trimmed; or the program's own gazetteer
// export as it is (recognised by its headings, the seven columns found by heading, and
// its other columns kept in `Village::more`).
// Refused with a Persian message (tarvest::Error) for another column count (naming both
// numbers), an empty or repeated village code (naming the code and its rows) or a value
// wider than its column (naming the row and the column).
QList<Village> gazetteerFromSheet(const SheetTable& sheet);

// Replaces every row of the gazetteer with `villages`, in one transaction: a failure
// leaves the gazetteer as it was and throws. `progress(done)` is called as rows are
// written (0 .. villages.size()). Returns the number of rows written.
int replaceGazetteer(Database& db, const QList<Village>& villages, const std::function<void(int done)>& progress = {});

// A gazetteer level a rename changes.
enum class GazetteerLevel { Province, County, Town, District, RuralDistrict, Village };
QString levelColumn(GazetteerLevel level);
QString levelCaption(GazetteerLevel level); // "استان", "شهرستان", ...

// Row-by-row renaming: the level's column of the listed rows (by id) becomes newName,
// with one log record per row (" ويرايش آبادي نام " + caption + " " + code + " " + user).
// One transaction. Returns the number of rows changed.
struct ListedVillage {
    QVariant id;
    QString cod;
};
int renameListedRows(Database& db, GazetteerLevel level, const QString& newName, const QList<ListedVillage>& rows,
                     const QString& userName);

// Bulk renaming: every row whose code is one of the listed rows' codes gets newName in the
// level's column. One transaction, no log record. Returns the number of rows changed.
int renameByCodes(Database& db, GazetteerLevel level, const QString& newName, const QList<ListedVillage>& rows);

// A new village: the same province, county, village and code refused with SameVillage,
// a taken code with NewCodeTaken (checked and written under the code's lock); the log
// record " ثبت کدآبادي جديد  " + code + " " + user. Returns the new row's id.
qint64 saveNewVillage(Database& db, const Village& v, const QString& userName);

// Changes of the village whose row is `id` and whose values were `loaded` (column → value
// as read): a changed code that another row holds is refused with EditCodeTaken; a row
// changed meanwhile throws RecordChanged; the log record " ويرايش آبادي  " + code + " " + user.
void saveVillageChanges(Database& db, const QVariant& id, const QVariantMap& loaded, const Village& v,
                        const QString& userName);

// Deletes the village row with its log record " حذف آبادي  " + code + " " + user, in one
// transaction; a row changed meanwhile throws RecordChanged. Returns the rows deleted.
int deleteVillage(Database& db, const QVariant& id, const QVariantMap& loaded, const QString& userName);

} // namespace tarvest

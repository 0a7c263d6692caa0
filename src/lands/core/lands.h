#pragma once
// Land identification records (table `arazi`): the 54 fields of the entry screen with
// their controls, captions and headings; the county-and-village-code rule; the search
// conditions of the land search; the column mapping of the land spreadsheet (sheet "sh")
// and the replacement of the land data from it.
//
// The replacement fills `arazi`, which the screens read and write, and writes the same
// rows to `sh`, the plain copy of the last sheet, in one transaction: a sheet that fails
// anywhere leaves both tables exactly as they were.
#include "db/uniquekey.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>

#include <functional>
#include <optional>

namespace tarvest {

class Database;
struct SheetTable;

// How the entry screen edits a field.
enum class LandControl {
    Text,  // a text field
    Combo, // an editable list (places and setting lists)
    YesNo, // a list holding "دارد" and "ندارد"
};

// The four headings of the entry screen, in order.
enum class LandSection {
    Plan,        // "مراحل تصويب طرح روستاها"
    Development, // "شناسايي اراضي سمت توسعه"
    Approval,    // "مراحل تصويب طرح"
    Acquisition, // "مراحل تملک اراضي"
};
QString sectionCaption(LandSection section);

struct LandField {
    QString column; // the `arazi` column, also the control's objectName
    LandControl control;
    QString caption;     // the entry screen's label
    QString settingList; // the setting list of a choice, or empty
    LandSection section;
    bool lastRow = false; // `mas` and `san` share the row of the two buttons
};

// The 54 fields in the order the screen writes them (also the order of `sh` and of the
// sheet's copied columns).
const QList<LandField>& landFields();
QStringList landColumnNames();

// The land grid's columns, in order, with their titles: `abadi` first, then the places,
// population, coordinates, ... and then the remaining columns in the fields' order.
struct LandGridColumn {
    QString column;
    QString title;
};
const QList<LandGridColumn>& landGridColumns();
// The export's header texts: "شناسه", "شهرستان", "جمعيت"; other columns keep their names.
QHash<QString, QString> landExportTitles();

// A record is known to users by its county and village code: no two records share the pair.
const UniqueRule& landKeyRule();

// Messages of the land screens.
namespace land_msg {
inline const QString Duplicate = QStringLiteral("شهرستان و کد آبادي تکراري است");
inline const QString ColumnCount = QStringLiteral("خطا! تعداد ستون ها برابر نيست");
inline const QString ReadFailed = QStringLiteral(
    "خطا در خواندن فايل اکسل! لطفا فايل را ببنديد و يا از نام شيت آن مطمئن شويد Sh ");
inline const QString Moving = QStringLiteral("در حال انتقال اطلاعات...");
inline const QString Moved = QStringLiteral("انتقال اطلاعات با موفقيت انجام شد");
inline const QString SheetName = QStringLiteral("sh");
inline const QString ReplaceNeedsDeleteRight = QStringLiteral(
    "خطا! جايگزيني اکسل همه رکوردهاي اراضي را حذف مي کند و به حق حذف نياز دارد");
// The question before a replacement: what goes and what comes in its place.
QString replaceQuestion(qint64 stored, qint64 sheetRows);
} // namespace land_msg

// The land search's filters; a filter takes part when it holds a value (its field
// enabled). The county filter is the county list: a record matches when its county
// contains one of the entries; an enabled filter with an empty list matches nothing.
// The other filters match anywhere in their column, "%" and "_" taken literally.
struct LandFilters {
    std::optional<QStringList> counties{};
    std::optional<QString> rosta{}, marhale{}, tarh{}, motale{}, marja{};
};

struct LandQuery {
    QString sql;
    QVariantList params;
};
// "select count(*) as c from arazi where id<>-1 ..." and "select * from arazi where id<>-1 ..."
// with the same conditions; the list is in the order of the rows' ids.
LandQuery landCountQuery(Database& db, const LandFilters& f);
LandQuery landListQuery(Database& db, const LandFilters& f);
qint64 countLands(Database& db, const LandFilters& f);

// The column mapping of the land spreadsheet: the zero-based sheet columns whose values
// go, in order, to the 54 land columns: C to AJ, AL to AV and AX to BF (A, B, AK and AW
// are not copied).
const QList<int>& landSheetColumns();
// The columns a sheet must have at least: the last copied column is the 58th.
constexpr int LandSheetMinColumns = 58;
// The 54 values of one sheet row, in the land columns' order; a cell the row does not
// reach reads as empty. Values are taken as the sheet holds them.
QStringList landValuesFromSheetRow(const QStringList& row);

// The rows of a sheet read for the replacement. The sheet's columns count by position
// from column A; refused with ColumnCount and both numbers (tarvest::Error) when it has
// fewer than 58. The program's own land export (recognised by its headings, those of
// landExportTitles()) is taken as it is, each column found by its heading, so an office can
// export, correct and replace. A value longer than its column is refused naming the sheet
// row and the column.
QList<QStringList> landRowsFromSheet(const SheetTable& sheet);

// Reads the land sheet of the file at `path`: its sheet "sh", or, in a file without one,
// the land export's sheet when its headings are the export's. Otherwise the reader's
// refusal for the missing sheet "sh".
SheetTable readLandSheet(const QString& path);

// Replaces every record of `arazi`, and every row of `sh`, with `rows` (54 values each),
// in one transaction: any failure leaves both tables as they were and throws
// tarvest::Error naming the sheet row (row 2 is the first under the heading) and the
// reason. `progress(done)` is called from 0 up to rows.size() as rows are written; an
// exception it throws ends the replacement the same way. Returns the rows written.
int replaceLands(Database& db, const QList<QStringList>& rows, const std::function<void(int done)>& progress = {});

// The values of a record as the entry screen writes them: column → text.
QVariantMap landValues(const QStringList& texts);

} // namespace tarvest

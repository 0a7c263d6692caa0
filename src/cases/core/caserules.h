#pragma once
// The rules of a case record (table komision) that need no window: the fields of the
// case entry screen, the order a stored case is loaded in, the checks before saving,
// the duplicate and gazetteer lookups, which fields each user level may change, and
// the letter normalisation of names.
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace tarvest {

class Database;
class ResultSet;
struct UniqueRule;

enum class CaseFieldKind {
    Text,  // a line of text (numbers are text too)
    Date,  // a Jalali date field
    List,  // an editable drop-down list
    Check, // a check box
};

struct CaseField {
    enum Flag {
        Sorted = 0x1, // a place list offered in alphabetical order
        Hidden = 0x2, // kept in the record, never shown
        Wide = 0x4,   // takes a whole row of the form
        Today = 0x8,  // its caption writes today's date into it
    };
    QString name; // column of komision and objectName of the control
    CaseFieldKind kind = CaseFieldKind::Text;
    QString caption;
    QString list; // setting list offering its choices, empty when none
    int flags = 0;

    bool sorted() const { return flags & Sorted; }
    bool visible() const { return !(flags & Hidden); }
    bool wide() const { return flags & Wide; }
    bool todayCaption() const { return flags & Today; }
};

// Every field of the case entry screen, visible ones in their tab order, then the
// hidden ones.
const QList<CaseField>& caseFields();
const CaseField* caseField(const QString& name);

// The columns copied from a stored case into the fields, in the order they are set
// (the owner's share twice: once before and once after the areas and prices it follows
// from). The check box taeid_zamin is set after them.
const QStringList& caseLoadOrder();

// The texts of one case by column name.
using CaseTexts = QHash<QString, QString>;

namespace caseText {
inline const QString LandApproved = QStringLiteral("تاييد امور زمين"); // taeid_zamin when ticked
inline const QString Saved = QStringLiteral("ثبت شد");
inline const QString CoveredWithoutLetter = QStringLiteral("خطا! اگر تحت پوشش دارد بايد شماره نامه تحت پوشش پر شود");
inline const QString VillageRequired = QStringLiteral("خطا! نام روستا الزاميست");
inline const QString ExistingUseRequired = QStringLiteral("خطا! نوع کاربري موجود الزاميست");
inline const QString DestroyedAreaRequired = QStringLiteral("خطا! مساحت تخريب الزاميست");
inline const QString UnknownCounty = QStringLiteral(
    "خطا! نام استان و شهرستان را از ليست انتخاب نماييد و از تايپ پرهيز نماييد");
inline const QString Duplicate = QStringLiteral("خطا! شماره نامه،تاريخ نامه، روستا و شهرستان تكراري است");
inline const QString ApprovedNoEdit = QStringLiteral("بدليل تاييد امور زمين، امکان ويرايش نيست");
inline const QString ProvinceRegisteredNoEdit = QStringLiteral("بدليل ثبت در دبيرخانه استان،امکان ويرايش نيست");
} // namespace caseText

// The four required-field checks, all of them: the messages of those that fail, in
// order (covered status without its letter number, village, existing use, destroyed
// area).
QStringList caseFieldProblems(const CaseTexts& texts);

// The refusals of texts longer than their columns, each naming its field by caption
// (the fields take no more while typing; a chosen list value or a loaded text may).
QStringList caseWidthProblems(const CaseTexts& texts);

// The fields the valuation computes with; their other-script digits are written as
// Latin digits, so they are shown, computed and stored alike.
const QStringList& caseNumberFields();

// Whether the gazetteer has a row of this county in this province.
bool provinceHasCounty(Database& db, const QString& province, const QString& county);

// Whether another case has the same letter number, letter date, county and village;
// excludeKey leaves out the case being edited.
bool isDuplicateCase(Database& db, const CaseTexts& texts, std::optional<qint64> excludeKey = std::nullopt);

// The case key: no two cases share letter number, letter date, county and village.
const UniqueRule& caseKeyRule();

// The row written for a case: every field, and the user who saves it (`karbar`).
QVariantMap caseRow(const CaseTexts& texts, const QString& user);

// Saves a new case into the case set (appended and made current): the checks of
// newCaseProblems, then the insert under the case key's lock, where the duplicate
// check runs again, so of two workstations saving the same key at once exactly one
// succeeds. Returns the refusals, empty when the case was saved.
QStringList saveNewCase(ResultSet& cases, const CaseTexts& texts, const QString& user);
// Saves the changes to the current case of the case set: the checks of
// editCaseProblems, then the update (under the case key's lock when the key
// changes) of the changed columns while the stored case still holds what the case
// set loaded. Returns the refusals, empty when saved; throws RecordChanged when
// another workstation changed the case meanwhile.
QStringList saveCaseChanges(ResultSet& cases, const CaseTexts& texts, const QString& user);

// Every refusal of saving a new case, in the order shown: the required fields; the
// province-and-county check only when those passed; the duplicate check always.
QStringList newCaseProblems(Database& db, const CaseTexts& texts);
// The refusals of saving changes to a stored case (`stored` holds its columns): the
// required fields; the province-and-county check when those passed and the county
// changed; the duplicate check, without the case itself, when its letter number,
// letter date, county or village changed.
QStringList editCaseProblems(Database& db, const CaseTexts& texts, const CaseTexts& stored, qint64 key);

// Why a user of this level may not open a stored case for editing: the messages of
// both guards that fail (only the county office is guarded).
QStringList editRefusals(const QString& level, const QString& approvedColumn, const QString& provinceRegisteredColumn);

// The fields a user level switches on and off; fields not named keep their state.
struct EnableSet {
    QStringList enabled;
    QStringList disabled;
};
namespace level {
inline const QString CountyOffice = QStringLiteral("city");
inline const QString Province = QStringLiteral("ostan");
inline const QString CaseRegistration = QStringLiteral("ثبت پرونده");
inline const QString LandAffairs = QStringLiteral("امور زمين");
inline const QString TechnicalAffairs = QStringLiteral("امور فني و مطالعات");
inline const QString CommissionSecretary = QStringLiteral("دبير كميسيون معاملات");
} // namespace level
// The set of a level, or nullopt for a level that has none (its fields stay as
// they are).
std::optional<EnableSet> enableSetFor(const QString& level);

// Persian keheh (ک) written as Arabic kaf (ك), as names are kept.
QString arabicKaf(const QString& text);

// The gazetteer maintenance of village names: every row's rosta with its keheh
// written as kaf, in one statement (one transaction) that touches only the rows
// whose name changes. Returns the number of rows changed; a failure changes none
// (tarvest::Error).
int normaliseVillageNames(Database& db);

} // namespace tarvest

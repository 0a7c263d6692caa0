#pragma once
// Named lists of texts kept in table `setting`: each row is one value (`cmt`) of one
// list (`component`). A screen reads a list either as the choices of a combo box or,
// for lists meant to hold one value, as a single configured value (a name printed on
// a form, a coefficient, a fee, the delete password). List names are fixed here and
// compared as exact text: Arabic kaf (ك) and Persian keheh (ک) are different letters,
// and both occur in the names.
#include <QString>
#include <QStringList>

namespace tarvest {

class Database;

namespace lists {

inline const QString TechnicalAffairs = QStringLiteral("امور فني و مطالعات"); // choices: case entry fani
inline const QString DocumentKinds = QStringLiteral("انواع سند");             // choices: case entry sanad
inline const QString LandUseKinds = QStringLiteral(
    "انواع كاربري"); // choices: case entry karbari1/karbari2, price entry karbari
inline const QString TransactionsLetterDate = QStringLiteral(
    "تاريخ نامه کميسيون معاملات");                                      // value: printed on the case forms
inline const QString LandProvider = QStringLiteral("تامين کننده زمين"); // choices: price entry tamin
inline const QString Coverage = QStringLiteral("تحت پوشش");             // choices: case entry tahteposhesh
inline const QString MemberCount = QStringLiteral("تعداد اعضا");        // value: fee document default
inline const QString FeePerMember = QStringLiteral("حق الزحمه هر عضو"); // value: fee document default
inline const QString DeletePassword = QStringLiteral("رمز حذف"); // value: the password the delete commands ask for
inline const QString SecurityHead = QStringLiteral("رئيس اداره حراست");           // value: printed on the case forms
inline const QString CommissionAttachments = QStringLiteral("شرح ضمائم کميسيون"); // choices: case pictures cmt
inline const QString TransactionsLetterNo = QStringLiteral(
    "شماره نامه کميسيون معاملات"); // value: printed on the case forms
inline const QString ServiceLandCoefficient = QStringLiteral(
    "ضريب قيمت اراضي خدماتي"); // value: price entry coefficient
inline const QString Plots12To16Coefficient = QStringLiteral(
    "ضريب قيمت قطعات 12 تا 16"); // value: price entry coefficient
inline const QString PlotsOver16Coefficient = QStringLiteral(
    "ضريب قيمت قطعات بيشتر از16"); // value: price entry coefficient
inline const QString PlotsUnder12Coefficient = QStringLiteral(
    "ضريب قيمت قطعات کمتر از12"); // value: price entry coefficient
inline const QString RuralDeputyPostTitle = QStringLiteral(
    "عنوان پست معاون عمران روستايي");                                              // value: printed on the case forms
inline const QString PriceFinders = QStringLiteral("کشف کننده قيمت");              // choices: price finders check list
inline const QString LegalExpert = QStringLiteral("كارشناس حقوقي و املاك");        // value: printed on the case forms
inline const QString LandGroup = QStringLiteral("گروه زمين");                      // choices: case entry zamin
inline const QString UserGroup = QStringLiteral("گروه کاربري");                    // choices: users screens semat
inline const QString EligibleApplicant = QStringLiteral("متقاضي مشمول");           // choices: case entry mashmol
inline const QString DirectorGeneral = QStringLiteral("مدير کل");                  // value: printed on the case forms
inline const QString LandAcquisitionAuthority = QStringLiteral("مرجع تملک اراضي"); // choices: land screens marja
inline const QString LandStage = QStringLiteral("مرحله اراضي");                    // choices: land screens marhale
inline const QString Consultant = QStringLiteral("مشاور");                         // choices: case entry moshaver
inline const QString SupportDeputy = QStringLiteral("معاون پشتيباني");             // value: printed on the case forms
inline const QString RuralDeputy = QStringLiteral("معاون عمران روستايي");          // value: printed on the case forms
inline const QString LandUseChangeResult = QStringLiteral(
    "نتيجه كميسيون تغيير كاربري"); // choices: case entry komision_t_k and tasvib_result
inline const QString CommissionOpinion = QStringLiteral("نظر جلسه كميسيون"); // choices: case entry komision_idea
inline const QString RuralDeputyOpinion = QStringLiteral("نظر معاون عمران روستايي"); // choices: case entry dabir
inline const QString RequestKind = QStringLiteral("نوع درخواست");        // choices: case entry and case search manzor
inline const QString LandPlanKind = QStringLiteral("نوع طرح اراضي");     // choices: land screens tarh
inline const QString LandStudyKind = QStringLiteral("نوع مطالعه اراضي"); // choices: land screens motale

// The office's province, printed in the register's title; offered on the settings screen
// after the fee statements' holder names.
inline const QString OfficeProvince = QStringLiteral("نام استان"); // value: printed on the register

// Read by screens but not offered on the settings screen.
inline const QString UserStatus = QStringLiteral("وضعيت کاربر");    // choices: user entry status
inline const QString MessageSubject = QStringLiteral("موضوع پيام"); // choices: messages mozo

} // namespace lists

// The 34 list names the settings screen offers, in its order.
const QStringList& settingListNames();

// Every value of exactly that list, in the order they were added; empty when the
// list has no rows.
QStringList settingChoices(Database& db, const QString& list);
// The value of a single-value list: its first row in the order rows were added, or
// an empty text when the list has no rows.
QString settingValue(Database& db, const QString& list);

// The province an office's forms print as its own: the value of the setting list
// "نام استان" when set, else the gazetteer's province when the gazetteer holds only one,
// else none.
struct OfficeProvinceName {
    enum class Source { Setting, Gazetteer, None };
    QString name;
    Source source = Source::None;
};
OfficeProvinceName officeProvince(Database& db);

enum class SettingAdd {
    Added,
    Empty,     // no list chosen or a blank value
    Duplicate, // the list already holds exactly this value
};
// Adds a value to a list unless it is blank or already there. The check and the
// insert are one step, so two workstations adding the same value at once store it
// once. Throws tarvest::Error for a text wider than its column or a failed statement.
SettingAdd addSettingValue(Database& db, const QString& list, const QString& value);
// Deletes every row holding this value in this list; returns how many went.
int removeSettingValue(Database& db, const QString& list, const QString& value);

} // namespace tarvest

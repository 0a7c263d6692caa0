#pragma once
// Valuation of a case: net area, property value, the owner's share of a plot's value
// when its use changes, the discount and the technical-services fee, and the
// stand-alone calculator's payment schedule. Every value lives in a text field; these
// functions take the fields' texts and give the texts to write back. All arithmetic is
// exact decimal (see common/decimal.h); currency steps keep four fraction digits,
// each result rounded half to even.
#include "common/decimal.h"

#include <QString>
#include <QStringView>

#include <optional>

namespace tarvest::valuation {

// Fixed texts.
inline const QString kOnlyExpertFee = QStringLiteral("فقط هزينه كارشناسي");
inline const QString kByCommission = QStringLiteral("طبق نظر كميسيون معاملات");
inline const QString kLargeAreaReminder = QStringLiteral("تذكر متراژ زمين بيشتر از سه هزار متر است");
inline const QString kTwoDisabled = QStringLiteral("دو معلول");

// A field's text as a number: "." (or the Persian separator) as decimal point, Persian
// and Arabic-Indic digits counted as digits; "", "abc", "1,000" give nullopt.
std::optional<Decimal> toNumber(QStringView text);
// A number in the shortest general form: up to 15 significant digits, no grouping,
// no trailing zeros ("250", "12345.67").
QString toText(const Decimal& value);
// Currency arithmetic: a value rounded to the nearest 0.0001, ties to even.
Decimal currency(const Decimal& value);

// Net area: metraj − 2 × takhrib_masahat; "0" when either text is not a number.
QString netAreaText(QStringView metraj, QStringView destroyedArea);
// Property value: net area × price per m²; "0" when either text is not a number.
QString propertyValueText(QStringView netArea, QStringView pricePerMetre);
// Discount percentage for a covered status: "100" for "دو معلول", "0" for any other.
QString discountText(QStringView coveredStatus);

// The value truncated toward zero to at most two fraction digits, in shortest form
// (12345.678 -> "12345.67", 12345.5 -> "12345.5", 12345.0 -> "12345").
QString twoDigitText(const Decimal& value, QChar separator = u'.');

// Base share of a property value by value band; nullopt when V ≤ 30,000,000 (only
// the expert's fee is due).
std::optional<Decimal> baseShare(const Decimal& value);
// Area factor of a net area; nullopt from 3000 m² on (the base share stays).
std::optional<Decimal> areaFactor(const Decimal& netArea);
// Whether the net area calls for the large-area reminder (3000 m² or more).
bool needsLargeAreaReminder(QStringView netArea);

// The owner's-share reaction on the texts of its fields. The input holds the fields'
// texts before; the output the texts after (a field the reaction does not reach keeps
// its text) and whether the reminder is due.
struct ShareFields {
    QString masahat_khales;  // net area A
    QString price_metr;      // price per m²
    QString melk_arzesh;     // property value V
    QString malek_pardakhti; // owner's share
};
struct ShareOutcome {
    ShareFields fields;
    bool largeAreaReminder = false;
};
ShareOutcome ownerShare(ShareFields fields);

// Technical-services fee: half the owner's share less the discount percentage, in
// currency arithmetic; "0" when the share or the discount is not a number.
QString feeText(QStringView ownerShare, QStringView discountPercent);

// The calculator: property value V = area × price, its four roundings and the
// owner's payment (no area factor).
struct CalculatorOutcome {
    Decimal value;                  // V
    QString nearest;                // rounded to the nearest integer, ties to even
    QString up;                     // the smallest integer not below V
    QString down;                   // the largest integer not above V
    QString twoDigits;              // whole part, "," and one or two fraction digits
    std::optional<Decimal> payment; // 30,000,000 < V ≤ 1,000,000,000
    QString paymentMessage; // otherwise "فقط هزينه كارشناسي" or "طبق نظر كميسيون معاملات"
};
// Empty texts count as "0"; nullopt when a text is not a number.
std::optional<CalculatorOutcome> calculate(QStringView area, QStringView pricePerMetre);
// A payment as the calculator shows it: whole part grouped in threes, then "." and
// the fraction when there is one ("17,535,017.535").
QString paymentText(const Decimal& payment);

} // namespace tarvest::valuation

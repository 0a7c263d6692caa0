#pragma once
// The distribution of a fee document over the staff roles: the member fee for the
// year's documents, the deposit refunds, and the four groups of role amounts (A and B
// from the two deposit receipts, C from the organisation's share of the members' fees,
// D from the members' fee pool when the county paid no receipts).
//
// Everything is exact decimal arithmetic. The computation runs in the order of the
// entry screen's fields: a result that enters an amount field becomes whole rials
// (nearest, halves to even) and every later step reads that whole value; the two plain
// text shares (`sahm_vartalis`, `sahm_sabt`) keep a half rial as ".5". The percentages
// are the texts the screen shows beside each amount; the computation reads them.
//
// The inputs are checked before anything is computed: a count that is not a whole
// number, a percentage that is not a number, or an amount beyond fifteen digits
// throws FeeInputError naming the field, and the caller writes nothing.
#include "common/decimal.h"
#include "common/errors.h"

#include <QHash>
#include <QList>
#include <QPair>
#include <QString>

namespace tarvest::fees {

// The largest amount an office can type or the distribution may produce: fifteen digits.
inline constexpr qint64 kMaxAmount = 999'999'999'999'999;

// A refused input or result; the message is for the user and names the field.
class FeeInputError : public Error {
public:
    using Error::Error;
};

// One role of a distribution group: the amount's column (also its field's name), the
// field's caption, the name of the label holding its percentage and that percentage.
struct FeeRole {
    QString column;
    QString caption;
    QString percentLabel;
    int percent;
};

// The groups in their computation order.
const QList<FeeRole>& groupA(); // from odat_modir
const QList<FeeRole>& groupB(); // from odat_kar
const QList<FeeRole>& groupC(); // from band3
const QList<FeeRole>& groupD(); // from the members' fee pool
// The two refunds: odat_modir (35 % of fish_mablagh), odat_kar (20 % of fish_mablagh2).
const FeeRole& refundManager();
const FeeRole& refundExpert();

// Every percentage label with its default text ("35", "15", ...).
QHash<QString, QString> defaultPercentTexts();

// What the distribution reads from the screen.
struct FeeInputs {
    bool receipts = false; // fish_chk
    QString rostaCnt, shahrCnt, ozvCnt;
    qint64 fishMablagh = 0, fishMablagh2 = 0; // amount fields' values
    qint64 ozvMablagh = 0, vartalisSahm = 0, sabtSahm = 0;
    QHash<QString, QString> percentTexts; // label name -> the text it shows
};

// The fields to write, in the order they are written: column and text (a whole number
// without grouping, or a decimal with its fraction for the plain text shares).
using FieldTexts = QList<QPair<QString, QString>>;

FieldTexts distribute(const FeeInputs& in);

// The text a distribution writes into `column`, empty when it writes none.
QString fieldText(const FieldTexts& texts, const QString& column);

// The per-member shares the screen shows from the member fee: half of it, in whole
// rials (a half rounds to even).
qint64 memberShareOfFee(qint64 ozvMablagh);

// x / 2 exactly, as a decimal text ("250000", "250000.5").
QString halfText(qint64 x);

// A count field read as a whole number; FeeInputError naming the field otherwise.
int wholeCount(const QString& text, const QString& caption);

// The decimal text of a value without grouping: "1200000", "37500.5".
QString decimalText(const Decimal& d);

// An other expert's amount: the amount to split times (percentage / 100), both read as
// decimal numbers, in whole rials (a half to even); 0 when either text is not a number
// (an empty percentage included) or the result is beyond fifteen digits.
qint64 expertAmount(const QString& amountText, const QString& percentText);

} // namespace tarvest::fees

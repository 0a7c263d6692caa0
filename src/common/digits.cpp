#include "common/digits.h"

#include "common/errors.h"

#include <QLocale>
#include <limits>

namespace tarvest {

namespace {

constexpr char16_t kPersianDecimalSeparator = u'\u066B';

bool isAsciiDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

// Adds one to a string of ASCII digits, growing it on a carry out of the top digit.
void incrementDigits(QString& digits)
{
    for (qsizetype i = digits.size() - 1; i >= 0; --i) {
        if (digits[i] != u'9') {
            digits[i] = QChar(digits[i].unicode() + 1);
            return;
        }
        digits[i] = u'0';
    }
    digits.prepend(u'1');
}

} // namespace

QString normalizeDigits(QString text)
{
    for (QChar& c : text) {
        const char16_t u = c.unicode();
        if (u >= 0x06F0 && u <= 0x06F9)
            c = QChar(u'0' + (u - 0x06F0));
        else if (u >= 0x0660 && u <= 0x0669)
            c = QChar(u'0' + (u - 0x0660));
    }
    return text;
}

QString groupDigits(QStringView digits)
{
    const qsizetype length = digits.size();
    if (length <= 3)
        return digits.toString();
    const qsizetype commas = (length - 1) / 3;
    QString out;
    out.reserve(length + commas);
    const qsizetype head = length - 3 * commas;
    out += digits.left(head);
    for (qsizetype i = head; i < length; i += 3) {
        out += u',';
        out += digits.mid(i, 3);
    }
    return out;
}

QString roundDecimalTextToWhole(QStringView text)
{
    QString whole;
    QString fraction;
    bool seenPoint = false;
    for (QChar c : text) {
        if (isAsciiDigit(c))
            (seenPoint ? fraction : whole) += c;
        else if (c == u'.' && !seenPoint)
            seenPoint = true;
    }
    if (whole.isEmpty() && fraction.isEmpty())
        return {};
    if (whole.isEmpty())
        whole = QStringLiteral("0");
    if (fraction.isEmpty())
        return whole;

    bool roundUp = false;
    const QChar first = fraction[0];
    if (first > u'5') {
        roundUp = true;
    } else if (first == u'5') {
        bool beyondHalf = false;
        for (qsizetype i = 1; i < fraction.size(); ++i)
            if (fraction[i] != u'0')
                beyondHalf = true;
        const bool lastIsOdd = (whole.back().unicode() - u'0') % 2 == 1;
        roundUp = beyondHalf || lastIsOdd;
    }
    if (roundUp)
        incrementDigits(whole);
    return whole;
}

QString cleanAmountText(QStringView text)
{
    // Only the digits count: a point or a Persian separator inside an amount is one
    // more grouping mark typed by hand ("1.250.000"), never a fraction.
    const QString normalized = normalizeDigits(text.toString());
    QString digits;
    digits.reserve(normalized.size());
    for (QChar c : normalized)
        if (isAsciiDigit(c))
            digits += c;
    return groupDigits(digits);
}

qint64 parseWholeRials(QStringView text)
{
    const QString normalized = normalizeDigits(text.toString());
    constexpr qint64 kMax = std::numeric_limits<qint64>::max();
    qint64 value = 0;
    QString digits;
    bool tooLarge = false;
    for (QChar c : normalized) {
        if (!isAsciiDigit(c))
            continue;
        digits += c;
        const int d = c.unicode() - u'0';
        if (tooLarge || value > (kMax - d) / 10)
            tooLarge = true;
        else
            value = value * 10 + d;
    }
    if (tooLarge)
        throw Error(QStringLiteral("مبلغ %1 بزرگتر از حد قابل پذيرش است").arg(groupDigits(digits)));
    return value;
}

QString cleanQuantityText(QStringView text)
{
    const QString normalized = normalizeDigits(text.toString());
    QString out;
    out.reserve(normalized.size());
    bool seenPoint = false;
    for (QChar c : normalized) {
        if (isAsciiDigit(c)) {
            out += c;
        } else if ((c == u'.' || c == kPersianDecimalSeparator) && !seenPoint) {
            seenPoint = true;
            out += u'.';
        }
    }
    return out;
}

bool hasSecondDecimalPoint(QStringView text)
{
    int points = 0;
    for (QChar c : text)
        if (c == u'.' || c == kPersianDecimalSeparator)
            ++points;
    return points > 1;
}

double parseQuantity(QStringView text)
{
    if (text.isEmpty())
        return 0.0;
    bool ok = false;
    bool hasDigit = false;
    for (QChar c : text)
        if (isAsciiDigit(c))
            hasDigit = true;
    double value = 0.0;
    // Plain decimal text only: digits with at most one ".", nothing else (no sign,
    // exponent, grouping or "inf"/"nan").
    bool plain = hasDigit;
    int points = 0;
    for (QChar c : text) {
        if (c == u'.')
            ++points;
        else if (!isAsciiDigit(c))
            plain = false;
    }
    if (plain && points <= 1) {
        // "12." and ".5" are read as 12 and 0.5.
        QString padded = text.toString();
        if (padded.startsWith(u'.'))
            padded.prepend(u'0');
        if (padded.endsWith(u'.'))
            padded.append(u'0');
        value = QLocale::c().toDouble(padded, &ok);
    }
    if (!ok)
        throw Error(QStringLiteral("«%1» عدد معتبري نيست").arg(text.toString()));
    return value;
}

} // namespace tarvest

#include "pricing/core/derivedprices.h"

#include "common/decimal.h"
#include "common/errors.h"

#include <limits>

namespace tarvest::pricing {

namespace {

std::optional<Decimal> coefficientValue(QStringView text)
{
    const QString t = text.trimmed().toString();
    if (t.isEmpty())
        return std::nullopt;
    // Only plain decimal numbers: no exponent, no grouping.
    for (QChar c : t) {
        if (!(c.isDigit() || c == u'.' || c == QChar(0x066B) || c == u'-' || c == u'+'))
            return std::nullopt;
    }
    return Decimal::parse(t);
}

} // namespace

std::optional<QString> normalisedCoefficient(QStringView text)
{
    const std::optional<Decimal> d = coefficientValue(text);
    if (!d)
        return std::nullopt;
    return d->toShortString(15);
}

qint64 derivedPrice(qint64 amount, QStringView coefficient)
{
    const std::optional<Decimal> k = coefficientValue(coefficient);
    if (!k)
        return 0;
    try {
        const Decimal product = (Decimal::fromInteger(amount) * *k).roundedHalfEven(0);
        static const Decimal lowest = Decimal::fromInteger(std::numeric_limits<qint64>::min());
        static const Decimal highest = Decimal::fromInteger(std::numeric_limits<qint64>::max());
        if (product < lowest || product > highest)
            return 0;
        const QString digits = product.wholeDigits();
        bool ok = false;
        const qint64 whole = digits.toLongLong(&ok);
        if (!ok)
            return 0;
        return product.isNegative() ? -whole : whole;
    } catch (const Error&) {
        return 0; // beyond the decimal's range
    }
}

DerivedPrices derivePrices(qint64 arzesh, QStringView payeZarib, const PriceCoefficients& k)
{
    DerivedPrices p;
    p.paye = derivedPrice(arzesh, payeZarib);
    p.mojaver12 = derivedPrice(p.paye, k.mojaver12);
    p.mojaver16 = derivedPrice(p.paye, k.mojaver16);
    p.mojaverMax = derivedPrice(p.paye, k.mojaverMax);
    p.khadamati = derivedPrice(arzesh, k.khadamati);
    return p;
}

} // namespace tarvest::pricing

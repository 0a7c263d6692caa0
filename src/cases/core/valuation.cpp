#include "cases/core/valuation.h"

#include "common/digits.h"
#include "common/errors.h"

#include <array>

namespace tarvest::valuation {

namespace {

Decimal dec(QStringView text)
{
    return *Decimal::parse(text);
}

Decimal millions(long long m)
{
    return Decimal::fromInteger(m * 1'000'000);
}

// Lower edge of each area band and its factor, in increasing order; the bands end at
// 3000 m², from where no factor applies.
struct AreaBand {
    int from;
    const char16_t* factor;
};
constexpr std::array<AreaBand, 9> kAreaBands{{
    {0, u"1.3"},
    {200, u"1.35"},
    {400, u"1.4"},
    {600, u"1.45"},
    {800, u"1.5"},
    {1000, u"1.75"},
    {1500, u"2"},
    {2000, u"2.25"},
    {2500, u"2.5"},
}};
constexpr int kAreaBandsEnd = 3000;

} // namespace

std::optional<Decimal> toNumber(QStringView text)
{
    return Decimal::parse(text);
}

QString toText(const Decimal& value)
{
    return value.toShortString(15);
}

Decimal currency(const Decimal& value)
{
    return value.roundedHalfEven(4);
}

QString netAreaText(QStringView metraj, QStringView destroyedArea)
{
    const auto area = toNumber(metraj);
    const auto destroyed = toNumber(destroyedArea);
    if (!area || !destroyed)
        return QStringLiteral("0");
    try {
        return toText(*area - Decimal::fromInteger(2) * *destroyed);
    } catch (const Error&) {
        return QStringLiteral("0");
    }
}

QString propertyValueText(QStringView netArea, QStringView pricePerMetre)
{
    const auto area = toNumber(netArea);
    const auto price = toNumber(pricePerMetre);
    if (!area || !price)
        return QStringLiteral("0");
    try {
        return toText(*area * *price);
    } catch (const Error&) {
        return QStringLiteral("0");
    }
}

QString discountText(QStringView coveredStatus)
{
    return coveredStatus == kTwoDisabled ? QStringLiteral("100") : QStringLiteral("0");
}

QString twoDigitText(const Decimal& value, QChar separator)
{
    const Decimal cut = value.truncated(2);
    QString out = cut.isNegative() ? QStringLiteral("-") : QString();
    out += cut.wholeDigits();
    const QString fraction = cut.fractionDigits();
    if (!fraction.isEmpty())
        out += separator + fraction;
    return out;
}

std::optional<Decimal> baseShare(const Decimal& v)
{
    // Each band: its lower edge, rate and the share at that edge; the bands join
    // without a step.
    if (v <= millions(30))
        return std::nullopt;
    if (v <= millions(100))
        return (v - millions(30)) * dec(u"0.1");
    if (v <= millions(500))
        return (v - millions(100)) * dec(u"0.07") + millions(7);
    if (v <= millions(1000))
        return (v - millions(500)) * dec(u"0.05") + millions(35);
    return (v - millions(1000)) * dec(u"0.04") + millions(60);
}

std::optional<Decimal> areaFactor(const Decimal& netArea)
{
    if (netArea >= Decimal::fromInteger(kAreaBandsEnd))
        return std::nullopt;
    for (auto band = kAreaBands.rbegin(); band != kAreaBands.rend(); ++band) {
        if (netArea >= Decimal::fromInteger(band->from))
            return dec(band->factor);
    }
    return dec(kAreaBands.front().factor); // below zero: the smallest band
}

bool needsLargeAreaReminder(QStringView netArea)
{
    const auto area = toNumber(netArea);
    return area && *area >= Decimal::fromInteger(kAreaBandsEnd);
}

ShareOutcome ownerShare(ShareFields f)
{
    ShareOutcome out;
    // 1. The reminder for a large plot; the computation goes on.
    out.largeAreaReminder = needsLargeAreaReminder(f.masahat_khales);
    // 2. Empty fields count as zero.
    for (QString* text : {&f.masahat_khales, &f.price_metr, &f.melk_arzesh}) {
        if (text->isEmpty())
            *text = QStringLiteral("0");
    }
    try {
        // 3. The property value keeps at most two fraction digits.
        if (const auto v = toNumber(f.melk_arzesh))
            f.melk_arzesh = twoDigitText(*v);
        // 4. A small value owes only the expert's fee.
        const auto v = toNumber(f.melk_arzesh);
        if (!v) {
            out.fields = f;
            return out;
        }
        const auto base = baseShare(*v);
        if (!base) {
            f.malek_pardakhti = kOnlyExpertFee;
            out.fields = f;
            return out;
        }
        // 5. Base share by value band.
        f.malek_pardakhti = toText(*base);
        // 6. Area factor on the share read back as a currency value.
        const auto area = toNumber(f.masahat_khales);
        if (area) {
            if (const auto factor = areaFactor(*area))
                f.malek_pardakhti = toText(currency(currency(*toNumber(f.malek_pardakhti)) * *factor));
        }
    } catch (const Error&) {
        // A number out of range ends the reaction with the fields as far as written.
    }
    out.fields = f;
    return out;
}

QString feeText(QStringView ownerShare, QStringView discountPercent)
{
    const auto share = toNumber(ownerShare);
    const auto discount = toNumber(discountPercent);
    if (!share || !discount)
        return QStringLiteral("0");
    try {
        const Decimal hundred = Decimal::fromInteger(100);
        // Half the share, written and read back as the field does.
        const Decimal half = currency(*toNumber(toText(Decimal::divide(currency(*share), Decimal::fromInteger(2), 4))));
        const Decimal off = Decimal::divide(currency(half * *discount), hundred, 4);
        return toText(currency(half - off));
    } catch (const Error&) {
        return QStringLiteral("0");
    }
}

std::optional<CalculatorOutcome> calculate(QStringView areaText, QStringView priceText)
{
    const auto area = toNumber(areaText.isEmpty() ? u"0" : areaText);
    const auto price = toNumber(priceText.isEmpty() ? u"0" : priceText);
    if (!area || !price)
        return std::nullopt;
    CalculatorOutcome out;
    try {
        out.value = *area * *price;
    } catch (const Error&) {
        return std::nullopt;
    }
    const Decimal& v = out.value;
    out.nearest = toText(v.roundedHalfEven(0));
    out.up = toText(v.ceil());
    out.down = toText(v.floor());
    out.twoDigits = twoDigitText(v, u',');
    if (v <= millions(30))
        out.paymentMessage = kOnlyExpertFee;
    else if (v > millions(1000))
        out.paymentMessage = kByCommission;
    else
        out.payment = baseShare(v);
    return out;
}

QString paymentText(const Decimal& payment)
{
    QString out = payment.isNegative() ? QStringLiteral("-") : QString();
    out += groupDigits(payment.wholeDigits());
    const QString fraction = payment.fractionDigits();
    if (!fraction.isEmpty())
        out += u'.' + fraction;
    return out;
}

} // namespace tarvest::valuation

#include "common/decimal.h"

#include "common/digits.h"
#include "common/errors.h"

#include <QRegularExpression>

#include <algorithm>

namespace tarvest {

namespace {

using u128 = unsigned __int128;
using i128 = __int128;

constexpr i128 kMax = i128(~u128(0) >> 1);

u128 pow10(int n)
{
    u128 p = 1;
    for (int i = 0; i < n; ++i)
        p *= 10;
    return p;
}

const u128 kScale = pow10(Decimal::kFractionDigits);

[[noreturn]] void tooLarge()
{
    throw Error(QStringLiteral("عدد بيش از اندازه بزرگ است"));
}

u128 mulChecked(u128 a, u128 b)
{
    u128 r;
    if (__builtin_mul_overflow(a, b, &r))
        tooLarge();
    return r;
}

u128 addChecked(u128 a, u128 b)
{
    u128 r;
    if (__builtin_add_overflow(a, b, &r))
        tooLarge();
    return r;
}

u128 magnitude(i128 v)
{
    return v < 0 ? u128(0) - u128(v) : u128(v);
}

i128 withSign(u128 mag, bool negative)
{
    if (mag > u128(kMax))
        tooLarge();
    return negative ? -i128(mag) : i128(mag);
}

// n ÷ d rounded half to even.
u128 divideHalfEven(u128 n, u128 d)
{
    u128 q = n / d;
    const u128 r = n % d;
    const u128 rest = d - r;
    if (r > rest || (r == rest && (q & 1)))
        ++q;
    return q;
}

QString digitsOf(u128 v)
{
    if (v == 0)
        return QStringLiteral("0");
    QString s;
    while (v) {
        s.prepend(QChar(u'0' + int(v % 10)));
        v /= 10;
    }
    return s;
}

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

// The magnitude's digits split at the decimal point, the fraction padded to full width.
void splitDigits(i128 raw, QString& whole, QString& fraction)
{
    QString s = digitsOf(magnitude(raw));
    if (s.size() <= Decimal::kFractionDigits)
        s = QString(Decimal::kFractionDigits + 1 - s.size(), u'0') + s;
    whole = s.left(s.size() - Decimal::kFractionDigits);
    fraction = s.right(Decimal::kFractionDigits);
}

} // namespace

Decimal Decimal::fromInteger(long long value)
{
    return make(i128(value) * i128(kScale));
}

std::optional<Decimal> Decimal::parse(QStringView input)
{
    // Persian and Arabic-Indic digits are digits, and the Persian decimal separator a
    // point, wherever a number is typed.
    QString ascii = normalizeDigits(input.toString());
    ascii.replace(QChar(0x066B), QChar(u'.'));
    const QStringView text = QStringView(ascii).trimmed();
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-'))
        negative = text[i++] == u'-';
    QString digits;
    qsizetype wholeLength = -1;
    for (; i < text.size(); ++i) {
        if (isDigit(text[i]))
            digits += text[i];
        else if (text[i] == u'.' && wholeLength < 0)
            wholeLength = digits.size();
        else
            break;
    }
    if (digits.isEmpty())
        return std::nullopt;
    if (wholeLength < 0)
        wholeLength = digits.size();
    long long exponent = 0;
    if (i < text.size() && (text[i] == u'e' || text[i] == u'E')) {
        ++i;
        bool expNegative = false;
        if (i < text.size() && (text[i] == u'+' || text[i] == u'-'))
            expNegative = text[i++] == u'-';
        const qsizetype expStart = i;
        for (; i < text.size() && isDigit(text[i]); ++i) {
            exponent = exponent * 10 + (text[i].unicode() - u'0');
            if (exponent > 100000)
                return std::nullopt;
        }
        if (i == expStart)
            return std::nullopt;
        if (expNegative)
            exponent = -exponent;
    }
    if (i != text.size())
        return std::nullopt;

    // value = digits × 10^(wholeLength + exponent − digits), scaled by 10^kFractionDigits.
    const long long shift = kFractionDigits + wholeLength + exponent - digits.size();
    QString head = digits;
    bool roundUp = false;
    if (shift < 0) {
        const long long keep = digits.size() + shift;
        const QString tail = keep >= 0 ? digits.mid(keep) : QString(-keep, u'0') + digits;
        head = keep > 0 ? digits.left(keep) : QString();
        bool restNonZero = false;
        for (qsizetype k = 1; k < tail.size(); ++k)
            restNonZero = restNonZero || tail[k] != u'0';
        const bool headOdd = !head.isEmpty() && (head.back().unicode() - u'0') % 2 == 1;
        roundUp = tail[0] > u'5' || (tail[0] == u'5' && (restNonZero || headOdd));
    }
    try {
        u128 mag = 0;
        for (QChar c : head)
            mag = addChecked(mulChecked(mag, 10), u128(c.unicode() - u'0'));
        if (roundUp)
            mag = addChecked(mag, 1);
        if (shift > 0) {
            if (mag != 0 && shift > 38)
                return std::nullopt;
            if (mag != 0)
                mag = mulChecked(mag, pow10(int(shift)));
        }
        return make(withSign(mag, negative));
    } catch (const Error&) {
        return std::nullopt;
    }
}

QString Decimal::toShortString(int significant) const
{
    if (m_raw == 0)
        return QStringLiteral("0");
    QString whole, fraction;
    splitDigits(m_raw, whole, fraction);
    int allowed;
    if (whole != u"0") {
        allowed = std::max(0, significant - int(whole.size()));
    } else {
        const qsizetype firstNonZero = fraction.indexOf(QRegularExpression(QStringLiteral("[1-9]")));
        allowed = int(firstNonZero) + significant;
    }
    Decimal shown = *this;
    if (allowed < kFractionDigits) {
        shown = roundedHalfEven(allowed);
        if (shown.m_raw == 0)
            return QStringLiteral("0");
        splitDigits(shown.m_raw, whole, fraction);
    }
    while (!fraction.isEmpty() && fraction.back() == u'0')
        fraction.chop(1);
    QString out = shown.m_raw < 0 ? QStringLiteral("-") : QString();
    out += whole;
    if (!fraction.isEmpty())
        out += u'.' + fraction;
    return out;
}

Decimal Decimal::roundedHalfEven(int places) const
{
    if (places >= kFractionDigits)
        return *this;
    const u128 unit = pow10(kFractionDigits - std::max(0, places));
    const u128 mag = mulChecked(divideHalfEven(magnitude(m_raw), unit), unit);
    return make(withSign(mag, m_raw < 0));
}

Decimal Decimal::truncated(int places) const
{
    if (places >= kFractionDigits)
        return *this;
    const i128 unit = i128(pow10(kFractionDigits - std::max(0, places)));
    return make(m_raw - m_raw % unit);
}

Decimal Decimal::floor() const
{
    Decimal t = truncated(0);
    if (m_raw < 0 && t.m_raw != m_raw)
        t.m_raw -= i128(kScale);
    return t;
}

Decimal Decimal::ceil() const
{
    Decimal t = truncated(0);
    if (m_raw > 0 && t.m_raw != m_raw)
        t.m_raw += i128(kScale);
    return t;
}

bool Decimal::isInteger() const
{
    return m_raw % i128(kScale) == 0;
}

QString Decimal::wholeDigits() const
{
    QString whole, fraction;
    splitDigits(m_raw, whole, fraction);
    return whole;
}

QString Decimal::fractionDigits() const
{
    QString whole, fraction;
    splitDigits(m_raw, whole, fraction);
    while (!fraction.isEmpty() && fraction.back() == u'0')
        fraction.chop(1);
    return fraction;
}

Decimal Decimal::operator-() const
{
    return make(-m_raw);
}

Decimal operator+(const Decimal& a, const Decimal& b)
{
    i128 r;
    if (__builtin_add_overflow(a.m_raw, b.m_raw, &r))
        tooLarge();
    return Decimal::make(r);
}

Decimal operator-(const Decimal& a, const Decimal& b)
{
    i128 r;
    if (__builtin_sub_overflow(a.m_raw, b.m_raw, &r))
        tooLarge();
    return Decimal::make(r);
}

Decimal operator*(const Decimal& a, const Decimal& b)
{
    // a·b / S with a = a1·S + a0 and b = b1·S + b0:
    // a1·b1·S + a1·b0 + a0·b1 + a0·b0 / S, where only the last term has a remainder.
    const u128 ma = magnitude(a.m_raw), mb = magnitude(b.m_raw);
    const u128 a1 = ma / kScale, a0 = ma % kScale;
    const u128 b1 = mb / kScale, b0 = mb % kScale;
    u128 sum = mulChecked(mulChecked(a1, b1), kScale);
    sum = addChecked(sum, mulChecked(a1, b0));
    sum = addChecked(sum, mulChecked(a0, b1));
    sum = addChecked(sum, divideHalfEven(a0 * b0, kScale));
    return Decimal::make(withSign(sum, (a.m_raw < 0) != (b.m_raw < 0)));
}

Decimal Decimal::divide(const Decimal& a, const Decimal& b, int places)
{
    if (b.m_raw == 0)
        throw Error(QStringLiteral("تقسيم بر صفر"));
    places = std::clamp(places, 0, kFractionDigits);
    const u128 n = magnitude(a.m_raw), d = magnitude(b.m_raw);
    // Long division: the quotient's whole part, then one fraction digit at a time.
    u128 q = n / d;
    u128 r = n % d;
    for (int i = 0; i < places; ++i) {
        const u128 r10 = mulChecked(r, 10);
        q = addChecked(mulChecked(q, 10), r10 / d);
        r = r10 % d;
    }
    const u128 rest = d - r;
    if (r > rest || (r == rest && (q & 1)))
        q = addChecked(q, 1);
    const u128 mag = mulChecked(q, pow10(kFractionDigits - places));
    return make(withSign(mag, (a.m_raw < 0) != (b.m_raw < 0)));
}

} // namespace tarvest

#pragma once
// Exact decimal numbers for amounts, areas, rates and factors: a signed value with a
// fixed number of fraction digits held as a scaled 128-bit integer, so no step ever
// goes through binary floating point. Every operation is exact or rounds half to even
// at a stated number of fraction digits; a result beyond the range throws
// tarvest::Error.
#include <QString>
#include <QStringView>

#include <optional>

namespace tarvest {

class Decimal {
public:
    // Fraction digits every value keeps; finer digits are rounded half to even.
    static constexpr int kFractionDigits = 12;

    Decimal() = default; // zero
    static Decimal fromInteger(long long value);

    // A decimal number with "." as separator: optional blanks around it, an optional
    // sign, digits with at most one ".", at least one digit, an optional exponent
    // ("1.5e3"). Persian and Arabic-Indic digits count as digits and the Persian
    // decimal separator (U+066B) as the point ("۱۲٫۵" is 12.5). Anything else ("",
    // "abc", "1,000") gives nullopt, as does a number beyond the range.
    static std::optional<Decimal> parse(QStringView text);

    // The shortest general form: at most `significant` significant digits (rounded
    // half to even), "." as separator, no grouping, no trailing zeros ("250", not
    // "250.0"). The whole part is always written in full, never in exponent form.
    QString toShortString(int significant = 15) const;

    // Rounding to `places` fraction digits (0 .. kFractionDigits).
    Decimal roundedHalfEven(int places) const;
    Decimal truncated(int places) const; // toward zero
    Decimal floor() const;               // the largest integer not above
    Decimal ceil() const;                // the smallest integer not below

    bool isInteger() const;
    bool isNegative() const { return m_raw < 0; }
    bool isZero() const { return m_raw == 0; }
    // The whole part's digits (no sign) and the fraction's digits without trailing
    // zeros ("" for an integer): 250500250.5 -> "250500250" and "5".
    QString wholeDigits() const;
    QString fractionDigits() const;

    Decimal operator-() const;
    friend Decimal operator+(const Decimal& a, const Decimal& b);
    friend Decimal operator-(const Decimal& a, const Decimal& b);
    // The exact product, rounded half to even at kFractionDigits.
    friend Decimal operator*(const Decimal& a, const Decimal& b);
    // a ÷ b rounded half to even at `places` fraction digits; throws on b = 0.
    static Decimal divide(const Decimal& a, const Decimal& b, int places);

    friend auto operator<=>(const Decimal& a, const Decimal& b) = default;
    friend bool operator==(const Decimal& a, const Decimal& b) = default;

private:
    static Decimal make(__int128 raw)
    {
        Decimal d;
        d.m_raw = raw;
        return d;
    }

    __int128 m_raw = 0; // value × 10^kFractionDigits
};

} // namespace tarvest

#pragma once
// The prices that follow from an assessment's value per square metre: the base price
// (the value times the base-price coefficient the provincial committee sets), the
// prices of plots on streets narrower than 12 m, of 12 to 16 m and wider than 16 m (the
// base price times their coefficients) and the price of service land (the value times
// its coefficient). Coefficients are read from the texts standing in the screen's
// coefficient field and labels; every product is exact and becomes whole rials,
// rounded half to even, so what a field shows is what is stored.
#include <QString>
#include <QStringView>

#include <optional>

namespace tarvest::pricing {

// The four fixed coefficients, as the texts of their settings (empty when a setting is
// missing).
struct PriceCoefficients {
    QString mojaver12;  // "ضريب قيمت قطعات کمتر از12"
    QString mojaver16;  // "ضريب قيمت قطعات 12 تا 16"
    QString mojaverMax; // "ضريب قيمت قطعات بيشتر از16"
    QString khadamati;  // "ضريب قيمت اراضي خدماتي"
};

struct DerivedPrices {
    qint64 paye = 0;
    qint64 mojaver12 = 0;
    qint64 mojaver16 = 0;
    qint64 mojaverMax = 0;
    qint64 khadamati = 0;
    friend bool operator==(const DerivedPrices&, const DerivedPrices&) = default;
};

// A coefficient text as a number: a plain decimal number with "." (Persian digits
// accepted); nullopt for an empty text or anything else.
std::optional<QString> normalisedCoefficient(QStringView text);

// amount × the coefficient text in whole rials, half to even. A coefficient that is
// not a number (empty included) or a product beyond 64 bits gives 0.
qint64 derivedPrice(qint64 amount, QStringView coefficient);

// All five, in the screen's order: the base price first, the street prices from it, the
// service price from the value per square metre.
DerivedPrices derivePrices(qint64 arzesh, QStringView payeZarib, const PriceCoefficients& k);

} // namespace tarvest::pricing

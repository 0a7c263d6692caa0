#pragma once
// The price search's three printed forms of the selected assessment: the province form
// (ghimat_rep_ostan), the county form (ghimat_rep_city, one line per way of price
// discovery of the setting list) and the urban-housing form (ghimat_rep_shahri). Each
// fills a fresh copy of its layout and opens the preview; nothing is written. The
// province and urban-housing forms are refused to county users.
#include "db/resultset.h"
#include "reports/reportlayout.h"

#include <memory>
#include <optional>

class QWidget;

namespace tarvest {
class Session;

namespace priceprints {

inline const QString ProvinceForm = QStringLiteral("ghimat_rep_ostan");
inline const QString CountyForm = QStringLiteral("ghimat_rep_city");
inline const QString UrbanHousingForm = QStringLiteral("ghimat_rep_shahri");

struct PreparedPriceForm {
    report::Layout layout;
    std::unique_ptr<ResultSet> data; // the county form's setting rows; null for the others
};

// The forms up to the preview; nullopt after the refusal (county users, or no assessment
// selected). Layout errors throw tarvest::Error.
std::optional<PreparedPriceForm> prepareProvinceForm(Session& session);
std::optional<PreparedPriceForm> prepareCountyForm(Session& session);
std::optional<PreparedPriceForm> prepareUrbanHousingForm(Session& session);

// The menu commands: prepare, then preview (through showModal).
void printProvinceForm(Session& session, QWidget* parent = nullptr);
void printCountyForm(Session& session, QWidget* parent = nullptr);
void printUrbanHousingForm(Session& session, QWidget* parent = nullptr);

} // namespace priceprints
} // namespace tarvest

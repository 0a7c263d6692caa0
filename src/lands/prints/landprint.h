#pragma once
// The land report "مراحل تصويب طرح روستاها" (layouts/Tarazi_rep.json): one ruled row per
// record of the land result, in its current order, today's date in the page header and
// the number of records printed after "جمع کل:".
#include "reports/reportlayout.h"

class QWidget;

namespace tarvest {

class ResultSet;
class Session;

namespace landprints {

inline const QString LandReport = QStringLiteral("Tarazi_rep");

// A fresh copy of the layout, filled for `lands` with the date text `today`.
report::Layout prepareLandReport(const ResultSet& lands, const QString& today);

// The menu command: today's date, then the preview bound to the land result. A layout
// that cannot be read is shown as a message.
void printLandReport(Session& session, QWidget* parent = nullptr);

} // namespace landprints
} // namespace tarvest

#include "lands/prints/landprint.h"

#include "common/errors.h"
#include "common/jalali.h"
#include "db/resultset.h"
#include "db/session.h"
#include "reports/reportpreview.h"
#include "widgets/dialogs.h"

namespace tarvest::landprints {

report::Layout prepareLandReport(const ResultSet& lands, const QString& today)
{
    report::Layout layout = report::Layout::load(LandReport);
    if (layout.hasElement(QStringLiteral("date")))
        layout.setText(QStringLiteral("date"), today);
    if (layout.hasElement(QStringLiteral("total")))
        layout.setText(QStringLiteral("total"), QString::number(lands.isOpen() ? lands.recordCount() : 0));
    return layout;
}

void printLandReport(Session& session, QWidget* parent)
{
    try {
        const report::Layout layout = prepareLandReport(session.lands, TodayJalali());
        if (!layout.loadProblem().isEmpty())
            Dialogs::instance().warning(layout.loadProblem());
        report::previewReport(layout, &session.lands, parent);
    } catch (const Error& e) {
        Dialogs::instance().error(e.message());
    }
}

} // namespace tarvest::landprints

#include "cases/caseexportcommand.h"

#include "cases/core/caseexport.h"
#include "common/errors.h"
#include "widgets/dialogs.h"
#include "widgets/loadprogress.h"
#include "widgets/spreadsheetexport.h"

namespace tarvest {

void exportCasesWithDialog(const ResultSet& rs)
{
    // The workbook is offered first; the HTML table of old remains for a name ending in .xls.
    const QString path = askExportPath(QStringLiteral("rep.xlsx"),
                                       QStringLiteral("Excel 2010 (*.xlsx);;Excel 2007 (*.xls);;All Files (*)"));
    if (path.isEmpty())
        return;
    try {
        WalkProgress progress(rs, QStringLiteral("در حال نوشتن فايل ..."));
        writeCaseListHtml(rs, path);
    } catch (const Error& e) {
        Dialogs::instance().warning(e.message());
        return;
    }
    openExport(path);
}

} // namespace tarvest

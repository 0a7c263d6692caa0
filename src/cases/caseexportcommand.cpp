#include "cases/caseexportcommand.h"

#include "cases/core/caseexport.h"
#include "common/errors.h"
#include "common/safefile.h"
#include "widgets/dialogs.h"
#include "widgets/loadprogress.h"

#include <QDir>

namespace tarvest {

void exportCasesWithDialog(const ResultSet& rs)
{
    const QString path = Dialogs::instance().saveFileName(
        QStringLiteral("ذخیره گزارش"), QStringLiteral("rep.xls"),
        QStringLiteral("Excel 2007 (*.xls);;Excel 2010 (*.xlsx);;All Files (*)"));
    if (path.isEmpty())
        return;
    try {
        WalkProgress progress(rs, QStringLiteral("در حال نوشتن فايل ..."));
        writeCaseListHtml(rs, path);
    } catch (const Error& e) {
        Dialogs::instance().warning(e.message());
        return;
    }
    if (!Dialogs::instance().openWithSystem(path))
        Dialogs::instance().warning(
            QStringLiteral(
                "فایل %1 ساخته شد، اما برنامه‌ای برای باز کردن آن پیدا نشد.")
                .arg(shownPath(path)));
}

} // namespace tarvest

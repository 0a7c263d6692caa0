#pragma once
// What the screens that replace a table from a spreadsheet share: the file chooser, the
// preview grid over the sheet as read, and the progress bar of the replacement.
#include "common/spreadsheet.h"

#include <QAbstractTableModel>

#include <functional>

class QProgressBar;

namespace tarvest {

// The preview grid over the sheet as read: its heading row as titles, every cell as text.
// The sheet is not owned; set nullptr before it goes.
class SheetPreviewModel : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;
    void setSheet(const SheetTable* sheet);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    const SheetTable* m_sheet = nullptr;
};

// The file chooser of a replacement (Excel 2003, Excel 2007 or any file); empty when
// cancelled.
QString chooseSheetFile(const QString& caption);

// Reads `sheetName` of the file at `path` into `sheet` and shows it in `preview`. The
// preview is emptied first; a file that cannot be read leaves `sheet` empty and shows
// the warning `failText`, a line break and the reason. True when the sheet was read.
bool loadSheetPreview(SheetPreviewModel* preview, SheetTable& sheet, const QString& path, const QString& sheetName,
                      const QString& failText);
// The same with the sheet read by `read` (an import that chooses its sheet itself).
bool loadSheetPreview(SheetPreviewModel* preview, SheetTable& sheet, const std::function<SheetTable()>& read,
                      const QString& failText);

// The progress of a replacement: each call sets the bar to the rows done and, when 100 ms
// have passed since the last time (or since this was made), repaints the windows without
// taking any user input.
std::function<void(int done)> repaintingProgress(QProgressBar* bar);

} // namespace tarvest

#include "widgets/sheetpreview.h"

#include "common/errors.h"
#include "widgets/dialogs.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProgressBar>

namespace tarvest {

void SheetPreviewModel::setSheet(const SheetTable* sheet)
{
    beginResetModel();
    m_sheet = sheet;
    endResetModel();
}

int SheetPreviewModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() || !m_sheet ? 0 : int(m_sheet->rows.size());
}

int SheetPreviewModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() || !m_sheet ? 0 : int(m_sheet->columns.size());
}

QVariant SheetPreviewModel::data(const QModelIndex& index, int role) const
{
    if (!m_sheet || role != Qt::DisplayRole)
        return {};
    return m_sheet->text(index.row(), index.column());
}

QVariant SheetPreviewModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (m_sheet && orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return m_sheet->columns.value(section);
    return QAbstractTableModel::headerData(section, orientation, role);
}

QString chooseSheetFile(const QString& caption)
{
    return Dialogs::instance().openFileName(caption,
                                            QStringLiteral("Excel 2003 (*.xls);;Excel 2007 (*.xlsx);;All Files(*.*)"));
}

bool loadSheetPreview(SheetPreviewModel* preview, SheetTable& sheet, const QString& path, const QString& sheetName,
                      const QString& failText)
{
    return loadSheetPreview(
        preview, sheet, [&] { return readSheet(path, sheetName); }, failText);
}

bool loadSheetPreview(SheetPreviewModel* preview, SheetTable& sheet, const std::function<SheetTable()>& read,
                      const QString& failText)
{
    preview->setSheet(nullptr);
    try {
        sheet = read();
    } catch (const Error& e) {
        sheet = {};
        Dialogs::instance().warning(failText + u'\n' + e.message());
        return false;
    }
    preview->setSheet(&sheet);
    return true;
}

std::function<void(int done)> repaintingProgress(QProgressBar* bar)
{
    QElapsedTimer painted;
    painted.start();
    return [bar, painted](int done) mutable {
        bar->setValue(done);
        if (painted.elapsed() > 100) {
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
            painted.restart();
        }
    };
}

} // namespace tarvest

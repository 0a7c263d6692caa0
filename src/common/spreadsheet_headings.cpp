// Finding the columns of an export by their headings, and the refusal of a sheet with the
// wrong number of columns.
#include "common/spreadsheet.h"

namespace tarvest {

const QString ExportSheetName = QStringLiteral("Sheet1");

std::optional<QList<qsizetype>> exportColumns(const SheetTable& sheet, const QStringList& fields,
                                              const QHash<QString, QString>& titles)
{
    // The heading the export writes above a field: its title, looked up without regard to
    // case, else the field's own name.
    QHash<QString, QString> byField;
    for (auto it = titles.cbegin(); it != titles.cend(); ++it)
        byField.insert(it.key().toLower(), it.value().trimmed());
    QHash<QString, qsizetype> columnOfHeading;
    for (qsizetype c = sheet.heading.size() - 1; c >= 0; --c) // the first of equal headings wins
        columnOfHeading.insert(sheet.heading[c].trimmed().toLower(), c);
    QList<qsizetype> columns;
    columns.reserve(fields.size());
    for (const QString& field : fields) {
        const QString heading = byField.value(field.toLower(), field).toLower();
        const auto at = columnOfHeading.constFind(heading);
        if (at == columnOfHeading.cend())
            return std::nullopt;
        columns << at.value();
    }
    return columns;
}

QString columnCountMessage(const QString& refusal, qsizetype found, qsizetype expected, bool atLeast)
{
    return refusal
           + QStringLiteral(": فايل اکسل %1 ستون دارد و %2%3 ستون لازم است")
                 .arg(found)
                 .arg(atLeast ? QStringLiteral("دست کم ") : QString())
                 .arg(expected);
}

} // namespace tarvest

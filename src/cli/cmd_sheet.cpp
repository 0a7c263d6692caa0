#include "cli/commands.h"

#include "common/errors.h"
#include "common/spreadsheet.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace tarvest {

int runSheetCommand(const QStringList& given, QTextStream& out, QTextStream& err)
{
    QStringList args = given;
    QString sheet;
    if (const qsizetype at = args.indexOf(QStringLiteral("--sheet")); at >= 0) {
        if (at + 1 >= args.size()) {
            err << "usage: tarvest-admin sheet FILE [--sheet NAME]\n";
            return 2;
        }
        sheet = args.at(at + 1);
        args.remove(at, 2);
    }
    if (args.size() != 1 || args[0].startsWith(QLatin1String("--"))) {
        err << "usage: tarvest-admin sheet FILE [--sheet NAME]\n";
        return 2;
    }
    try {
        const QStringList names = sheetNames(args[0]);
        if (sheet.isEmpty()) {
            if (names.isEmpty())
                throw Error(QStringLiteral("فايل اكسل «%1» هيچ شيتي ندارد").arg(args[0]));
            sheet = names.first();
        }
        const SheetTable table = readSheet(args[0], sheet);
        // The sheet by position from A1: the heading row, then every row under it, each as
        // long as its last non-empty cell.
        QJsonArray rows;
        if (!table.heading.isEmpty() || !table.rows.isEmpty())
            rows.append(QJsonArray::fromStringList(table.heading));
        for (const QStringList& r : table.rows)
            rows.append(QJsonArray::fromStringList(r));
        QString shownSheet = sheet;
        for (const QString& n : names)
            if (n.compare(sheet, Qt::CaseInsensitive) == 0) {
                shownSheet = n;
                break;
            }
        // The keys in the order a reader expects them (QJsonObject would sort them).
        auto json = [](const QJsonArray& a) {
            return QString::fromUtf8(QJsonDocument(a).toJson(QJsonDocument::Compact));
        };
        const QString sheetJson = json(QJsonArray{shownSheet}).mid(1).chopped(1);
        out << QStringLiteral("{\"sheets\":") << json(QJsonArray::fromStringList(names))
            << QStringLiteral(",\"sheet\":") << sheetJson << QStringLiteral(",\"rows\":") << json(rows)
            << QStringLiteral("}\n");
        return 0;
    } catch (const Error& e) {
        err << e.message() << '\n';
        return 1;
    }
}

} // namespace tarvest

#include "tablerows.h"

#include "db/schema.h"

#include <QSqlQuery>
#include <QSqlRecord>

namespace tarvest::test {

QMap<QString, QStringList> allTableRows(Database& db)
{
    QMap<QString, QStringList> out;
    for (const Table& table : schemaTables()) {
        QStringList names;
        for (const Column& c : table.columns)
            names << c.name;
        QSqlQuery q = db.exec("SELECT " + names.join(", ") + " FROM " + table.name + " ORDER BY " + names.join(", "));
        QStringList rows;
        while (q.next()) {
            QStringList values;
            for (int i = 0; i < names.size(); ++i) {
                const QVariant v = q.value(i);
                values << (v.isNull()                            ? QStringLiteral("<null>")
                           : v.typeId() == QMetaType::QByteArray ? QString::fromLatin1(v.toByteArray().toHex())
                                                                 : v.toString());
            }
            rows << values.join(QChar(0x1f));
        }
        out[table.name] = rows;
    }
    return out;
}

} // namespace tarvest::test

#include "db/embedded.h"

#include "common/errors.h"
#include "db/database.h"
#include "db/provision.h"
#include "db/schema.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace tarvest {

QString embeddedDatabasePath()
{
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    return QDir(dir).filePath(QStringLiteral("tarvest.sqlite"));
}

std::unique_ptr<Database> openEmbeddedDatabase(const QString& given)
{
    const QString path = given.isEmpty() ? embeddedDatabasePath() : given;
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        throw Error(QStringLiteral("پوشه بانک اطلاعاتی ساخته نشد: %1").arg(QFileInfo(path).absolutePath()));
    auto db = Database::openSqlite(path, true);

    // Only a file that lacks a table or column of the register is provisioned;
    // a complete one only has its catalogue read.
    bool complete = true;
    const QStringList tables = db->tableNames();
    for (const Table& t : schemaTables()) {
        if (!tables.contains(t.name) || db->columnNames(t.name).size() < t.columns.size()) {
            complete = false;
            break;
        }
    }
    if (!complete) {
        const auto steps = provision(*db);
        for (const ProvisionStep& s : steps)
            if (s.outcome == ProvisionStep::Outcome::Failed)
                throw Error(QStringLiteral("آماده سازی بانک اطلاعاتی انجام نشد: %1").arg(describe(s)));
    }
    return db;
}

} // namespace tarvest

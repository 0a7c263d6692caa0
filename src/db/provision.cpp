#include "db/provision.h"

#include "common/errors.h"
#include "common/password.h"
#include "db/database.h"
#include "db/schema.h"

namespace tarvest {

namespace {

// Default rows go in only together with their newly created table, so a repeat
// adds no second administrator.
void insertDefaultRows(Database& db, const Table& table)
{
    if (table.name == QLatin1String("users")) {
        db.insert("users", {{"us", "admin"},
                            {"ps", hashPassword(QStringLiteral("1"))},
                            {"lev", "ostan"},
                            {"ver", "1"},
                            {"status", QStringLiteral("فعال")}});
    } else if (table.name == QLatin1String("dastrasi")) {
        // The administrator's right on the users page, so that every other right
        // can be granted from there.
        QVariant adminId = db.scalar(QStringLiteral("SELECT min(id) FROM users WHERE us = ?"), {"admin"});
        if (adminId.isNull())
            adminId = 1;
        db.insert("dastrasi", {{"prs_id", adminId}, {"page_name", "karbaran"},
                               {"darj", 1}, {"virayesh", 1}, {"hazf", 1}, {"namayesh", 1}});
    }
}

ProvisionStep provisionTable(Database& db, const Table& table, const QStringList& existingTables)
{
    ProvisionStep step;
    step.table = table.name;
    try {
        db.begin();
        if (!existingTables.contains(table.name)) {
            db.exec(createTableSql(table, db.kind()));
            insertDefaultRows(db, table);
            step.outcome = ProvisionStep::Outcome::Created;
        } else {
            const QStringList present = db.columnNames(table.name);
            for (const Column& c : table.columns) {
                if (present.contains(c.name.toLower()))
                    continue;
                db.exec(addColumnSql(table, c, db.kind()));
                step.addedColumns << c.name;
            }
            step.outcome = ProvisionStep::Outcome::AlreadyPresent;
        }
        for (const QString& column : table.indexed)
            db.exec(createIndexSql(table, column));
        db.commit();
    } catch (const Error& e) {
        db.rollback();
        step.outcome = ProvisionStep::Outcome::Failed;
        step.addedColumns.clear();
        step.reason = e.message();
    }
    return step;
}

} // namespace

QList<ProvisionStep> provision(Database& db)
{
    QList<ProvisionStep> steps;
    QStringList existing;
    try {
        existing = db.tableNames();
    } catch (const Error& e) {
        ProvisionStep failed;
        failed.table = QStringLiteral("*");
        failed.reason = e.message();
        return {failed};
    }
    for (const Table& table : schemaTables())
        steps << provisionTable(db, table, existing);
    return steps;
}

bool provisionSucceeded(const QList<ProvisionStep>& steps)
{
    for (const ProvisionStep& s : steps)
        if (s.outcome == ProvisionStep::Outcome::Failed)
            return false;
    return !steps.isEmpty();
}

QString describe(const ProvisionStep& step)
{
    switch (step.outcome) {
    case ProvisionStep::Outcome::Created:
        return step.table + ": created";
    case ProvisionStep::Outcome::AlreadyPresent:
        return step.table + ": already present"
             + (step.addedColumns.isEmpty() ? QString() : " (added: " + step.addedColumns.join(", ") + ")");
    case ProvisionStep::Outcome::Failed:
        break;
    }
    return step.table + ": failed: " + step.reason;
}

} // namespace tarvest

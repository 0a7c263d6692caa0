#include "db/provision.h"

#include "common/errors.h"
#include "common/password.h"
#include "db/database.h"
#include "db/schema.h"

#include <QSqlQuery>

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

// A server's text columns narrower than the program writes (an older users.ps of 25
// characters cannot hold a password hash) are widened; rows keep their values. A
// SQLite file's widths are the program's own checks, made with the table.
void widenColumns(Database& db, const Table& table, ProvisionStep& step)
{
    if (db.kind() != DbKind::Postgres)
        return;
    QSqlQuery q = db.exec(QStringLiteral("SELECT lower(column_name), character_maximum_length FROM information_schema.columns "
                                         "WHERE table_schema = current_schema() AND lower(table_name) = lower(?) "
                                         "AND character_maximum_length IS NOT NULL"),
                          {table.name});
    QList<QPair<QString, int>> present;
    while (q.next())
        present.append({q.value(0).toString(), q.value(1).toInt()});
    for (const auto& [name, width] : present) {
        const Column* c = table.column(name);
        if (!c || c->type != ColType::NVarChar || width >= c->width)
            continue;
        db.exec(QStringLiteral("ALTER TABLE %1 ALTER COLUMN %2 TYPE varchar(%3)").arg(table.name, c->name).arg(c->width));
        step.widenedColumns << QStringLiteral("%1 to %2").arg(c->name).arg(c->width);
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
            widenColumns(db, table, step);
            step.outcome = ProvisionStep::Outcome::AlreadyPresent;
        }
        for (const QString& column : table.indexed)
            db.exec(createIndexSql(table, column));
        db.commit();
    } catch (const Error& e) {
        db.rollback();
        step.outcome = ProvisionStep::Outcome::Failed;
        step.addedColumns.clear();
        step.widenedColumns.clear();
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
    case ProvisionStep::Outcome::AlreadyPresent: {
        QStringList changes;
        if (!step.addedColumns.isEmpty())
            changes << "added: " + step.addedColumns.join(", ");
        if (!step.widenedColumns.isEmpty())
            changes << "widened: " + step.widenedColumns.join(", ");
        return step.table + ": already present" + (changes.isEmpty() ? QString() : " (" + changes.join("; ") + ")");
    }
    case ProvisionStep::Outcome::Failed:
        break;
    }
    return step.table + ": failed: " + step.reason;
}

} // namespace tarvest

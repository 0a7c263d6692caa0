#include "db/provision.h"

#include "common/errors.h"
#include "common/password.h"
#include "db/database.h"
#include "db/schema.h"

#include <QHash>
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
                            {"lev", "admin"},
                            {"ver", "1"},
                            {"status", QStringLiteral("فعال")}});
    } else if (table.name == QLatin1String("dastrasi")) {
        // Every right on every page, so that a new office reaches each screen at once
        // and grants the other users their rights from the users page.
        // An older database without an "admin" row grants nobody anything.
        const QVariant adminId = db.scalar(QStringLiteral("SELECT min(id) FROM users WHERE us = ?"), {"admin"});
        if (adminId.isNull())
            return;
        for (const QString& page : pageNames())
            db.insert(
                "dastrasi",
                {{"prs_id", adminId}, {"page_name", page}, {"darj", 1}, {"virayesh", 1}, {"hazf", 1}, {"namayesh", 1}});
    }
}

// A server's text columns narrower than the program writes (an older users.ps of 25
// characters cannot hold a password hash) are widened; rows keep their values. A
// SQLite file's widths are the program's own checks, made with the table.
void widenColumns(Database& db, const Table& table, ProvisionStep& step)
{
    if (db.kind() != DbKind::Postgres)
        return;
    QSqlQuery q = db.exec(
        QStringLiteral("SELECT lower(column_name), character_maximum_length FROM information_schema.columns "
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
        db.exec(
            QStringLiteral("ALTER TABLE %1 ALTER COLUMN %2 TYPE varchar(%3)").arg(table.name, c->name).arg(c->width));
        step.widenedColumns << QStringLiteral("%1 to %2").arg(c->name).arg(c->width);
    }
}

} // namespace

const QStringList& pageNames()
{
    static const QStringList names = {"komision", "asnad", "ghimat",   "arazi", "seting", "vagozari",
                                      "abadiha",  "phone", "karbaran", "kom_z", "zamaem"};
    return names;
}

namespace {

ProvisionStep provisionTable(Database& db, const Table& table, const QStringList& existingTables,
                             FirstRunRows firstRunRows)
{
    ProvisionStep step;
    step.table = table.name;
    try {
        db.begin();
        if (!existingTables.contains(table.name)) {
            db.exec(createTableSql(table, db.kind()));
            if (firstRunRows == FirstRunRows::Insert)
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

QList<ProvisionStep> provision(Database& db, FirstRunRows firstRunRows)
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
        steps << provisionTable(db, table, existing, firstRunRows);
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

QString tablePurpose(const QString& table)
{
    static const QHash<QString, QString> purposes = {
        {"users", QStringLiteral("كاربران")},
        {"setting", QStringLiteral("تنظيمات و ليست ها")},
        {"log", QStringLiteral("لاگ فعاليت ها")},
        {"payamha", QStringLiteral("پيام ها")},
        {"dastrasi", QStringLiteral("دسترسي صفحات")},
        {"dastrasi2", QStringLiteral("دسترسي شهرستان ها")},
        {"zamaem", QStringLiteral("ضمائم برنامه")},
        {"phone", QStringLiteral("دفترچه تلفن")},
        {"abadiha", QStringLiteral("فرهنگ آبادي ها")},
        {"komision", QStringLiteral("پرونده هاي كميسيون")},
        {"komision_pic", QStringLiteral("ضمائم پرونده ها")},
        {"asnad", QStringLiteral("اسناد")},
        {"sayerkar", QStringLiteral("ساير كارشناسان")},
        {"sanad_temp", QStringLiteral("صورتحساب اسناد")},
        {"ghimat", QStringLiteral("قيمت گذاري ها")},
        {"vagozarityp", QStringLiteral("انواع واگذاري")},
        {"kashfghimat", QStringLiteral("كشف كنندگان قيمت")},
        {"pic_new", QStringLiteral("ضمائم موقت")},
        {"arazi", QStringLiteral("شناسايي اراضي")},
        {"sh", QStringLiteral("ورود اكسل اراضي")},
    };
    return purposes.value(table.toLower(), table);
}

QString describeInPersian(const ProvisionStep& step)
{
    if (step.table == QLatin1String("*"))
        return QStringLiteral("فهرست جدول هاي بانک اطلاعاتي خوانده نشد: %1").arg(step.reason);
    const QString name = QStringLiteral("جدول %1 (%2)").arg(tablePurpose(step.table), step.table);
    switch (step.outcome) {
    case ProvisionStep::Outcome::Created:
        return name + QStringLiteral(": ساخته شد");
    case ProvisionStep::Outcome::AlreadyPresent:
        return name + QStringLiteral(": از قبل موجود است")
               + (step.addedColumns.isEmpty()
                      ? QString()
                      : QStringLiteral(" (ستون هاي افزوده: %1)").arg(step.addedColumns.join(u'،')));
    case ProvisionStep::Outcome::Failed:
        break;
    }
    return name + QStringLiteral(": ساخته نشد؛ ") + step.reason;
}

} // namespace tarvest

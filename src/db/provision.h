#pragma once
// Makes an empty database ready for the program: every table of the register, in
// a fixed order, each with its default rows. Safe to repeat: a table that exists
// keeps its rows and only receives the columns it lacks, and on a server its text
// columns narrower than the program needs are widened.
#include <QList>
#include <QString>
#include <QStringList>

namespace tarvest {

class Database;

struct ProvisionStep {
    enum class Outcome { Created, AlreadyPresent, Failed };
    QString table;
    Outcome outcome = Outcome::Failed;
    QStringList addedColumns;   // columns added to a table that was already present
    QStringList widenedColumns; // "ps to 128": text columns of a present table made as wide as needed
    QString reason;             // the database's reason when the step failed
};

// The eleven pages a user may hold rights on (table dastrasi), in the menu's order.
const QStringList& pageNames();

// Whether a table created here gets the rows a new office starts with.
enum class FirstRunRows { Insert, Omit };

// A table created here gets its default rows: the user "admin" (password "1", level
// "admin", without a county restriction) with every right on every page; with Omit (a
// database that receives an older office's rows) it stays empty.
QList<ProvisionStep> provision(Database& db, FirstRunRows firstRunRows = FirstRunRows::Insert);
bool provisionSucceeded(const QList<ProvisionStep>& steps);
// One line per table: "users: created", "komision: already present (added: ostan)",
// "users: already present (widened: ps to 128)", "phone: failed: <reason>".
QString describe(const ProvisionStep& step);
// What a table holds, in the words of the office ("users" -> "كاربران").
QString tablePurpose(const QString& table);
// The same line for the screen, in Persian, naming the table by its purpose:
// "جدول كاربران (users): ساخته نشد؛ <reason>".
QString describeInPersian(const ProvisionStep& step);

} // namespace tarvest

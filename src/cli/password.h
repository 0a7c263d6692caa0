#pragma once
// Where tarvest-admin finds a PostgreSQL password without it being typed on the command
// line, where every account on the machine can read it in the process list.
#include "db/database.h"

#include <QStringList>
#include <QTextStream>

#include <memory>

namespace tarvest {

// Takes "--password-file FILE" out of args and returns FILE (empty when absent). An
// option with no file after it stays in args, for the caller's usage check.
QString takePasswordFileOption(QStringList& args);

// Fills in the password when the connection string gave none, first found wins:
//   1. the password file named on the command line (its first line);
//   2. the environment variable TARVEST_PG_PASSWORD;
//   3. libpq's own: PGPASSWORD, then the password file PGPASSFILE or ~/.pgpass.
// A password file that its group or others may read is refused, as libpq refuses
// such a ~/.pgpass. Throws Error with a Persian message.
void supplyPassword(PgParams& params, const QString& passwordFile);

// Opens the server a command names by CONNINFO, its password supplied as above; a
// password written in CONNINFO itself still works, with a warning on err.
std::unique_ptr<Database> openServerDatabase(const QString& conninfo, const QString& passwordFile, QTextStream& err);

} // namespace tarvest

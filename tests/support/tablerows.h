#pragma once
// Every row of every table of the register, as comparable text, for tests that copy a
// database (backup and restore) and check that nothing changed on the way.
#include "db/database.h"

#include <QMap>
#include <QStringList>

namespace tarvest::test {

// Table name -> its rows in key order, each row its values joined (stored files as hex).
QMap<QString, QStringList> allTableRows(Database& db);

} // namespace tarvest::test

#pragma once
// The embedded database: a SQLite file in the user's data folder, used when no
// connection settings have been saved. It is created and made ready on first use,
// so a fresh installation can log in as admin with password 1.
#include <QString>

#include <memory>

namespace tarvest {

class Database;

QString embeddedDatabasePath();
// Opens the file at path (by default the embedded path), creating its folder and
// the tables it lacks. Throws tarvest::Error with the reason when it cannot.
std::unique_ptr<Database> openEmbeddedDatabase(const QString& path = {});

} // namespace tarvest

#pragma once
// Stored files of tens of megabytes (attachments, case pictures) moved between a file and a
// blob column in pieces, so that the program's memory holds a piece at a time, never the
// whole file (let alone the several copies a single bound value makes on its way to the
// server):
// - SQLite: the row's blob is sized with zeroblob() and written and read through SQLite's
//   incremental blob I/O on the program's own connection.
// - PostgreSQL: the pieces go into a large object (lo_put), which one statement then
//   copies into the bytea column on the server (lo_get) and removes; reading makes a
//   large object of the value on the server (lo_from_bytea) and fetches it piece by
//   piece (lo_get). Everything runs in one transaction, so a failure leaves nothing.
// `progress(done, total)` hears the bytes moved after every piece.
#include <QString>
#include <QVariant>

#include <functional>

namespace tarvest {

class Database;

using BlobProgress = std::function<void(qint64 done, qint64 total)>;

// The blob column `column` of the row of `table` whose `key` column holds `keyValue`.
struct BlobCell {
    QString table;
    QString key;
    QVariant keyValue;
    QString column;
};

// The bytes moved per piece.
constexpr qint64 kBlobPiece = 1024 * 1024;

// The largest file a blob column of this database takes (SQLite: its length limit;
// PostgreSQL: bytea's 1 GB), and the Persian refusal of a larger one.
qint64 largestStoredFile(Database& db);
QString fileTooLargeMessage(const QString& path, qint64 size, qint64 largest);

// Writes the content of the file at `path` into the cell (the row exists). Throws
// tarvest::Error (the cell unchanged) for an unreadable file, one larger than the database
// takes, or a database failure. Runs inside the caller's transaction when one is open.
void writeBlobFromFile(Database& db, const BlobCell& cell, const QString& path, const BlobProgress& progress = {});

// Writes the cell's bytes to the file at `path` through the safe file writing (a failure
// leaves no partial file); returns the number of bytes. Throws when the row is not there.
qint64 readBlobToFile(Database& db, const BlobCell& cell, const QString& path, const BlobProgress& progress = {});

} // namespace tarvest

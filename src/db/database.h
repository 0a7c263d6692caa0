#pragma once
// One open connection to the register's database: a SQLite file or a PostgreSQL
// server. Every value reaches SQL as a bound parameter.
#include "common/errors.h"
#include "db/dialect.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>

#include <memory>

namespace tarvest {

struct Table;

// Thrown when an edit or a delete finds that another workstation changed the row
// since the screen loaded it; nothing was written. The screen offers to reload it.
class RecordChanged : public Error {
public:
    RecordChanged();
};

// Connection parameters of a PostgreSQL server, read from a libpq-style string
// "host=... port=... dbname=... user=... password=...".
struct PgParams {
    QString host, database, user, password;
    int port = 5432;
    QString options; // further libpq options, passed on as they stand
    static PgParams parse(const QString& conninfo);
    QString toConninfo() const;
};

class Database {
public:
    // Opens (and with create, makes) a SQLite file. Throws tarvest::Error.
    static std::unique_ptr<Database> openSqlite(const QString& path, bool create = true);
    // Opens a PostgreSQL database. Throws tarvest::Error.
    static std::unique_ptr<Database> openPostgres(const PgParams& params);
    static std::unique_ptr<Database> openPostgres(const QString& conninfo);

    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    DbKind kind() const { return m_kind; }
    QString like() const { return likeOperator(m_kind); }
    QSqlDatabase handle() const;
    QString description() const { return m_description; }
    // How a PostgreSQL database was reached (empty for a SQLite file), for a program
    // that opens the same database itself (the backup's pg_dump).
    const PgParams& pgParams() const { return m_pg; }

    // Runs one statement with bound values; throws tarvest::Error with the
    // database's reason when it fails. The returned query is positioned before
    // its first row. A server connection found broken is reopened at once: a read
    // outside a transaction then runs again; anything else fails with the server's
    // reason and may be retried on the reopened connection.
    QSqlQuery exec(const QString& sql, const QVariantList& params = {});
    // A statement prepared once and run many times with new values (the rows of an
    // import): the database reads the statement once, not once a row. Both throw
    // tarvest::Error with the database's reason, as exec does.
    QSqlQuery prepareRepeated(const QString& sql);
    void runPrepared(QSqlQuery& statement, const QVariantList& params);
    // First column of the first row, or an invalid QVariant when there is no row.
    QVariant scalar(const QString& sql, const QVariantList& params = {});

    bool tableExists(const QString& table);
    QStringList tableNames();                      // lower case
    QStringList columnNames(const QString& table); // lower case, in table order

    // Inserts a row into a table of the register; columns not given take their
    // defaults. Texts are checked against their widths and amounts turned into
    // whole rials first. Returns the new identity key, or 0 for tables without one.
    qint64 insert(const QString& table, const QVariantMap& values);
    // Updates the row whose key equals keyValue; returns the number of rows changed.
    int update(const QString& table, const QVariantMap& values, const QVariant& keyValue);
    int remove(const QString& table, const QVariant& keyValue);

    // An edit that never overwrites another workstation's change unseen: updates the
    // row whose key equals keyValue only while its columns still hold `loaded` (the
    // values the screen read; large objects and server times are not compared), and
    // writes only the columns whose value differs from the loaded one. Throws
    // RecordChanged when the row was changed meanwhile and Error when it was deleted.
    // Returns the number of columns written (0 when nothing differed).
    int updateUnchanged(const QString& table, const QVariantMap& values, const QVariant& keyValue,
                        const QVariantMap& loaded);
    // Deletes the row only while it still holds `loaded`; RecordChanged when it was
    // changed meanwhile. Returns 0 when the row was already gone.
    int removeUnchanged(const QString& table, const QVariant& keyValue, const QVariantMap& loaded);

    // Transactions nest: an inner begin joins the transaction already open and only
    // the outermost commit ends it; an inner rollback leaves the decision to the outer
    // one, which the propagating error reaches. On SQLite a transaction takes the
    // write lock when it begins (BEGIN IMMEDIATE), so what it checked still holds
    // when it writes; another writer waits for it (busy timeout).
    void begin();
    void commit();
    void rollback();
    bool inTransaction() const { return m_depth > 0; }

    // A new connection to the same database, as a second workstation would open it
    // (result sets read their keys through one on a thread of their own).
    std::unique_ptr<Database> openAnother() const;

    // Values ready to bind for a table's columns: width checks, amounts as whole
    // rials, bits as 0/1. Throws tarvest::Error for a value that does not fit.
    static QVariantMap prepareValues(const Table& table, const QVariantMap& values);

private:
    Database(DbKind kind, QString connectionName, QString description);
    QSqlQuery run(const QString& sql, const QVariantList& params, bool& ok);
    // The database's reason for a failed statement (libpq's own message when Qt has none).
    QString failureReason(const QSqlQuery& failed) const;
    bool connectionLost() const;
    void reopen();
    void afterOpen();
    DbKind m_kind;
    int m_depth = 0;
    QString m_connection;
    QString m_description;
    PgParams m_pg; // how a PostgreSQL database was reached
};

// Whole rials from an amount given as a number or a text: grouping commas and
// blanks are ignored, a fraction is rounded half to even. Throws tarvest::Error
// for a text that is not an amount or one beyond the 64-bit range.
qint64 toWholeRials(const QVariant& value);

// True for a value the database layer gives or takes as a number (whole or not; a
// boolean is not one).
bool isNumericValue(const QVariant& value);

} // namespace tarvest

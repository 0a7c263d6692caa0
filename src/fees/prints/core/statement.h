#pragma once
// The fee statements: the payments of all fee documents and all other experts' rows of
// the database, one row per post of the province roster, per county (its manager and its
// expert) and per other expert, each with the heading of the circular it is paid under.
//
// A statement belongs to the print and the connection that builds it: its rows go into
// a temporary table of that connection (`fee_statement`), emptied and filled in one
// transaction, so two users printing at the same moment each get exactly their own
// complete statement; a failure leaves the previous statement of that connection as it
// was and the caller prints nothing.
#include "db/dialect.h"

#include <QList>
#include <QString>
#include <QVariant>

namespace tarvest {

class Database;

namespace fees {

// The four headings of the circulars.
QString headingM1();
QString headingM3();
QString headingMB();
QString headingMJ();

// One row of the province and county roster: place, post, the holder's name (read from
// the office's setting list for the post; "؟" where none is set or the row names no
// holder), heading, percentage text and the document column it sums.
struct RosterRow {
    QString mahal;
    QString semat;
    bool named; // the holder comes from the post's setting list; otherwise "؟"
    QString manba;
    QString darsad;
    QString column;
    bool inPostStatement; // rows 12 and 13 (the county posts together) are left out there
};
const QList<RosterRow>& roster();

// The setting list that names the holder of a post on the statements.
QString holderListName(const QString& post);
// The holder names of every post a roster row names, for the settings screen's choices.
QStringList holderListNames();

struct StatementRow {
    QString mahal, semat, nam, manba;
    QVariant darsad;  // a number, or null for none
    QVariant mablagh; // whole rials, or null when nothing was summed
};

// The rows of a statement, in the order they are built: the roster (without rows 12 and
// 13 when `postStatement`), then per county, then per other expert.
QList<StatementRow> buildStatement(Database& db, bool postStatement);

// The statement's temporary table of this connection, made when missing.
QString statementTable();
// Builds the statement into the connection's temporary table (all or nothing).
void fillStatement(Database& db, bool postStatement);
// The queries of the two prints over the filled table: every row by heading and place,
// and one line per post with its sum, smallest first.
QString bySourceQuery(DbKind kind);
QString byPostQuery(DbKind kind);

} // namespace fees
} // namespace tarvest

#pragma once
// Internal messages between users (table payamha): the recipient entries, the message
// set a user sees, sending with the repetition check, marking a message as seen, the
// recipient's name, and the administrator's deletions, each acting only on the rows
// it names.
#include "db/resultset.h"
#include "db/uniquekey.h"

#include <QList>
#include <QString>

#include <optional>

namespace tarvest {

class Database;

// One user as the recipient lists show it: ostan*lev*semat*nam (an empty value gives
// an empty part), with the user's id. Two users with the same four values are two
// entries, each with its own id.
struct UserEntry {
    qint64 id = 0;
    QString text;
};
QString userEntryText(const QString& ostan, const QString& lev, const QString& semat, const QString& nam);
// Every user, in the order of their ids.
QList<UserEntry> userEntries(Database& db);

// The message set: every column of payamha and the sender's user name `ferestande`
// (empty when the sender's row is gone), newest sending date first (then newest row).
// With a recipient, only the messages sent to that user.
KeyedQuery messageQuery(Database& db, std::optional<qint64> recipient);

// One message a day with the same subject from a sender to a recipient.
const UniqueRule& messageRepetitionRule();

struct SendOutcome {
    int stored = 0;  // recipients who got the message
    int skipped = 0; // recipients who already had it from this sender today
};
// Sends one message to each recipient in order, dated `today`, unseen: a recipient who
// already got a message with this subject from this sender on that day gets none. The
// whole send is one transaction: a failure leaves none of it stored.
SendOutcome sendMessage(Database& db, qint64 senderId, const QList<qint64>& recipients, const QString& subject,
                        const QString& text, const QString& today);

// The message text as stored (a large object of UTF-8 text), for reading.
QString messageText(const QVariant& stored);

// Marks the message seen on `today` (again: the date is overwritten). Returns the rows
// changed (0 when the message is gone).
int markMessageSeen(Database& db, qint64 messageId, const QString& today);

// The user name of the message's recipient; empty when the recipient's row (or the
// message) is gone.
QString recipientName(Database& db, qint64 messageId);

// The message itself. Returns the rows deleted.
int deleteMessage(Database& db, qint64 messageId);
// Every seen message of every user (show_dat holds a date; a missing one is not seen).
int deleteSeenMessages(Database& db);
// Of the named messages, those that are seen; the unseen ones stay. One statement.
int deleteSeenMessages(Database& db, const QList<qint64>& messageIds);

} // namespace tarvest

#pragma once
// The program's stored files (table zamaem): the newest program package the login offers
// to an outdated installation, the font help file, and each county manager's signature
// picture, which the county declaration form fetches with its password. Each title is
// stored once. Passwords are kept as salted Argon2id hashes (common/password.h); an empty
// password means the file has none. Every failure is a tarvest::Error with a Persian message.
#include "db/blobio.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace tarvest {

class Database;
struct UniqueRule;

namespace attachment {
inline const QString NewestPackage = QStringLiteral("آخرين نسخه نرم افزار");
inline const QString FontHelp = QStringLiteral("راهنمايي حل مشکل نمايش فونت ها");
// The title of a county manager's signature picture: the prefix and the county name as
// the gazetteer and the cases store it.
QString signatureTitle(const QString& county);
} // namespace attachment

// The message of a title that is already stored.
QString duplicateAttachmentMessage(); // "شرح ضميمه تكراري است"

// One title is stored once (zamaem.cmt).
const UniqueRule& attachmentTitleRule();

// The fixed title list of the attachments screen, sorted in Persian order: the two
// program titles and one signature title per county of the gazetteer.
QStringList attachmentTitles(Database& db);

// The statement of the attachments list, without the bytes and without the password:
// id, cmt, ramz (the text `withPassword` or `withoutPassword`, bound in that order), pictype;
// with `byTitle` only the rows of one title (bound third).
QString attachmentListQuery(bool byTitle);
inline const QString kHasPassword = QStringLiteral("دارد");
inline const QString kNoPassword = QStringLiteral("ندارد");

// What is kept in ramz for a typed password: its hash, or the empty text for none.
QString storedAttachmentPassword(const QString& typed);

// Whether a title is stored already.
bool attachmentTitleTaken(Database& db, const QString& title);

// Stores the file at filePath under the title with the password (hashed), the file's
// extension (dot included, at most five characters) and its content, in one insert under
// the title's rule; returns the new id. Throws DuplicateKey (nothing written) when the
// title is taken, Error for an empty title, an unreadable file or a long extension.
// The bytes go in pieces (db/blobio.h), `progress` hearing each; a file larger than the
// database takes is refused with its Persian message before anything is written.
qint64 storeAttachment(Database& db, const QString& title, const QString& password, const QString& filePath,
                       const BlobProgress& progress = {});

// Writes the stored bytes of one attachment, in pieces, to its opened copy (the run's
// owner-only folder, common/openedcopies.h), named with its stored extension, and returns
// its path. Each opening has its own copy; they go when the program ends.
QString saveAttachmentToTemp(Database& db, qint64 id, const BlobProgress& progress = {});

// Replaces the password of one attachment (hashed; empty for none).
void changeAttachmentPassword(Database& db, qint64 id, const QString& password);

// Deletes one attachment; false when it was not there.
bool deleteAttachment(Database& db, qint64 id);

// The stored file of a title for a typed password: nullopt when no row of that title
// matches, the stored bytes (maybe empty) otherwise. A row with no password matches only
// an empty answer. A row that still holds a plain password (written by other means) is
// accepted once and its password re-stored as a hash.
std::optional<QByteArray> attachmentForPassword(Database& db, const QString& title, const QString& password);

} // namespace tarvest

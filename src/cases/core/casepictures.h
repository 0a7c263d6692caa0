#pragma once
// The files attached to a case (table komision_pic): scanned maps, letters,
// photographs, each stored whole with a short description and the extension of the
// file it came from. Every failure is a tarvest::Error with a Persian message.
#include "db/blobio.h"

#include <QList>
#include <QString>

namespace tarvest {

class Database;

// One attachment as the list shows it (the bytes are read only when saved).
struct CasePicture {
    qint64 pk = 0;
    qint64 cod = 0; // the case's pk
    QString ext;    // with its dot, or empty
    QString cmt;    // description
};

// The widest extension a stored file may have, dot included.
constexpr int kMaxPictureExtension = 5;

// The extension of a file: from the last dot of the file's own name (never of a
// folder), dot included; empty when the name has no dot.
QString pictureExtension(const QString& filePath);

// The statement that lists one case's attachments, oldest first, without their
// bytes; bind the case's pk.
QString casePicturesQuery();

// Stores the file at filePath as a new attachment of the case, in one transaction (its
// bytes written in pieces, db/blobio.h), and returns its pk. Refuses an empty description,
// a file that cannot be read or that is larger than the database takes, and an extension
// longer than kMaxPictureExtension characters.
qint64 storeCasePicture(Database& db, qint64 casePk, const QString& filePath, const QString& description,
                        const BlobProgress& progress = {});

QList<CasePicture> casePictures(Database& db, qint64 casePk);

// Writes the stored bytes to basePath followed by the stored extension and returns
// the path written. Refuses an attachment that is no longer there and a path that
// cannot be written.
QString saveCasePicture(Database& db, qint64 picturePk, const QString& basePath, const BlobProgress& progress = {});

// Writes the stored bytes to the attachment's opened copy (the run's owner-only folder,
// common/openedcopies.h), named with the stored extension, and returns its path. Each
// opening has its own copy, so two never overwrite each other; they go when the program ends.
QString saveCasePictureToTemp(Database& db, qint64 picturePk, const BlobProgress& progress = {});

// Deletes one attachment; false when it was not there.
bool deleteCasePicture(Database& db, qint64 picturePk);

// Deletes every attachment of a case (part of deleting the case); returns how many went.
int deleteCasePictures(Database& db, qint64 casePk);

} // namespace tarvest

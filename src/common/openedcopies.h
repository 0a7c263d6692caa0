#pragma once
// Copies of stored files made for the desktop's program to open (attachments, case
// pictures). They go to a folder of this run in the user's runtime folder (or, without
// one, the user's cache folder), readable by the user alone; each opening has a file of its
// own (a program still showing an earlier copy keeps it), and the folder with every copy
// goes when the program ends.
#include <QString>

namespace tarvest {

// A new, reserved (empty) file for a copy of stored file `id` of kind `kind` ("zamaem",
// "komision_pic") ending in its stored extension (dot included); the folder is made,
// owner-only. Throws tarvest::Error when no folder or file can be made.
QString openedCopyPath(const QString& kind, qint64 id, const QString& extension);
// The folder of this run's copies (made on first use).
QString openedCopiesFolder();
// Removes the folder and every copy in it (also done when the application ends).
void removeOpenedCopies();

} // namespace tarvest

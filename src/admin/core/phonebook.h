#pragma once
// The shared phone book (table phone): names unique as typed, a search that finds an
// entry whichever kaf and yeh it was written with, and deleting one entry.
#include "db/resultset.h"
#include "db/uniquekey.h"

#include <QString>

namespace tarvest {

class Database;

// The column a search looks in, in the order of the screen's choices.
enum class PhoneColumn { Name, Tel, Cmt };

// The search text as the phone book keeps it: every Persian keheh (ک) becomes the
// Arabic kaf (ك).
QString phoneSearchText(const QString& typed);

// Persian and Arabic forms of kaf (ک ك) and yeh (ی ي) read as one letter.
QString foldKafYeh(const QString& text);

// The entries with a name whose column contains the text ("%" and "_" literal, kaf and
// yeh in either form, Latin letters in either case), by name. Entries without a name
// are never listed.
KeyedQuery phoneQuery(Database& db, PhoneColumn column, const QString& text);

// Names are unique exactly as typed; an empty name counts once.
const UniqueRule& phoneNameRule();

enum class PhoneAdd { Added, Duplicate };
// Adds an entry under the name rule; `newId` receives its key.
PhoneAdd addPhoneEntry(Database& db, const QString& name, const QString& tel, const QString& cmt,
                       qint64* newId = nullptr);

// Deletes the one entry; returns the rows deleted (0 when it was gone already).
int deletePhoneEntry(Database& db, qint64 id);

} // namespace tarvest

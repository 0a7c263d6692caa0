#pragma once
// Saving under a uniqueness rule: no two rows of a table hold the same values in the
// rule's columns (a case's letter number, letter date, county and village; a value
// of one setting list; ...). Stored data may already hold duplicates, so no unique
// index stands behind a rule; instead every save of a rule's key runs its check and
// its write in one transaction that holds the lock of that key:
// - PostgreSQL: an advisory transaction lock on a hash of the table and the key's
//   values, taken before the check; a second saver of the same key waits for the
//   first to commit, then its check sees the first one's row.
// - SQLite: the transaction takes the file's write lock when it begins (BEGIN
//   IMMEDIATE, see Database::begin), so savers take turns; the busy timeout makes the
//   others wait instead of failing.
// Exactly one of simultaneous saves of one key succeeds; the others get DuplicateKey
// and the screen shows its own duplicate message.
#include "common/errors.h"

#include <QStringList>
#include <QVariant>
#include <QVariantMap>

#include <functional>

namespace tarvest {

class Database;

struct UniqueRule {
    QString table;
    QStringList columns;
    // Text key values compare without regard to letter case and trailing blanks (user
    // names, as the login matches them).
    bool caseless = false;
};

// Thrown when a save would give a second row the key of a rule; nothing was written.
class DuplicateKey : public Error {
public:
    explicit DuplicateKey(const UniqueRule& rule);
    const UniqueRule& rule() const { return m_rule; }

private:
    UniqueRule m_rule;
};

// Whether a row other than excludeKey already holds the rule's key with the values of
// `row` (a row as it would be written: values are prepared for the table first). An
// empty text and NULL count as the same value.
bool keyTaken(Database& db, const UniqueRule& rule, const QVariantMap& row, const QVariant& excludeKey = {});

// Whether writing `row` over `loaded` changes the rule's key.
bool changesKey(const UniqueRule& rule, const QVariantMap& row, const QVariantMap& loaded);

// Runs `write` (the insert, or the update that changes the key) in one transaction
// holding the lock of the rule's key for the values of `row`, after checking that no
// row other than excludeKey holds that key. Throws DuplicateKey, with nothing written,
// when one does; any other failure rolls the transaction back and propagates.
void saveUnique(Database& db, const UniqueRule& rule, const QVariantMap& row, const QVariant& excludeKey,
                const std::function<void()>& write);

} // namespace tarvest

#pragma once
// Passwords of the program's users are kept as salted Argon2id hashes.
#include <QString>

namespace tarvest {

// A self-describing hash ("$argon2id$...") of the password, with a fresh salt.
QString hashPassword(const QString& password);
// True when the stored text is a hash made by hashPassword.
bool isPasswordHash(const QString& stored);
// Checks a typed password against a stored hash. A stored text that is not a
// hash (a row written by other means) matches only the identical password.
bool verifyPassword(const QString& stored, const QString& typed);

} // namespace tarvest

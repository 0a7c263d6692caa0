#include "common/password.h"

#include "common/errors.h"

#include <sodium.h>

namespace tarvest {

namespace {
void ensureSodium()
{
    static const bool ready = sodium_init() >= 0;
    if (!ready)
        throw Error(QStringLiteral("کتابخانه رمزنگاری آماده نشد."));
}
} // namespace

QString hashPassword(const QString& password)
{
    ensureSodium();
    const QByteArray utf8 = password.toUtf8();
    char out[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str(out, utf8.constData(), utf8.size(), crypto_pwhash_OPSLIMIT_INTERACTIVE,
                          crypto_pwhash_MEMLIMIT_INTERACTIVE)
        != 0)
        throw Error(QStringLiteral("حافظه برای رمزنگاری کلمه عبور کافی نیست."));
    return QString::fromLatin1(out);
}

bool isPasswordHash(const QString& stored)
{
    return stored.startsWith(QLatin1String("$argon2"));
}

bool verifyPassword(const QString& stored, const QString& typed)
{
    if (!isPasswordHash(stored))
        return stored == typed;
    ensureSodium();
    const QByteArray hash = stored.toLatin1();
    const QByteArray utf8 = typed.toUtf8();
    return crypto_pwhash_str_verify(hash.constData(), utf8.constData(), utf8.size()) == 0;
}

} // namespace tarvest

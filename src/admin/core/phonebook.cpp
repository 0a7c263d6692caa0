#include "admin/core/phonebook.h"

#include "db/database.h"
#include "db/dialect.h"

namespace tarvest {

namespace {

const QString kPhone = QStringLiteral("phone");
constexpr char16_t kKeheh = u'\u06A9';     // ک
constexpr char16_t kArabicKaf = u'\u0643'; // ك
constexpr char16_t kFarsiYeh = u'\u06CC';  // ی
constexpr char16_t kArabicYeh = u'\u064A'; // ي

QString columnName(PhoneColumn column)
{
    switch (column) {
    case PhoneColumn::Name:
        return QStringLiteral("name");
    case PhoneColumn::Tel:
        return QStringLiteral("tel");
    case PhoneColumn::Cmt:
        return QStringLiteral("cmt");
    }
    return QStringLiteral("name");
}

} // namespace

QString phoneSearchText(const QString& typed)
{
    QString out = typed;
    out.replace(QChar(kKeheh), QChar(kArabicKaf));
    return out;
}

QString foldKafYeh(const QString& text)
{
    QString out = text;
    out.replace(QChar(kKeheh), QChar(kArabicKaf));
    out.replace(QChar(kFarsiYeh), QChar(kArabicYeh));
    return out;
}

KeyedQuery phoneQuery(Database& db, PhoneColumn column, const QString& text)
{
    KeyedQuery q;
    q.select = QStringLiteral("SELECT * FROM phone");
    // The stored text with its letters folded as the pattern's are, so either form of
    // kaf and yeh on either side matches.
    q.where = QStringLiteral("name <> ? AND replace(replace(%1, ?, ?), ?, ?)").arg(columnName(column))
              + containsCondition(db.kind());
    q.params = {QStringLiteral(""),        QString(QChar(kKeheh)),     QString(QChar(kArabicKaf)),
                QString(QChar(kFarsiYeh)), QString(QChar(kArabicYeh)), containsPattern(foldKafYeh(text))};
    q.order = db.kind() == DbKind::Postgres ? QStringLiteral("name COLLATE \"C\"") : QStringLiteral("name");
    q.table = kPhone;
    return q;
}

const UniqueRule& phoneNameRule()
{
    static const UniqueRule rule{kPhone, {QStringLiteral("name")}};
    return rule;
}

PhoneAdd addPhoneEntry(Database& db, const QString& name, const QString& tel, const QString& cmt, qint64* newId)
{
    const QVariantMap row{{QStringLiteral("name"), name}, {QStringLiteral("tel"), tel}, {QStringLiteral("cmt"), cmt}};
    qint64 id = 0;
    try {
        saveUnique(db, phoneNameRule(), row, {}, [&] { id = db.insert(kPhone, row); });
    } catch (const DuplicateKey&) {
        return PhoneAdd::Duplicate;
    }
    if (newId)
        *newId = id;
    return PhoneAdd::Added;
}

int deletePhoneEntry(Database& db, qint64 id)
{
    return db.remove(kPhone, id);
}

} // namespace tarvest

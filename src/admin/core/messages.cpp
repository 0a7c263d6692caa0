#include "admin/core/messages.h"

#include "db/database.h"

#include <QSqlQuery>

namespace tarvest {

namespace {
const QString kMessages = QStringLiteral("payamha");
// show_dat of a message not yet seen: the empty text, not a missing value.
const QString kUnseen = QStringLiteral("");
} // namespace

QString userEntryText(const QString& ostan, const QString& lev, const QString& semat, const QString& nam)
{
    const QChar star(u'*');
    return ostan + star + lev + star + semat + star + nam;
}

QList<UserEntry> userEntries(Database& db)
{
    // Only the columns of the entry: the password column is never read here.
    QSqlQuery q = db.exec(QStringLiteral("SELECT id, ostan, lev, semat, nam FROM users ORDER BY id"));
    QList<UserEntry> out;
    while (q.next())
        out << UserEntry{q.value(0).toLongLong(), userEntryText(q.value(1).toString(), q.value(2).toString(),
                                                                q.value(3).toString(), q.value(4).toString())};
    return out;
}

KeyedQuery messageQuery(Database& db, std::optional<qint64> recipient)
{
    KeyedQuery q;
    q.select = QStringLiteral("SELECT users.us AS ferestande, payamha.* FROM payamha "
                              "LEFT JOIN users ON payamha.send_prs_id = users.id");
    if (recipient) {
        q.where = QStringLiteral("payamha.rec_prs_id = ?");
        q.params << *recipient;
    }
    // Date texts order as dates when compared character by character, on both kinds.
    q.order = db.kind() == DbKind::Postgres ? QStringLiteral("send_dat COLLATE \"C\" DESC NULLS LAST, id DESC")
                                            : QStringLiteral("send_dat DESC, id DESC");
    q.table = kMessages;
    return q;
}

const UniqueRule& messageRepetitionRule()
{
    static const UniqueRule rule{kMessages,
                                 {QStringLiteral("send_prs_id"), QStringLiteral("rec_prs_id"), QStringLiteral("mozo"),
                                  QStringLiteral("send_dat")}};
    return rule;
}

SendOutcome sendMessage(Database& db, qint64 senderId, const QList<qint64>& recipients, const QString& subject,
                        const QString& text, const QString& today)
{
    SendOutcome out;
    const QByteArray body = text.toUtf8();
    db.begin();
    try {
        for (qint64 recipient : recipients) {
            const QVariantMap row{{QStringLiteral("send_prs_id"), senderId}, {QStringLiteral("rec_prs_id"), recipient},
                                  {QStringLiteral("send_dat"), today},       {QStringLiteral("show_dat"), kUnseen},
                                  {QStringLiteral("mozo"), subject},         {QStringLiteral("cmt"), body}};
            try {
                saveUnique(db, messageRepetitionRule(), row, {}, [&] { db.insert(kMessages, row); });
                ++out.stored;
            } catch (const DuplicateKey&) {
                ++out.skipped; // nothing was written for this recipient
            }
        }
        db.commit();
    } catch (...) {
        db.rollback();
        throw;
    }
    return out;
}

QString messageText(const QVariant& stored)
{
    if (stored.isNull())
        return {};
    if (stored.typeId() == QMetaType::QByteArray)
        return QString::fromUtf8(stored.toByteArray());
    return stored.toString();
}

int markMessageSeen(Database& db, qint64 messageId, const QString& today)
{
    return db.update(kMessages, {{QStringLiteral("show_dat"), today}}, messageId);
}

QString recipientName(Database& db, qint64 messageId)
{
    return db
        .scalar(QStringLiteral("SELECT users.us FROM payamha LEFT JOIN users ON payamha.rec_prs_id = users.id "
                               "WHERE payamha.id = ?"),
                {messageId})
        .toString();
}

int deleteMessage(Database& db, qint64 messageId)
{
    return db.remove(kMessages, messageId);
}

int deleteSeenMessages(Database& db)
{
    return db.exec(QStringLiteral("DELETE FROM payamha WHERE show_dat <> ?"), {kUnseen}).numRowsAffected();
}

int deleteSeenMessages(Database& db, const QList<qint64>& messageIds)
{
    // In statements of a few hundred ids (a database takes only so many values in one
    // statement), all in one transaction.
    constexpr qsizetype kChunk = 500;
    int deleted = 0;
    db.begin();
    try {
        for (qsizetype from = 0; from < messageIds.size(); from += kChunk) {
            QStringList marks;
            QVariantList params{kUnseen};
            for (qint64 id : messageIds.mid(from, kChunk)) {
                marks << QStringLiteral("?");
                params << id;
            }
            deleted += db.exec(QStringLiteral("DELETE FROM payamha WHERE show_dat <> ? AND id IN (") + marks.join(u',')
                                   + u')',
                               params)
                           .numRowsAffected();
        }
        db.commit();
    } catch (...) {
        db.rollback();
        throw;
    }
    return deleted;
}

} // namespace tarvest

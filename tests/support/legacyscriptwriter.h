#pragma once
// Data scripts in the shape SQL Server Management Studio's "Generate Scripts" writes
// them, for the tests and the benchmark of the migration: UTF-16 with its byte-order
// mark, UTF-8 or Windows-1256; CR LF line ends; GO lines; the schema's CREATE TABLE
// statements when asked; SET IDENTITY_INSERT around a table's rows; one INSERT a row
// with N'..' texts, CAST(.. AS Money), CAST(N'..' AS DateTime) and 0x.. files.
#include "db/database.h"
#include "db/schema.h"

#include <QFile>
#include <QHash>
#include <QStringConverter>
#include <QStringList>
#include <QVariantList>

#include <memory>

namespace tarvest::test {

struct LegacyScriptShape {
    enum class Encoding { Utf16, Utf8, Windows1256 };
    Encoding encoding = Encoding::Utf16;
    bool byteOrderMark = true; // of UTF-16 and UTF-8
    bool withSchema = false;
    bool insertInto = false;     // older versions write "INSERT INTO"
    bool goAfterEachRow = false; // newer versions close every INSERT with GO
    // The old program keeps plain passwords: users.ps by users.us, zamaem.ramz by
    // zamaem.cmt. A hashed password in the source database is written as the plain one
    // found here (users missing from the map: defaultPassword).
    QHash<QString, QString> userPasswords;
    QHash<QString, QString> attachmentPasswords;
    QString defaultPassword = QStringLiteral("1");
};

class LegacyScriptWriter {
public:
    // Throws tarvest::Error when the file cannot be written.
    LegacyScriptWriter(const QString& path, const LegacyScriptShape& shape);
    ~LegacyScriptWriter();

    // CREATE TABLE of a table as SQL Server declares it (with its GO lines).
    void schema(const Table& table);
    // The rows of one table follow, with these columns.
    void beginRows(const QString& table, const QStringList& columns, bool identity);
    // One row of literals (see literal()).
    void row(const QStringList& literals);
    void endRows();
    // Any text, as it stands (an office's own statements).
    void raw(const QString& text);
    void finish();

    // The literal Management Studio writes for a value of a column.
    static QString literal(const Column& column, const QVariant& value);
    static QString textLiteral(const QString& text);

private:
    void write(const QString& text);
    QFile m_file;
    LegacyScriptShape m_shape;
    std::unique_ptr<QStringEncoder> m_encoder;
    QString m_table;
    QString m_head;
    bool m_identity = false;
};

// The old program's message text bytes for a message, in the encoding the old program
// used for it: UTF-16 little-endian (with or without its mark), UTF-8 or Windows-1256,
// chosen by `variant`.
QByteArray legacyMessageBytes(const QString& text, int variant);

// Writes every row of every table of the source database as the old program's SQL Server
// database would have them scripted: plain passwords (from the shape), message texts in
// the old encodings.
void writeLegacyScript(Database& source, const QString& path, const LegacyScriptShape& shape);

} // namespace tarvest::test

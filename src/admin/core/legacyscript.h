#pragma once
// Reading the data script that SQL Server Management Studio writes of the old program's
// database ("Generate Scripts", data only or schema and data), one row at a time.
//
// The script is read as a stream: its encoding (UTF-16 with or without a byte-order
// mark, UTF-8, or the Windows code page 1256) is found from its first bytes, then it is
// decoded a block at a time. Batches are separated by lines holding "GO"; USE, SET, the
// "/****** Object: ... ******/" comments, ALTER TABLE and everything else that is not an
// INSERT is passed over, except CREATE TABLE, whose column types are kept, and SET
// IDENTITY_INSERT, whose ON and OFF must pair. A binary literal (0x...) is decoded while
// it is read; one larger than a few megabytes goes to a temporary file instead of memory,
// so a script with pictures of hundreds of megabytes is read in bounded memory.
#include "common/errors.h"

#include <QByteArray>
#include <QHash>
#include <QIODevice>
#include <QList>
#include <QString>
#include <QStringConverter>
#include <QStringList>
#include <QTemporaryFile>

#include <memory>

namespace tarvest {

// One value of an INSERT's VALUES list as the script writes it.
struct ScriptValue {
    enum class Kind {
        Null,   // NULL
        Text,   // N'...' or '...', quotes undoubled, line breaks kept
        Number, // 12, -3, 1250000.0000, 1.5E-3: the digits as written
        Binary, // 0x...: the bytes
    };
    Kind kind = Kind::Null;
    QString text;     // Text and Number
    QByteArray bytes; // Binary held in memory
    // Binary too large for memory: its bytes in this file (from its start), `size` of them.
    std::shared_ptr<QTemporaryFile> spool;
    qint64 size = 0;
    // CAST(x AS type): the type's name in lower case ("money", "datetime", "decimal");
    // empty for a plain literal.
    QString castType;

    qint64 binarySize() const { return spool ? size : bytes.size(); }
    // The bytes of a Binary value, from memory or read back from its file.
    QByteArray allBytes() const;
};

// One row of an INSERT.
struct ScriptRow {
    QString table;       // the table's own name, without schema or brackets
    QStringList columns; // as the script names them
    QList<ScriptValue> values;
    qint64 line = 0; // where its INSERT begins (1-based)
};

// A script that cannot be read: its reason and line. `truncated` marks a script that ends
// in the middle (an unfinished statement or text, a batch without its closing GO, an
// IDENTITY_INSERT left on).
class ScriptError : public Error {
public:
    ScriptError(const QString& message, qint64 line, bool truncated);
    qint64 line() const { return m_line; }
    bool truncated() const { return m_truncated; }

private:
    qint64 m_line;
    bool m_truncated;
};

// Whether the bytes are well-formed UTF-8 (a character cut off by the end allowed only
// with cutEndAllowed).
bool isUtf8(const QByteArray& bytes, bool cutEndAllowed = false);

class LegacyScriptReader {
public:
    // Reads from `in` (opened for reading). Binary values larger than spillBytes go to a
    // temporary file.
    explicit LegacyScriptReader(QIODevice& in, qint64 spillBytes = 8 * 1024 * 1024);
    ~LegacyScriptReader();
    LegacyScriptReader(const LegacyScriptReader&) = delete;
    LegacyScriptReader& operator=(const LegacyScriptReader&) = delete;

    // The next row; false at the script's regular end. Throws ScriptError.
    bool next(ScriptRow& row);

    // "UTF-16LE", "UTF-16BE", "UTF-8" or "windows-1256".
    QString encoding() const { return m_encodingName; }
    qint64 bytesRead() const { return m_bytesRead; }
    // The column types the script's CREATE TABLE statements declare, by table and column
    // (both in lower case): "nvarchar(50)", "money", "image", ...
    const QHash<QString, QHash<QString, QString>>& declaredTypes() const { return m_declared; }
    // Tables in the order their CREATE TABLE statements come.
    const QStringList& declaredTables() const { return m_declaredOrder; }

private:
    struct Token;
    // characters
    bool fill(qsizetype need);
    qsizetype wholeCharacters(const QByteArray& bytes) const;
    QChar peekChar(qsizetype ahead = 0);
    QChar getChar();
    bool atEnd();
    // tokens
    Token lex();
    void lexString(Token& t);
    void lexBinary(Token& t);
    const Token& peek();
    Token take();
    [[noreturn]] void fail(const QString& message, bool truncated = false) const;
    [[noreturn]] void unexpected(const Token& t, const QString& wanted) const;
    // statements
    QString parseName();
    bool parseInsertRow(ScriptRow& row);
    ScriptValue parseValue();
    void parseCreateTable();
    void skipStatement();

    QIODevice& m_in;
    qint64 m_spill;
    QString m_encodingName;
    std::unique_ptr<QStringDecoder> m_decoder;
    QByteArray m_carry; // the start of a character cut by the end of a block
    QString m_buf;
    qsizetype m_pos = 0;
    bool m_inputDone = false;
    qint64 m_bytesRead = 0;
    qint64 m_line = 1;
    bool m_lineHasToken = false;
    std::unique_ptr<Token> m_peeked;
    bool m_afterGo = true; // nothing since the last GO line
    QString m_identityOn;  // table whose IDENTITY_INSERT is on
    qint64 m_identityLine = 0;
    // A multi-row VALUES list being read.
    bool m_moreValues = false;
    QString m_insertTable;
    QStringList m_insertColumns;
    qint64 m_insertLine = 0;
    QHash<QString, QHash<QString, QString>> m_declared;
    QStringList m_declaredOrder;
};

} // namespace tarvest

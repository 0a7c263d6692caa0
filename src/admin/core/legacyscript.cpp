#include "admin/core/legacyscript.h"

#include <QFile>

namespace tarvest {

namespace {

constexpr qint64 kBlockBytes = 1 << 20; // bytes decoded at a time

bool isHexDigit(char16_t c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

int hexValue(char16_t c)
{
    if (c <= '9')
        return c - '0';
    if (c >= 'a')
        return c - 'a' + 10;
    return c - 'A' + 10;
}

} // namespace

bool isUtf8(const QByteArray& sample, bool cutEndAllowed)
{
    const auto* p = reinterpret_cast<const unsigned char*>(sample.constData());
    const qsizetype n = sample.size();
    for (qsizetype i = 0; i < n;) {
        const unsigned char c = p[i];
        int follow = 0;
        if (c < 0x80)
            follow = 0;
        else if (c >= 0xC2 && c <= 0xDF)
            follow = 1;
        else if (c >= 0xE0 && c <= 0xEF)
            follow = 2;
        else if (c >= 0xF0 && c <= 0xF4)
            follow = 3;
        else
            return false;
        ++i;
        for (int k = 0; k < follow; ++k, ++i) {
            if (i >= n)
                return cutEndAllowed;
            if ((p[i] & 0xC0) != 0x80)
                return false;
        }
    }
    return true;
}

namespace {

bool isWordStart(QChar c)
{
    return c.isLetter() || c == u'_' || c == u'@' || c == u'#';
}

bool isWordPart(QChar c)
{
    return c.isLetterOrNumber() || c == u'_' || c == u'@' || c == u'#' || c == u'$';
}

bool isStatementStart(const QString& word)
{
    static const QStringList starters = {"INSERT", "SET", "CREATE", "ALTER", "USE"};
    for (const QString& s : starters)
        if (word.compare(s, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

} // namespace

QByteArray ScriptValue::allBytes() const
{
    if (!spool)
        return bytes;
    spool->seek(0);
    return spool->read(size);
}

ScriptError::ScriptError(const QString& message, qint64 line, bool truncated)
    : Error(message), m_line(line), m_truncated(truncated)
{
}

struct LegacyScriptReader::Token {
    enum class Kind { End, Go, Word, Quoted, String, Number, Binary, Punct };
    Kind kind = Kind::End;
    QString text;
    ScriptValue binary;
    qint64 line = 0;
    bool is(Kind k, const char* word) const
    {
        return kind == k && text.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
    }
    bool word(const char* w) const { return is(Kind::Word, w); }
    bool punct(char c) const { return kind == Kind::Punct && text.size() == 1 && text[0] == QLatin1Char(c); }
};

LegacyScriptReader::LegacyScriptReader(QIODevice& in, qint64 spillBytes) : m_in(in), m_spill(spillBytes)
{
    // The encoding: a byte-order mark, else the first bytes that are not plain ASCII.
    const QByteArray head = m_in.peek(4);
    QStringConverter::Encoding enc = QStringConverter::Utf8;
    qint64 skip = 0;
    if (head.startsWith("\xFF\xFE")) {
        enc = QStringConverter::Utf16LE;
        skip = 2;
    } else if (head.startsWith("\xFE\xFF")) {
        enc = QStringConverter::Utf16BE;
        skip = 2;
    } else if (head.startsWith("\xEF\xBB\xBF")) {
        skip = 3;
    } else if (head.size() >= 2 && head[0] != 0 && head[1] == 0) {
        enc = QStringConverter::Utf16LE;
    } else if (head.size() >= 2 && head[0] == 0 && head[1] != 0) {
        enc = QStringConverter::Utf16BE;
    } else if (!m_in.isSequential()) {
        // Look past the ASCII opening (USE, SET, CREATE TABLE) to the first other byte.
        const qint64 start = m_in.pos();
        QByteArray sample;
        while (!m_in.atEnd()) {
            const QByteArray block = m_in.read(kBlockBytes);
            qsizetype at = -1;
            for (qsizetype i = 0; i < block.size(); ++i)
                if (static_cast<unsigned char>(block[i]) >= 0x80) {
                    at = i;
                    break;
                }
            if (at >= 0) {
                sample = block.mid(at, 64 * 1024);
                break;
            }
        }
        m_in.seek(start);
        if (!sample.isEmpty() && !isUtf8(sample, true))
            m_encodingName = QStringLiteral("windows-1256");
    }
    if (skip > 0)
        m_in.read(skip);
    m_bytesRead = skip;
    if (m_encodingName.isEmpty()) {
        m_decoder = std::make_unique<QStringDecoder>(enc);
        m_encodingName = QString::fromLatin1(QStringConverter::nameForEncoding(enc));
    } else {
        m_decoder = std::make_unique<QStringDecoder>("windows-1256");
        if (!m_decoder->isValid())
            throw ScriptError(QStringLiteral("خطا! رمزگذاری windows-1256 در این سیستم پشتیبانی نمی شود."), 0, false);
    }
}

LegacyScriptReader::~LegacyScriptReader() = default;

void LegacyScriptReader::fail(const QString& message, bool truncated) const
{
    throw ScriptError(QStringLiteral("خطا در خط %1 فایل اسکریپت: %2").arg(m_line).arg(message), m_line, truncated);
}

// How many of the bytes end on a whole character; the rest waits for the next block.
qsizetype LegacyScriptReader::wholeCharacters(const QByteArray& bytes) const
{
    const qsizetype n = bytes.size();
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    if (m_encodingName.startsWith(QLatin1String("UTF-16"))) {
        qsizetype cut = n & ~qsizetype(1);
        if (cut >= 2) {
            const bool le = m_encodingName.endsWith(QLatin1String("LE"));
            const unsigned unit = le ? p[cut - 2] | (p[cut - 1] << 8) : (p[cut - 2] << 8) | p[cut - 1];
            if (unit >= 0xD800 && unit <= 0xDBFF)
                cut -= 2; // the first half of a pair
        }
        return cut;
    }
    if (m_encodingName == QLatin1String("UTF-8")) {
        for (qsizetype back = 1; back <= 4 && back <= n; ++back) {
            const unsigned char c = p[n - back];
            if ((c & 0xC0) == 0x80)
                continue;
            const int length = c < 0x80 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
            return length > back ? n - back : n;
        }
    }
    return n;
}

bool LegacyScriptReader::fill(qsizetype need)
{
    while (m_buf.size() - m_pos < need) {
        if (m_inputDone)
            return false;
        QByteArray block = m_in.read(kBlockBytes);
        if (block.isEmpty()) {
            m_inputDone = true;
            if (!m_carry.isEmpty())
                fail(QStringLiteral("فایل در میان یک نویسه تمام شده است؛ اسکریپت کامل نیست."), true);
            continue;
        }
        m_bytesRead += block.size();
        if (!m_carry.isEmpty())
            block.prepend(m_carry);
        const qsizetype whole = wholeCharacters(block);
        m_carry = block.mid(whole);
        block.truncate(whole);
        QString decoded = m_decoder->decode(block);
        if (m_decoder->hasError())
            fail(QStringLiteral("متن فایل با رمزگذاری %1 خوانا نیست.").arg(m_encodingName));
        if (m_pos > 0) {
            m_buf.remove(0, m_pos);
            m_pos = 0;
        }
        if (m_buf.isEmpty())
            m_buf = std::move(decoded);
        else
            m_buf.append(decoded);
    }
    return true;
}

QChar LegacyScriptReader::peekChar(qsizetype ahead)
{
    if (!fill(ahead + 1))
        return QChar();
    return m_buf[m_pos + ahead];
}

bool LegacyScriptReader::atEnd()
{
    return !fill(1);
}

QChar LegacyScriptReader::getChar()
{
    if (!fill(1))
        return QChar();
    const QChar c = m_buf[m_pos++];
    if (c == u'\n') {
        ++m_line;
        m_lineHasToken = false;
    }
    return c;
}

void LegacyScriptReader::lexString(Token& t)
{
    // At the opening quote.
    getChar();
    t.kind = Token::Kind::String;
    t.text = QStringLiteral(""); // N'' is an empty text, not a missing one
    for (;;) {
        if (!fill(1))
            fail(QStringLiteral("متنی که در خط %1 آغاز شده تمام نشده است؛ اسکریپت کامل نیست.").arg(t.line), true);
        const qsizetype quote = m_buf.indexOf(u'\'', m_pos);
        const qsizetype end = quote < 0 ? m_buf.size() : quote;
        const QStringView part = QStringView(m_buf).mid(m_pos, end - m_pos);
        t.text.append(part);
        m_line += part.count(u'\n');
        m_pos = end;
        if (quote < 0)
            continue;
        getChar(); // the quote
        if (peekChar() == u'\'') {
            getChar();
            t.text.append(u'\'');
            continue;
        }
        return;
    }
}

void LegacyScriptReader::lexBinary(Token& t)
{
    // At "0x".
    getChar();
    getChar();
    t.kind = Token::Kind::Binary;
    ScriptValue& v = t.binary;
    v.kind = ScriptValue::Kind::Binary;
    v.castType.clear();
    int pending = -1; // the high half of a byte whose low half is in the next block
    for (;;) {
        if (!fill(1))
            break;
        const char16_t* p = reinterpret_cast<const char16_t*>(m_buf.constData());
        qsizetype i = m_pos;
        const qsizetype n = m_buf.size();
        if (v.bytes.capacity() - v.bytes.size() < (n - i) / 2 + 1)
            v.bytes.reserve(v.bytes.size() + (n - i) / 2 + 1);
        while (i < n && isHexDigit(p[i])) {
            if (pending < 0) {
                pending = hexValue(p[i]);
            } else {
                v.bytes.append(char((pending << 4) | hexValue(p[i])));
                pending = -1;
            }
            ++i;
        }
        m_pos = i;
        if (v.bytes.size() >= m_spill) {
            if (!v.spool) {
                v.spool = std::make_shared<QTemporaryFile>();
                if (!v.spool->open())
                    fail(QStringLiteral("پرونده موقت برای داده های بزرگ ساخته نشد: %1").arg(v.spool->errorString()));
            }
            if (v.spool->write(v.bytes) != v.bytes.size())
                fail(QStringLiteral("نوشتن پرونده موقت داده های بزرگ ناموفق بود: %1").arg(v.spool->errorString()));
            v.size += v.bytes.size();
            v.bytes = QByteArray();
        }
        if (i < n)
            break;
    }
    if (pending >= 0)
        fail(QStringLiteral("داده دودویی تعداد فرد رقم دارد."));
    if (v.spool) {
        if (!v.bytes.isEmpty() && v.spool->write(v.bytes) != v.bytes.size())
            fail(QStringLiteral("نوشتن پرونده موقت داده های بزرگ ناموفق بود: %1").arg(v.spool->errorString()));
        v.size += v.bytes.size();
        v.bytes = QByteArray();
        v.spool->flush();
    } else {
        v.bytes.squeeze();
    }
}

LegacyScriptReader::Token LegacyScriptReader::lex()
{
    for (;;) {
        const QChar c = peekChar();
        if (c.isNull()) {
            Token t;
            t.kind = Token::Kind::End;
            t.line = m_line;
            return t;
        }
        if (c.isSpace() || c == QChar(0xFEFF)) {
            getChar();
            continue;
        }
        if (c == u'-' && peekChar(1) == u'-') {
            while (!atEnd() && getChar() != u'\n') {
            }
            continue;
        }
        if (c == u'/' && peekChar(1) == u'*') {
            const qint64 start = m_line;
            getChar();
            getChar();
            int depth = 1;
            while (depth > 0) {
                if (atEnd())
                    fail(QStringLiteral("توضیحی که در خط %1 آغاز شده بسته نشده است؛ اسکریپت کامل نیست.").arg(start),
                         true);
                const QChar d = getChar();
                if (d == u'*' && peekChar() == u'/') {
                    getChar();
                    --depth;
                } else if (d == u'/' && peekChar() == u'*') {
                    getChar();
                    ++depth;
                }
            }
            continue;
        }
        break;
    }
    Token t;
    t.line = m_line;
    const bool firstOnLine = !m_lineHasToken;
    m_lineHasToken = true;
    const QChar c = peekChar();
    if ((c == u'N' || c == u'n') && peekChar(1) == u'\'') {
        getChar();
        lexString(t);
    } else if (c == u'\'') {
        lexString(t);
    } else if (c == u'0' && (peekChar(1) == u'x' || peekChar(1) == u'X')) {
        lexBinary(t);
    } else if (c.isDigit() || (c == u'.' && peekChar(1).isDigit())) {
        t.kind = Token::Kind::Number;
        while (peekChar().isDigit())
            t.text.append(getChar());
        if (peekChar() == u'.') {
            t.text.append(getChar());
            while (peekChar().isDigit())
                t.text.append(getChar());
        }
        if (peekChar() == u'e' || peekChar() == u'E') {
            const QChar s = peekChar(1);
            if (s.isDigit() || ((s == u'+' || s == u'-') && peekChar(2).isDigit())) {
                t.text.append(getChar());
                t.text.append(getChar());
                while (peekChar().isDigit())
                    t.text.append(getChar());
            }
        }
    } else if (c == u'[' || c == u'"') {
        const char16_t close = c == u'[' ? u']' : u'"';
        t.kind = Token::Kind::Quoted;
        getChar();
        for (;;) {
            if (atEnd())
                fail(QStringLiteral("نامی که در خط %1 آغاز شده بسته نشده است؛ اسکریپت کامل نیست.").arg(t.line), true);
            const QChar d = getChar();
            if (d == close) {
                if (peekChar() == close) {
                    t.text.append(getChar());
                    continue;
                }
                break;
            }
            t.text.append(d);
        }
    } else if (isWordStart(c)) {
        t.kind = Token::Kind::Word;
        while (isWordPart(peekChar()))
            t.text.append(getChar());
        if (firstOnLine && t.text.compare(QLatin1String("GO"), Qt::CaseInsensitive) == 0) {
            // "GO" alone on its line (perhaps with a count) ends a batch.
            qsizetype k = 0;
            while (peekChar(k) == u' ' || peekChar(k) == u'\t')
                ++k;
            while (peekChar(k).isDigit())
                ++k;
            while (peekChar(k) == u' ' || peekChar(k) == u'\t')
                ++k;
            const QChar after = peekChar(k);
            if (after.isNull() || after == u'\r' || after == u'\n') {
                for (qsizetype i = 0; i < k; ++i)
                    getChar();
                t.kind = Token::Kind::Go;
            }
        }
    } else {
        t.kind = Token::Kind::Punct;
        t.text = getChar();
    }
    return t;
}

const LegacyScriptReader::Token& LegacyScriptReader::peek()
{
    if (!m_peeked)
        m_peeked = std::make_unique<Token>(lex());
    return *m_peeked;
}

LegacyScriptReader::Token LegacyScriptReader::take()
{
    if (m_peeked) {
        Token t = std::move(*m_peeked);
        m_peeked.reset();
        return t;
    }
    return lex();
}

void LegacyScriptReader::unexpected(const Token& t, const QString& wanted) const
{
    const bool truncated = t.kind == Token::Kind::End || t.kind == Token::Kind::Go;
    QString found = t.kind == Token::Kind::End  ? QStringLiteral("پایان فایل")
                    : t.kind == Token::Kind::Go ? QStringLiteral("GO")
                                                : t.text.left(40);
    throw ScriptError(QStringLiteral("خطا در خط %1 فایل اسکریپت: به جای «%2» %3 انتظار می رفت%4")
                          .arg(t.line)
                          .arg(found, wanted, truncated ? QStringLiteral("؛ اسکریپت کامل نیست.") : QStringLiteral(".")),
                      t.line, truncated);
}

QString LegacyScriptReader::parseName()
{
    QString name;
    for (;;) {
        Token t = take();
        if (t.kind != Token::Kind::Quoted && t.kind != Token::Kind::Word)
            unexpected(t, QStringLiteral("نام جدول"));
        name = t.text;
        if (!peek().punct('.'))
            return name;
        take();
    }
}

ScriptValue LegacyScriptReader::parseValue()
{
    Token t = take();
    ScriptValue v;
    switch (t.kind) {
    case Token::Kind::String:
        v.kind = ScriptValue::Kind::Text;
        v.text = std::move(t.text);
        return v;
    case Token::Kind::Number:
        v.kind = ScriptValue::Kind::Number;
        v.text = std::move(t.text);
        return v;
    case Token::Kind::Binary:
        return std::move(t.binary);
    default:
        break;
    }
    if (t.punct('-') || t.punct('+')) {
        Token n = take();
        if (n.kind != Token::Kind::Number)
            unexpected(n, QStringLiteral("عدد"));
        v.kind = ScriptValue::Kind::Number;
        v.text = (t.punct('-') ? QStringLiteral("-") : QString()) + n.text;
        return v;
    }
    if (t.punct('(')) {
        v = parseValue();
        Token close = take();
        if (!close.punct(')'))
            unexpected(close, QStringLiteral(")"));
        return v;
    }
    if (t.word("NULL"))
        return v;
    auto typeName = [this]() {
        Token type = take();
        if (type.kind != Token::Kind::Word && type.kind != Token::Kind::Quoted)
            unexpected(type, QStringLiteral("نام نوع"));
        if (peek().punct('(')) {
            take();
            for (Token a = take(); !a.punct(')'); a = take())
                if (a.kind == Token::Kind::End || a.kind == Token::Kind::Go)
                    unexpected(a, QStringLiteral(")"));
        }
        return type.text.toLower();
    };
    if (t.word("CAST")) {
        Token open = take();
        if (!open.punct('('))
            unexpected(open, QStringLiteral("("));
        v = parseValue();
        Token as = take();
        if (!as.word("AS"))
            unexpected(as, QStringLiteral("AS"));
        v.castType = typeName();
        Token close = take();
        if (!close.punct(')'))
            unexpected(close, QStringLiteral(")"));
        return v;
    }
    if (t.word("CONVERT")) {
        Token open = take();
        if (!open.punct('('))
            unexpected(open, QStringLiteral("("));
        const QString type = typeName();
        Token comma = take();
        if (!comma.punct(','))
            unexpected(comma, QStringLiteral(","));
        v = parseValue();
        v.castType = type;
        Token close = take();
        if (close.punct(',')) {
            take(); // the style
            close = take();
        }
        if (!close.punct(')'))
            unexpected(close, QStringLiteral(")"));
        return v;
    }
    unexpected(t, QStringLiteral("یک مقدار"));
}

bool LegacyScriptReader::parseInsertRow(ScriptRow& row)
{
    Token open = take();
    if (!open.punct('('))
        unexpected(open, QStringLiteral("("));
    row.table = m_insertTable;
    row.columns = m_insertColumns;
    row.line = m_insertLine;
    row.values.clear();
    for (;;) {
        row.values.append(parseValue());
        Token sep = take();
        if (sep.punct(')'))
            break;
        if (!sep.punct(','))
            unexpected(sep, QStringLiteral("«,» یا «)»"));
    }
    if (!row.columns.isEmpty() && row.columns.size() != row.values.size())
        throw ScriptError(QStringLiteral("خطا در خط %1 فایل اسکریپت: دستور INSERT جدول %2 برای %3 ستون %4 مقدار دارد.")
                              .arg(row.line)
                              .arg(row.table)
                              .arg(row.columns.size())
                              .arg(row.values.size()),
                          row.line, false);
    m_moreValues = peek().punct(',');
    if (m_moreValues)
        take();
    else if (peek().punct(';'))
        take();
    return true;
}

void LegacyScriptReader::parseCreateTable()
{
    const QString table = parseName().toLower();
    QHash<QString, QString>& types = m_declared[table];
    if (!m_declaredOrder.contains(table))
        m_declaredOrder << table;
    Token open = take();
    if (!open.punct('(')) {
        skipStatement();
        return;
    }
    for (;;) {
        Token first = take();
        if (first.punct(')'))
            break;
        if (first.kind == Token::Kind::End || first.kind == Token::Kind::Go)
            unexpected(first, QStringLiteral(")"));
        static const QStringList constraints = {"CONSTRAINT", "PRIMARY", "UNIQUE", "FOREIGN", "CHECK", "INDEX"};
        const bool isColumn = (first.kind == Token::Kind::Quoted || first.kind == Token::Kind::Word)
                              && !(first.kind == Token::Kind::Word && constraints.contains(first.text.toUpper()));
        if (isColumn && (peek().kind == Token::Kind::Word || peek().kind == Token::Kind::Quoted)) {
            QString type = take().text.toLower();
            if (peek().punct('(')) {
                take();
                QStringList args;
                for (Token a = take(); !a.punct(')'); a = take()) {
                    if (a.kind == Token::Kind::End || a.kind == Token::Kind::Go)
                        unexpected(a, QStringLiteral(")"));
                    if (!a.punct(','))
                        args << a.text.toLower();
                }
                type += u'(' + args.join(QStringLiteral(", ")) + u')';
            }
            types.insert(first.text.toLower(), type);
        }
        // The rest of the element: up to its comma or the closing parenthesis.
        int depth = 0;
        for (;;) {
            const Token& n = peek();
            if (n.kind == Token::Kind::End || n.kind == Token::Kind::Go)
                unexpected(n, QStringLiteral(")"));
            if (depth == 0 && (n.punct(',') || n.punct(')')))
                break;
            if (n.punct('('))
                ++depth;
            else if (n.punct(')'))
                --depth;
            take();
        }
        if (take().punct(')'))
            break;
    }
    skipStatement();
}

void LegacyScriptReader::skipStatement()
{
    int depth = 0;
    for (;;) {
        const Token& t = peek();
        if (t.kind == Token::Kind::End || t.kind == Token::Kind::Go)
            return;
        if (depth == 0 && t.kind == Token::Kind::Word && isStatementStart(t.text))
            return;
        if (t.punct('('))
            ++depth;
        else if (t.punct(')') && depth > 0)
            --depth;
        take();
    }
}

bool LegacyScriptReader::next(ScriptRow& row)
{
    if (m_moreValues)
        return parseInsertRow(row);
    for (;;) {
        Token t = take();
        switch (t.kind) {
        case Token::Kind::End:
            if (!m_identityOn.isEmpty())
                throw ScriptError(
                    QStringLiteral("خطا! در اسکریپت IDENTITY_INSERT جدول %1 (خط %2) روشن شده و خاموش نشده است؛ "
                                   "اسکریپت کامل نیست.")
                        .arg(m_identityOn)
                        .arg(m_identityLine),
                    m_line, true);
            if (!m_afterGo)
                throw ScriptError(QStringLiteral("خطا! آخرین دستور اسکریپت با خط GO بسته نشده است؛ اسکریپت کامل نیست."),
                                  m_line, true);
            return false;
        case Token::Kind::Go:
            m_afterGo = true;
            continue;
        default:
            break;
        }
        m_afterGo = false;
        if (t.punct(';'))
            continue;
        if (t.word("INSERT")) {
            if (peek().word("INTO"))
                take();
            m_insertLine = t.line;
            m_insertTable = parseName();
            m_insertColumns.clear();
            if (peek().punct('(')) {
                take();
                for (;;) {
                    Token c = take();
                    if (c.kind != Token::Kind::Quoted && c.kind != Token::Kind::Word)
                        unexpected(c, QStringLiteral("نام ستون"));
                    m_insertColumns << c.text;
                    Token sep = take();
                    if (sep.punct(')'))
                        break;
                    if (!sep.punct(','))
                        unexpected(sep, QStringLiteral("«,» یا «)»"));
                }
            }
            Token values = take();
            if (!values.word("VALUES"))
                unexpected(values, QStringLiteral("VALUES"));
            return parseInsertRow(row);
        }
        if (t.word("SET") && peek().word("IDENTITY_INSERT")) {
            take();
            const QString table = parseName();
            Token state = take();
            if (state.word("ON")) {
                m_identityOn = table;
                m_identityLine = t.line;
            } else if (state.word("OFF")) {
                if (m_identityOn.compare(table, Qt::CaseInsensitive) == 0)
                    m_identityOn.clear();
            } else {
                unexpected(state, QStringLiteral("ON یا OFF"));
            }
            continue;
        }
        if (t.word("CREATE") && peek().word("TABLE")) {
            take();
            parseCreateTable();
            continue;
        }
        skipStatement();
    }
}

} // namespace tarvest

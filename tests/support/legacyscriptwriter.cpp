#include "legacyscriptwriter.h"

#include "common/errors.h"
#include "common/password.h"

#include <QDateTime>
#include <QLocale>
#include <QSqlQuery>

namespace tarvest::test {

namespace {

QString sqlServerType(const Column& c)
{
    switch (c.type) {
    case ColType::Int:
        return QStringLiteral("[int]");
    case ColType::BigInt:
        return QStringLiteral("[bigint]");
    case ColType::Bit:
        return QStringLiteral("[bit]");
    case ColType::Money:
        return QStringLiteral("[money]");
    case ColType::Float:
        return QStringLiteral("[float]");
    case ColType::NVarChar:
        return QStringLiteral("[nvarchar](%1)").arg(c.width);
    case ColType::Text:
        return QStringLiteral("[nvarchar](max)");
    case ColType::Blob:
        return QStringLiteral("[image]");
    case ColType::DateTime:
        return QStringLiteral("[datetime]");
    }
    return {};
}

bool encodable1256(const QString& text)
{
    QStringEncoder enc("windows-1256");
    const QByteArray bytes = enc.encode(text);
    QStringDecoder dec("windows-1256");
    return !enc.hasError() && QString(dec.decode(bytes)) == text;
}

} // namespace

LegacyScriptWriter::LegacyScriptWriter(const QString& path, const LegacyScriptShape& shape)
    : m_file(path), m_shape(shape)
{
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw Error(QStringLiteral("cannot write %1: %2").arg(path, m_file.errorString()));
    const QStringConverter::Flags bom = shape.byteOrderMark ? QStringConverter::Flag::WriteBom
                                                            : QStringConverter::Flag::Default;
    switch (shape.encoding) {
    case LegacyScriptShape::Encoding::Utf16:
        m_encoder = std::make_unique<QStringEncoder>(QStringConverter::Utf16LE, bom);
        break;
    case LegacyScriptShape::Encoding::Utf8:
        m_encoder = std::make_unique<QStringEncoder>(QStringConverter::Utf8, bom);
        break;
    case LegacyScriptShape::Encoding::Windows1256:
        m_encoder = std::make_unique<QStringEncoder>("windows-1256");
        break;
    }
    write(QStringLiteral("USE [Tarvest]\r\nGO\r\n"));
}

LegacyScriptWriter::~LegacyScriptWriter() = default;

void LegacyScriptWriter::write(const QString& text)
{
    if (m_shape.encoding == LegacyScriptShape::Encoding::Windows1256 && !encodable1256(text))
        throw Error(QStringLiteral("not in windows-1256: %1").arg(text.left(80)));
    const QByteArray bytes = m_encoder->encode(text);
    if (m_file.write(bytes) != bytes.size())
        throw Error(QStringLiteral("cannot write %1").arg(m_file.fileName()));
}

void LegacyScriptWriter::raw(const QString& text)
{
    write(text);
}

void LegacyScriptWriter::schema(const Table& table)
{
    QString s = QStringLiteral("/****** Object:  Table [dbo].[%1]    Script Date: 12/11/2026 3:04:05 PM ******/\r\n"
                               "SET ANSI_NULLS ON\r\nGO\r\nSET QUOTED_IDENTIFIER ON\r\nGO\r\n"
                               "CREATE TABLE [dbo].[%1](\r\n")
                    .arg(table.name);
    QStringList lines;
    for (const Column& c : table.columns)
        lines << QStringLiteral("\t[%1] %2%3 %4")
                     .arg(c.name, sqlServerType(c), c.identity ? QStringLiteral(" IDENTITY(1,1)") : QString(),
                          c.identity ? QStringLiteral("NOT NULL") : QStringLiteral("NULL"));
    if (!table.key().isEmpty())
        lines << QStringLiteral(" CONSTRAINT [PK_%1] PRIMARY KEY CLUSTERED \r\n(\r\n\t[%2] ASC\r\n)WITH (PAD_INDEX = "
                                "OFF, STATISTICS_NORECOMPUTE = OFF, IGNORE_DUP_KEY = OFF, ALLOW_ROW_LOCKS = ON, "
                                "ALLOW_PAGE_LOCKS = ON) ON [PRIMARY]")
                     .arg(table.name, table.key());
    s += lines.join(QStringLiteral(",\r\n")) + QStringLiteral("\r\n) ON [PRIMARY] TEXTIMAGE_ON [PRIMARY]\r\nGO\r\n");
    for (const Column& c : table.columns)
        if (c.serverTime)
            s += QStringLiteral("ALTER TABLE [dbo].[%1] ADD  DEFAULT (getdate()) FOR [%2]\r\nGO\r\n")
                     .arg(table.name, c.name);
    write(s);
}

void LegacyScriptWriter::beginRows(const QString& table, const QStringList& columns, bool identity)
{
    m_table = table;
    m_identity = identity;
    QStringList quoted;
    for (const QString& c : columns)
        quoted << u'[' + c + u']';
    m_head = QStringLiteral("INSERT %1[dbo].[%2] (%3) VALUES (")
                 .arg(m_shape.insertInto ? QStringLiteral("INTO ") : QString(), table,
                      quoted.join(QStringLiteral(", ")));
    if (identity)
        write(QStringLiteral("SET IDENTITY_INSERT [dbo].[%1] ON \r\nGO\r\n").arg(table));
}

void LegacyScriptWriter::row(const QStringList& literals)
{
    write(m_head + literals.join(QStringLiteral(", ")) + QStringLiteral(")\r\n")
          + (m_shape.goAfterEachRow ? QStringLiteral("GO\r\n") : QString()));
}

void LegacyScriptWriter::endRows()
{
    if (!m_shape.goAfterEachRow)
        write(QStringLiteral("GO\r\n"));
    if (m_identity)
        write(QStringLiteral("SET IDENTITY_INSERT [dbo].[%1] OFF\r\nGO\r\n").arg(m_table));
}

void LegacyScriptWriter::finish()
{
    m_file.close();
}

QString LegacyScriptWriter::textLiteral(const QString& text)
{
    QString t = text;
    t.replace(u'\'', QStringLiteral("''"));
    return QStringLiteral("N'") + t + u'\'';
}

QString LegacyScriptWriter::literal(const Column& c, const QVariant& v)
{
    if (v.isNull())
        return QStringLiteral("NULL");
    switch (c.type) {
    case ColType::Int:
    case ColType::BigInt:
        return QString::number(v.toLongLong());
    case ColType::Bit:
        return v.toLongLong() != 0 ? QStringLiteral("1") : QStringLiteral("0");
    case ColType::Money:
        return QStringLiteral("CAST(%1.0000 AS Money)").arg(v.toLongLong());
    case ColType::Float:
        return QString::number(v.toDouble(), 'g', QLocale::FloatingPointShortest);
    case ColType::NVarChar:
    case ColType::Text:
        return textLiteral(v.toString());
    case ColType::Blob:
        return QStringLiteral("0x") + QString::fromLatin1(v.toByteArray().toHex().toUpper());
    case ColType::DateTime: {
        QDateTime dt = v.typeId() == QMetaType::QDateTime
                           ? v.toDateTime()
                           : QDateTime::fromString(v.toString(), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        return QStringLiteral("CAST(N'%1' AS DateTime)").arg(dt.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz")));
    }
    }
    return {};
}

QByteArray legacyMessageBytes(const QString& text, int variant)
{
    switch (variant % 4) {
    case 0:
        return QStringEncoder(QStringConverter::Utf16LE).encode(text);
    case 1:
        return QByteArray("\xFF\xFE", 2) + QStringEncoder(QStringConverter::Utf16LE).encode(text);
    case 2:
        return text.toUtf8();
    default:
        if (encodable1256(text))
            return QStringEncoder("windows-1256").encode(text);
        return QStringEncoder(QStringConverter::Utf16LE).encode(text);
    }
}

void writeLegacyScript(Database& source, const QString& path, const LegacyScriptShape& shape)
{
    LegacyScriptWriter w(path, shape);
    if (shape.withSchema)
        for (const Table& t : schemaTables())
            w.schema(t);
    for (const Table& t : schemaTables()) {
        QStringList names;
        for (const Column& c : t.columns)
            names << c.name;
        const QString key = t.key();
        QSqlQuery q = source.exec(
            QStringLiteral("SELECT %1 FROM %2%3")
                .arg(names.join(u','), t.name, key.isEmpty() ? QString() : QStringLiteral(" ORDER BY ") + key));
        bool begun = false;
        int messages = 0;
        while (q.next()) {
            if (!begun) {
                w.beginRows(t.name, names, !key.isEmpty());
                begun = true;
            }
            QStringList literals;
            QString us, title;
            for (int i = 0; i < names.size(); ++i) {
                if (names[i] == QLatin1String("us"))
                    us = q.value(i).toString();
                if (t.name == QLatin1String("zamaem") && names[i] == QLatin1String("cmt"))
                    title = q.value(i).toString();
            }
            for (int i = 0; i < names.size(); ++i) {
                const Column& c = t.columns[i];
                QVariant v = q.value(i);
                if (t.name == QLatin1String("users") && c.name == QLatin1String("ps") && isPasswordHash(v.toString()))
                    v = shape.userPasswords.value(us, shape.defaultPassword);
                if (t.name == QLatin1String("zamaem") && c.name == QLatin1String("ramz")
                    && isPasswordHash(v.toString()))
                    v = shape.attachmentPasswords.value(title);
                if (t.name == QLatin1String("payamha") && c.name == QLatin1String("cmt") && !v.isNull())
                    v = legacyMessageBytes(QString::fromUtf8(v.toByteArray()), messages++);
                literals << LegacyScriptWriter::literal(c, v);
            }
            w.row(literals);
        }
        if (begun)
            w.endRows();
    }
    w.finish();
}

} // namespace tarvest::test

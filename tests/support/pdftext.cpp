#include "pdftext.h"

#include <QProcess>
#include <QRegularExpression>
#include <QStringList>

namespace tarvest::test {

QString pdfToText(const QString& path, bool layout, int page)
{
    QStringList args;
    if (layout)
        args << QStringLiteral("-layout");
    args << QStringLiteral("-enc") << QStringLiteral("UTF-8");
    if (page > 0)
        args << QStringLiteral("-f") << QString::number(page) << QStringLiteral("-l") << QString::number(page);
    args << path << QStringLiteral("-");
    QProcess p;
    p.start(QStringLiteral("pdftotext"), args);
    p.waitForFinished(-1);
    return QString::fromUtf8(p.readAllStandardOutput());
}

QString normalisePrintedText(QString s)
{
    s = s.normalized(QString::NormalizationForm_KC);
    static const QRegularExpression marks(QStringLiteral("[\u200e\u200f\u202a-\u202e\u2066-\u2069]"));
    s.remove(marks);
    s.replace(QChar(0x06CC), QChar(0x064A)); // Farsi yeh → Arabic yeh
    s.replace(QChar(0x0649), QChar(0x064A)); // alef maksura → Arabic yeh
    s.replace(QChar(0x06A9), QChar(0x0643)); // keheh → kaf
    return s;
}

QString foldPrintedText(const QString& text)
{
    static const QRegularExpression blanks(QStringLiteral("[\\s\u200c]"));
    return normalisePrintedText(text).remove(blanks);
}

} // namespace tarvest::test

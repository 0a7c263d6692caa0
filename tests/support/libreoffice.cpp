#include "libreoffice.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

namespace tarvest::testing {

namespace {

QString soffice()
{
    return QStandardPaths::findExecutable(QStringLiteral("soffice"));
}

// One profile for the whole run: LibreOffice creates it on the first start (the slow one).
const QTemporaryDir& profile()
{
    static const QTemporaryDir dir;
    return dir;
}

} // namespace

bool haveLibreOffice()
{
    return !soffice().isEmpty();
}

bool convertWithLibreOffice(const QStringList& files, const QString& format, const QString& outDir)
{
    QProcess p;
    p.setStandardInputFile(QProcess::nullDevice());
    const QStringList args = QStringList{QStringLiteral("-env:UserInstallation=")
                                             + QUrl::fromLocalFile(profile().path()).toString(),
                                         QStringLiteral("--headless"),
                                         QStringLiteral("--norestore"),
                                         QStringLiteral("--convert-to"),
                                         format,
                                         QStringLiteral("--outdir"),
                                         outDir}
                             + files;
    p.start(soffice(), args);
    if (!p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished();
        ADD_FAILURE() << "LibreOffice did not finish";
        return false;
    }
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        ADD_FAILURE() << "LibreOffice failed: " << p.readAllStandardError().constData();
        return false;
    }
    for (const QString& f : files) {
        const QString out = QDir(outDir).filePath(QFileInfo(f).completeBaseName() + QLatin1Char('.') + format);
        if (!QFileInfo::exists(out)) {
            ADD_FAILURE() << "LibreOffice wrote no " << out.toStdString() << ": "
                          << p.readAllStandardOutput().constData();
            return false;
        }
    }
    return true;
}

} // namespace tarvest::testing

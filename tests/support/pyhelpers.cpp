#include "pyhelpers.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

namespace tarvest::testing {

PythonResult runPython(const QString& script, const QStringList& args)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PYTHONIOENCODING"), QStringLiteral("utf-8"));
    env.insert(QStringLiteral("PYTHONUTF8"), QStringLiteral("1"));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral("/usr/bin/python3"), QStringList{QStringLiteral("-c"), script} + args);
    PythonResult r;
    if (!p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished();
        r.err = "python did not finish: " + p.errorString().toUtf8();
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

QJsonValue runPythonJson(const QString& script, const QStringList& args)
{
    const PythonResult r = runPython(script, args);
    if (r.exitCode != 0) {
        ADD_FAILURE() << "python failed (" << r.exitCode << "): " << r.err.constData();
        return QJsonValue(QJsonValue::Undefined);
    }
    QJsonParseError perr;
    const QJsonDocument doc = QJsonDocument::fromJson(r.out, &perr);
    if (perr.error != QJsonParseError::NoError) {
        ADD_FAILURE() << "python printed no JSON: " << perr.errorString().toStdString() << "\n" << r.out.constData();
        return QJsonValue(QJsonValue::Undefined);
    }
    return doc.isArray() ? QJsonValue(doc.array()) : QJsonValue(doc.object());
}

} // namespace tarvest::testing

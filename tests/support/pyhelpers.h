#pragma once
// Runs short Python programs with the system interpreter, which has openpyxl and xlwt:
// an independent reader and writer of spreadsheet files for the tests.
#include <QByteArray>
#include <QJsonValue>
#include <QString>
#include <QStringList>

namespace tarvest::testing {

struct PythonResult {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// Runs `script` with `args` as sys.argv[1:]; UTF-8 in and out.
PythonResult runPython(const QString& script, const QStringList& args = {});

// Runs `script`, which must exit 0 and print one JSON document; adds a test failure and
// returns an undefined value otherwise.
QJsonValue runPythonJson(const QString& script, const QStringList& args = {});

} // namespace tarvest::testing

#pragma once
// LibreOffice Calc, run headless, as the independent spreadsheet program that reads the
// exports back the way an office opens them.
#include <QString>
#include <QStringList>

namespace tarvest::testing {

// Whether `soffice` is installed.
bool haveLibreOffice();

// Opens each file in LibreOffice and saves it again as `format` ("xlsx") into `outDir`
// (same base name, the new extension); formulas are computed on the way. Uses a profile
// of its own for the whole test run, so a LibreOffice the user runs is never disturbed.
// Adds a test failure and returns false when the conversion fails.
bool convertWithLibreOffice(const QStringList& files, const QString& format, const QString& outDir);

} // namespace tarvest::testing

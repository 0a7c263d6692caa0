#pragma once
// The "export to spreadsheet" command of the list screens: the clerk says where the
// workbook goes, it is written there, and it opens in the desktop's spreadsheet program.
#include <QHash>
#include <QString>

#include <functional>
#include <optional>

namespace tarvest {

class ResultSet;

// Where the save dialog of an export starts: the folder of the last export saved in this
// run, else the user's documents folder.
QString exportStartFolder();

// Asks where to save an export: the save dialog starts in exportStartFolder() with
// `proposedName` filled in. Returns the chosen path (and remembers its folder for the next
// export), or an empty text when the clerk cancels.
QString askExportPath(const QString& proposedName, const QString& filter);

// The desktop's program for files of a MIME type, as `xdg-mime query default` answers:
// the program's desktop entry, an empty text when none is set, nullopt when the desktop
// cannot be asked. Tests install their own answer (an empty function returns to xdg-mime).
using DefaultProgramQuery = std::function<std::optional<QString>(const QString& mimeType)>;
void setDefaultProgramQuery(DefaultProgramQuery query);
std::optional<QString> defaultProgramFor(const QString& mimeType);

// The message of a written file that nothing on the desktop opens; it names the file.
QString noProgramMessage(const QString& path);

// Opens a written export with the desktop's program for its type. Where the desktop has
// none, or its opener cannot be started, says so with the file's path.
void openExport(const QString& path);

// Asks where to save the result set (proposing `baseName` + ".xlsx"), writes every row in
// its current order to that .xlsx file and opens it. Failures are shown to the user;
// returns the file written, or an empty text when nothing was written (cancelled or failed).
QString exportAndOpen(const ResultSet& rs, const QString& baseName, const QHash<QString, QString>& titles = {});

} // namespace tarvest

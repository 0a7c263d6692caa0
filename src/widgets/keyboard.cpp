#include "widgets/keyboard.h"

#include <QProcess>

namespace tarvest {

bool activatePersianKeyboard()
{
    const QString command = qEnvironmentVariable("TARVEST_PERSIAN_KEYBOARD").trimmed();
    if (command.isEmpty())
        return false;
    QStringList words = QProcess::splitCommand(command);
    if (words.isEmpty())
        return false;
    const QString program = words.takeFirst();
    return QProcess::startDetached(program, words);
}

} // namespace tarvest

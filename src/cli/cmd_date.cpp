// Placeholder until the calendar lands.
#include "cli/commands.h"
int runDateCommand(const QStringList&, QTextStream&, QTextStream& err)
{
    err << "not available\n";
    return 2;
}

// Placeholder entry point of tarvest-admin: dispatches the commands written so far.
// The full command set replaces this file.
#include "cli/commands.h"

#include <QCoreApplication>
#include <QTextStream>
#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    QStringList args = app.arguments().mid(1);
    const QString command = args.isEmpty() ? QString() : args.takeFirst();
    if (command == QLatin1String("date"))
        return tarvest::runDateCommand(args, out, err);
    err << "usage: tarvest-admin date [YYYY-MM-DD]\n";
    return 2;
}

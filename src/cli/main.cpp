// tarvest-admin: the command-line companion of Tarvest, for installers and scripts.
#include "cli/commands.h"
#include "common/spreadsheet.h"

#include <QCoreApplication>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("vartalis"));
    QCoreApplication::setApplicationName(QStringLiteral("Tarvest"));
    QTextStream out(stdout), err(stderr);
    QStringList args = app.arguments().mid(1);
    const QString command = args.isEmpty() ? QString() : args.takeFirst();
    if (command == QLatin1String("provision"))
        return tarvest::runProvisionCommand(args, out, err);
    if (command == QLatin1String("sample"))
        return tarvest::runSampleCommand(args, out, err);
    if (command == QLatin1String("import-gazetteer"))
        return tarvest::runImportGazetteerCommand(args, out, err);
    if (command == QLatin1String("backup"))
        return tarvest::runBackupCommand(args, out, err);
    if (command == QLatin1String("restore"))
        return tarvest::runRestoreCommand(args, out, err);
    if (command == QLatin1String("import-lands"))
        return tarvest::runImportLandsCommand(args, out, err);
    // Internal: the parsing of a legacy .xls file for the program, in a process of its own.
    if (command == QLatin1String("read-xls"))
        return tarvest::runXlsReaderChild(args);
    if (command == QLatin1String("date"))
        return tarvest::runDateCommand(args, out, err);
    if (command == QLatin1String("init-server"))
        return tarvest::runInitServerCommand(args, out, err);
    if (command == QLatin1String("migrate"))
        return tarvest::runMigrateCommand(args, out, err);
    if (command == QLatin1String("sheet"))
        return tarvest::runSheetCommand(args, out, err);
    err << "usage: tarvest-admin provision --sqlite FILE | --pg CONNINFO [--password-file FILE]\n"
           "       tarvest-admin sample --sqlite FILE | --pg CONNINFO [--password-file FILE] | --embedded\n"
           "       tarvest-admin import-gazetteer FILE --sqlite DB | --pg CONNINFO [--password-file FILE]\n"
           "       tarvest-admin backup FOLDER --sqlite DB | --pg CONNINFO [--password-file FILE]\n"
           "       tarvest-admin restore FILE --sqlite DB | --pg CONNINFO [--password-file FILE]\n"
           "       tarvest-admin import-lands FILE --sqlite DB | --pg CONNINFO [--password-file FILE]\n"
           "       tarvest-admin date [YYYY-MM-DD]\n"
           "       tarvest-admin init-server --pg CONNINFO [--password-file FILE]\n"
           "       tarvest-admin migrate SCRIPT --sqlite DB | --pg CONNINFO [--password-file FILE] [--check]\n"
           "       tarvest-admin sheet FILE [--sheet NAME]\n";
    return 2;
}

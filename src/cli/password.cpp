#include "cli/password.h"

#include "common/errors.h"

#include <QFile>
#include <QFileInfo>

namespace tarvest {

QString takePasswordFileOption(QStringList& args)
{
    const qsizetype at = args.indexOf(QStringLiteral("--password-file"));
    if (at < 0 || at + 1 >= args.size())
        return {};
    const QString path = args.at(at + 1);
    args.remove(at, 2);
    return path;
}

void supplyPassword(PgParams& params, const QString& passwordFile)
{
    if (!params.password.isEmpty())
        return;
    if (!passwordFile.isEmpty()) {
        QFile file(passwordFile);
        if (!file.open(QIODevice::ReadOnly))
            throw Error(QStringLiteral("فايل رمز باز نشد: %1 (%2)").arg(passwordFile, file.errorString()));
        const QFileDevice::Permissions others = QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup
                                                | QFileDevice::ReadOther | QFileDevice::WriteOther
                                                | QFileDevice::ExeOther;
        if (QFileInfo(passwordFile).permissions() & others)
            throw Error(QStringLiteral("فايل رمز %1 را ديگران هم مي توانند بخوانند؛ دسترسي آن را فقط به مالک بدهيد "
                                       "(chmod 600) / the password file is readable by others")
                            .arg(passwordFile));
        QByteArray line = file.readLine();
        while (line.endsWith('\n') || line.endsWith('\r'))
            line.chop(1);
        if (line.isEmpty())
            throw Error(QStringLiteral("فايل رمز خالي است: %1").arg(passwordFile));
        params.password = QString::fromUtf8(line);
        return;
    }
    // Empty otherwise: libpq then reads PGPASSWORD, PGPASSFILE or ~/.pgpass itself.
    params.password = qEnvironmentVariable("TARVEST_PG_PASSWORD");
}

std::unique_ptr<Database> openServerDatabase(const QString& conninfo, const QString& passwordFile, QTextStream& err)
{
    PgParams params = PgParams::parse(conninfo);
    if (!params.password.isEmpty())
        err << QStringLiteral("هشدار: رمزي که در خط فرمان نوشته شود را ديگر کاربران اين رايانه مي بينند؛ "
                              "--password-file يا TARVEST_PG_PASSWORD را به کار ببريد / warning: a password "
                              "on the command line is visible to other users\n");
    supplyPassword(params, passwordFile);
    return Database::openPostgres(params);
}

} // namespace tarvest

#include "admin/core/backup.h"

#include "common/errors.h"
#include "common/safefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <sqlite3.h>

namespace tarvest {

namespace {

// So many backups of one day in one folder before we stop looking for a free name.
constexpr int kMaxSameDay = 9999;

// An open SQLite connection of our own, closed on every way out.
class SqliteFile {
public:
    SqliteFile(const QString& path, int flags)
    {
        const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &m_h, flags, nullptr);
        if (rc != SQLITE_OK) {
            const QString why = reason(rc);
            sqlite3_close_v2(m_h);
            throw Error(QStringLiteral("فايل بانک %1 باز نشد: %2").arg(shownPath(path), why));
        }
        sqlite3_busy_timeout(m_h, 10000);
    }
    ~SqliteFile() { sqlite3_close_v2(m_h); }
    SqliteFile(const SqliteFile&) = delete;
    SqliteFile& operator=(const SqliteFile&) = delete;
    sqlite3* handle() const { return m_h; }
    QString reason(int rc) const
    {
        return m_h ? QString::fromUtf8(sqlite3_errmsg(m_h)) : QString::fromUtf8(sqlite3_errstr(rc));
    }
    // Runs a statement that returns no rows.
    void exec(const char* sql) const
    {
        char* message = nullptr;
        const int rc = sqlite3_exec(m_h, sql, nullptr, nullptr, &message);
        const QString why = message ? QString::fromUtf8(message) : reason(rc);
        sqlite3_free(message);
        if (rc != SQLITE_OK)
            throw Error(why);
    }
    // The first column of the first row of a statement, as text.
    QString scalar(const char* sql) const
    {
        sqlite3_stmt* st = nullptr;
        int rc = sqlite3_prepare_v2(m_h, sql, -1, &st, nullptr);
        QString out;
        if (rc == SQLITE_OK) {
            rc = sqlite3_step(st);
            if (rc == SQLITE_ROW)
                out = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
        }
        sqlite3_finalize(st);
        if (rc != SQLITE_ROW && rc != SQLITE_DONE && rc != SQLITE_OK)
            throw Error(reason(rc));
        return out;
    }

private:
    sqlite3* m_h = nullptr;
};

// Pages copied in one step of the online backup (4 MB of 4 KB pages): small enough for
// the progress to move, large enough that the steps cost nothing.
constexpr int kPagesPerStep = 1024;

// Copies the whole database `from` into the file `to` (an empty file or a new one) in
// steps: the source is read in one read transaction held from the first step to the last,
// so the copy is consistent however others write; then the copy is checked. `progress`
// hears the pages done and the pages in all after each step.
void copySqlite(const QString& from, const QString& to, const BackupProgress& progress = {})
{
    const SqliteFile source(from, SQLITE_OPEN_READONLY);
    const SqliteFile target(to, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    // The read transaction: begun here, its snapshot taken by the first read (which waits
    // for a writer holding the file through the busy timeout).
    source.exec("BEGIN");
    source.scalar("SELECT count(*) FROM sqlite_master");
    sqlite3_backup* b = sqlite3_backup_init(target.handle(), "main", source.handle(), "main");
    if (!b)
        throw Error(QStringLiteral("پشتيبان گيري SQLite آغاز نشد: %1").arg(target.reason(SQLITE_ERROR)));
    int rc = SQLITE_OK;
    // A busy or locked step is tried again, at most about a minute in all.
    for (int waited = 0; waited < 1200;) {
        rc = sqlite3_backup_step(b, kPagesPerStep);
        if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED) {
            ++waited;
            sqlite3_sleep(50);
            continue;
        }
        if (rc != SQLITE_OK)
            break;
        if (progress) {
            const int total = sqlite3_backup_pagecount(b);
            progress(total - sqlite3_backup_remaining(b), total);
        }
    }
    if (rc == SQLITE_DONE && progress) {
        const int total = sqlite3_backup_pagecount(b);
        progress(total, total);
    }
    sqlite3_backup_finish(b);
    source.exec("COMMIT");
    if (rc != SQLITE_DONE)
        throw Error(QStringLiteral("بانک SQLite كپي نشد: %1").arg(QString::fromUtf8(sqlite3_errstr(rc))));
    const QString check = target.scalar("PRAGMA quick_check");
    if (check != QLatin1String("ok"))
        throw Error(QStringLiteral("كپي بانک سالم نيست: %1").arg(check));
}

QString checkedFolder(const QString& folder)
{
    if (folder.trimmed().isEmpty())
        throw Error(QStringLiteral("پوشه‌اي براي فايل پشتيبان انتخاب نشده است"));
    const QFileInfo info(folder);
    if (!info.exists())
        throw Error(QStringLiteral("پوشه %1 وجود ندارد").arg(shownPath(folder)));
    if (!info.isDir())
        throw Error(QStringLiteral("%1 پوشه نيست").arg(shownPath(folder)));
    return info.absoluteFilePath();
}

// Puts a written backup in place under the first free name of the day.
QString placeBackup(SafeFile& file, const QString& folder, const QString& base)
{
    for (int n = 1; n <= kMaxSameDay; ++n) {
        const QString name = n == 1 ? base : base + QStringLiteral("_%1").arg(n);
        const QString path = QDir(folder).filePath(name);
        if (file.commitAsNew(path))
            return path;
    }
    file.fail(QStringLiteral("نام آزادي براي فايل پشتيبان امروز نماند"));
}

QString conninfoValue(QString v)
{
    v.replace(QLatin1Char('\\'), QStringLiteral("\\\\")).replace(QLatin1Char('\''), QStringLiteral("\\'"));
    return QLatin1Char('\'') + v + QLatin1Char('\'');
}

// The connection string a client program gets; the password goes through the environment,
// never on the command line, where every account could read it.
QString toolConninfo(const PgParams& p)
{
    QStringList parts;
    if (!p.host.isEmpty())
        parts << QStringLiteral("host=") + conninfoValue(p.host);
    parts << QStringLiteral("port=%1").arg(p.port);
    if (!p.database.isEmpty())
        parts << QStringLiteral("dbname=") + conninfoValue(p.database);
    if (!p.user.isEmpty())
        parts << QStringLiteral("user=") + conninfoValue(p.user);
    for (const QString& option : p.options.split(QLatin1Char(';'), Qt::SkipEmptyParts))
        parts << option;
    return parts.join(QLatin1Char(' '));
}

// Runs a PostgreSQL client program to its end; throws with what it said on failure.
void runTool(const QString& name, const QStringList& args, const PgParams& p)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (!p.password.isEmpty())
        env.insert(QStringLiteral("PGPASSWORD"), p.password);
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.start(postgresTool(name), args);
    if (!process.waitForStarted(30000))
        throw Error(QStringLiteral("برنامه %1 اجرا نشد: %2").arg(name, process.errorString()));
    process.waitForFinished(-1);
    const QString said = QString::fromLocal8Bit(process.readAllStandardError()).trimmed();
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        throw Error(QStringLiteral("برنامه %1 كار را تمام نكرد: %2")
                        .arg(name, said.isEmpty() ? QStringLiteral("exit code %1").arg(process.exitCode()) : said));
}

QByteArray firstBytes(const QString& path, int n)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.read(n);
}

} // namespace

QString backupBaseName(const QString& jalaliDate)
{
    return QStringLiteral("pelarin") + jalaliDate.mid(0, 4) + QLatin1Char('_') + jalaliDate.mid(5, 2) + QLatin1Char('_')
           + jalaliDate.mid(8, 2);
}

QString backupFailureMessage(const QString& reason)
{
    const QString message = QStringLiteral("خطا! لطفا از مسير داده شده مطمئن شويد");
    return reason.isEmpty() ? message : message + QLatin1Char('\n') + reason;
}

QString backupDoneMessage()
{
    return QStringLiteral("فايل پشتيبان تهيه شد");
}

QString postgresTool(const QString& name)
{
    const QString folder = qEnvironmentVariable("TARVEST_PG_BIN");
    if (!folder.isEmpty()) {
        const QString path = QDir(folder).filePath(name);
        if (QFileInfo(path).isExecutable())
            return path;
    }
    const QString found = QStandardPaths::findExecutable(name);
    if (found.isEmpty())
        throw Error(
            QStringLiteral("برنامه %1 پيدا نشد؛ ابزارهاي PostgreSQL (بسته postgresql-client) را نصب كنيد").arg(name));
    return found;
}

QString backupSqliteFile(const QString& databasePath, const QString& folder, const QString& jalaliToday,
                         const BackupProgress& progress)
{
    if (!QFileInfo(databasePath).isFile())
        throw Error(QStringLiteral("فايل بانک %1 پيدا نشد").arg(shownPath(databasePath)));
    const QString dir = checkedFolder(folder);
    const QString base = backupBaseName(jalaliToday);
    SafeFile file(QDir(dir).filePath(base));
    try {
        copySqlite(databasePath, file.tempPath(), progress);
    } catch (const Error& e) {
        file.fail(e.message());
    }
    return placeBackup(file, dir, base);
}

QString backupPostgres(const PgParams& params, const QString& folder, const QString& jalaliToday)
{
    const QString dir = checkedFolder(folder);
    const QString base = backupBaseName(jalaliToday);
    SafeFile file(QDir(dir).filePath(base));
    try {
        runTool(QStringLiteral("pg_dump"),
                {QStringLiteral("--format=custom"), QStringLiteral("--no-password"),
                 QStringLiteral("--file=") + file.tempPath(), QStringLiteral("--dbname=") + toolConninfo(params)},
                params);
        if (backupKind(file.tempPath()) != BackupKind::Postgres)
            throw Error(QStringLiteral("pg_dump فايل پشتيبان را كامل ننوشت"));
    } catch (const Error& e) {
        file.fail(e.message());
    }
    return placeBackup(file, dir, base);
}

BackupSource backupSourceOf(const Database& db)
{
    BackupSource source;
    source.kind = db.kind();
    if (source.kind == DbKind::Sqlite)
        source.sqlitePath = db.description();
    else
        source.pg = db.pgParams();
    return source;
}

QString backupFrom(const BackupSource& source, const QString& folder, const QString& jalaliToday,
                   const BackupProgress& progress)
{
    return source.kind == DbKind::Sqlite ? backupSqliteFile(source.sqlitePath, folder, jalaliToday, progress)
                                         : backupPostgres(source.pg, folder, jalaliToday);
}

QString backupDatabase(const Database& db, const QString& folder, const QString& jalaliToday)
{
    return backupFrom(backupSourceOf(db), folder, jalaliToday);
}

BackupKind backupKind(const QString& backupPath)
{
    const QByteArray head = firstBytes(backupPath, 16);
    if (head == QByteArray("SQLite format 3", 16))
        return BackupKind::Sqlite;
    if (head.startsWith("PGDMP"))
        return BackupKind::Postgres;
    return BackupKind::Unknown;
}

void restoreSqliteFile(const QString& backupPath, const QString& databasePath)
{
    if (backupKind(backupPath) != BackupKind::Sqlite)
        throw Error(QStringLiteral("فايل %1 پشتيبان يک بانک SQLite نيست").arg(shownPath(backupPath)));
    const bool exists = QFileInfo::exists(databasePath);
    if (exists) {
        const SqliteFile target(databasePath, SQLITE_OPEN_READONLY);
        if (target.scalar("SELECT count(*) FROM sqlite_master WHERE type = 'table'") != QLatin1String("0"))
            throw Error(QStringLiteral("خطا! بانک %1 خالي نيست؛ پشتيبان فقط در بانک خالي بازگردانده مي شود")
                            .arg(shownPath(databasePath)));
    }
    SafeFile file(databasePath);
    try {
        copySqlite(backupPath, file.tempPath());
    } catch (const Error& e) {
        file.fail(e.message());
    }
    if (exists)
        file.commit();
    else if (!file.commitAsNew(QFileInfo(databasePath).absoluteFilePath()))
        file.fail(QStringLiteral("در اين فاصله فايل ديگري با همين نام ساخته شد"));
}

void restorePostgres(const QString& backupPath, const PgParams& params)
{
    if (backupKind(backupPath) != BackupKind::Postgres)
        throw Error(QStringLiteral("فايل %1 پشتيبان يک بانک PostgreSQL نيست").arg(shownPath(backupPath)));
    {
        const std::unique_ptr<Database> target = Database::openPostgres(params);
        const qint64 tables = target
                                  ->scalar(QStringLiteral("SELECT count(*) FROM pg_catalog.pg_tables WHERE schemaname "
                                                          "NOT IN ('pg_catalog', 'information_schema')"))
                                  .toLongLong();
        if (tables > 0)
            throw Error(QStringLiteral("خطا! بانک %1 خالي نيست؛ پشتيبان فقط در بانک خالي بازگردانده مي شود")
                            .arg(params.database));
    }
    // One transaction: a restore that fails half way leaves the database empty. Owners and
    // rights of the office's server are not carried over; the restoring user owns all.
    runTool(QStringLiteral("pg_restore"),
            {QStringLiteral("--single-transaction"), QStringLiteral("--exit-on-error"), QStringLiteral("--no-owner"),
             QStringLiteral("--no-privileges"), QStringLiteral("--no-password"),
             QStringLiteral("--dbname=") + toolConninfo(params), backupPath},
            params);
}

} // namespace tarvest

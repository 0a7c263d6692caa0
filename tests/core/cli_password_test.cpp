// tarvest-admin takes the PostgreSQL password from a file or the environment, so that it
// need not be typed on the command line. A listener that speaks just enough of the
// server's protocol asks for a clear-text password and records what arrives.
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A loopback socket in the server's place: it turns down encryption, asks for a clear-text
// password, reads it and hangs up, so the command fails after the password was sent.
class PasswordListener {
public:
    PasswordListener()
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        if (m_fd < 0 || ::bind(m_fd, reinterpret_cast<sockaddr*>(&addr), len) != 0 || ::listen(m_fd, 4) != 0
            || ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
            ADD_FAILURE() << "no loopback listener";
        m_port = ntohs(addr.sin_port);
    }
    ~PasswordListener() { ::close(m_fd); }
    PasswordListener(const PasswordListener&) = delete;
    PasswordListener& operator=(const PasswordListener&) = delete;

    int port() const { return m_port; }

    // Serves one connection while the command runs; the password it heard, or nothing
    // when the command ended without connecting.
    std::optional<QString> serve(QProcess& command)
    {
        int client = -1;
        while (client < 0) {
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, 100) > 0)
                client = ::accept(m_fd, nullptr, nullptr);
            else if (command.waitForFinished(0) || command.state() == QProcess::NotRunning)
                return std::nullopt;
        }
        std::optional<QString> heard;
        for (;;) {
            const QByteArray length = readExactly(client, 4);
            if (length.size() < 4)
                break;
            const QByteArray body = readExactly(client, be32(length) - 4);
            const quint32 code = body.size() >= 4 ? quint32(be32(body)) : 0;
            if (code == 80877103 || code == 80877104) { // encryption requests: not offered
                ::write(client, "N", 1);
                continue;
            }
            // The start-up message: ask for the password in clear text.
            const char request[] = {'R', 0, 0, 0, 8, 0, 0, 0, 3};
            ::write(client, request, sizeof request);
            if (readExactly(client, 1) != "p")
                break;
            const QByteArray password = readExactly(client, be32(readExactly(client, 4)) - 4);
            heard = QString::fromUtf8(password.chopped(password.endsWith('\0') ? 1 : 0));
            break;
        }
        ::close(client);
        return heard;
    }

private:
    static int be32(const QByteArray& b)
    {
        if (b.size() < 4)
            return 4;
        return int(quint32(quint8(b[0])) << 24 | quint32(quint8(b[1])) << 16 | quint32(quint8(b[2])) << 8
                   | quint32(quint8(b[3])));
    }
    static QByteArray readExactly(int fd, int n)
    {
        QByteArray out;
        while (out.size() < n) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 10000) <= 0)
                break;
            char buf[512];
            const ssize_t got = ::read(fd, buf, std::min<qsizetype>(sizeof buf, n - out.size()));
            if (got <= 0)
                break;
            out.append(buf, got);
        }
        return out;
    }

    int m_fd = -1;
    int m_port = 0;
};

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& text, QFile::Permissions perms)
{
    QFile f(dir.filePath(name));
    f.open(QIODevice::WriteOnly);
    f.write(text);
    f.close();
    f.setPermissions(perms);
    return f.fileName();
}

TEST(AdminPassword, ComesFromTheFileTheEnvironmentOrLibpqInThatOrder)
{
    QTemporaryDir dir;
    const QFile::Permissions ownerOnly = QFile::ReadOwner | QFile::WriteOwner;
    const QString file = writeFile(dir, "pw", "from-file\n", ownerOnly);
    const QString wide = writeFile(dir, "pw-wide", "from-wide\n", ownerOnly | QFile::ReadGroup | QFile::ReadOther);
    const QString empty = writeFile(dir, "pw-empty", "", ownerOnly);
    const QString pgpass = writeFile(dir, "pgpass", "127.0.0.1:*:*:*:from-pgpass\n", ownerOnly);
    struct Case {
        const char* what;
        QStringList before, after;    // words around "--pg CONNINFO"
        QStringList env;              // NAME=value
        QString conninfoTail;         // added to the connection string
        std::optional<QString> heard; // nothing: refused before connecting
        int exit;
        QString complaint; // part of what the command writes to stderr
    };
    const QString missing = dir.filePath("none");
    const QString warned = QStringLiteral("هشدار");
    const QStringList libpqToo = {"TARVEST_PG_PASSWORD=from-env", "PGPASSWORD=from-libpq"};
    const Case cases[] = {
        {"password file after the server", {}, {"--password-file", file}, libpqToo, {}, QString("from-file"), 1, {}},
        {"password file before the server", {"--password-file", file}, {}, {}, {}, QString("from-file"), 1, {}},
        {"our variable next", {}, {}, libpqToo, {}, QString("from-env"), 1, {}},
        {"libpq's variable", {}, {}, {"PGPASSWORD=from-libpq"}, {}, QString("from-libpq"), 1, {}},
        {"libpq's password file", {}, {}, {"PGPASSFILE=" + pgpass}, {}, QString("from-pgpass"), 1, {}},
        {"typed in CONNINFO", {}, {}, {"TARVEST_PG_PASSWORD=x"}, " password=typed", QString("typed"), 1, warned},
        {"file readable by others", {}, {"--password-file", wide}, {}, {}, std::nullopt, 1, "chmod 600"},
        {"empty file", {}, {"--password-file", empty}, {}, {}, std::nullopt, 1, QStringLiteral("فايل رمز خالي است")},
        {"missing file", {}, {"--password-file", missing}, {}, {}, std::nullopt, 1, QStringLiteral("فايل رمز باز نشد")},
        {"option without a file", {}, {"--password-file"}, {}, {}, std::nullopt, 2, "usage"},
    };
    for (const Case& c : cases) {
        PasswordListener server;
        const QString conninfo = QStringLiteral("host=127.0.0.1 port=%1 dbname=office user=clerk").arg(server.port())
                                 + c.conninfoTail;
        const QStringList args = QStringList{"provision"} + c.before + QStringList{"--pg", conninfo} + c.after;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"PGPASSWORD", "PGPASSFILE", "TARVEST_PG_PASSWORD", "PGSSLMODE", "PGGSSENCMODE"})
            env.remove(name);
        env.insert("HOME", dir.path()); // no ~/.pgpass of the account running the tests
        for (const QString& e : c.env)
            env.insert(e.section('=', 0, 0), e.section('=', 1));
        QProcess command;
        command.setProcessEnvironment(env);
        command.start(TARVEST_ADMIN_EXE, args);
        ASSERT_TRUE(command.waitForStarted()) << c.what;
        const std::optional<QString> heard = server.serve(command);
        ASSERT_TRUE(command.state() == QProcess::NotRunning || command.waitForFinished(60000)) << c.what;
        EXPECT_EQ(heard, c.heard) << c.what;
        EXPECT_EQ(command.exitCode(), c.exit) << c.what;
        const QString err = QString::fromUtf8(command.readAllStandardError());
        EXPECT_TRUE(err.contains(c.complaint)) << c.what << ": " << err.toStdString();
    }
}

} // namespace

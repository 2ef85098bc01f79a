// The session bus is taken as offered only where the environment names it.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstring>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "core/session_bus.h"

namespace vistrel::test {
namespace {

// A listening socket at `path`, closed (its file left behind) when the test ends.
class SocketFile {
public:
    explicit SocketFile(const QString& path) : m_fd(::socket(AF_UNIX, SOCK_STREAM, 0))
    {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const QByteArray name = QFile::encodeName(path);
        std::strncpy(address.sun_path, name.constData(), sizeof(address.sun_path) - 1);
        m_bound = m_fd >= 0 && ::bind(m_fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
    }
    ~SocketFile()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    SocketFile(const SocketFile&) = delete;
    SocketFile& operator=(const SocketFile&) = delete;
    bool bound() const { return m_bound; }

private:
    int m_fd;
    bool m_bound = false;
};

TEST(SessionBus, NamedByAnAddressOrByTheRuntimeFoldersSocketOnly)
{
    QTemporaryDir runtime;
    ASSERT_TRUE(runtime.isValid());
    const QString folder = runtime.path();

    // An address of its own names a bus, whatever the runtime folder holds.
    EXPECT_TRUE(sessionBusNamed(QStringLiteral("unix:path=/run/user/1000/bus"), QString()));
    EXPECT_TRUE(sessionBusNamed(QStringLiteral("unix:abstract=/tmp/dbus-x"), folder));

    // Neither an address nor a runtime folder: no bus.
    EXPECT_FALSE(sessionBusNamed(QString(), QString()));
    // A blank address is none.
    EXPECT_FALSE(sessionBusNamed(QStringLiteral("  "), QString()));
    // A runtime folder without the socket, or with a plain file or a folder of that name: no bus.
    EXPECT_FALSE(sessionBusNamed(QString(), folder));
    EXPECT_FALSE(sessionBusNamed(QString(), folder + QStringLiteral("/missing")));
    ASSERT_TRUE(QDir(folder).mkdir(QStringLiteral("bus")));
    EXPECT_FALSE(sessionBusNamed(QString(), folder));
    ASSERT_TRUE(QDir(folder).rmdir(QStringLiteral("bus")));
    {
        QFile stale(folder + QStringLiteral("/bus"));
        ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    }
    EXPECT_FALSE(sessionBusNamed(QString(), folder));
    ASSERT_TRUE(QFile::remove(folder + QStringLiteral("/bus")));

    // The session's socket in the runtime folder names the bus.
    const SocketFile socket(folder + QStringLiteral("/bus"));
    ASSERT_TRUE(socket.bound());
    EXPECT_TRUE(sessionBusNamed(QString(), folder));
}

TEST(SessionBus, ThisProcessReadsItsEnvironment)
{
    QTemporaryDir runtime;
    ASSERT_TRUE(runtime.isValid());
    const QByteArray savedAddress = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    const bool hadAddress = qEnvironmentVariableIsSet("DBUS_SESSION_BUS_ADDRESS");
    const QByteArray savedRuntime = qgetenv("XDG_RUNTIME_DIR");
    const bool hadRuntime = qEnvironmentVariableIsSet("XDG_RUNTIME_DIR");

    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    const bool withoutBus = sessionBusNamed();
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus");
    const bool withAddress = sessionBusNamed();

    if (hadAddress)
        qputenv("DBUS_SESSION_BUS_ADDRESS", savedAddress);
    else
        qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    if (hadRuntime)
        qputenv("XDG_RUNTIME_DIR", savedRuntime);
    else
        qunsetenv("XDG_RUNTIME_DIR");
    EXPECT_FALSE(withoutBus);
    EXPECT_TRUE(withAddress);
}

} // namespace
} // namespace vistrel::test

#include "core/session_bus.h"

#include <QFile>
#include <QtGlobal>

#include <sys/stat.h>

namespace vistrel {

bool sessionBusNamed(const QString& busAddress, const QString& runtimeFolder)
{
    if (!busAddress.trimmed().isEmpty())
        return true;
    if (runtimeFolder.isEmpty())
        return false;
    // Only a socket counts, as for the bus library: a stale file of that name names no bus.
    struct stat found {};
    const QByteArray socketPath = QFile::encodeName(runtimeFolder + QStringLiteral("/bus"));
    return ::stat(socketPath.constData(), &found) == 0 && S_ISSOCK(found.st_mode);
}

bool sessionBusNamed()
{
    return sessionBusNamed(qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS"), qEnvironmentVariable("XDG_RUNTIME_DIR"));
}

}  // namespace vistrel

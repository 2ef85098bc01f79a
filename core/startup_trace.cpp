#include "core/startup_trace.h"

#include <QDateTime>
#include <QtGlobal>

#include <cstdio>

namespace vistrel {

void startupMark(const char* what)
{
    static const qint64 launchedNs = qEnvironmentVariableIsSet("VISTREL_STARTUP_TRACE")
                                         ? qgetenv("VISTREL_STARTUP_PROBE").toLongLong()
                                         : 0;
    if (launchedNs <= 0)
        return;
    const qint64 nowNs = QDateTime::currentMSecsSinceEpoch() * 1000000;
    std::printf("startup %7.1f %s\n", double(nowNs - launchedNs) / 1e6, what);
    std::fflush(stdout);
}

}  // namespace vistrel

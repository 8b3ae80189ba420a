#include "platform/workstation.h"

#include <QSysInfo>

namespace vn::platform {

// No remote-session client to ask for: the host name stands for the workstation.
WorkstationName QueryWorkstationName()
{
    return {QSysInfo::machineHostName(), {}};
}

} // namespace vn::platform

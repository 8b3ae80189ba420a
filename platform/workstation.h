#pragma once

#include <QString>

namespace vn::platform {

struct WorkstationName
{
    // The computer's name, or in a remote session the client computer's; untrimmed, may be
    // empty.
    QString name;
    // Why a remote session's client name could not be had ("Citrix: ...\rTerminalServer: ...");
    // empty unless every source failed.
    QString failure;
};

// Never throws.
WorkstationName QueryWorkstationName();

} // namespace vn::platform

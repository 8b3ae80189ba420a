#pragma once

#include <QtGlobal>
#include <functional>

// The system's sleep and wake notifications. Windows delivers its power broadcast to the
// toolkit's hidden window; elsewhere logind's PrepareForSleep signal stands in, and where there
// is no system bus nothing is delivered.
namespace vn::platform {

struct PowerCallbacks
{
    std::function<void()> suspend; // the machine is about to sleep
    std::function<void()> resume;  // the machine woke from sleep
};

// Starts listening, replacing any earlier listener. `window` is the native handle of the window
// that receives the broadcast (Windows only; ignored elsewhere). Returns whether a source of
// notifications was found.
bool StartPowerNotifications(quintptr window, PowerCallbacks callbacks);
void StopPowerNotifications();

} // namespace vn::platform

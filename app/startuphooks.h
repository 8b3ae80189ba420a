#pragma once

#include <QString>
#include <functional>

class TVNConnection;

// The points where the shell meets parts of the program that are wired in from elsewhere: the
// toolkit's lifecycle, its power handling, the signed-in user record, the update check and the
// end of the process. Each is a replaceable function so that tests can observe it.

// The toolkit starts here, before the main window exists (its hidden form, the group-box style
// hook, the progress application's window messages, the update form).
void StartToolkitLifecycle();
// After the main window is gone: stops the power handling and frees the toolkit's hidden form.
void EndToolkitLifecycle();
// The power handling registers the window's two connections here, to close them on sleep and
// reopen them on wake.
void RegisterPowerConnections(TVNConnection *database1, TVNConnection *lopnrDatabase);
// The toolkit's signed-in user record: an ordinary user with this display name.
void SetSignedInUser(const QString &fullUsername);
// Ends any display of the external progress application.
void HideProgress();

// Result of the update check that tells a newer copy has been started and this one must end.
inline constexpr int kUpdateHandedOver = 1;
// Result of the update check that tells the program is current.
inline constexpr int kUpdateCurrent = 3;
// The update check of the running program (an empty path); gives one of the results above.
using UpdateCheck = std::function<int(QString &path)>;
// Installs the check (an empty function restores the built-in one, which reports "current");
// returns the one it replaces.
UpdateCheck SetUpdateCheck(UpdateCheck check);
int CheckForNewExeFile(QString &path);

// How the program ends with an exit code (the exit password, the update hand-over): by default
// it ends the application's event loop with that code. Tests install a recorder.
using ExitFunction = std::function<void(int code)>;
ExitFunction SetExitFunction(ExitFunction exit);
void ExitProgram(int code);

#pragma once

#include <QString>
#include <chrono>
#include <functional>

// What the program does when the computer sleeps and wakes: the database connections that were
// open are closed before the sleep and reopened, each with a new transaction, after the wake.
// The toolkit cannot see the connections; their owners register them here (db/ adapts its
// connection class, app/ registers the main window's).

// One database connection as the power handling sees it.
struct PowerConnection
{
    QString ownerName;      // the component name of the form or data module that owns it
    QString connectionName; // its own component name
    std::function<bool()> isOpen;
    std::function<void()> close; // never throws
    // Opens the connection and begins a transaction; a failure throws an std::exception whose
    // what() is the message in UTF-8.
    std::function<void()> openAndBeginTransaction;
    std::function<int()> tag;
    std::function<void(int)> setTag;
    // As the failure notice shows it to the user: passwords hidden.
    std::function<QString()> connectionString;
};

// The tag of a connection closed for a sleep. It stays after the reconnection, so a connection
// closed by hand later is reopened at the next wake as well.
inline constexpr int kClosedForSleepTag = 666;

// How long the wake handling lets the network come back before it reconnects.
inline constexpr std::chrono::milliseconds kResumeWait{10000};
// Tests shorten the wait; production never does.
void SetResumeWait(std::chrono::milliseconds wait);
std::chrono::milliseconds ResumeWait();

// Connections are handled in the order they were registered (the owners' component order).
// The id is never 0.
int RegisterPowerConnection(PowerConnection connection);
void UnregisterPowerConnection(int id);

// Ends the process with the exit code after a failed reconnection. Tests install one that
// records instead; nullptr restores the standard one. Returns the one it replaces.
using TerminateFunction = std::function<void(int exitCode)>;
TerminateFunction SetTerminateFunction(TerminateFunction terminate);

// Closes every open registered connection and tags it kClosedForSleepTag.
void HandleSuspend();
// Waits ResumeWait() with the window painting but taking no user input, then reopens every
// tagged connection, asks the user when that fails, and tells the outcome. When a connection
// cannot be reopened even after the user's retry, the process ends with exit code 1.
void HandleResume();

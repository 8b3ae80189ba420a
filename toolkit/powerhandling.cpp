#include "toolkit/powerhandling.h"

#include "toolkit/dialogs.h"
#include "toolkit/pause.h"

#include <QCoreApplication>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <optional>
#include <vector>

namespace {

struct Registered
{
    int id;
    PowerConnection connection;
};

std::vector<Registered> &registry()
{
    static std::vector<Registered> connections;
    return connections;
}

std::chrono::milliseconds &resumeWait()
{
    static std::chrono::milliseconds wait = kResumeWait;
    return wait;
}

void terminateProcess(int exitCode)
{
    QCoreApplication::exit(exitCode);
    std::fflush(nullptr);
    // At once: nothing of the program may run on with its connections gone.
    std::_Exit(exitCode);
}

TerminateFunction &terminateFunction()
{
    static TerminateFunction terminate = terminateProcess;
    return terminate;
}

const PowerConnection *find(int id)
{
    const auto &connections = registry();
    const auto it = std::find_if(connections.begin(), connections.end(),
                                 [id](const Registered &r) { return r.id == id; });
    return it == connections.end() ? nullptr : &it->connection;
}

// Owners may unregister while a dialog of the wake handling is open, so connections are
// followed by id and every call looks its connection up afresh. The function is copied before
// the call: the registry may change during it.
template <typename Result, typename... Args>
Result call(int id, std::function<Result(Args...)> PowerConnection::*member, Args... args)
{
    const PowerConnection *connection = find(id);
    if (!connection || !(connection->*member))
        return Result();
    const std::function<Result(Args...)> function = connection->*member;
    return function(args...);
}

std::vector<int> registeredIds()
{
    std::vector<int> ids;
    for (const Registered &r : registry())
        ids.push_back(r.id);
    return ids;
}

// Nothing on success, else the failure's message.
std::optional<QString> attempt(int id, bool closeFirst)
{
    try {
        if (closeFirst)
            call(id, &PowerConnection::close);
        call(id, &PowerConnection::openAndBeginTransaction);
        return std::nullopt;
    } catch (const std::exception &error) {
        return QString::fromUtf8(error.what());
    }
}

struct ReconnectOutcome
{
    bool allReconnected = true;
    int count = 0;
    QString failures;
};

ReconnectOutcome reconnectTagged()
{
    ReconnectOutcome outcome;
    for (const int id : registeredIds()) {
        if (!find(id) || call(id, &PowerConnection::tag) != kClosedForSleepTag)
            continue;
        const std::optional<QString> error = attempt(id, true);
        if (!error) {
            ++outcome.count;
            continue;
        }
        const int answer = AskYesNo(
            QStringLiteral("Databasanslutningen har avbrutits på ett felaktigt sätt!\rOch det "
                           "automatiska återanslutningsförsöket resulterade i följande fel:") +
            QStringLiteral("\r\r") + *error + QStringLiteral("\r\r") +
            QStringLiteral("Försöka ansluta igen?"));
        if (!find(id))
            continue; // its owner went away meanwhile
        if (answer != mrYes) {
            // A failed attempt may have left it open without a transaction.
            call(id, &PowerConnection::close);
            continue;
        }
        if (!attempt(id, false))
            continue;
        const PowerConnection *connection = find(id);
        outcome.failures += QStringLiteral("Det gick inte att återansluta") + u' ' +
                            connection->ownerName + u'.' + connection->connectionName + u'!' +
                            u'\r' + QStringLiteral("ConnectionString = ") +
                            call(id, &PowerConnection::connectionString) + QStringLiteral("\r\r");
        outcome.allReconnected = false;
        call(id, &PowerConnection::close);
    }
    return outcome;
}

struct ResumeState
{
    bool running = false;
    bool again = false; // another wake came while one was handled
};

ResumeState &resumeState()
{
    static ResumeState state;
    return state;
}

} // namespace

void SetResumeWait(std::chrono::milliseconds wait)
{
    resumeWait() = wait;
}

std::chrono::milliseconds ResumeWait()
{
    return resumeWait();
}

int RegisterPowerConnection(PowerConnection connection)
{
    static int lastId = 0;
    const int id = ++lastId;
    registry().push_back({id, std::move(connection)});
    return id;
}

void UnregisterPowerConnection(int id)
{
    auto &connections = registry();
    connections.erase(std::remove_if(connections.begin(), connections.end(),
                                     [id](const Registered &r) { return r.id == id; }),
                      connections.end());
}

TerminateFunction SetTerminateFunction(TerminateFunction terminate)
{
    TerminateFunction previous = std::move(terminateFunction());
    terminateFunction() = terminate ? std::move(terminate) : TerminateFunction(terminateProcess);
    return previous;
}

void HandleSuspend()
{
    for (const int id : registeredIds()) {
        if (!call(id, &PowerConnection::isOpen))
            continue;
        call(id, &PowerConnection::close);
        call(id, &PowerConnection::setTag, kClosedForSleepTag);
    }
}

void HandleResume()
{
    ResumeState &state = resumeState();
    // The wait and the dialogs let events in, among them the next sleep and wake; that wake
    // restarts the handling under way rather than reconnecting alongside it.
    if (state.running) {
        state.again = true;
        return;
    }
    state.running = true;
    ReconnectOutcome outcome;
    try {
        do {
            state.again = false;
            WaitWithoutUserInput(resumeWait());
            outcome = reconnectTagged();
        } while (state.again);
    } catch (...) {
        state.running = false;
        throw;
    }
    state.running = false;

    if (outcome.allReconnected) {
        ShowNotice(QStringLiteral("Programmet har återanslutit") + u' ' +
                   QString::number(outcome.count) + u' ' +
                   QStringLiteral("anslutningar till databasen. Kontrollera att ingen data "
                                  "förlorats."));
        return;
    }
    ShowNotice(QStringLiteral("Det gick inte att ansluta till databasen igen. Programmet "
                              "avslutas.") +
               QStringLiteral("\r\r") + outcome.failures);
    terminateFunction()(1);
}

#pragma once

#include <QString>

class TVNConnection;

// Puts a connection under the toolkit's sleep and wake handling: closed before the machine
// sleeps, reopened with a transaction after it woke. `ownerName` is the component name of the
// form or data module that owns it; the connection's own name is its objectName, which must
// be set first. Registering a connection again replaces its earlier registration; it is
// unregistered when it is destroyed.
void RegisterForPowerEvents(TVNConnection *connection, const QString &ownerName);
void UnregisterFromPowerEvents(TVNConnection *connection);

// The init string with the values of its password keys masked, for showing to the user.
QString ConnectionStringForDisplay(const QString &connectionString);

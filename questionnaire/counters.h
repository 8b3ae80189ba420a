#pragma once

#include <QString>
#include <chrono>

class TVNAdoQuery;

// The counter rows of FIELDCOUNTERS, read and drawn on the counter connection (`lopnrDatabase`)
// in their own short transactions, so that a drawn number stays committed whatever becomes of
// the declaration transaction.

inline constexpr int kCounterAttempts = 3;
inline constexpr std::chrono::milliseconds kCounterRetryPause{500};
// The pause NextSequenceNumber waits after a failed attempt; tests may shorten it, production
// never does.
void SetCounterRetryPause(std::chrono::milliseconds pause);
std::chrono::milliseconds CounterRetryPause();

// The COUNTER of the row (tableName, fieldName), names compared without regard to case, or -1
// when there is none. Reads on `iniData` (IniData) inside a transaction that it rolls back; a
// failure shows the error dialog and gives -1.
int ReadCounterValue(TVNAdoQuery &iniData, const QString &tableName, const QString &fieldName);

// The next number of the counter (tableName, fieldName), committed on the query's connection
// before it is returned: COUNTER + 1 of the one matching row, or 1 in a new row when there is
// not exactly one. -1 after kCounterAttempts failed attempts, each followed by the pause; no
// message. `attemptsUsed`, when given, receives the number of attempts made.
int NextSequenceNumber(TVNAdoQuery &lopnrQuery, const QString &tableName, const QString &fieldName,
                       int *attemptsUsed = nullptr);

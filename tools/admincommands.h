#pragma once

#include <QStringList>

class QTextStream;

// The commands of the staff tool, callable in process: `arguments` are those after the program
// name. Returns the process exit code: 0 done, 1 bad input or a failed file operation, 2 a
// command line that names no known command or lacks arguments.
int RunAdminCommand(const QStringList &arguments, QTextStream &out, QTextStream &err);

#pragma once

#include <QString>

// The program's texts break lines with "\r" as Windows controls do; Qt labels and message boxes
// break only at "\n" and show a lone "\r" as a space.
QString WithLineBreaks(QString text);

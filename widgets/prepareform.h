#pragma once

#include <QString>

class QWidget;

// The visual style in force ("Windows" is the plain platform look). Dialog forms widen
// themselves under a custom style, whose frames take more room.
QString ActiveVisualStyleName();
void SetActiveVisualStyleName(const QString &name);

// Per-form preparation every dialog form runs on creation.
void PrepareForm(QWidget *form);

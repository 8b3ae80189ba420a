#pragma once

#include <QString>

class QWidget;

// Opens a data-link file in the system's data-link editor without waiting for it. Where the
// system has none, the program's own editor of the init string takes its place.
void OpenDataLinkEditor(const QString &path, QWidget *parent);

#pragma once

#include <QString>
#include <memory>

class TVNAdoQuery;

// The shared query of the main window: created by the window on its main connection and kept
// for the whole run; registered here so that the toolkit's lookups find it. Not owned here.
void SetSharedQuery(TVNAdoQuery *query);
TVNAdoQuery *SharedQuery();

// A new query on the shared query's connection, opened on `sql` (optimistic locking when
// `editable`, else read-only), with a transaction begun on the connection if none was open.
// On failure shows the error dialog and returns null; never throws.
std::unique_ptr<TVNAdoQuery> OpenQuery(const QString &sql, bool editable);

// The FIELDNAME of the FIELDCOUNTERS row whose TABLENAME is `key` (compared without regard to
// case), read on the shared query; `defaultValue` when there is none, when the key is blank, or
// after a failure, which the error dialog reports.
QString ReadDatabaseValue(const QString &key, const QString &defaultValue);

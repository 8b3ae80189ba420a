#include "db/vnadoquery.h"

#include "db/databaseerror.h"
#include "db/vnconnection.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlIndex>
#include <QSqlQuery>
#include <cmath>

namespace {

// Columns longer than this are large objects: servers refuse to compare them (SQL Server's
// text and image types), so they never take part in finding a row.
constexpr int kLongColumnLength = 8000;

bool isNameChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'_';
}

// The drivers bind a null QString or QByteArray as SQL NULL, so the snapshot must count it as
// NULL too, or the next optimistic UPDATE would look for "= ''" and miss its row.
bool isSqlNull(const QVariant &v)
{
    if (v.isNull())
        return true;
    switch (v.metaType().id()) {
    case QMetaType::QString:
        return static_cast<const QString *>(v.constData())->isNull();
    case QMetaType::QByteArray:
        return static_cast<const QByteArray *>(v.constData())->isNull();
    default:
        return false;
    }
}

bool isNumeric(const QVariant &v)
{
    switch (v.metaType().id()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Double:
    case QMetaType::Float:
        return true;
    default:
        return false;
    }
}

bool valuesMatch(const QVariant &field, const QVariant &wanted, LocateOptions options)
{
    if (isSqlNull(field) || isSqlNull(wanted))
        return isSqlNull(field) && isSqlNull(wanted);
    if (isNumeric(field) && isNumeric(wanted)) {
        if (field.metaType().id() == QMetaType::Double ||
            wanted.metaType().id() == QMetaType::Double ||
            field.metaType().id() == QMetaType::Float || wanted.metaType().id() == QMetaType::Float)
            return field.toDouble() == wanted.toDouble();
        return field.toLongLong() == wanted.toLongLong();
    }
    if (field.metaType().id() == QMetaType::QString ||
        wanted.metaType().id() == QMetaType::QString) {
        const Qt::CaseSensitivity cs = options.testFlag(LocateOption::CaseInsensitive)
                                           ? Qt::CaseInsensitive
                                           : Qt::CaseSensitive;
        const QString a = field.toString();
        const QString b = wanted.toString();
        return options.testFlag(LocateOption::PartialKey) ? a.startsWith(b, cs)
                                                          : a.compare(b, cs) == 0;
    }
    return field == wanted;
}

QString displayText(const QVariant &v)
{
    if (v.isNull())
        return {};
    switch (v.metaType().id()) {
    case QMetaType::QDateTime: {
        const QDateTime dt = v.toDateTime();
        return dt.time() == QTime(0, 0) ? dt.toString(QStringLiteral("yyyy-MM-dd"))
                                        : dt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    }
    case QMetaType::QDate:
        return v.toDate().toString(QStringLiteral("yyyy-MM-dd"));
    case QMetaType::Double:
    case QMetaType::Float:
        return QString::number(v.toDouble(), 'g', 15);
    case QMetaType::Bool:
        return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case QMetaType::QByteArray:
        return QString::fromLatin1(v.toByteArray());
    default:
        return v.toString();
    }
}

int integerOf(const QVariant &v)
{
    if (v.isNull())
        return 0;
    bool ok = false;
    const int i = v.toInt(&ok);
    if (ok)
        return i;
    const double d = v.toDouble(&ok);
    return ok && std::isfinite(d) && std::abs(d) < 2147483648.0 ? static_cast<int>(std::lround(d))
                                                                : 0;
}

QDateTime dateTimeOf(const QVariant &v)
{
    if (v.isNull())
        return {};
    if (v.metaType().id() == QMetaType::QString) {
        // SQLite keeps dates as text.
        const QString s = v.toString().trimmed();
        for (const auto format : {Qt::ISODateWithMs, Qt::ISODate}) {
            QDateTime dt = QDateTime::fromString(s, format);
            if (dt.isValid())
                return dt;
        }
        for (const QString &format :
             {QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"), QStringLiteral("yyyy-MM-dd HH:mm:ss"),
              QStringLiteral("yyyy-MM-dd")}) {
            QDateTime dt = QDateTime::fromString(s, format);
            if (dt.isValid())
                return dt;
        }
        return {};
    }
    return v.toDateTime();
}

// SQLite keeps dates as text and compares them as text: write the form the journal's own rows
// carry, or a date written here would sort after a later one of the same day.
QVariant sqliteDateText(const QVariant &v)
{
    if (v.isNull() || v.metaType().id() != QMetaType::QDateTime)
        return v;
    return v.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString unquoted(QString identifier)
{
    if (identifier.size() >= 2 && ((identifier.startsWith(u'"') && identifier.endsWith(u'"')) ||
                                   (identifier.startsWith(u'[') && identifier.endsWith(u']'))))
        identifier = identifier.mid(1, identifier.size() - 2);
    return identifier;
}

const QString kNotOpen = QStringLiteral("Cannot perform this operation on a closed dataset");

} // namespace

// --- TVNField ---------------------------------------------------------------------------------

QString TVNField::FieldName() const
{
    return m_query->m_record.fieldName(m_index);
}

QVariant TVNField::Value() const
{
    return m_query->fieldValue(m_index);
}

bool TVNField::IsNull() const
{
    return isSqlNull(Value());
}

QString TVNField::AsString() const
{
    const QVariant value = Value();
    if (value.metaType().id() == QMetaType::QString && m_query->m_textDateColumns.contains(m_index))
        return displayText(dateTimeOf(value));
    return displayText(value);
}

int TVNField::AsInteger() const
{
    return integerOf(Value());
}

double TVNField::AsFloat() const
{
    const QVariant v = Value();
    return v.isNull() ? 0.0 : v.toDouble();
}

QDateTime TVNField::AsDateTime() const
{
    return dateTimeOf(Value());
}

QByteArray TVNField::AsBytes() const
{
    const QVariant v = Value();
    return v.isNull() ? QByteArray() : v.toByteArray();
}

int TVNField::DataSize() const
{
    return m_query->FieldDataSize(FieldName());
}

void TVNField::SetValue(const QVariant &value)
{
    m_query->setFieldValue(m_index, value);
}

void TVNField::SetAsString(const QString &value)
{
    SetValue(value);
}

void TVNField::SetAsInteger(int value)
{
    SetValue(value);
}

void TVNField::SetAsFloat(double value)
{
    SetValue(value);
}

void TVNField::SetAsDateTime(const QDateTime &value)
{
    SetValue(value.isValid() ? QVariant(value) : QVariant());
}

void TVNField::SetAsBytes(const QByteArray &value)
{
    SetValue(value);
}

void TVNField::Clear()
{
    SetValue(QVariant());
}

// --- TVNParam ---------------------------------------------------------------------------------

QString TVNParam::Name() const
{
    return m_query->m_params.at(m_index).name;
}

QVariant TVNParam::Value() const
{
    return m_query->m_params.at(m_index).value;
}

QString TVNParam::AsString() const
{
    return displayText(Value());
}

int TVNParam::AsInteger() const
{
    return integerOf(Value());
}

void TVNParam::SetValue(const QVariant &value)
{
    m_query->m_params[m_index].value = value;
}

void TVNParam::SetAsString(const QString &value)
{
    SetValue(value);
}

void TVNParam::SetAsInteger(int value)
{
    SetValue(value);
}

void TVNParam::Clear()
{
    SetValue(QVariant());
}

// --- TVNAdoQuery ------------------------------------------------------------------------------

TVNAdoQuery::TVNAdoQuery(QObject *parent) : QObject(parent) {}

TVNAdoQuery::~TVNAdoQuery()
{
    if (m_master)
        m_master->m_details.removeAll(QPointer<TVNAdoQuery>(this));
    for (const QPointer<TVNAdoQuery> &detail : std::as_const(m_details)) {
        if (detail)
            detail->m_master = nullptr;
    }
}

void TVNAdoQuery::SetConnection(TVNConnection *connection)
{
    if (connection == m_connection)
        return;
    Close();
    disconnect(m_disconnectWatch);
    m_connection = connection;
    if (connection)
        m_disconnectWatch =
            connect(connection, &TVNConnection::beforeDisconnect, this, &TVNAdoQuery::Close);
}

void TVNAdoQuery::SetLockType(LockType lockType)
{
    if (Active())
        throw DatabaseError(QStringLiteral("Cannot perform this operation on an open dataset"));
    m_lockType = lockType;
}

void TVNAdoQuery::SetSQL(const QStringList &lines)
{
    Close();
    m_sql = lines;
    reparseParams();
}

void TVNAdoQuery::SQLClear()
{
    SetSQL({});
}

void TVNAdoQuery::SQLAdd(const QString &line)
{
    QStringList lines = m_sql;
    lines.append(line);
    SetSQL(lines);
}

QString TVNAdoQuery::CommandText() const
{
    QString text;
    for (const QString &line : m_sql)
        text += line + u'\n';
    return text;
}

// Finds ":name" outside string literals, quoted identifiers and comments. "::" (a cast) is
// kept as it is.
TVNAdoQuery::Statement TVNAdoQuery::parsedStatement() const
{
    const QString sql = CommandText();
    Statement result;
    QString &out = result.text;
    out.reserve(sql.size());
    const qsizetype n = sql.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = sql.at(i);
        if (c == u'\'' || c == u'"' || c == u'[') {
            const QChar close = c == u'[' ? QChar(u']') : c;
            out += c;
            ++i;
            while (i < n) {
                out += sql.at(i);
                if (sql.at(i) == close) {
                    if (close != u']' && i + 1 < n && sql.at(i + 1) == close) {
                        out += sql.at(i + 1);
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                ++i;
            }
            continue;
        }
        if (c == u'-' && i + 1 < n && sql.at(i + 1) == u'-') {
            const qsizetype end = sql.indexOf(u'\n', i);
            const qsizetype stop = end < 0 ? n : end;
            out += QStringView(sql).mid(i, stop - i);
            i = stop;
            continue;
        }
        if (c == u'/' && i + 1 < n && sql.at(i + 1) == u'*') {
            const qsizetype end = sql.indexOf(QLatin1String("*/"), i + 2);
            const qsizetype stop = end < 0 ? n : end + 2;
            out += QStringView(sql).mid(i, stop - i);
            i = stop;
            continue;
        }
        if (c == u':') {
            if (i + 1 < n && sql.at(i + 1) == u':') {
                out += QLatin1String("::");
                i += 2;
                continue;
            }
            qsizetype j = i + 1;
            while (j < n && isNameChar(sql.at(j)))
                ++j;
            if (j > i + 1) {
                result.paramNames.append(sql.mid(i + 1, j - i - 1));
                out += u'?';
                i = j;
                continue;
            }
        }
        out += c;
        ++i;
    }
    return result;
}

void TVNAdoQuery::reparseParams()
{
    const QStringList names = parsedStatement().paramNames;
    QList<Param> params;
    for (const QString &name : names) {
        const bool seen = std::any_of(params.cbegin(), params.cend(), [&name](const Param &p) {
            return p.name.compare(name, Qt::CaseInsensitive) == 0;
        });
        if (seen)
            continue;
        const int old = paramIndex(name);
        params.append({name, old >= 0 ? m_params.at(old).value : QVariant()});
    }
    m_params = params;
}

int TVNAdoQuery::paramIndex(const QString &name) const
{
    for (int i = 0; i < m_params.size(); ++i) {
        if (m_params.at(i).name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

TVNParam TVNAdoQuery::ParamByName(const QString &name)
{
    const int index = paramIndex(name);
    if (index < 0)
        throw DatabaseError(QStringLiteral("Parameter '%1' not found").arg(name));
    return TVNParam(this, index);
}

QStringList TVNAdoQuery::ParamNames() const
{
    QStringList names;
    for (const Param &p : m_params)
        names.append(p.name);
    return names;
}

void TVNAdoQuery::SetMaster(TVNAdoQuery *master)
{
    for (TVNAdoQuery *q = master; q; q = q->m_master) {
        if (q == this)
            throw DatabaseError(QStringLiteral("Circular datalinks are not allowed"));
    }
    if (m_master)
        m_master->m_details.removeAll(QPointer<TVNAdoQuery>(this));
    m_master = master;
    if (master)
        master->m_details.append(QPointer<TVNAdoQuery>(this));
}

QVariant TVNAdoQuery::paramValueForOpen(const QString &name) const
{
    if (m_master && m_master->Active() && m_master->HasField(name))
        return m_master->fieldValue(m_master->fieldIndex(name));
    const int index = paramIndex(name);
    return index >= 0 ? m_params.at(index).value : QVariant();
}

// Details are told directly, not through the signals, so that a failure to re-read reaches
// whoever moved the master. A detail's pending edit is posted first, as moving it would.
// After a post only details whose parameters come from a changed column re-read.
void TVNAdoQuery::refreshDetails(const QStringList *changedColumns)
{
    const QList<QPointer<TVNAdoQuery>> details = m_details;
    for (const QPointer<TVNAdoQuery> &detail : details) {
        if (!detail || !detail->Active())
            continue;
        if (changedColumns) {
            const QStringList params = detail->ParamNames();
            const bool linked = std::any_of(params.cbegin(), params.cend(), [&](const QString &p) {
                return changedColumns->contains(p, Qt::CaseInsensitive);
            });
            if (!linked)
                continue;
        }
        detail->checkBrowseMode();
        detail->Close();
        detail->Open();
    }
}

void TVNAdoQuery::fail(const QSqlError &error)
{
    if (m_connection)
        m_connection->NoteFailure(error);
    throw DatabaseError(DatabaseErrorText(error));
}

void TVNAdoQuery::execPrepared(QSqlQuery &query, const Statement &statement,
                               const QVariantList &values)
{
    query.setForwardOnly(true);
    if (!query.prepare(statement.text))
        fail(query.lastError());
    const bool textDates = query.driver() && query.driver()->dbmsType() == QSqlDriver::SQLite;
    for (const QVariant &value : values)
        query.addBindValue(textDates ? sqliteDateText(value) : value);
    if (!query.exec())
        fail(query.lastError());
}

void TVNAdoQuery::Open()
{
    if (Active())
        return;
    if (!m_connection || !m_connection->Connected())
        throw DatabaseError(QStringLiteral("Missing Connection or ConnectionString"));
    const Statement statement = parsedStatement();
    QVariantList values;
    for (const QString &name : statement.paramNames)
        values.append(paramValueForOpen(name));

    QSqlQuery query(m_connection->Database());
    execPrepared(query, statement, values);
    if (!query.isSelect())
        throw DatabaseError(QStringLiteral("CommandText does not return a result set"));
    QSqlRecord record = query.record();
    std::vector<Row> rows;
    const int columns = record.count();
    while (query.next()) {
        Row row;
        row.values.reserve(columns);
        for (int c = 0; c < columns; ++c)
            row.values.append(query.value(c));
        row.original = row.values;
        row.assigned.assign(static_cast<size_t>(columns), false);
        rows.push_back(std::move(row));
    }
    if (query.lastError().isValid())
        fail(query.lastError());
    // A statement left open would keep a read lock on SQLite.
    query.finish();

    m_record = record;
    m_fieldIndex.clear();
    for (int c = 0; c < columns; ++c)
        m_fieldIndex.insert(record.fieldName(c).toLower(), c);
    m_rows = std::move(rows);
    m_keyColumns.reset();
    m_dataSizes.clear();
    m_textDateColumns.clear();
    m_sqliteTypes.clear();
    if (m_connection->Kind() == ProviderKind::Sqlite) {
        static const QRegularExpression dateType(QStringLiteral("date|time"),
                                                 QRegularExpression::CaseInsensitiveOption);
        m_sqliteTypes = declaredSqliteTypes();
        for (int c = 0; c < columns; ++c) {
            if (m_sqliteTypes.value(record.fieldName(c).toLower()).contains(dateType))
                m_textDateColumns.append(c);
        }
    }
    m_state = DataSetState::Browse;
    m_current = m_rows.empty() ? -1 : 0;
    m_bof = true;
    m_eof = m_rows.empty();
    refreshDetails();
    Q_EMIT afterOpen();
}

void TVNAdoQuery::Close()
{
    if (!Active())
        return;
    m_state = DataSetState::Inactive;
    m_rows.clear();
    m_record.clear();
    m_fieldIndex.clear();
    m_current = -1;
    m_bof = true;
    m_eof = true;
    m_keyColumns.reset();
    m_dataSizes.clear();
    Q_EMIT afterClose();
}

int TVNAdoQuery::ExecSQL()
{
    if (!m_connection || !m_connection->Connected())
        throw DatabaseError(QStringLiteral("Missing Connection or ConnectionString"));
    const Statement statement = parsedStatement();
    QVariantList values;
    for (const QString &name : statement.paramNames)
        values.append(paramValueForOpen(name));
    m_connection->EnsureWriteTransaction();
    QSqlQuery query(m_connection->Database());
    execPrepared(query, statement, values);
    const int affected = query.numRowsAffected();
    query.finish();
    return affected;
}

void TVNAdoQuery::requireActive() const
{
    if (!Active())
        throw DatabaseError(kNotOpen);
}

void TVNAdoQuery::requireEditable() const
{
    requireActive();
    if (m_lockType == LockType::ReadOnly)
        throw DatabaseError(QStringLiteral("Cannot modify a read-only dataset"));
}

void TVNAdoQuery::checkBrowseMode()
{
    requireActive();
    if (m_state == DataSetState::Edit || m_state == DataSetState::Insert)
        Post();
}

void TVNAdoQuery::setPosition(int row)
{
    const bool moved = row != m_current;
    m_current = row;
    if (moved) {
        refreshDetails();
        Q_EMIT afterScroll();
    }
}

void TVNAdoQuery::First()
{
    checkBrowseMode();
    m_bof = true;
    m_eof = m_rows.empty();
    setPosition(m_rows.empty() ? -1 : 0);
}

void TVNAdoQuery::Last()
{
    checkBrowseMode();
    m_eof = true;
    m_bof = m_rows.empty();
    setPosition(static_cast<int>(m_rows.size()) - 1);
}

void TVNAdoQuery::Next()
{
    checkBrowseMode();
    if (m_current + 1 < static_cast<int>(m_rows.size())) {
        m_bof = false;
        m_eof = false;
        setPosition(m_current + 1);
    } else {
        m_eof = true;
    }
}

void TVNAdoQuery::Prior()
{
    checkBrowseMode();
    if (m_current > 0) {
        m_bof = false;
        m_eof = false;
        setPosition(m_current - 1);
    } else {
        m_bof = true;
    }
}

int TVNAdoQuery::RecNo() const
{
    return Active() && m_current >= 0 ? m_current + 1 : 0;
}

int TVNAdoQuery::RecordCount() const
{
    return static_cast<int>(m_rows.size());
}

bool TVNAdoQuery::IsEmpty() const
{
    return m_rows.empty();
}

bool TVNAdoQuery::Locate(const QString &fieldNames, const QVariantList &values,
                         LocateOptions options)
{
    checkBrowseMode();
    const QStringList names = fieldNames.split(u';', Qt::SkipEmptyParts);
    if (names.size() != values.size())
        throw DatabaseError(
            QStringLiteral("Locate: %1 fields but %2 values").arg(names.size()).arg(values.size()));
    QList<int> columns;
    for (const QString &name : names) {
        const int index = fieldIndex(name.trimmed());
        if (index < 0)
            throw DatabaseError(QStringLiteral("Field '%1' not found").arg(name.trimmed()));
        columns.append(index);
    }
    for (size_t r = 0; r < m_rows.size(); ++r) {
        bool all = true;
        for (int k = 0; k < columns.size() && all; ++k)
            all = valuesMatch(m_rows[r].values.at(columns.at(k)), values.at(k), options);
        if (all) {
            m_bof = false;
            m_eof = false;
            setPosition(static_cast<int>(r));
            return true;
        }
    }
    return false;
}

bool TVNAdoQuery::Locate(const QString &fieldName, const QVariant &value, LocateOptions options)
{
    return Locate(fieldName, QVariantList{value}, options);
}

int TVNAdoQuery::fieldIndex(const QString &name) const
{
    return m_fieldIndex.value(name.toLower(), -1);
}

bool TVNAdoQuery::HasField(const QString &name) const
{
    return fieldIndex(name) >= 0;
}

QStringList TVNAdoQuery::FieldNames() const
{
    QStringList names;
    for (int c = 0; c < m_record.count(); ++c)
        names.append(m_record.fieldName(c));
    return names;
}

TVNField TVNAdoQuery::FieldByName(const QString &name)
{
    const int index = fieldIndex(name);
    if (index < 0)
        throw DatabaseError(Active() ? QStringLiteral("Field '%1' not found").arg(name) : kNotOpen);
    return TVNField(this, index);
}

QVariant TVNAdoQuery::fieldValue(int index) const
{
    if (!Active())
        throw DatabaseError(kNotOpen);
    if (m_current < 0 || m_current >= static_cast<int>(m_rows.size()))
        return {};
    return m_rows[static_cast<size_t>(m_current)].values.at(index);
}

void TVNAdoQuery::setFieldValue(int index, const QVariant &value)
{
    if (m_state != DataSetState::Edit && m_state != DataSetState::Insert)
        throw DatabaseError(QStringLiteral("Dataset not in edit or insert mode"));
    Row &row = m_rows[static_cast<size_t>(m_current)];
    row.values[index] = value;
    row.assigned[static_cast<size_t>(index)] = true;
}

int TVNAdoQuery::FieldDataSize(const QString &name)
{
    const int index = fieldIndex(name);
    if (index < 0)
        throw DatabaseError(Active() ? QStringLiteral("Field '%1' not found").arg(name) : kNotOpen);
    if (const auto cached = m_dataSizes.constFind(index); cached != m_dataSizes.cend())
        return *cached;
    const QSqlField field = m_record.field(index);
    int length = field.metaType().id() == QMetaType::QString ? field.length() : -1;
    if (length <= 0 && m_connection && m_connection->Kind() == ProviderKind::Sqlite) {
        // The SQLite driver reports no lengths; the declared type in the schema has it.
        static const QRegularExpression declared(
            QStringLiteral(
                R"(^\s*(?:national\s+)?(?:n?var)?n?char(?:acter)?(?:\s+varying)?\s*\(\s*(\d+)\s*\))"),
            QRegularExpression::CaseInsensitiveOption);
        const auto m = declared.match(m_sqliteTypes.value(field.name().toLower()));
        if (m.hasMatch())
            length = m.captured(1).toInt();
    }
    const int size = length > 0 && length < kLongColumnLength * 1000 ? length + 1 : 0;
    m_dataSizes.insert(index, size);
    return size;
}

void TVNAdoQuery::Edit()
{
    requireEditable();
    if (m_state == DataSetState::Edit || m_state == DataSetState::Insert)
        return;
    if (m_rows.empty()) {
        Insert();
        return;
    }
    m_state = DataSetState::Edit;
}

TVNAdoQuery::Row TVNAdoQuery::blankRow() const
{
    Row row;
    const int columns = m_record.count();
    for (int c = 0; c < columns; ++c)
        row.values.append(QVariant());
    row.original = row.values;
    row.assigned.assign(static_cast<size_t>(columns), false);
    return row;
}

void TVNAdoQuery::Insert()
{
    requireEditable();
    checkBrowseMode();
    Row row = blankRow();
    const int at = m_current < 0 ? 0 : m_current;
    m_rowBeforeInsert = m_current;
    m_rows.insert(m_rows.begin() + at, std::move(row));
    m_state = DataSetState::Insert;
    m_bof = false;
    m_eof = false;
    m_current = -1;
    setPosition(at);
}

void TVNAdoQuery::Append()
{
    requireEditable();
    checkBrowseMode();
    Row row = blankRow();
    m_rowBeforeInsert = m_current;
    m_rows.push_back(std::move(row));
    m_state = DataSetState::Insert;
    m_bof = false;
    m_eof = false;
    m_current = -1;
    setPosition(static_cast<int>(m_rows.size()) - 1);
}

void TVNAdoQuery::Cancel()
{
    if (m_state == DataSetState::Edit) {
        Row &row = m_rows[static_cast<size_t>(m_current)];
        row.values = row.original;
        std::fill(row.assigned.begin(), row.assigned.end(), false);
        m_state = DataSetState::Browse;
    } else if (m_state == DataSetState::Insert) {
        m_rows.erase(m_rows.begin() + m_current);
        m_state = DataSetState::Browse;
        const int count = static_cast<int>(m_rows.size());
        int back = m_rowBeforeInsert;
        if (back >= count)
            back = count - 1;
        m_bof = count == 0 || back <= 0;
        m_eof = count == 0;
        m_current = -2; // makes setPosition report the move
        setPosition(back);
    }
}

// The columns' types as the schema of the query's table declares them, by lower-case name.
QHash<QString, QString> TVNAdoQuery::declaredSqliteTypes() const
{
    QHash<QString, QString> types;
    const QString table = editTable();
    if (table.isEmpty() || !m_connection)
        return types;
    QSqlQuery info(m_connection->Database());
    info.prepare(QStringLiteral("SELECT name, type FROM pragma_table_info(?)"));
    info.addBindValue(unquoted(table));
    if (info.exec()) {
        while (info.next())
            types.insert(info.value(0).toString().toLower(), info.value(1).toString());
    }
    info.finish();
    return types;
}

// The table of an editable query: the one of its "SELECT * FROM T ..." statement.
QString TVNAdoQuery::editTable() const
{
    static const QRegularExpression single(
        QStringLiteral(R"(^\s*select\s+\*\s+from\s+([A-Za-z_][\w$#.]*|"[^"]+"|\[[^\]]+\])(.*)$)"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression joined(
        QStringLiteral(R"(^\s*(,|join\b|inner\b|left\b|right\b|full\b|cross\b|natural\b))"),
        QRegularExpression::CaseInsensitiveOption);
    const auto m = single.match(CommandText());
    if (!m.hasMatch() || joined.match(m.captured(2)).hasMatch())
        return {};
    return m.captured(1);
}

bool TVNAdoQuery::isLongColumn(int index) const
{
    const QSqlField field = m_record.field(index);
    return field.metaType().id() == QMetaType::QByteArray || field.length() > kLongColumnLength;
}

// The key columns of the table where it has a key that the result holds; otherwise every
// column that can be compared.
QList<int> TVNAdoQuery::whereColumns()
{
    if (!m_keyColumns) {
        QList<int> keys;
        QString table = editTable();
        // PostgreSQL folds unquoted names to lower case; its driver looks the name up as given.
        if (m_connection->Kind() == ProviderKind::PostgreSql && unquoted(table) == table)
            table = table.toLower();
        const QSqlIndex index = m_connection->Database().primaryIndex(table);
        for (int i = 0; i < index.count(); ++i) {
            const int column = fieldIndex(index.fieldName(i));
            if (column < 0) {
                keys.clear();
                break;
            }
            keys.append(column);
        }
        if (keys.isEmpty()) {
            for (int c = 0; c < m_record.count(); ++c) {
                if (!isLongColumn(c))
                    keys.append(c);
            }
        }
        m_keyColumns = keys;
    }
    return *m_keyColumns;
}

void TVNAdoQuery::Post()
{
    if (m_state != DataSetState::Edit && m_state != DataSetState::Insert)
        throw DatabaseError(QStringLiteral("Dataset not in edit or insert mode"));
    if (!m_connection || !m_connection->Connected())
        throw DatabaseError(QStringLiteral("Missing Connection or ConnectionString"));
    const QString table = editTable();
    if (table.isEmpty())
        throw DatabaseError(
            QStringLiteral("Insufficient base table information for updating or refreshing"));
    Row &row = m_rows[static_cast<size_t>(m_current)];
    QStringList changed;
    for (int c = 0; c < m_record.count(); ++c) {
        if (row.assigned[static_cast<size_t>(c)])
            changed.append(m_record.fieldName(c));
    }
    if (m_state == DataSetState::Insert)
        postInsert(row, table);
    else
        postUpdate(row, table);
    row.original = row.values;
    std::fill(row.assigned.begin(), row.assigned.end(), false);
    m_state = DataSetState::Browse;
    refreshDetails(&changed);
}

void TVNAdoQuery::postInsert(Row &row, const QString &table)
{
    const QSqlDriver *driver = m_connection->Database().driver();
    QStringList columns;
    QVariantList values;
    for (int c = 0; c < m_record.count(); ++c) {
        if (!row.assigned[static_cast<size_t>(c)])
            continue;
        columns.append(driver->escapeIdentifier(m_record.fieldName(c), QSqlDriver::FieldName));
        values.append(row.values.at(c));
    }
    Statement statement;
    if (columns.isEmpty()) {
        statement.text = QStringLiteral("INSERT INTO ") + table + QStringLiteral(" DEFAULT VALUES");
    } else {
        QStringList marks;
        for (qsizetype i = 0; i < columns.size(); ++i)
            marks.append(QStringLiteral("?"));
        statement.text = QStringLiteral("INSERT INTO ") + table + QStringLiteral(" (") +
                         columns.join(QStringLiteral(", ")) + QStringLiteral(") VALUES (") +
                         marks.join(QStringLiteral(", ")) + u')';
    }
    m_connection->EnsureWriteTransaction();
    QSqlQuery query(m_connection->Database());
    execPrepared(query, statement, values);
    query.finish();
}

void TVNAdoQuery::postUpdate(Row &row, const QString &table)
{
    QList<int> changed;
    for (int c = 0; c < m_record.count(); ++c) {
        const bool valueNull = isSqlNull(row.values.at(c));
        const bool differs = valueNull != isSqlNull(row.original.at(c)) ||
                             (!valueNull && row.values.at(c) != row.original.at(c));
        if (row.assigned[static_cast<size_t>(c)] && differs)
            changed.append(c);
    }
    if (changed.isEmpty())
        return;
    QList<int> where = whereColumns();
    for (int c : std::as_const(changed)) {
        if (!where.contains(c) && !isLongColumn(c))
            where.append(c);
    }
    const QSqlDriver *driver = m_connection->Database().driver();
    const auto name = [&](int c) {
        return driver->escapeIdentifier(m_record.fieldName(c), QSqlDriver::FieldName);
    };
    QStringList sets;
    QVariantList values;
    for (int c : std::as_const(changed)) {
        sets.append(name(c) + QStringLiteral(" = ?"));
        values.append(row.values.at(c));
    }
    QStringList conditions;
    for (int c : std::as_const(where)) {
        if (isSqlNull(row.original.at(c))) {
            conditions.append(name(c) + QStringLiteral(" IS NULL"));
        } else {
            conditions.append(name(c) + QStringLiteral(" = ?"));
            values.append(row.original.at(c));
        }
    }
    Statement statement;
    statement.text = QStringLiteral("UPDATE ") + table + QStringLiteral(" SET ") +
                     sets.join(QStringLiteral(", "));
    if (!conditions.isEmpty())
        statement.text += QStringLiteral(" WHERE ") + conditions.join(QStringLiteral(" AND "));
    m_connection->EnsureWriteTransaction();
    QSqlQuery query(m_connection->Database());
    execPrepared(query, statement, values);
    const int affected = query.numRowsAffected();
    query.finish();
    if (affected == 0)
        throw DatabaseError(kRowConflictMessage);
    if (affected > 1)
        throw DatabaseError(QStringLiteral("Key column information is insufficient or incorrect. "
                                           "Too many rows were affected by update"));
}

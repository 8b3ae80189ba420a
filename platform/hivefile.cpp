#include "platform/hivefile.h"

#include <QStringView>

namespace vn::platform {

namespace {

const QByteArray kHeader = QByteArrayLiteral("Windows Registry Editor Version 5.00");

bool samePath(QStringView a, QStringView b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

QString quoted(const QString &text)
{
    QString out;
    out.reserve(text.size() + 2);
    out += u'"';
    for (const QChar c : text) {
        switch (c.unicode()) {
        case u'\\': out += QLatin1String("\\\\"); break;
        case u'"': out += QLatin1String("\\\""); break;
        case u'\r': out += QLatin1String("\\r"); break;
        case u'\n': out += QLatin1String("\\n"); break;
        case u'\t': out += QLatin1String("\\t"); break;
        default:
            if (c.unicode() < 0x20 || c.unicode() == 0x7f)
                out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
            else
                out += c;
        }
    }
    out += u'"';
    return out;
}

// Reads a quoted text starting at `pos`; on success leaves `pos` after the closing quote.
std::optional<QString> unquote(QStringView line, qsizetype &pos)
{
    if (pos >= line.size() || line[pos] != u'"')
        return std::nullopt;
    QString out;
    for (++pos; pos < line.size(); ++pos) {
        const QChar c = line[pos];
        if (c == u'"') {
            ++pos;
            return out;
        }
        if (c != u'\\') {
            out += c;
            continue;
        }
        if (++pos >= line.size())
            return std::nullopt;
        switch (line[pos].unicode()) {
        case u'\\': out += u'\\'; break;
        case u'"': out += u'"'; break;
        case u'r': out += u'\r'; break;
        case u'n': out += u'\n'; break;
        case u't': out += u'\t'; break;
        case u'u': {
            if (pos + 4 >= line.size())
                return std::nullopt;
            bool ok = false;
            const ushort code = line.mid(pos + 1, 4).toUShort(&ok, 16);
            if (!ok)
                return std::nullopt;
            out += QChar(code);
            pos += 4;
            break;
        }
        default:
            return std::nullopt;
        }
    }
    return std::nullopt; // cut off before the closing quote
}

} // namespace

bool HiveFile::parse(const QByteArray &text)
{
    m_keys.clear();
    QByteArray body = text;
    if (body.startsWith("\xEF\xBB\xBF"))
        body.remove(0, 3);
    const QString all = QString::fromUtf8(body);
    const QList<QStringView> lines = QStringView(all).split(u'\n');
    if (lines.isEmpty() || lines.first().trimmed() != QLatin1String(kHeader))
        return false;

    const QString rootPrefix = m_rootName + u'\\';
    Key *current = nullptr;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        QStringView line = lines[i];
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (line.trimmed().isEmpty())
            continue;
        if (line.startsWith(u'[')) {
            current = nullptr;
            if (!line.endsWith(u']'))
                continue;
            const QStringView full = line.mid(1, line.size() - 2);
            if (!full.startsWith(rootPrefix, Qt::CaseInsensitive))
                continue;
            const QString path = full.mid(rootPrefix.size()).toString();
            current = findKey(path);
            if (!current) {
                m_keys.append(Key{path, {}});
                current = &m_keys.last();
            }
            continue;
        }
        if (!current)
            continue;
        qsizetype pos = 0;
        QString name;
        if (line.startsWith(u'@')) {
            pos = 1;
        } else {
            const auto parsedName = unquote(line, pos);
            if (!parsedName)
                continue;
            name = *parsedName;
        }
        if (pos >= line.size() || line[pos] != u'=')
            continue;
        ++pos;
        const auto data = unquote(line, pos);
        if (!data || pos != line.size())
            continue;
        const QString path = current->path;
        setValue(path, name, *data);
        current = findKey(path);
    }
    return true;
}

QByteArray HiveFile::serialize() const
{
    QString out = QLatin1String(kHeader) + u'\n';
    for (const Key &key : m_keys) {
        out += QLatin1String("\n[") + m_rootName + u'\\' + key.path + QLatin1String("]\n");
        for (const Value &v : key.values) {
            out += (v.name.isEmpty() ? QStringLiteral("@") : quoted(v.name)) + u'=' + quoted(v.data)
                   + u'\n';
        }
    }
    return out.toUtf8();
}

HiveFile::Key *HiveFile::findKey(const QString &keyPath)
{
    for (Key &key : m_keys) {
        if (samePath(key.path, keyPath))
            return &key;
    }
    return nullptr;
}

const HiveFile::Key *HiveFile::findKey(const QString &keyPath) const
{
    for (const Key &key : m_keys) {
        if (samePath(key.path, keyPath))
            return &key;
    }
    return nullptr;
}

bool HiveFile::hasKey(const QString &keyPath) const
{
    return findKey(keyPath) != nullptr;
}

std::optional<QString> HiveFile::value(const QString &keyPath, const QString &name) const
{
    const Key *key = findKey(keyPath);
    if (!key)
        return std::nullopt;
    for (const Value &v : key->values) {
        if (samePath(v.name, name))
            return v.data;
    }
    return std::nullopt;
}

void HiveFile::setValue(const QString &keyPath, const QString &name, const QString &value)
{
    Key *key = findKey(keyPath);
    if (!key) {
        m_keys.append(Key{keyPath, {}});
        key = &m_keys.last();
    }
    for (Value &v : key->values) {
        if (samePath(v.name, name)) {
            v.data = value;
            return;
        }
    }
    key->values.append(Value{name, value});
}

} // namespace vn::platform

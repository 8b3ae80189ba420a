#include "widgets/versionrecord.h"

#include <QFile>
#include <QtEndian>
#include <algorithm>
#include <cstring>

namespace {

// Bounds-checked reads over a byte view. A read outside the view gives 0, so no read can go
// astray; callers check has() wherever a value decides what happens next.
class Bytes
{
public:
    explicit Bytes(QByteArrayView data, bool bigEndian = false)
        : m_data(data), m_bigEndian(bigEndian)
    {}

    quint64 size() const { return quint64(m_data.size()); }
    bool has(quint64 offset, quint64 length) const
    {
        return offset <= size() && length <= size() - offset;
    }
    QByteArrayView view(quint64 offset, quint64 length) const
    {
        return has(offset, length) ? m_data.sliced(qsizetype(offset), qsizetype(length))
                                   : QByteArrayView();
    }

    quint16 u16(quint64 offset) const { return read<quint16>(offset); }
    quint32 u32(quint64 offset) const { return read<quint32>(offset); }
    quint64 u64(quint64 offset) const { return read<quint64>(offset); }

private:
    template <typename T> T read(quint64 offset) const
    {
        if (!has(offset, sizeof(T)))
            return 0;
        T raw;
        std::memcpy(&raw, m_data.data() + offset, sizeof(T));
        return m_bigEndian ? qFromBigEndian(raw) : qFromLittleEndian(raw);
    }

    QByteArrayView m_data;
    bool m_bigEndian;
};

quint64 align4(quint64 offset)
{
    return (offset + 3) & ~quint64(3);
}

bool sameKey(const QString &key, QStringView expected)
{
    return QStringView(key).compare(expected, Qt::CaseInsensitive) == 0;
}

// ---------------------------------------------------------------------------------------------
// VS_VERSIONINFO: a tree of blocks, each { wLength, wValueLength, wType, key, pad, value, pad,
// children }. Offsets are aligned to 4 relative to the start of the root block.

constexpr quint64 kBlockHeader = 6;
constexpr quint32 kFixedInfoSignature = 0xFEEF04BD;
constexpr quint64 kFixedInfoSize = 52;

struct Block
{
    quint64 end = 0;
    QString key;
    quint64 valueStart = 0;
    quint64 valueEnd = 0;
    quint64 childrenStart = 0;
};

// The block at `pos`, which must lie within `limit`; no block when its header is damaged.
std::optional<Block> readBlock(const Bytes &bytes, quint64 pos, quint64 limit)
{
    limit = std::min(limit, bytes.size());
    if (pos > limit || limit - pos < kBlockHeader)
        return std::nullopt;
    const quint64 length = bytes.u16(pos);
    if (length < kBlockHeader || length > limit - pos)
        return std::nullopt;

    Block block;
    block.end = pos + length;
    const quint64 valueLength = bytes.u16(pos + 2);
    const bool textValue = bytes.u16(pos + 4) == 1;

    std::u16string key;
    quint64 p = pos + kBlockHeader;
    bool terminated = false;
    while (p + 2 <= block.end) {
        const char16_t c = bytes.u16(p);
        p += 2;
        if (c == 0) {
            terminated = true;
            break;
        }
        key.push_back(c);
    }
    if (!terminated)
        return std::nullopt;
    block.key = QString::fromStdU16String(key);

    // Text lengths count UTF-16 units. Some resource compilers write bytes instead; clamping to
    // the block and stopping at the terminator reads both right.
    const quint64 valueBytes = textValue ? valueLength * 2 : valueLength;
    block.valueStart = std::min(align4(p), block.end);
    block.valueEnd = std::min(block.valueStart + valueBytes, block.end);
    block.childrenStart = std::min(align4(block.valueStart + valueBytes), block.end);
    return block;
}

// Calls f for each readable child; a damaged child ends the list, as nothing after it can be
// located.
template <typename F> void forEachChild(const Bytes &bytes, const Block &parent, F &&f)
{
    quint64 pos = parent.childrenStart;
    while (pos < parent.end) {
        const std::optional<Block> child = readBlock(bytes, pos, parent.end);
        if (!child)
            return;
        f(*child);
        pos = align4(child->end); // a block is at least kBlockHeader long, so this advances
    }
}

QString readText(const Bytes &bytes, quint64 start, quint64 end)
{
    std::u16string text;
    for (quint64 p = start; p + 2 <= end; p += 2) {
        const char16_t c = bytes.u16(p);
        if (c == 0)
            break;
        text.push_back(c);
    }
    return QString::fromStdU16String(text);
}

QVersionNumber versionFrom(quint32 ms, quint32 ls)
{
    return QVersionNumber({int(ms >> 16), int(ms & 0xFFFF), int(ls >> 16), int(ls & 0xFFFF)});
}

void readStringFileInfo(const Bytes &bytes, const Block &info, VersionRecord &record)
{
    forEachChild(bytes, info, [&](const Block &table) {
        // The first of equally named blocks or values wins, as in the platform's own lookup.
        if (record.stringTables.contains(table.key))
            return;
        QMap<QString, QString> values;
        forEachChild(bytes, table, [&](const Block &entry) {
            if (!values.contains(entry.key))
                values.insert(entry.key, readText(bytes, entry.valueStart, entry.valueEnd));
        });
        record.stringTables.insert(table.key, values);
    });
}

void readVarFileInfo(const Bytes &bytes, const Block &info, VersionRecord &record)
{
    forEachChild(bytes, info, [&](const Block &var) {
        if (!record.translations.isEmpty() || !sameKey(var.key, u"Translation"))
            return;
        for (quint64 p = var.valueStart; p + 4 <= var.valueEnd; p += 4)
            record.translations.append({bytes.u16(p), bytes.u16(p + 2)});
    });
}

template <typename Map> const typename Map::mapped_type *findKey(const Map &map, const QString &key)
{
    const auto exact = map.constFind(key);
    if (exact != map.constEnd())
        return &exact.value();
    for (auto it = map.constBegin(); it != map.constEnd(); ++it) {
        if (sameKey(it.key(), key))
            return &it.value();
    }
    return nullptr;
}

// ---------------------------------------------------------------------------------------------
// PE: data directory -> resource tree -> RT_VERSION / first name / first language.

struct Span
{
    quint64 offset = 0;
    quint64 length = 0;
};

class PeSections
{
public:
    PeSections(const Bytes &bytes, quint64 table, quint64 count)
        : m_bytes(bytes), m_table(table), m_count(count)
    {}

    // The file bytes from `rva` to the end of its section's data in the file.
    std::optional<Span> map(quint64 rva) const
    {
        for (quint64 i = 0; i < m_count; ++i) {
            const quint64 header = m_table + i * kSectionHeaderSize;
            const quint64 virtualSize = m_bytes.u32(header + 8);
            const quint64 virtualAddress = m_bytes.u32(header + 12);
            const quint64 rawSize = m_bytes.u32(header + 16);
            const quint64 rawPointer = m_bytes.u32(header + 20);
            const quint64 extent = virtualSize != 0 ? std::min(virtualSize, rawSize) : rawSize;
            if (rva < virtualAddress || rva - virtualAddress >= extent)
                continue;
            const quint64 offset = rawPointer + (rva - virtualAddress);
            if (offset >= m_bytes.size())
                return std::nullopt;
            return Span{offset, std::min(extent - (rva - virtualAddress), m_bytes.size() - offset)};
        }
        return std::nullopt;
    }

    static constexpr quint64 kSectionHeaderSize = 40;

private:
    const Bytes &m_bytes;
    quint64 m_table;
    quint64 m_count;
};

struct ResourceEntry
{
    quint32 name = 0;
    quint32 target = 0;
};

constexpr quint32 kResourceSubdirectory = 0x80000000u;
constexpr quint32 kRtVersion = 16;

// The first entry of the directory at `dir` for which pick() holds.
template <typename Pick>
std::optional<ResourceEntry> findResourceEntry(const Bytes &tree, quint64 dir, Pick pick)
{
    if (!tree.has(dir, 16))
        return std::nullopt;
    const quint64 count = quint64(tree.u16(dir + 12)) + tree.u16(dir + 14);
    for (quint64 i = 0; i < count; ++i) {
        const quint64 entry = dir + 16 + i * 8;
        if (!tree.has(entry, 8))
            return std::nullopt;
        const ResourceEntry candidate{tree.u32(entry), tree.u32(entry + 4)};
        if (pick(candidate))
            return candidate;
    }
    return std::nullopt;
}

std::optional<quint64> subdirectoryOf(const std::optional<ResourceEntry> &entry)
{
    if (!entry || !(entry->target & kResourceSubdirectory))
        return std::nullopt;
    return entry->target & ~kResourceSubdirectory;
}

QByteArrayView findInPe(QByteArrayView image)
{
    const Bytes bytes(image);
    if (!bytes.has(0, 0x40) || bytes.u16(0) != 0x5A4D) // "MZ"
        return {};
    const quint64 pe = bytes.u32(0x3C);
    if (!bytes.has(pe, 24) || bytes.u32(pe) != 0x00004550) // "PE\0\0"
        return {};
    const quint64 coff = pe + 4;
    const quint64 sectionCount = bytes.u16(coff + 2);
    const quint64 optionalSize = bytes.u16(coff + 16);
    const quint64 optional = coff + 20;
    if (!bytes.has(optional, optionalSize) || optionalSize < 2)
        return {};

    quint64 countField = 0;
    quint64 directories = 0;
    switch (bytes.u16(optional)) {
    case 0x10B: // PE32
        countField = 92;
        directories = 96;
        break;
    case 0x20B: // PE32+
        countField = 108;
        directories = 112;
        break;
    default:
        return {};
    }
    constexpr quint64 kResourceDirectory = 2;
    if (optionalSize < directories + (kResourceDirectory + 1) * 8 ||
        bytes.u32(optional + countField) <= kResourceDirectory)
        return {};
    const quint64 resourceRva = bytes.u32(optional + directories + kResourceDirectory * 8);
    if (resourceRva == 0)
        return {};

    const quint64 sectionTable = optional + optionalSize;
    if (!bytes.has(sectionTable, sectionCount * PeSections::kSectionHeaderSize))
        return {};
    const PeSections sections(bytes, sectionTable, sectionCount);

    const std::optional<Span> treeSpan = sections.map(resourceRva);
    if (!treeSpan)
        return {};
    // Offsets inside the tree count from its root; a tree that points outside its section is
    // caught by the bounds of this view.
    const Bytes tree(bytes.view(treeSpan->offset, treeSpan->length));

    // Exactly three levels are walked, so a directory that points back at itself cannot loop.
    const auto byType =
        findResourceEntry(tree, 0, [](const ResourceEntry &e) { return e.name == kRtVersion; });
    const auto any = [](const ResourceEntry &) { return true; };
    const std::optional<quint64> names = subdirectoryOf(byType);
    if (!names)
        return {};
    const std::optional<quint64> languages = subdirectoryOf(findResourceEntry(tree, *names, any));
    if (!languages)
        return {};
    const std::optional<ResourceEntry> language = findResourceEntry(tree, *languages, any);
    if (!language || (language->target & kResourceSubdirectory) || !tree.has(language->target, 16))
        return {};

    const quint64 dataRva = tree.u32(language->target);
    const quint64 dataSize = tree.u32(language->target + 4);
    const std::optional<Span> data = sections.map(dataRva);
    if (!data || data->length < dataSize)
        return {};
    return bytes.view(data->offset, dataSize);
}

// ---------------------------------------------------------------------------------------------
// ELF: section header table -> section named ".vnversion".

QByteArrayView findInElf(QByteArrayView image)
{
    if (image.size() < 16 || !image.startsWith("\177ELF"))
        return {};
    const auto elfClass = quint8(image[4]);
    const auto encoding = quint8(image[5]);
    if ((elfClass != 1 && elfClass != 2) || (encoding != 1 && encoding != 2))
        return {};
    const bool is64 = elfClass == 2;
    const Bytes bytes(image, encoding == 2);
    if (!bytes.has(0, is64 ? 64 : 52))
        return {};

    const quint64 sectionTable = is64 ? bytes.u64(0x28) : bytes.u32(0x20);
    const quint64 entrySize = bytes.u16(is64 ? 0x3A : 0x2E);
    quint64 sectionCount = bytes.u16(is64 ? 0x3C : 0x30);
    quint64 namesIndex = bytes.u16(is64 ? 0x3E : 0x32);
    const quint64 headerSize = is64 ? 64 : 40;
    if (sectionTable == 0 || entrySize < headerSize || !bytes.has(sectionTable, headerSize))
        return {};

    const auto nameOffset = [&](quint64 h) -> quint64 { return bytes.u32(h); };
    const auto type = [&](quint64 h) -> quint64 { return bytes.u32(h + 4); };
    const auto offset = [&](quint64 h) { return is64 ? bytes.u64(h + 24) : bytes.u32(h + 16); };
    const auto size = [&](quint64 h) { return is64 ? bytes.u64(h + 32) : bytes.u32(h + 20); };
    const auto link = [&](quint64 h) -> quint64 { return bytes.u32(h + (is64 ? 40 : 24)); };

    // Counts that do not fit the header live in section 0.
    constexpr quint64 kExtendedIndex = 0xFFFF;
    if (sectionCount == 0)
        sectionCount = size(sectionTable);
    if (namesIndex == kExtendedIndex)
        namesIndex = link(sectionTable);
    // Every header must lie in the file; this also bounds the loop below by the file size.
    if (sectionCount > (bytes.size() - sectionTable) / entrySize || namesIndex >= sectionCount)
        return {};

    constexpr quint64 kNoBits = 8;
    const quint64 namesHeader = sectionTable + namesIndex * entrySize;
    if (type(namesHeader) == kNoBits)
        return {};
    const QByteArrayView names = bytes.view(offset(namesHeader), size(namesHeader));
    if (names.isEmpty())
        return {};

    static constexpr char kSectionName[] = ".vnversion";
    constexpr quint64 kNameLength = sizeof(kSectionName); // with its terminator
    for (quint64 i = 0; i < sectionCount; ++i) {
        const quint64 header = sectionTable + i * entrySize;
        const quint64 name = nameOffset(header);
        if (name > quint64(names.size()) || quint64(names.size()) - name < kNameLength)
            continue;
        if (std::memcmp(names.data() + name, kSectionName, kNameLength) != 0)
            continue;
        if (type(header) == kNoBits)
            return {};
        return bytes.view(offset(header), size(header));
    }
    return {};
}

} // namespace

QString VersionTranslation::blockName() const
{
    return QString::asprintf("%04X%04X", unsigned(language), unsigned(codePage));
}

std::optional<VersionTranslation> VersionRecord::translation() const
{
    if (translations.isEmpty())
        return std::nullopt;
    return translations.constFirst();
}

QString VersionRecord::value(const QString &name) const
{
    const std::optional<VersionTranslation> first = translation();
    if (!first)
        return {};
    const QMap<QString, QString> *table = findKey(stringTables, first->blockName());
    if (!table)
        return {};
    const QString *found = findKey(*table, name);
    return found ? *found : QString();
}

std::optional<VersionRecord> ParseVersionInfo(QByteArrayView data)
{
    const Bytes bytes(data);
    const std::optional<Block> root = readBlock(bytes, 0, bytes.size());
    if (!root || !sameKey(root->key, u"VS_VERSION_INFO"))
        return std::nullopt;

    VersionRecord record;
    const quint64 fixed = root->valueStart;
    if (root->valueEnd - fixed >= kFixedInfoSize && bytes.u32(fixed) == kFixedInfoSignature) {
        record.fileVersion = versionFrom(bytes.u32(fixed + 8), bytes.u32(fixed + 12));
        record.productVersion = versionFrom(bytes.u32(fixed + 16), bytes.u32(fixed + 20));
    }
    forEachChild(bytes, *root, [&](const Block &child) {
        if (sameKey(child.key, u"StringFileInfo"))
            readStringFileInfo(bytes, child, record);
        else if (sameKey(child.key, u"VarFileInfo"))
            readVarFileInfo(bytes, child, record);
    });
    return record;
}

QByteArrayView FindVersionInfo(QByteArrayView image)
{
    if (image.startsWith("MZ"))
        return findInPe(image);
    return findInElf(image);
}

std::optional<VersionRecord> ReadVersionRecordFromImage(QByteArrayView image)
{
    const QByteArrayView info = FindVersionInfo(image);
    if (info.isEmpty())
        return std::nullopt;
    return ParseVersionInfo(info);
}

std::optional<VersionRecord> ReadVersionRecord(const QString &path)
{
    // Read into memory rather than mapped: a program file replaced while it is read (the
    // self-update does that) must not take the reader down.
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return ReadVersionRecordFromImage(file.readAll());
}

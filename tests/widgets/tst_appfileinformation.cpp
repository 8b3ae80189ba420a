#include "testrunner.h"
#include "widgets/appfileinformation.h"
#include "widgets/versionrecord.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>
#include <optional>

namespace {

// ---- little-endian byte writing --------------------------------------------------------------

class Out
{
public:
    explicit Out(bool bigEndian = false) : m_bigEndian(bigEndian) {}

    QByteArray &bytes() { return m_bytes; }
    qsizetype size() const { return m_bytes.size(); }

    void u8(quint8 v) { m_bytes.append(char(v)); }
    void u16(quint16 v) { append(v); }
    void u32(quint32 v) { append(v); }
    void u64(quint64 v) { append(v); }
    void raw(const QByteArray &data) { m_bytes.append(data); }
    void padTo(qsizetype alignment)
    {
        while (m_bytes.size() % alignment != 0)
            m_bytes.append('\0');
    }
    void zeros(qsizetype count) { m_bytes.append(count, '\0'); }

private:
    template <typename T> void append(T v)
    {
        const T stored = m_bigEndian ? qToBigEndian(v) : qToLittleEndian(v);
        m_bytes.append(reinterpret_cast<const char *>(&stored), sizeof(T));
    }

    QByteArray m_bytes;
    bool m_bigEndian;
};

void put16(QByteArray &bytes, qsizetype at, quint16 v)
{
    qToLittleEndian(v, bytes.data() + at);
}

void put32(QByteArray &bytes, qsizetype at, quint32 v)
{
    qToLittleEndian(v, bytes.data() + at);
}

QByteArray utf16z(const QString &text)
{
    QByteArray bytes;
    for (const QChar c : text) {
        bytes.append(char(c.unicode() & 0xFF));
        bytes.append(char(c.unicode() >> 8));
    }
    return bytes.append(2, '\0');
}

// ---- VS_VERSIONINFO ------------------------------------------------------------------------

// One block of the tree. Every block starts 4-aligned, so padding relative to the block is
// padding relative to the root.
QByteArray block(const QString &key, const QByteArray &value, bool text,
                 const QList<QByteArray> &children = {})
{
    Out out;
    out.zeros(6);
    out.raw(utf16z(key));
    out.padTo(4);
    out.raw(value);
    for (const QByteArray &child : children) {
        out.padTo(4);
        out.raw(child);
    }
    QByteArray bytes = out.bytes();
    put16(bytes, 0, quint16(bytes.size()));
    put16(bytes, 2, quint16(text ? value.size() / 2 : value.size()));
    put16(bytes, 4, text ? 1 : 0);
    return bytes;
}

QByteArray stringValue(const QString &name, const QString &value)
{
    return block(name, utf16z(value), true);
}

QByteArray fixedInfo(quint16 a, quint16 b, quint16 c, quint16 d)
{
    Out out;
    out.u32(0xFEEF04BD);
    out.u32(0x00010000);
    out.u32(quint32(a) << 16 | b);
    out.u32(quint32(c) << 16 | d);
    out.u32(quint32(d) << 16 | c); // product version: the file version backwards
    out.u32(quint32(b) << 16 | a);
    for (int i = 0; i < 7; ++i)
        out.u32(0);
    return out.bytes();
}

QByteArray translationTable(const QList<QPair<quint16, quint16>> &pairs)
{
    Out value;
    for (const auto &[language, codePage] : pairs) {
        value.u16(language);
        value.u16(codePage);
    }
    return block(QStringLiteral("VarFileInfo"), {}, true,
                 {block(QStringLiteral("Translation"), value.bytes(), false)});
}

QByteArray versionInfo(const QList<QByteArray> &children)
{
    return block(QStringLiteral("VS_VERSION_INFO"), fixedInfo(1, 2, 3, 4), false, children);
}

// Value names as a resource compiler writes them ("OriginalFilename"), with the field each
// one lands in.
using Getter = QString (TDCAppFileInformation::*)() const;
struct Field
{
    const char *name;
    Getter getter;
};
const Field kFields[] = {
    {"CompanyName", &TDCAppFileInformation::FCompanyName},
    {"FileDescription", &TDCAppFileInformation::FFileDescription},
    {"FileVersion", &TDCAppFileInformation::FFileVersion},
    {"InternalName", &TDCAppFileInformation::FInternalName},
    {"LegalCopyright", &TDCAppFileInformation::FLegalCopyright},
    {"LegalTrademarks", &TDCAppFileInformation::FLegalTrademarks},
    {"OriginalFilename", &TDCAppFileInformation::FOriginalFileName},
    {"ProductName", &TDCAppFileInformation::FProductName},
    {"ProductVersion", &TDCAppFileInformation::FProductVersion},
    {"InternetDirect", &TDCAppFileInformation::FInternetDirectVersion},
    {"SpecialThanks", &TDCAppFileInformation::FSpecialThanks},
    {"Comments", &TDCAppFileInformation::FComments},
    {"SpecialBuild", &TDCAppFileInformation::FSpecialBuild},
    {"PrivateBuild", &TDCAppFileInformation::FPrivateBuild},
};

QByteArray stringTable(const QString &name, const QString &prefix)
{
    QList<QByteArray> values;
    for (const Field &field : kFields)
        values.append(stringValue(QLatin1String(field.name), prefix + QLatin1String(field.name)));
    return block(name, {}, true, values);
}

// Two string blocks; the translation table names the second one, so a reader that takes the
// first block (or the last translation) shows "en:" values.
QByteArray swedishRecord()
{
    const QByteArray strings =
        block(QStringLiteral("StringFileInfo"), {}, true,
              {stringTable(QStringLiteral("040904B0"), QStringLiteral("en:")),
               stringTable(QStringLiteral("041D04B0"), QStringLiteral("sv:"))});
    return versionInfo({strings, translationTable({{0x041D, 0x04B0}, {0x0409, 0x04B0}})});
}

QByteArray recordWithCompany(const QString &blockName, const QByteArray &companyBlock,
                             const QList<QByteArray> &extra = {})
{
    QList<QByteArray> values{companyBlock};
    values.append(extra);
    const QByteArray strings =
        block(QStringLiteral("StringFileInfo"), {}, true, {block(blockName, {}, true, values)});
    return versionInfo({strings, translationTable({{0x041D, 0x04B0}})});
}

// ---- PE ------------------------------------------------------------------------------------

// Layout of the PE images below, for the tests that damage them.
constexpr qsizetype kPeHeader = 0x40;
constexpr qsizetype kCoff = kPeHeader + 4;
constexpr qsizetype kOptional = kCoff + 20;
constexpr qsizetype kRsrcRaw = 0x400;
constexpr quint32 kRsrcRva = 0x3000; // differs from the file offset, as in real files
constexpr qsizetype kVersionLanguageDir = 104;
constexpr qsizetype kVersionDataEntry = 152;

// A PE image with a .text section and a .rsrc section. The resource tree has an icon type
// before RT_VERSION, and a second language after the first whose data is not a version record.
QByteArray peImage(const QByteArray &info, bool pe32plus, bool withVersion = true)
{
    Out rsrc;
    const auto dir = [&](quint16 ids) {
        for (int i = 0; i < 3; ++i)
            rsrc.u32(0);
        rsrc.u16(0);
        rsrc.u16(ids);
    };
    const auto entry = [&](quint32 name, quint32 target) {
        rsrc.u32(name);
        rsrc.u32(target);
    };
    constexpr quint32 kSub = 0x80000000u;
    dir(withVersion ? 2 : 1); // 0
    entry(3, kSub | 32);
    if (withVersion)
        entry(16, kSub | 80);
    rsrc.zeros(32 - rsrc.size());
    dir(1); // 32: icon names
    entry(1, kSub | 56);
    dir(1); // 56: icon languages
    entry(0x0409, 136);
    rsrc.zeros(80 - rsrc.size());
    dir(1); // 80: version names
    entry(1, kSub | kVersionLanguageDir);
    dir(2); // 104: version languages
    entry(0x041D, kVersionDataEntry);
    entry(0x0409, 136);
    Q_ASSERT(rsrc.size() == 136);
    const QByteArray junk(16, 'J');
    rsrc.u32(kRsrcRva + 168); // 136: data entry of the icon and the second language
    rsrc.u32(quint32(junk.size()));
    rsrc.u32(0);
    rsrc.u32(0);
    rsrc.u32(kRsrcRva + 184); // 152: data entry of the version record
    rsrc.u32(quint32(info.size()));
    rsrc.u32(0);
    rsrc.u32(0);
    rsrc.raw(junk); // 168
    rsrc.raw(info); // 184; last in the file, so every truncation cuts into it

    Out pe;
    pe.u16(0x5A4D);
    pe.zeros(0x3C - 2);
    pe.u32(kPeHeader);
    pe.raw("PE");
    pe.u16(0);
    pe.u16(pe32plus ? 0x8664 : 0x014C);
    pe.u16(2); // sections
    pe.zeros(12);
    const quint16 optionalSize = pe32plus ? 240 : 224;
    pe.u16(optionalSize);
    pe.u16(0x0102);
    pe.u16(pe32plus ? 0x20B : 0x10B);
    pe.zeros((pe32plus ? 108 : 92) - 2);
    pe.u32(16); // data directories
    for (int i = 0; i < 16; ++i) {
        pe.u32(i == 2 ? kRsrcRva : 0);
        pe.u32(i == 2 ? quint32(rsrc.size()) : 0);
    }
    Q_ASSERT(pe.size() == kOptional + optionalSize);
    const auto section = [&](const char *name, quint32 rva, quint32 size, quint32 raw) {
        QByteArray n(name);
        n.resize(8, '\0');
        pe.raw(n);
        pe.u32(size);
        pe.u32(rva);
        pe.u32(size);
        pe.u32(raw);
        pe.zeros(16);
    };
    section(".text", 0x1000, 0x200, 0x200);
    section(".rsrc", kRsrcRva, quint32(rsrc.size()), kRsrcRaw);
    pe.zeros(0x200 - pe.size());
    pe.raw(QByteArray(0x200, '\xCC'));
    pe.raw(rsrc.bytes());
    return pe.bytes();
}

// ---- ELF -----------------------------------------------------------------------------------

struct ElfLayout
{
    qsizetype sectionTable = 0;
    qsizetype entrySize = 0;
};

// An ELF image with .text, a decoy ".vnversion.bak", ".vnversion" and .shstrtab.
QByteArray elfImage(const QByteArray &info, bool is64, bool bigEndian, ElfLayout *layout = nullptr)
{
    const QByteArray names("\0.text\0.vnversion.bak\0.vnversion\0.shstrtab\0", 44);
    struct Section
    {
        quint32 name;
        quint32 type;
        QByteArray data;
    };
    const QList<Section> sections{
        {1, 1, QByteArray(32, '\x90')},
        {7, 1, QByteArray(64, 'J')},
        {22, 1, info},
        {33, 3, names},
    };

    Out out(bigEndian);
    const qsizetype headerSize = is64 ? 64 : 52;
    const qsizetype entrySize = is64 ? 64 : 40;
    out.zeros(headerSize);
    QList<quint64> offsets;
    for (const Section &s : sections) {
        out.padTo(8);
        offsets.append(quint64(out.size()));
        out.raw(s.data);
    }
    out.padTo(8);
    const qsizetype table = out.size();
    out.zeros(entrySize); // the null section
    for (qsizetype i = 0; i < sections.size(); ++i) {
        const Section &s = sections[i];
        out.u32(s.name);
        out.u32(s.type);
        if (is64) {
            out.u64(0); // flags
            out.u64(0); // address
            out.u64(offsets[i]);
            out.u64(quint64(s.data.size()));
            out.u32(0);
            out.u32(0);
            out.u64(1);
            out.u64(0);
        } else {
            out.u32(0);
            out.u32(0);
            out.u32(quint32(offsets[i]));
            out.u32(quint32(s.data.size()));
            out.u32(0);
            out.u32(0);
            out.u32(1);
            out.u32(0);
        }
    }
    const quint16 count = quint16(sections.size() + 1);

    Out h(bigEndian);
    h.raw("\177ELF");
    h.u8(is64 ? 2 : 1);
    h.u8(bigEndian ? 2 : 1);
    h.u8(1);
    h.zeros(9);
    h.u16(2);             // executable
    h.u16(is64 ? 62 : 3); // x86-64 / i386
    h.u32(1);
    if (is64) {
        h.u64(0);
        h.u64(0);
        h.u64(quint64(table));
    } else {
        h.u32(0);
        h.u32(0);
        h.u32(quint32(table));
    }
    h.u32(0);
    h.u16(quint16(headerSize));
    h.u16(0);
    h.u16(0);
    h.u16(quint16(entrySize));
    h.u16(count);
    h.u16(count - 1); // .shstrtab
    Q_ASSERT(h.size() == headerSize);
    QByteArray image = out.bytes();
    image.replace(0, headerSize, h.bytes());
    if (layout)
        *layout = {table, entrySize};
    return image;
}

// ---- helpers -------------------------------------------------------------------------------

QString writeFile(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        return {};
    return path;
}

QStringList allFields(const TDCAppFileInformation &info)
{
    QStringList values;
    for (const Field &field : kFields)
        values.append((info.*field.getter)());
    return values;
}

QStringList emptyFields()
{
    return QStringList(qsizetype(std::size(kFields)), QString());
}

} // namespace

class TstAppFileInformation : public QObject
{
    Q_OBJECT

private slots:
    void readsBlockOfFirstTranslation_data();
    void readsBlockOfFirstTranslation();
    void resourceCompilerOutput_data();
    void resourceCompilerOutput();
    void recordVariants_data();
    void recordVariants();
    void withoutUsableTranslationFieldsStayEmpty_data();
    void withoutUsableTranslationFieldsStayEmpty();
    void malformedFileReadsAsNoRecord_data();
    void malformedFileReadsAsNoRecord();
    void everyTruncationReadsAsNoRecord_data();
    void everyTruncationReadsAsNoRecord();
    void survivesEveryByteDamaged();
    void samePathIsNotReadAgain();
    void readsRunningProgramByDefault();
    void builtProgramCarriesProjectVersion();
};

void TstAppFileInformation::readsBlockOfFirstTranslation_data()
{
    QTest::addColumn<QByteArray>("image");
    const QByteArray info = swedishRecord();
    QTest::newRow("PE32+") << peImage(info, true);
    QTest::newRow("PE32") << peImage(info, false);
    QTest::newRow("ELF64") << elfImage(info, true, false);
    QTest::newRow("ELF32") << elfImage(info, false, false);
    QTest::newRow("ELF64 big-endian") << elfImage(info, true, true);
    QTest::newRow("ELF32 big-endian") << elfImage(info, false, true);
}

void TstAppFileInformation::readsBlockOfFirstTranslation()
{
    QFETCH(QByteArray, image);
    QTemporaryDir dir;
    const QString path = writeFile(dir, QStringLiteral("program.exe"), image);
    QVERIFY(!path.isEmpty());

    TDCAppFileInformation info(this);
    info.setFileToCheck(path);

    QCOMPARE(info.FInfoFromFile(), QFileInfo(path).absoluteFilePath());
    QStringList expected;
    for (const Field &field : kFields)
        expected.append(QLatin1String("sv:") + QLatin1String(field.name));
    QCOMPARE(allFields(info), expected);

    const std::optional<VersionRecord> record = ReadVersionRecord(path);
    QVERIFY(record);
    QCOMPARE(record->translation().value_or(VersionTranslation{}).blockName(),
             QStringLiteral("041D04B0"));
    QCOMPARE(record->fileVersion, QVersionNumber({1, 2, 3, 4}));
    QCOMPARE(record->productVersion, QVersionNumber({4, 3, 2, 1}));
}

// Images linked by a real toolchain from the generated resource script (see
// fixtures/version_fixtures.md): the script and the reader must agree with the resource
// compiler and linker, not only with each other.
void TstAppFileInformation::resourceCompilerOutput_data()
{
    QTest::addColumn<QString>("file");
    QTest::newRow("PE32+") << QStringLiteral("version_pe64.exe");
    QTest::newRow("PE32") << QStringLiteral("version_pe32.exe");
}

void TstAppFileInformation::resourceCompilerOutput()
{
    QFETCH(QString, file);
    TDCAppFileInformation info(this);
    info.setFileToCheck(QStringLiteral(VN_TEST_DATA_DIR "/") + file);

    QCOMPARE(info.FCompanyName(), QStringLiteral("Vennic"));
    QCOMPARE(info.FFileDescription(), QStringLiteral("Vennic Hälsodeklaration"));
    QCOMPARE(info.FProductName(), QStringLiteral("Vennic Hälsodeklaration"));
    QCOMPARE(info.FLegalCopyright(),
             QStringLiteral("Copyright © Vennic. Alla rättigheter förbehållna."));
    QCOMPARE(info.FOriginalFileName(), QStringLiteral("halsodeklaration"));
    QCOMPARE(info.FFileVersion(), QStringLiteral("1.2.3"));
    QCOMPARE(info.FProductVersion(), QStringLiteral("1.2.3"));
    QCOMPARE(info.FComments(), QString());

    const auto record = ReadVersionRecord(info.FInfoFromFile());
    QVERIFY(record);
    QCOMPARE(record->productVersion, QVersionNumber({1, 2, 3, 0}));
}

// Shapes a valid record may take; each must still give CompanyName from block 041D04B0.
void TstAppFileInformation::recordVariants_data()
{
    QTest::addColumn<QByteArray>("info");
    QTest::addColumn<QString>("company");

    const QString sv = QStringLiteral("041D04B0");
    const QByteArray company = stringValue(QStringLiteral("CompanyName"), QStringLiteral("Vennic"));
    QTest::newRow("plain") << recordWithCompany(sv, company) << QStringLiteral("Vennic");
    QTest::newRow("block name in lower case")
        << recordWithCompany(QStringLiteral("041d04b0"), company) << QStringLiteral("Vennic");
    QTest::newRow("value name in other case")
        << recordWithCompany(sv, stringValue(QStringLiteral("companyname"), QStringLiteral("V")))
        << QStringLiteral("V");

    QByteArray bytesCounted = company;
    put16(bytesCounted, 2, quint16(utf16z(QStringLiteral("Vennic")).size()));
    QTest::newRow("value length counted in bytes")
        << recordWithCompany(sv, bytesCounted) << QStringLiteral("Vennic");

    QByteArray unterminated =
        block(QStringLiteral("CompanyName"), QByteArray("V\0e\0n\0", 6), true);
    QTest::newRow("value without terminator")
        << recordWithCompany(sv, unterminated) << QStringLiteral("Ven");

    QByteArray zeroLength = company;
    put16(zeroLength, 2, 0);
    QTest::newRow("value of zero length") << recordWithCompany(sv, zeroLength) << QString();

    QTest::newRow("first of two equal names wins")
        << recordWithCompany(sv, company,
                             {stringValue(QStringLiteral("CompanyName"), QStringLiteral("Other"))})
        << QStringLiteral("Vennic");

    QByteArray damagedSibling = recordWithCompany(sv, company, {QByteArray(8, '\0')});
    QTest::newRow("damaged block after the value") << damagedSibling << QStringLiteral("Vennic");

    QTest::newRow("bytes after the record")
        << recordWithCompany(sv, company) + QByteArray(64, '\xFF') << QStringLiteral("Vennic");
}

void TstAppFileInformation::recordVariants()
{
    QFETCH(QByteArray, info);
    QFETCH(QString, company);
    const std::optional<VersionRecord> record = ParseVersionInfo(info);
    QVERIFY(record);
    QCOMPARE(record->value(QStringLiteral("CompanyName")), company);
    // The same bytes must also be found where an executable keeps them.
    const auto fromPe = ReadVersionRecordFromImage(peImage(info, true));
    QVERIFY(fromPe);
    QCOMPARE(fromPe->value(QStringLiteral("CompanyName")), company);
}

void TstAppFileInformation::withoutUsableTranslationFieldsStayEmpty_data()
{
    QTest::addColumn<QByteArray>("info");
    const QByteArray strings =
        block(QStringLiteral("StringFileInfo"), {}, true,
              {stringTable(QStringLiteral("041D04B0"), QStringLiteral("sv:"))});
    QTest::newRow("no VarFileInfo") << versionInfo({strings});
    QTest::newRow("empty translation table") << versionInfo({strings, translationTable({})});
    QTest::newRow("translation names a missing block")
        << versionInfo({strings, translationTable({{0x0409, 0x04E4}})});
    QTest::newRow("no fixed info and no children")
        << block(QStringLiteral("VS_VERSION_INFO"), {}, false);
}

void TstAppFileInformation::withoutUsableTranslationFieldsStayEmpty()
{
    QFETCH(QByteArray, info);
    QTemporaryDir dir;
    const QString path = writeFile(dir, QStringLiteral("program.exe"), peImage(info, true));
    QVERIFY(ReadVersionRecord(path)); // a record, only without values to show

    TDCAppFileInformation fileInfo(this);
    fileInfo.setFileToCheck(path);
    QCOMPARE(fileInfo.FInfoFromFile(), QFileInfo(path).absoluteFilePath());
    QCOMPARE(allFields(fileInfo), emptyFields());
}

void TstAppFileInformation::malformedFileReadsAsNoRecord_data()
{
    QTest::addColumn<QByteArray>("image");

    const QByteArray info = swedishRecord();
    const QByteArray pe = peImage(info, true);
    const auto damagedPe = [&](qsizetype at, quint32 value) {
        QByteArray bytes = pe;
        put32(bytes, at, value);
        return bytes;
    };
    const auto damagedPe16 = [&](qsizetype at, quint16 value) {
        QByteArray bytes = pe;
        put16(bytes, at, value);
        return bytes;
    };

    QTest::newRow("empty file") << QByteArray();
    QTest::newRow("text file") << QByteArray("MZ is not enough\n");
    QTest::newRow("PE without version resource") << peImage(info, true, false);
    QTest::newRow("PE header offset beyond file") << damagedPe(0x3C, 0xFFFFFFF0u);
    QTest::newRow("PE signature wrong") << damagedPe(kPeHeader, 0x00004550u + 1);
    QTest::newRow("PE section count beyond file") << damagedPe16(kCoff + 2, 0xFFFF);
    QTest::newRow("PE optional header unknown") << damagedPe16(kOptional, 0x0107);
    QTest::newRow("PE without resource directory entry") << damagedPe(kOptional + 108, 2);
    QTest::newRow("PE resource directory outside sections")
        << damagedPe(kOptional + 112 + 16, 0x9000);
    QTest::newRow("PE language directory pointing at itself")
        << damagedPe(kRsrcRaw + kVersionLanguageDir + 20, 0x80000000u | kVersionLanguageDir);
    QTest::newRow("PE language directory empty")
        << damagedPe16(kRsrcRaw + kVersionLanguageDir + 14, 0);
    QTest::newRow("PE language directory beyond tree")
        << damagedPe(kRsrcRaw + 80 + 20, 0x80001000u);
    QTest::newRow("PE data outside sections") << damagedPe(kRsrcRaw + kVersionDataEntry, 0x9000);
    QTest::newRow("PE data size beyond file")
        << damagedPe(kRsrcRaw + kVersionDataEntry + 4, 0xFFFF);
    QTest::newRow("PE data in section without file bytes") << [&] {
        // .rsrc claims more memory than file bytes; the record RVA lies in the zero-filled part.
        QByteArray bytes = pe;
        const qsizetype rsrcHeader = kOptional + 240 + 40;
        put32(bytes, rsrcHeader + 8, 0x10000);
        put32(bytes, kRsrcRaw + kVersionDataEntry, kRsrcRva + 0x8000);
        return bytes;
    }();

    QByteArray badKey = info;
    badKey[6] = 'W';
    QTest::newRow("root key not VS_VERSION_INFO") << peImage(badKey, true);
    QByteArray longRoot = info;
    put16(longRoot, 0, quint16(info.size() + 4));
    QTest::newRow("root length beyond data") << peImage(longRoot, true);
    QByteArray shortRoot = info;
    put16(shortRoot, 0, 4);
    QTest::newRow("root length shorter than a header") << peImage(shortRoot, true);
    QByteArray unterminatedKey =
        QByteArray::fromHex("200000000000") + utf16z(QStringLiteral("VS_VERSION_IN")).chopped(2);
    QTest::newRow("root key without terminator") << peImage(unterminatedKey, true);

    ElfLayout layout;
    const QByteArray elf = elfImage(info, true, false, &layout);
    const auto damagedElf = [&](qsizetype at, QByteArray bytes) {
        QByteArray image = elf;
        image.replace(at, bytes.size(), bytes);
        return image;
    };
    const auto le16 = [](quint16 v) {
        QByteArray b(2, '\0');
        qToLittleEndian(v, b.data());
        return b;
    };
    const auto le64 = [](quint64 v) {
        QByteArray b(8, '\0');
        qToLittleEndian(v, b.data());
        return b;
    };
    const qsizetype vnversion = layout.sectionTable + 3 * layout.entrySize;
    QTest::newRow("ELF unknown class") << damagedElf(4, QByteArray(1, '\x03'));
    QTest::newRow("ELF section table beyond file") << damagedElf(0x28, le64(0xFFFFFFFFFFFF0000u));
    QTest::newRow("ELF section table without offset") << damagedElf(0x28, le64(0));
    QTest::newRow("ELF section entry too small") << damagedElf(0x3A, le16(16));
    QTest::newRow("ELF section count beyond file") << damagedElf(0x3C, le16(0x7FFF));
    QTest::newRow("ELF huge count in section 0")
        << damagedElf(layout.sectionTable + 32, le64(quint64(1) << 60)).replace(0x3C, 2, le16(0));
    QTest::newRow("ELF name table index beyond count") << damagedElf(0x3E, le16(9));
    QTest::newRow("ELF name offset beyond name table")
        << damagedElf(vnversion, QByteArray::fromHex("ffffff7f"));
    QTest::newRow("ELF section data beyond file") << damagedElf(vnversion + 24, le64(0x7FFFFFFFu));
    QTest::newRow("ELF section size beyond file") << damagedElf(vnversion + 32, le64(~quint64(0)));
    QTest::newRow("ELF section without file bytes") << damagedElf(vnversion + 4, le16(8));
    QTest::newRow("ELF with an empty section") << elfImage({}, true, false);
}

void TstAppFileInformation::malformedFileReadsAsNoRecord()
{
    QFETCH(QByteArray, image);
    QVERIFY(!ReadVersionRecordFromImage(image));

    QTemporaryDir dir;
    const QString path = writeFile(dir, QStringLiteral("program.exe"), image);
    QVERIFY(!path.isEmpty());
    TDCAppFileInformation info(this);
    info.setFileToCheck(path);
    QCOMPARE(info.FInfoFromFile(), QFileInfo(path).absoluteFilePath());
    QCOMPARE(allFields(info), emptyFields());
}

void TstAppFileInformation::everyTruncationReadsAsNoRecord_data()
{
    QTest::addColumn<QByteArray>("image");
    const QByteArray info = swedishRecord();
    QTest::newRow("PE32+") << peImage(info, true);
    QTest::newRow("PE32") << peImage(info, false);
    QTest::newRow("ELF64") << elfImage(info, true, false);
    QTest::newRow("ELF32 big-endian") << elfImage(info, false, true);
}

// The record (PE) or the section headers (ELF) come last, so every shorter file is damaged.
void TstAppFileInformation::everyTruncationReadsAsNoRecord()
{
    QFETCH(QByteArray, image);
    QVERIFY(ReadVersionRecordFromImage(image));
    for (qsizetype length = 0; length < image.size(); ++length) {
        // A copy of exactly that length, so that the sanitizer sees any read past its end.
        const QByteArray prefix = image.left(length);
        if (ReadVersionRecordFromImage(prefix))
            QFAIL(qPrintable(QStringLiteral("a record in the first %1 bytes").arg(length)));
    }
}

// Each byte in turn set to values that mean "large" or "none"; the reader may find a record or
// not, but must stay within the bytes (the sanitizers watch) and finish.
void TstAppFileInformation::survivesEveryByteDamaged()
{
    const QString sv = QStringLiteral("041D04B0");
    const QByteArray strings = block(
        QStringLiteral("StringFileInfo"), {}, true,
        {block(QStringLiteral("040904B0"), {}, true, {stringValue(sv, QStringLiteral("en"))}),
         block(sv, {}, true, {stringValue(QStringLiteral("CompanyName"), QStringLiteral("sv"))})});
    const QByteArray info = versionInfo({strings, translationTable({{0x041D, 0x04B0}})});

    const auto survive = [](const QByteArray &bytes, auto read) {
        for (qsizetype at = 0; at < bytes.size(); ++at) {
            for (const char value : {'\x00', '\x7F', '\x80', '\xFF'}) {
                QByteArray damaged = bytes;
                damaged[at] = value;
                if (const auto record = read(damaged))
                    record->value(QStringLiteral("CompanyName"));
            }
        }
    };
    survive(info, ParseVersionInfo);
    for (const QByteArray &image : {peImage(info, true), peImage(info, false),
                                    elfImage(info, true, false), elfImage(info, false, true)})
        survive(image, ReadVersionRecordFromImage);
}

void TstAppFileInformation::samePathIsNotReadAgain()
{
    QTemporaryDir dir;
    const auto company = [](const QString &name) {
        return peImage(recordWithCompany(QStringLiteral("041D04B0"),
                                         stringValue(QStringLiteral("CompanyName"), name)),
                       true);
    };
    const QString first = writeFile(dir, QStringLiteral("first.exe"), company(QStringLiteral("A")));
    const QString second = writeFile(dir, QStringLiteral("second.exe"), {});
    QVERIFY(!first.isEmpty() && !second.isEmpty());

    TDCAppFileInformation info(this);
    info.setFileToCheck(first);
    QCOMPARE(info.FCompanyName(), QStringLiteral("A"));

    QVERIFY(!writeFile(dir, QStringLiteral("first.exe"), company(QStringLiteral("B"))).isEmpty());
    info.setFileToCheck(first);
    QCOMPARE(info.FCompanyName(), QStringLiteral("A"));
    // Another spelling of the same file is the same path.
    info.setFileToCheck(QDir(dir.path()).filePath(QStringLiteral("./first.exe")));
    QCOMPARE(info.FCompanyName(), QStringLiteral("A"));

    info.setFileToCheck(second);
    QCOMPARE(info.FCompanyName(), QString());
    info.setFileToCheck(first);
    QCOMPARE(info.FCompanyName(), QStringLiteral("B"));
}

void TstAppFileInformation::readsRunningProgramByDefault()
{
    const QString program = QFileInfo(QCoreApplication::applicationFilePath()).absoluteFilePath();
    TDCAppFileInformation info(this);
    QCOMPARE(info.FInfoFromFile(), program);
    QCOMPARE(info.FileToCheck(), program);

    QTemporaryDir dir;
    const QString other =
        writeFile(dir, QStringLiteral("other.exe"), peImage(swedishRecord(), true));
    info.setFileToCheck(other);
    QCOMPARE(info.FCompanyName(), QStringLiteral("sv:CompanyName"));
    info.setFileToCheck(QString());
    QCOMPARE(info.FInfoFromFile(), program);
    const auto own = ReadVersionRecord(program);
    QCOMPARE(info.FCompanyName(), own ? own->value(QStringLiteral("CompanyName")) : QString());
}

void TstAppFileInformation::builtProgramCarriesProjectVersion()
{
#if defined(VN_VERSIONED_EXECUTABLE) && defined(VN_PROJECT_VERSION)
    const QString program = QStringLiteral(VN_VERSIONED_EXECUTABLE);
    if (!QFileInfo::exists(program))
        QSKIP("the program is not built");
    TDCAppFileInformation info(this);
    info.setFileToCheck(program);
    QCOMPARE(info.FProductVersion(), QStringLiteral(VN_PROJECT_VERSION));
    QCOMPARE(info.FFileVersion(), QStringLiteral(VN_PROJECT_VERSION));
    QCOMPARE(info.FCompanyName(), QStringLiteral("Vennic"));
    QVERIFY(!info.FProductName().isEmpty());
    QCOMPARE(info.FFileDescription(), info.FProductName());

    const auto record = ReadVersionRecord(program);
    QVERIFY(record);
    QCOMPARE(record->translation().value_or(VersionTranslation{}).blockName(),
             QStringLiteral("041D04B0"));
    QCOMPARE(record->productVersion.normalized(),
             QVersionNumber::fromString(QStringLiteral(VN_PROJECT_VERSION)).normalized());
    QCOMPARE(record->fileVersion, record->productVersion);
#else
    QSKIP("no built program named to this test (vn_version_record_test)");
#endif
}

VN_REGISTER_TEST(TstAppFileInformation)
#include "tst_appfileinformation.moc"

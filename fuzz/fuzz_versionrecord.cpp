// The version-record reader over arbitrary bytes, both as a bare VS_VERSIONINFO and as a whole
// PE or ELF file. Good seeds: tests/widgets/fixtures/version_pe*.exe and a built executable.

#include "widgets/versionrecord.h"

#include <cstddef>
#include <cstdint>

namespace {

void use(const std::optional<VersionRecord> &record)
{
    if (!record)
        return;
    record->value(QStringLiteral("ProductVersion"));
    for (const VersionTranslation &translation : record->translations)
        translation.blockName();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    use(ParseVersionInfo(bytes));

    const QByteArrayView found = FindVersionInfo(bytes);
    if (!found.isEmpty()) {
        // The locator hands out a view into its input, never beyond it.
        if (found.data() < bytes.data() || found.size() > bytes.size() ||
            found.data() - bytes.data() > bytes.size() - found.size())
            __builtin_trap();
        use(ParseVersionInfo(found));
    }
    return 0;
}

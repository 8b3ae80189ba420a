// Random pictures against random texts, with and without auto-fill. Besides crashes and
// hangs, it checks what callers rely on: a malformed picture gives syntax, an error leaves the
// text as it was, and a match without auto-fill only normalises (same length).

#include "widgets/picturevalidator.h"

#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    // The first byte says how much of the rest is the picture (Latin-1, so letters above 128
    // occur); the remainder is the typed text (UTF-8).
    const size_t rest = size - 1;
    const size_t pictureLength = rest == 0 ? 0 : data[0] % (rest + 1);
    const auto *bytes = reinterpret_cast<const char *>(data + 1);
    const QString picture = QString::fromLatin1(bytes, qsizetype(pictureLength));
    const QString input = QString::fromUtf8(bytes + pictureLength, qsizetype(rest - pictureLength));

    const TwwPictureValidator validator(picture);
    const bool wellFormed = TwwPictureValidator::IsSyntaxValid(picture);
    for (const bool autoFill : {false, true}) {
        QString text = input;
        const PictureResult result = validator.Picture(text, autoFill);
        if ((result == PictureResult::Syntax) != !wellFormed)
            std::abort();
        if (result == PictureResult::Syntax || result == PictureResult::Error ||
            result == PictureResult::Empty) {
            if (text != input)
                std::abort();
        } else if (autoFill ? text.size() < input.size() : text.size() != input.size()) {
            std::abort();
        }
        if ((result == PictureResult::Empty) != (wellFormed && input.isEmpty()))
            std::abort();
    }
    return 0;
}

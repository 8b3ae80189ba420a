// Cipher text and stored documents come from a database that other programs write too.

#include "toolkit/base64.h"
#include "toolkit/cipherkeys.h"
#include "toolkit/richtextblob.h"
#include "toolkit/textcipher.h"

#include <cstddef>
#include <cstdint>

namespace {

void checkDecrypt(const TextCipher &cipher, QByteArrayView text)
{
    if (const auto plain = cipher.DecryptString(text)) {
        // Whatever decrypts must encrypt to a text that decrypts to the same bytes.
        if (cipher.DecryptString(cipher.EncryptString(*plain)) != plain)
            __builtin_trap();
    }
}

void checkBlobLoad(QByteArrayView blob)
{
    const RichTextLoad load = CopyRichEditFromBlob(blob);
    if (load.source != RichTextLoad::Source::Deciphered && load.text != blob)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const TextCipher credentials(CredentialKey());
    static const TextCipher richText(RichTextKey());
    const QByteArrayView input(reinterpret_cast<const char *>(data), qsizetype(size));
    // As text, and as the bytes behind a valid Base64 text, so that the block and count
    // handling and the inflating are reached as often as the Base64 decoding.
    const QByteArray wrapped = vn::Base64Encode(input);
    checkDecrypt(credentials, input);
    checkDecrypt(credentials, wrapped);
    checkBlobLoad(input);
    checkBlobLoad(wrapped);
    // Bytes that decrypt to a zlib stream built from the input reach the inflater's depths.
    checkBlobLoad(richText.EncryptString(input));
    return 0;
}

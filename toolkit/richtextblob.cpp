#include "toolkit/richtextblob.h"

#include "toolkit/cipherkeys.h"
#include "toolkit/textcipher.h"

#include <zlib.h>

namespace {

constexpr int kStoredCompressionLevel = 9;
constexpr qsizetype kMaxDocumentSize = qsizetype(256) * 1024 * 1024;

const TextCipher &richTextCipher()
{
    static const TextCipher cipher(RichTextKey());
    return cipher;
}

} // namespace

QByteArray ZlibCompress(QByteArrayView data, int level)
{
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    QByteArray out(static_cast<qsizetype>(size), Qt::Uninitialized);
    const int status = compress2(reinterpret_cast<Bytef *>(out.data()), &size,
                                 reinterpret_cast<const Bytef *>(data.data()),
                                 static_cast<uLong>(data.size()), level);
    if (status != Z_OK)
        return {};
    out.truncate(static_cast<qsizetype>(size));
    return out;
}

bool ZlibInflate(QByteArrayView stream, QByteArray &out, qsizetype maxSize)
{
    z_stream z{};
    if (inflateInit(&z) != Z_OK)
        return false;
    z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(stream.data()));
    z.avail_in = static_cast<uInt>(stream.size());
    out.clear();
    qsizetype produced = 0;
    int status = Z_OK;
    while (status == Z_OK) {
        if (produced == out.size()) {
            const qsizetype grown = qMax<qsizetype>(4096, out.size() * 2);
            if (out.size() >= maxSize)
                break;
            out.resize(qMin(grown, maxSize));
        }
        z.next_out = reinterpret_cast<Bytef *>(out.data() + produced);
        z.avail_out = static_cast<uInt>(out.size() - produced);
        status = inflate(&z, Z_NO_FLUSH);
        produced = out.size() - z.avail_out;
        if (status == Z_BUF_ERROR && z.avail_in == 0)
            break; // the stream is cut short
    }
    inflateEnd(&z);
    out.truncate(produced);
    return status == Z_STREAM_END;
}

QByteArray CopyRichEdittoBlob(QByteArrayView rtf, bool compressed)
{
    if (!compressed)
        return rtf.toByteArray();
    return richTextCipher().EncryptString(ZlibCompress(rtf, kStoredCompressionLevel));
}

RichTextLoad CopyRichEditFromBlob(QByteArrayView blob)
{
    if (blob.size() < 7 || blob.startsWith("{\\rtf1"))
        return {blob.toByteArray(), RichTextLoad::Source::Plain};
    const std::optional<QByteArray> compressed = richTextCipher().DecryptString(blob);
    QByteArray rtf;
    if (compressed && ZlibInflate(*compressed, rtf, kMaxDocumentSize))
        return {rtf, RichTextLoad::Source::Deciphered};
    return {blob.toByteArray(), RichTextLoad::Source::AsStored};
}

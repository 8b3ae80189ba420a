#pragma once

#include <QByteArray>
#include <QByteArrayView>

// The stored form of a rich-text document (the declaration's signature document): either the
// RTF itself, or the RTF compressed with zlib at level 9 and enciphered with the rich-text key
// as Base64 text.

// The bytes to store for a document; `compressed` chooses the compressed-and-enciphered form.
QByteArray CopyRichEdittoBlob(QByteArrayView rtf, bool compressed);

struct RichTextLoad
{
    enum class Source {
        Plain,      // the blob was RTF (or too short to be anything else)
        Deciphered, // deciphered and inflated
        AsStored    // could not be deciphered or inflated: the blob's own bytes
    };
    QByteArray text;
    Source source = Source::Plain;
};

// The text to load for a stored blob. Never fails: what cannot be read is given as stored.
RichTextLoad CopyRichEditFromBlob(QByteArrayView blob);

// zlib streams (RFC 1950). Inflating stops with nothing past `maxSize` bytes, so that a small
// damaged or hostile blob cannot exhaust memory.
QByteArray ZlibCompress(QByteArrayView data, int level);
bool ZlibInflate(QByteArrayView stream, QByteArray &out, qsizetype maxSize);

#include "toolkit/textcipher.h"

#include "toolkit/base64.h"
#include "toolkit/blowfishtables.h"

#include <cstring>

namespace {

constexpr int kBlockSize = 8;

struct Halves
{
    quint32 left = 0;
    quint32 right = 0;
};

// The XOR of the even (left) and odd (right) P words.
Halves blockMaskOf(const std::array<quint32, 18> &p)
{
    Halves mask;
    for (int i = 0; i < 18; i += 2) {
        mask.left ^= p[i];
        mask.right ^= p[i + 1];
    }
    return mask;
}

void storeLittleEndian(quint32 word, quint8 *out)
{
    out[0] = static_cast<quint8>(word);
    out[1] = static_cast<quint8>(word >> 8);
    out[2] = static_cast<quint8>(word >> 16);
    out[3] = static_cast<quint8>(word >> 24);
}

} // namespace

QString TextCipher::invalidFormatText()
{
    return QStringLiteral("Invalid file format");
}

void TextCipher::SetKey(const Key &key)
{
    m_key = key;
    m_p = vn::blowfish::kInitialP;
    m_s = vn::blowfish::kInitialS;

    int k = 0;
    for (quint32 &entry : m_p) {
        quint32 word = 0;
        for (int b = 0; b < 4; ++b) {
            word = (word << 8) | m_key[k];
            k = (k + 1) % 16;
        }
        entry ^= word;
    }

    // The chain of encryptions from an all-zero block; only the P words move the block, so the
    // mask is recomputed while the P-array is being replaced and stays fixed through the S-boxes.
    Halves block;
    for (int i = 0; i < 18; i += 2) {
        const Halves mask = blockMaskOf(m_p);
        block.left ^= mask.left;
        block.right ^= mask.right;
        m_p[i] = block.left;
        m_p[i + 1] = block.right;
    }
    const Halves mask = blockMaskOf(m_p);
    for (auto &box : m_s) {
        for (int i = 0; i < 256; i += 2) {
            block.left ^= mask.left;
            block.right ^= mask.right;
            box[i] = block.left;
            box[i + 1] = block.right;
        }
    }
    storeLittleEndian(mask.left, m_blockMask.data());
    storeLittleEndian(mask.right, m_blockMask.data() + 4);
}

void TextCipher::transformBlocks(quint8 *data, qsizetype size) const
{
    quint64 mask = 0;
    std::memcpy(&mask, m_blockMask.data(), kBlockSize);
    qsizetype i = 0;
    for (; i + kBlockSize <= size; i += kBlockSize) {
        quint64 word;
        std::memcpy(&word, data + i, kBlockSize);
        word ^= mask;
        std::memcpy(data + i, &word, kBlockSize);
    }
}

void TextCipher::EncryptBlock(quint8 *block) const
{
    transformBlocks(block, kBlockSize);
}

void TextCipher::DecryptBlock(quint8 *block) const
{
    transformBlocks(block, kBlockSize);
}

QByteArray TextCipher::EncryptString(QByteArrayView plain) const
{
    const qsizetype fullBlocks = plain.size() / kBlockSize;
    const auto rest = static_cast<quint8>(plain.size() % kBlockSize);
    QByteArray blocks((fullBlocks + 1) * kBlockSize, '\0');
    if (!plain.isEmpty())
        std::memcpy(blocks.data(), plain.data(), plain.size());
    blocks[blocks.size() - 1] = static_cast<char>(rest);
    transformBlocks(reinterpret_cast<quint8 *>(blocks.data()), blocks.size());
    return vn::Base64Encode(blocks);
}

std::optional<QByteArray> TextCipher::DecryptString(QByteArrayView cipherText,
                                                    QString *error) const
{
    auto fail = [error]() -> std::optional<QByteArray> {
        if (error)
            *error = invalidFormatText();
        return std::nullopt;
    };
    std::optional<QByteArray> bytes = vn::Base64Decode(cipherText);
    if (!bytes)
        return fail();
    const qsizetype blockCount = bytes->size() / kBlockSize;
    if (blockCount == 0)
        return fail();
    // Bytes after the last whole block are not part of the cipher text.
    bytes->truncate(blockCount * kBlockSize);
    transformBlocks(reinterpret_cast<quint8 *>(bytes->data()), bytes->size());
    const auto count = static_cast<quint8>(bytes->at(bytes->size() - 1));
    if (count > kBlockSize)
        return fail();
    bytes->truncate((blockCount - 1) * kBlockSize + count);
    return bytes;
}

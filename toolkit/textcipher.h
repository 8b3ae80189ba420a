#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <array>
#include <optional>

// The suite's text cipher: a Blowfish-keyed transform of 8-byte blocks in ECB mode, a count
// byte closing the last block, and Base64 as the text form. Credentials in the journal
// database, restart parameters and the stored signature documents use it; programs sharing
// the database read and write the same forms, so every byte of the format is fixed.
class TextCipher
{
public:
    using Key = std::array<quint8, 16>;

    // Text of the error for cipher text that cannot be a product of EncryptString.
    static QString invalidFormatText();

    TextCipher() = default;
    explicit TextCipher(const Key &key) { SetKey(key); }

    // Copies the key and runs the key schedule.
    void SetKey(const Key &key);

    // Plain bytes to Base64 cipher text.
    QByteArray EncryptString(QByteArrayView plain) const;
    // Base64 cipher text to plain bytes; nothing, with invalidFormatText() in `error`, for
    // text that does not decode to whole blocks closed by a valid count.
    std::optional<QByteArray> DecryptString(QByteArrayView cipherText,
                                            QString *error = nullptr) const;

    // The block function in place on 8 bytes.
    void EncryptBlock(quint8 *block) const;
    void DecryptBlock(quint8 *block) const;

    // The expanded key state.
    const std::array<quint32, 18> &pArray() const { return m_p; }
    const std::array<std::array<quint32, 256>, 4> &sBoxes() const { return m_s; }

private:
    void transformBlocks(quint8 *data, qsizetype size) const;

    Key m_key{};
    std::array<quint32, 18> m_p{};
    std::array<std::array<quint32, 256>, 4> m_s{};
    // Every round function value enters both halves an even number of times and cancels: a
    // block is transformed by XOR with the even P words (left half) and the odd ones (right
    // half), in either direction. These are those words as the block's bytes.
    std::array<quint8, 8> m_blockMask{};
};

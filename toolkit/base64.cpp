#include "toolkit/base64.h"

#include <algorithm>
#include <array>
#include <QtEndian>

#include <cstring>

namespace vn {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr quint32 kInvalid = 0x01000000;

// Two output characters for every 12-bit value.
struct PairTable
{
    std::array<char, 2 * 4096> chars{};
    constexpr PairTable()
    {
        for (int i = 0; i < 4096; ++i) {
            chars[2 * i] = kAlphabet[i >> 6];
            chars[2 * i + 1] = kAlphabet[i & 63];
        }
    }
};
constexpr PairTable kPairs;

// For each of the four positions of a quantum, the 24-bit contribution of a character, or
// kInvalid.
struct DecodeTables
{
    std::array<std::array<quint32, 256>, 4> value{};
    constexpr DecodeTables()
    {
        for (auto &table : value)
            table.fill(kInvalid);
        for (quint32 i = 0; i < 64; ++i) {
            const auto c = static_cast<unsigned char>(kAlphabet[i]);
            value[0][c] = i << 18;
            value[1][c] = i << 12;
            value[2][c] = i << 6;
            value[3][c] = i;
        }
    }
};
constexpr DecodeTables kDecode;

bool isSkippable(char c)
{
    return c == '\r' || c == '\n' || c == ' ' || c == '\t';
}

} // namespace

QByteArray Base64Encode(QByteArrayView data)
{
    const qsizetype n = data.size();
    QByteArray out((n + 2) / 3 * 4, Qt::Uninitialized);
    const auto *in = reinterpret_cast<const unsigned char *>(data.data());
    char *o = out.data();
    qsizetype i = 0;
    for (; i + 3 <= n; i += 3) {
        const quint32 v = (quint32(in[i]) << 16) | (quint32(in[i + 1]) << 8) | in[i + 2];
        std::memcpy(o, &kPairs.chars[2 * (v >> 12)], 2);
        std::memcpy(o + 2, &kPairs.chars[2 * (v & 0xFFF)], 2);
        o += 4;
    }
    const qsizetype rest = n - i;
    if (rest > 0) {
        const quint32 v = (quint32(in[i]) << 16) | (rest == 2 ? quint32(in[i + 1]) << 8 : 0);
        o[0] = kAlphabet[v >> 18];
        o[1] = kAlphabet[(v >> 12) & 63];
        o[2] = rest == 2 ? kAlphabet[(v >> 6) & 63] : '=';
        o[3] = '=';
    }
    return out;
}

namespace {

// Decodes text that holds nothing but Base64 characters and padding.
std::optional<QByteArray> decodeCompact(QByteArrayView text)
{
    qsizetype n = text.size();
    const auto *u = reinterpret_cast<const unsigned char *>(text.data());
    int padding = 0;
    while (n > 0 && u[n - 1] == '=' && padding < 2) {
        --n;
        ++padding;
    }
    if (n % 4 == 1 || (padding > 0 && (n + padding) % 4 != 0))
        return std::nullopt;

    const qsizetype size = n / 4 * 3 + (n % 4 == 0 ? 0 : n % 4 - 1);
    QByteArray out(size, Qt::Uninitialized);
    auto *o = reinterpret_cast<unsigned char *>(out.data());
    quint32 bad = 0;
    qsizetype i = 0;
    // Whole quanta, stored four bytes at a time while the output has room for the fourth.
    for (; i + 4 <= n && (i / 4 * 3 + 4) <= size; i += 4, o += 3) {
        const quint32 v = kDecode.value[0][u[i]] | kDecode.value[1][u[i + 1]]
                          | kDecode.value[2][u[i + 2]] | kDecode.value[3][u[i + 3]];
        bad |= v;
        const quint32 bytes = qToBigEndian(v << 8);
        std::memcpy(o, &bytes, 4);
    }
    for (; i + 4 <= n; i += 4, o += 3) {
        const quint32 v = kDecode.value[0][u[i]] | kDecode.value[1][u[i + 1]]
                          | kDecode.value[2][u[i + 2]] | kDecode.value[3][u[i + 3]];
        bad |= v;
        o[0] = static_cast<unsigned char>(v >> 16);
        o[1] = static_cast<unsigned char>(v >> 8);
        o[2] = static_cast<unsigned char>(v);
    }
    const qsizetype rest = n - i;
    if (rest >= 2) {
        quint32 v = kDecode.value[0][u[i]] | kDecode.value[1][u[i + 1]];
        if (rest == 3)
            v |= kDecode.value[2][u[i + 2]];
        bad |= v;
        o[0] = static_cast<unsigned char>(v >> 16);
        if (rest == 3)
            o[1] = static_cast<unsigned char>(v >> 8);
    }
    if (bad & kInvalid)
        return std::nullopt;
    return out;
}

} // namespace

std::optional<QByteArray> Base64Decode(QByteArrayView text)
{
    if (std::optional<QByteArray> decoded = decodeCompact(text))
        return decoded;
    QByteArray compact;
    compact.reserve(text.size());
    for (const char c : text) {
        if (!isSkippable(c))
            compact.append(c);
    }
    if (compact.size() == text.size())
        return std::nullopt;
    return decodeCompact(compact);
}

} // namespace vn

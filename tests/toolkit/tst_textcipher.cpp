#include "testrunner.h"

#include "toolkit/base64.h"
#include "toolkit/blowfishtables.h"
#include "toolkit/cipherkeys.h"
#include "toolkit/textcipher.h"

#include <QRandomGenerator>
#include <QTest>
#include <QtEndian>

namespace {

// The block function and key schedule written out round by round, kept apart from the
// production code, which computes the same result far more cheaply.
class LiteralCipher
{
public:
    explicit LiteralCipher(const TextCipher::Key &key)
    {
        P = vn::blowfish::kInitialP;
        S = vn::blowfish::kInitialS;
        int k = 0;
        for (int i = 0; i < 18; ++i) {
            quint32 word = 0;
            for (int b = 0; b < 4; ++b) {
                word = (word << 8) | key[k];
                k = (k + 1) % 16;
            }
            P[i] ^= word;
        }
        quint32 l = 0;
        quint32 r = 0;
        for (int i = 0; i < 18; i += 2) {
            encrypt(l, r);
            P[i] = l;
            P[i + 1] = r;
        }
        for (auto &box : S) {
            for (int i = 0; i < 256; i += 2) {
                encrypt(l, r);
                box[i] = l;
                box[i + 1] = r;
            }
        }
    }

    quint32 F(quint32 x) const
    {
        return ((S[0][x >> 24] + S[1][(x >> 16) & 255]) ^ S[2][(x >> 8) & 255]) + S[3][x & 255];
    }

    void encrypt(quint32 &l, quint32 &r) const
    {
        const quint32 l0 = l;
        const quint32 r0 = r;
        l = l0 ^ P[0];
        r = r0;
        for (int i = 1; i <= 15; i += 2) {
            r = r ^ P[i] ^ F(l0);
            l = l ^ P[i + 1] ^ F(r0);
        }
        r = r ^ P[17];
    }

    void decrypt(quint32 &l, quint32 &r) const
    {
        const quint32 l0 = l;
        const quint32 r0 = r;
        r = r0 ^ P[17];
        l = l0;
        for (int i = 16; i >= 2; i -= 2) {
            l = l ^ P[i] ^ F(r0);
            r = r ^ P[i - 1] ^ F(l0);
        }
        l = l ^ P[0];
    }

    void encryptBytes(quint8 *b, bool forward) const
    {
        quint32 l = b[0] | b[1] << 8 | b[2] << 16 | quint32(b[3]) << 24;
        quint32 r = b[4] | b[5] << 8 | b[6] << 16 | quint32(b[7]) << 24;
        forward ? encrypt(l, r) : decrypt(l, r);
        for (int i = 0; i < 4; ++i) {
            b[i] = quint8(l >> (8 * i));
            b[4 + i] = quint8(r >> (8 * i));
        }
    }

    QByteArray encryptString(const QByteArray &plain) const
    {
        QByteArray out;
        const qsizetype full = plain.size() / 8;
        for (qsizetype i = 0; i < full; ++i) {
            QByteArray block = plain.mid(i * 8, 8);
            encryptBytes(reinterpret_cast<quint8 *>(block.data()), true);
            out += block;
        }
        QByteArray last(8, '\0');
        const qsizetype rest = plain.size() % 8;
        for (qsizetype i = 0; i < rest; ++i)
            last[i] = plain[full * 8 + i];
        last[7] = char(rest);
        encryptBytes(reinterpret_cast<quint8 *>(last.data()), true);
        out += last;
        return out.toBase64();
    }

    std::array<quint32, 18> P;
    std::array<std::array<quint32, 256>, 4> S;
};

// Standard Blowfish (big-endian words, swapped halves), only to prove the initial tables.
QByteArray standardBlowfish(const QByteArray &key, const QByteArray &block)
{
    auto P = vn::blowfish::kInitialP;
    auto S = vn::blowfish::kInitialS;
    auto F = [&S](quint32 x) {
        return ((S[0][x >> 24] + S[1][(x >> 16) & 255]) ^ S[2][(x >> 8) & 255]) + S[3][x & 255];
    };
    auto enc = [&](quint32 &l, quint32 &r) {
        for (int i = 0; i < 16; ++i) {
            l ^= P[i];
            r ^= F(l);
            std::swap(l, r);
        }
        std::swap(l, r);
        r ^= P[16];
        l ^= P[17];
    };
    int j = 0;
    for (auto &entry : P) {
        quint32 word = 0;
        for (int b = 0; b < 4; ++b)
            word = (word << 8) | quint8(key[j++ % key.size()]);
        entry ^= word;
    }
    quint32 l = 0;
    quint32 r = 0;
    for (int i = 0; i < 18; i += 2) {
        enc(l, r);
        P[i] = l;
        P[i + 1] = r;
    }
    for (auto &box : S) {
        for (int i = 0; i < 256; i += 2) {
            enc(l, r);
            box[i] = l;
            box[i + 1] = r;
        }
    }
    l = qFromBigEndian<quint32>(block.constData());
    r = qFromBigEndian<quint32>(block.constData() + 4);
    enc(l, r);
    QByteArray out(8, '\0');
    qToBigEndian(l, out.data());
    qToBigEndian(r, out.data() + 4);
    return out;
}

TextCipher::Key randomKey(QRandomGenerator &random)
{
    TextCipher::Key key;
    for (auto &b : key)
        b = quint8(random.bounded(256));
    return key;
}

QByteArray randomBytes(QRandomGenerator &random, qsizetype size)
{
    QByteArray bytes(size, '\0');
    for (auto &b : bytes)
        b = char(random.bounded(256));
    return bytes;
}

} // namespace

class TstTextCipher : public QObject
{
    Q_OBJECT

private slots:
    void initialTablesAreThoseOfBlowfish_data()
    {
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<QByteArray>("plain");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("zero key") << QByteArray::fromHex("0000000000000000")
                                  << QByteArray::fromHex("0000000000000000")
                                  << QByteArray::fromHex("4EF997456198DD78");
        QTest::newRow("ones key") << QByteArray::fromHex("FFFFFFFFFFFFFFFF")
                                  << QByteArray::fromHex("FFFFFFFFFFFFFFFF")
                                  << QByteArray::fromHex("51866FD5B85ECB8A");
    }
    void initialTablesAreThoseOfBlowfish()
    {
        QFETCH(QByteArray, key);
        QFETCH(QByteArray, plain);
        QFETCH(QByteArray, expected);
        QCOMPARE(standardBlowfish(key, plain).toHex(), expected.toHex());
    }

    void fastFormEqualsLiteralForm()
    {
        QRandomGenerator random(20261209);
        QList<TextCipher::Key> keys{CredentialKey(), RichTextKey(), TextCipher::Key{}};
        for (int i = 0; i < 20; ++i)
            keys.append(randomKey(random));
        for (const auto &key : keys) {
            const TextCipher fast(key);
            const LiteralCipher literal(key);
            QCOMPARE(fast.pArray(), literal.P);
            QVERIFY(fast.sBoxes() == literal.S);
            for (int i = 0; i < 50; ++i) {
                const QByteArray block = randomBytes(random, 8);
                for (bool forward : {true, false}) {
                    QByteArray expected = block;
                    literal.encryptBytes(reinterpret_cast<quint8 *>(expected.data()), forward);
                    QByteArray actual = block;
                    auto *bytes = reinterpret_cast<quint8 *>(actual.data());
                    forward ? fast.EncryptBlock(bytes) : fast.DecryptBlock(bytes);
                    QCOMPARE(actual.toHex(), expected.toHex());
                }
            }
        }
    }

    void stringFormMatchesLiteralForm()
    {
        QRandomGenerator random(42);
        for (const auto &key : {CredentialKey(), RichTextKey()}) {
            const TextCipher cipher(key);
            const LiteralCipher literal(key);
            for (int length = 0; length <= 64; ++length) {
                const QByteArray plain = randomBytes(random, length);
                const QByteArray text = cipher.EncryptString(plain);
                QCOMPARE(text, literal.encryptString(plain));
                QCOMPARE(text.size(), ((length / 8 + 1) * 8 + 2) / 3 * 4);
                const std::optional<QByteArray> back = cipher.DecryptString(text);
                QVERIFY(back);
                QCOMPARE(*back, plain);
            }
        }
    }

    void lengthsOfTheStringForm_data()
    {
        QTest::addColumn<int>("plainLength");
        QTest::addColumn<int>("cipherTextLength");
        QTest::newRow("empty: one block with count 0") << 0 << 12;
        QTest::newRow("seven bytes: one block") << 7 << 12;
        QTest::newRow("eight bytes gain a whole block") << 8 << 24;
        QTest::newRow("sixteen bytes") << 16 << 32;
    }
    void lengthsOfTheStringForm()
    {
        QFETCH(int, plainLength);
        QFETCH(int, cipherTextLength);
        const TextCipher cipher(CredentialKey());
        const QByteArray text = cipher.EncryptString(QByteArray(plainLength, 'x'));
        QCOMPARE(text.size(), cipherTextLength);
        QCOMPARE(cipher.DecryptString(text).value_or("failed"), QByteArray(plainLength, 'x'));
    }

    void malformedCipherText_data()
    {
        QTest::addColumn<QByteArray>("cipherBytes"); // before the literal block function
        QTest::addColumn<QByteArray>("base64");       // used when cipherBytes is empty
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QByteArray>("plain");
        QTest::newRow("empty text") << QByteArray() << QByteArray("") << false << QByteArray();
        QTest::newRow("fewer than 8 bytes") << QByteArray() << QByteArray("AAAAAA==") << false
                                            << QByteArray();
        QTest::newRow("not base64") << QByteArray() << QByteArray("!!!!!!!!!!!!") << false
                                    << QByteArray();
        QTest::newRow("count 9 in the last block")
            << QByteArray("abcdefg\x09", 8) << QByteArray() << false << QByteArray();
        QTest::newRow("count 8 takes the whole block")
            << QByteArray("abcdefg\x08", 8) << QByteArray() << true << QByteArray("abcdefg\x08", 8);
        QTest::newRow("bytes after the last whole block are ignored")
            << QByteArray("abc\0\0\0\0\x03xyz", 11) << QByteArray() << true << QByteArray("abc");
    }
    void malformedCipherText()
    {
        QFETCH(QByteArray, cipherBytes);
        QFETCH(QByteArray, base64);
        QFETCH(bool, valid);
        QFETCH(QByteArray, plain);
        const LiteralCipher literal(CredentialKey());
        if (!cipherBytes.isEmpty()) {
            for (qsizetype i = 0; i + 8 <= cipherBytes.size(); i += 8)
                literal.encryptBytes(reinterpret_cast<quint8 *>(cipherBytes.data() + i), true);
            base64 = cipherBytes.toBase64();
        }
        QString error;
        const std::optional<QByteArray> result =
            TextCipher(CredentialKey()).DecryptString(base64, &error);
        QCOMPARE(result.has_value(), valid);
        if (valid)
            QCOMPARE(*result, plain);
        else
            QCOMPARE(error, QStringLiteral("Invalid file format"));
    }

    void base64MatchesQt()
    {
        QRandomGenerator random(7);
        for (int length = 0; length < 200; ++length) {
            const QByteArray data = randomBytes(random, length);
            const QByteArray text = vn::Base64Encode(data);
            QCOMPARE(text, data.toBase64());
            QCOMPARE(vn::Base64Decode(text).value_or("failed"), data);
        }
    }

    void base64Decoding_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QByteArray>("data");
        QTest::newRow("line breaks are passed over") << QByteArray("YWJj\r\nZGVm\n") << true
                                                     << QByteArray("abcdef");
        QTest::newRow("no padding") << QByteArray("YWJjZA") << true << QByteArray("abcd");
        QTest::newRow("one character too many") << QByteArray("YWJjZ") << false << QByteArray();
        QTest::newRow("padding in the middle") << QByteArray("YQ==YWJj") << false << QByteArray();
        QTest::newRow("outside the alphabet") << QByteArray("YW-j") << false << QByteArray();
        QTest::newRow("url alphabet is not standard") << QByteArray("YW_j") << false
                                                      << QByteArray();
    }
    void base64Decoding()
    {
        QFETCH(QByteArray, text);
        QFETCH(bool, valid);
        QFETCH(QByteArray, data);
        const std::optional<QByteArray> decoded = vn::Base64Decode(text);
        QCOMPARE(decoded.has_value(), valid);
        if (valid)
            QCOMPARE(*decoded, data);
    }

    void keysDiffer()
    {
        QVERIFY(CredentialKey() != RichTextKey());
        const QByteArray plain("Hälsodeklaration");
        QVERIFY(TextCipher(CredentialKey()).EncryptString(plain)
                != TextCipher(RichTextKey()).EncryptString(plain));
    }
};

VN_REGISTER_TEST(TstTextCipher)
#include "tst_textcipher.moc"

#include "testrunner.h"

#include "toolkit/cipherkeys.h"
#include "toolkit/richtextblob.h"
#include "toolkit/textcipher.h"

#include <QTest>
#include <QtEndian>

class TstRichTextBlob : public QObject
{
    Q_OBJECT

    static QByteArray sampleRtf()
    {
        return QByteArrayLiteral("{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0 Arial;}}\n"
                                 "\\f0\\fs24 H\\'e4lsodeklaration\\par [SIGNATURPATIENT]\\par}\n");
    }

private slots:
    void compressedRoundTrip()
    {
        const QByteArray rtf = sampleRtf().repeated(50);
        const QByteArray blob = CopyRichEdittoBlob(rtf, true);
        QVERIFY(!blob.startsWith("{\\rtf1"));
        const RichTextLoad load = CopyRichEditFromBlob(blob);
        QCOMPARE(load.source, RichTextLoad::Source::Deciphered);
        QCOMPARE(load.text, rtf);
    }

    // The stored bytes are, layer by layer, Base64 cipher text of a zlib stream at level 9.
    void compressedLayers()
    {
        const QByteArray rtf = sampleRtf();
        const QByteArray blob = CopyRichEdittoBlob(rtf, true);
        const std::optional<QByteArray> stream = TextCipher(RichTextKey()).DecryptString(blob);
        QVERIFY(stream);
        QCOMPARE(stream->left(2).toHex(), QByteArray("78da"));
        QByteArray sized(4, '\0');
        qToBigEndian<quint32>(quint32(rtf.size()), sized.data());
        QCOMPARE(qUncompress(sized + *stream), rtf);
        QVERIFY(TextCipher(CredentialKey()).DecryptString(blob).value_or(QByteArray()) != *stream);
    }

    void uncompressedFormIsTheRtf()
    {
        QCOMPARE(CopyRichEdittoBlob(sampleRtf(), false), sampleRtf());
    }

    void loadRules_data()
    {
        QTest::addColumn<QByteArray>("blob");
        QTest::addColumn<int>("source");
        QTest::newRow("rtf prefix") << sampleRtf() << int(RichTextLoad::Source::Plain);
        QTest::newRow("rtf prefix, not even a whole document")
            << QByteArray("{\\rtf1 broken") << int(RichTextLoad::Source::Plain);
        QTest::newRow("six bytes") << QByteArray("abcdef") << int(RichTextLoad::Source::Plain);
        QTest::newRow("empty") << QByteArray() << int(RichTextLoad::Source::Plain);
        QTest::newRow("seven bytes of garbage") << QByteArray("abcdefg")
                                                << int(RichTextLoad::Source::AsStored);
        QTest::newRow("plain text") << QByteArray("Patienten har signerat på papper.")
                                    << int(RichTextLoad::Source::AsStored);
        QTest::newRow("enciphered but not zlib")
            << TextCipher(RichTextKey()).EncryptString("no zlib stream here")
            << int(RichTextLoad::Source::AsStored);
        QTest::newRow("enciphered with the other key")
            << TextCipher(CredentialKey()).EncryptString(qCompress(sampleRtf()).mid(4))
            << int(RichTextLoad::Source::AsStored);
        const QByteArray stream = qCompress(sampleRtf(), 9).mid(4);
        QTest::newRow("cut zlib stream")
            << TextCipher(RichTextKey()).EncryptString(stream.left(stream.size() - 6))
            << int(RichTextLoad::Source::AsStored);
    }
    void loadRules()
    {
        QFETCH(QByteArray, blob);
        QFETCH(int, source);
        const RichTextLoad load = CopyRichEditFromBlob(blob);
        QCOMPARE(int(load.source), source);
        QCOMPARE(load.text, blob);
    }

    void inflatingIsBounded()
    {
        const QByteArray zeros(1 << 20, '\0');
        const QByteArray stream = ZlibCompress(zeros, 9);
        QByteArray out;
        QVERIFY(!ZlibInflate(stream, out, 4096));
        QVERIFY(out.size() <= 4096);
        QVERIFY(ZlibInflate(stream, out, zeros.size()));
        QCOMPARE(out, zeros);
    }
};

VN_REGISTER_TEST(TstRichTextBlob)
#include "tst_richtextblob.moc"

// Throughput of the cipher's string forms and of the stored document format on 1 MiB.

#include "toolkit/cipherkeys.h"
#include "toolkit/richtextblob.h"
#include "toolkit/textcipher.h"

#include <benchmark/benchmark.h>

#include <QByteArray>
#include <QRandomGenerator>

namespace {

constexpr qsizetype kMiB = 1 << 20;

QByteArray randomBytes(qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator random(1);
    for (auto &b : bytes)
        b = char(random.bounded(256));
    return bytes;
}

// An RTF document of about 1 MiB shaped like a signed declaration: text and a hex picture.
QByteArray sampleRtf()
{
    QByteArray rtf("{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0 Segoe UI;}}\n");
    while (rtf.size() < kMiB / 2)
        rtf += "\\pard\\f0\\fs24 Har du n\\'e5gon g\\'e5ng haft hj\\'e4rtbesv\\'e4r? Nej\\par\n";
    rtf += "{\\pict\\wmetafile8\\picw575\\pich222 ";
    rtf += randomBytes(kMiB / 4).toHex();
    rtf += "}\\par}\n";
    return rtf.left(kMiB);
}

void BM_EncryptString(benchmark::State &state)
{
    const TextCipher cipher(CredentialKey());
    const QByteArray plain = randomBytes(kMiB);
    for (auto _ : state)
        benchmark::DoNotOptimize(cipher.EncryptString(plain));
    state.SetBytesProcessed(state.iterations() * plain.size());
}
BENCHMARK(BM_EncryptString);

void BM_DecryptString(benchmark::State &state)
{
    const TextCipher cipher(CredentialKey());
    const QByteArray text = cipher.EncryptString(randomBytes(kMiB));
    for (auto _ : state)
        benchmark::DoNotOptimize(cipher.DecryptString(text));
    state.SetBytesProcessed(state.iterations() * kMiB);
}
BENCHMARK(BM_DecryptString);

void BM_SetKey(benchmark::State &state)
{
    TextCipher cipher;
    for (auto _ : state) {
        cipher.SetKey(RichTextKey());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_SetKey);

void BM_BlobSave(benchmark::State &state)
{
    const QByteArray rtf = sampleRtf();
    for (auto _ : state)
        benchmark::DoNotOptimize(CopyRichEdittoBlob(rtf, true));
    state.SetBytesProcessed(state.iterations() * rtf.size());
}
BENCHMARK(BM_BlobSave)->Unit(benchmark::kMillisecond);

void BM_BlobLoad(benchmark::State &state)
{
    const QByteArray rtf = sampleRtf();
    const QByteArray blob = CopyRichEdittoBlob(rtf, true);
    for (auto _ : state)
        benchmark::DoNotOptimize(CopyRichEditFromBlob(blob));
    state.SetBytesProcessed(state.iterations() * rtf.size());
}
BENCHMARK(BM_BlobLoad)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();

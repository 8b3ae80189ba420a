// The signature picture on the capture dialog's full drawing area (575 x 222).
// Targets: the crop at most 0.5 ms, the RTF picture at most 1 ms.

#include "signature/signdeclaration.h"

#include <QColor>
#include <QImage>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

constexpr int kWidth = 575;
constexpr int kHeight = 222;

// A white area with a signature-like scrawl in the default pen colour across its middle.
QImage signedArea(QImage::Format format)
{
    QImage area(kWidth, kHeight, format);
    area.fill(Qt::white);
    const QColor pen(0, 0, 250);
    for (int x = 60; x < 520; ++x) {
        const int y = 111 + int(60.0 * ((x % 90) - 45) / 45.0 * ((x / 90) % 2 ? 1 : -1));
        for (int dy = 0; dy < 2; ++dy)
            area.setPixelColor(x, y + dy, pen);
    }
    return area;
}

void cropSignature(benchmark::State &state, QImage::Format format)
{
    const QImage area = signedArea(format);
    for (auto _ : state) {
        QImage target;
        const bool found = CropSignature(area, target);
        benchmark::DoNotOptimize(found);
        benchmark::DoNotOptimize(target);
    }
}

void BM_CropSignatureRgb888(benchmark::State &state)
{
    cropSignature(state, QImage::Format_RGB888);
}

void BM_CropSignatureRgb32(benchmark::State &state)
{
    cropSignature(state, QImage::Format_RGB32);
}

// A picture of the whole area's size: the largest a signature without widening gets.
void BM_BitmapToRtfPicture(benchmark::State &state)
{
    const QImage picture = signedArea(QImage::Format_RGB888);
    for (auto _ : state) {
        QByteArray stream;
        BitmapToRtfPicture(picture, stream);
        benchmark::DoNotOptimize(stream.data());
    }
    state.SetBytesProcessed(state.iterations() * picture.sizeInBytes());
}

} // namespace

BENCHMARK(BM_CropSignatureRgb888)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CropSignatureRgb32)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BitmapToRtfPicture)->Unit(benchmark::kMicrosecond);

int main(int argc, char **argv)
{
    // The pen colour comes from the settings: read them from an empty store of our own.
    QTemporaryDir settings;
    qputenv("VN_REGISTRY_DIR", settings.path().toLocal8Bit());
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

// Picture of a personal number as the masked edit runs it on every typed character.
// Target: at most 2 microseconds per call.

#include "widgets/picturevalidator.h"

#include <benchmark/benchmark.h>

namespace {

const QString twelveDigits = QStringLiteral("#[#][#][#][#][#][#][#]-[#,&][#,&][#][#,&]");

void run(benchmark::State &state, const QString &typed)
{
    const TwwPictureValidator validator(twelveDigits);
    for (auto _ : state) {
        QString text = typed;
        PictureResult result = validator.Picture(text, true);
        benchmark::DoNotOptimize(result);
        benchmark::DoNotOptimize(text);
    }
}

// Thirteen characters, complete.
void BM_PictureComplete(benchmark::State &state)
{
    run(state, QStringLiteral("19121212-1212"));
}

// Eight digits: incomplete, the dash filled in and the text matched a second time.
void BM_PictureAutoFill(benchmark::State &state)
{
    run(state, QStringLiteral("19121212"));
}

// A ninth digit where the dash belongs.
void BM_PictureError(benchmark::State &state)
{
    run(state, QStringLiteral("191212121"));
}

} // namespace

BENCHMARK(BM_PictureComplete);
BENCHMARK(BM_PictureAutoFill);
BENCHMARK(BM_PictureError);

BENCHMARK_MAIN();

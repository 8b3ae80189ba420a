// The kiosk shell on the demo journal (SQLite) with no update server: the start-up from creating
// the main window to the identification page shown and ready, and one identification without its
// pause for the patient to see the search.

#include "app/demosetup.h"
#include "app/tfrmhalsodekmain.h"
#include "demo/demojournal.h"
#include "toolkit/dialogs.h"
#include "widgets/maskededit.h"

#include <QApplication>
#include <QLabel>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QToolButton>
#include <benchmark/benchmark.h>

namespace {

using namespace std::chrono_literals;

const QStringList kArguments{QStringLiteral("halsodeklaration")};

// A dialog would wait for a user; the benchmark counts them and goes on.
class CountingPresenter final : public DialogPresenter
{
public:
    int showMessage(DialogKind, const QString &, const QString &) override
    {
        ++shown;
        return mrNo;
    }
    void showBalloonHint(const QString &, const QString &, QWidget *) override { ++shown; }
    static inline int shown = 0;
};

void BM_StartupToIdentificationPage(benchmark::State &state)
{
    for (auto _ : state) {
        auto window = std::make_unique<TfrmHalsoDekMain>(kArguments);
        window->show();
        QCoreApplication::processEvents();
        benchmark::DoNotOptimize(window->oedit5->hasFocus());
        state.PauseTiming();
        if (window->closenow || window->PageControl1->currentIndex() != 0)
            state.SkipWithError("the kiosk did not reach the identification page");
        window.reset();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
}

void BM_IdentificationWithoutPause(benchmark::State &state)
{
    TfrmHalsoDekMain::SetSearchPause(0ms);
    TfrmHalsoDekMain window(kArguments);
    window.show();
    QCoreApplication::processEvents();
    const QString personnr = demojournal::kAdultPersonnr.toString().remove(QLatin1Char('-'));
    for (auto _ : state) {
        window.oedit5->setText(personnr);
        window.SpeedButton3Click();
        state.PauseTiming();
        if (window.PageControl1->currentIndex() != 1)
            state.SkipWithError("the patient was not found");
        window.PageControl1->setCurrentIndex(0);
        window.SpeedButton3->show();
        window.SpeedButton2->hide();
        state.ResumeTiming();
    }
    TfrmHalsoDekMain::SetSearchPause(TfrmHalsoDekMain::kSearchPause);
}

} // namespace

int main(int argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    SetDialogPresenter(std::make_unique<CountingPresenter>());
    QTemporaryDir dir;
    // The main window's start-up creates the suite folder under XDG_DATA_HOME; keep the user's
    // own data folder out of the runs.
    qputenv("XDG_DATA_HOME", dir.filePath(QStringLiteral("data")).toLocal8Bit());
    QString error;
    if (!PrepareDemoFolder(dir.filePath(QStringLiteral("demo")), &error)) {
        fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    benchmark::RegisterBenchmark("Shell/StartupToIdentificationPage",
                                 BM_StartupToIdentificationPage)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("Shell/IdentificationWithoutPause", BM_IdentificationWithoutPause)
        ->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (CountingPresenter::shown > 0) {
        fprintf(stderr, "%d dialogs were shown\n", CountingPresenter::shown);
        return 1;
    }
    return 0;
}

// SPDX-License-Identifier: BSD-3-Clause
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QPushButton>
#include <unistd.h>

#include "bench/bench_support.h"
#include "consecutive/consective_method.h"
#include "core/large_memory.h"
#include "widgets/folder_list.h"
#include "widgets/form_widgets.h"
#include "widgets/image_view.h"
#include "tests/support/fake_dialogs.h"

namespace {

// Notes when the picture is painted.
class PaintWatch : public QObject {
public:
    bool painted = false;
    bool eventFilter(QObject*, QEvent* event) override
    {
        painted = painted || event->type() == QEvent::Paint;
        return false;
    }
    // Handles events until the picture has been painted.
    void wait()
    {
        QElapsedTimer timer;
        timer.start();
        while (!painted && timer.elapsed() < 10000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
};

constexpr char first_paint[] = "--first-paint";

// A process of its own that starts as the program does and ends once the window's picture
// is painted.
int start_and_paint(int argc, char** argv)
{
    QApplication application(argc, argv);
    snr::form::install_font_substitution();
    auto store = snr::make_large<snr::ConsecutiveState>();
    snr::TForm1 form(*store, std::make_unique<snr::test::FakeDialogs>());
    PaintWatch watch;
    form.findChild<snr::ImageView*>()->installEventFilter(&watch);
    form.show();
    watch.wait();
    return watch.painted ? 0 : 1;
}

// From starting the process to the window's picture first painted (and the process ended).
void BM_consecutive_start_to_paint(benchmark::State& state)
{
    char self[4096] = {};
    if (::readlink("/proc/self/exe", self, sizeof self - 1) <= 0) {
        state.SkipWithError("no executable to start");
        return;
    }
    for (auto _ : state) {
        if (!snr::bench::run_process({self, first_paint})) {
            state.SkipWithError("the window did not paint");
            return;
        }
    }
}
BENCHMARK(BM_consecutive_start_to_paint)->Unit(benchmark::kMillisecond)->UseRealTime();

// From pressing "処理開始" on 64 + 64 slices to the last no-PI slice painted.
void BM_consecutive_press_to_image(benchmark::State& state)
{
    const std::string folder = snr::bench::phantom_folder().file("phantom");
    auto store = snr::make_large<snr::ConsecutiveState>();
    snr::TForm1 form(*store, std::make_unique<snr::test::FakeDialogs>());
    PaintWatch watch;
    form.findChild<snr::ImageView*>()->installEventFilter(&watch);
    form.show();
    form.DirectoryListBox1->setDirectory(folder + "/nopi");
    form.DirectoryListBox2->setDirectory(folder + "/pi");
    watch.wait();
    for (auto _ : state) {
        watch.painted = false;
        form.Button1->click();
        watch.wait();
    }
}
BENCHMARK(BM_consecutive_press_to_image)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

// The windows drawn offscreen, one application object for all.
int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc > 1 && std::string(argv[1]) == first_paint)
        return start_and_paint(argc, argv);
    QApplication application(argc, argv);
    snr::form::install_font_substitution();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

// Run: build-bench/bench/bench_translate (offscreen; a private settings folder is made and removed).

#include "app/Lumetra.h"
#include "app/MainWindow.h"
#include "platform/fake/FakePlatform.h"
#include "support/Q.Translate.h"

#include <QAction>
#include <QApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

MainWindow* form = nullptr;

// The whole window with its menu, alternating between two languages so that every caption changes.
void TranslateMainWindow(benchmark::State& state)
{
    const QString languages[] = { QStringLiteral("ja"), QStringLiteral("fr") };
    int next = 0;
    for (auto _ : state)
        TranslateComponent(form, languages[next++ % 2]);
}
BENCHMARK(TranslateMainWindow)->Unit(benchmark::kMicrosecond);

// One lookup through the table, for a row near its end.
void TranslateOneText(benchmark::State& state)
{
    const QString source = QStringLiteral("클립보드 사용을 방지하는 프로그램이 실행중입니다.");
    for (auto _ : state)
        benchmark::DoNotOptimize(TranslateText(source, QStringLiteral("ru")));
}
BENCHMARK(TranslateOneText)->Unit(benchmark::kMicrosecond);

// The language menu's handler, the store written, and the window drawn again in the new language.
void SwitchLanguageAndRedraw(benchmark::State& state)
{
    QAction* items[] = { form->findChild<QAction*>(QStringLiteral("ChkLangRu")),
        form->findChild<QAction*>(QStringLiteral("ChkLangZh")) };
    int next = 0;
    for (auto _ : state) {
        items[next++ % 2]->trigger();
        benchmark::DoNotOptimize(form->grab());
    }
}
BENCHMARK(SwitchLanguageAndRedraw)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.path().toLocal8Bit());
    QApplication application(argc, argv);
    InitTranslate();
    FakePlatform platform;
    Lumetra program(platform, {});
    program.start();
    program.window().show();
    form = &program.window();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

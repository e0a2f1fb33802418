// The drag overlay's picture after one mouse move of a drag in progress on a 3840 x 2160 desk: the
// overlay's own update against a recomposition of the whole screen from the frozen picture.

#include "capture/DragSelector.h"
#include "platform/fake/FakePlatform.h"

#include <QApplication>
#include <benchmark/benchmark.h>

#include <array>
#include <cmath>
#include <cstring>

namespace {

constexpr int Width = 3840;
constexpr int Height = 2160;
const QPoint Start(600, 400);

QImage deskPicture()
{
    QImage desk(Width, Height, QImage::Format_RGB32);
    for (int y = 0; y < Height; ++y) {
        auto line = reinterpret_cast<QRgb*>(desk.scanLine(y));
        for (int x = 0; x < Width; ++x)
            line[x] = qRgb((x * 7) & 0xFF, (y * 3) & 0xFF, ((x ^ y) >> 3) & 0xFF);
    }
    return desk;
}

// A hand's path: the far corner circles round the middle of the desk, about 4 pixels per move.
QPoint corner(int step)
{
    const double t = step * (2 * M_PI / 1750);
    return QPoint(int(2200 + 1400 * std::cos(t)), int(1250 + 800 * std::sin(t)));
}

// A whole-screen recomposition as the overlay was first described: copy, then darken every pixel
// outside the selection.
void BM_FullRecomposition(benchmark::State& state)
{
    const QImage screen = deskPicture().convertToFormat(QImage::Format_RGB888);
    int step = 0;
    for (auto _ : state) {
        const QImage picture
            = DragSelector::ComposeFull(screen, DragSelector::NormalizedRect(Start, corner(step++)));
        benchmark::DoNotOptimize(picture.constBits());
    }
}

// The same with a lookup table and row-wise copies: the best a whole-screen recomposition can do here.
void BM_FullRecompositionWithTable(benchmark::State& state)
{
    const QImage screen = deskPicture().convertToFormat(QImage::Format_RGB888);
    std::array<quint8, 256> table {};
    for (int c = 0; c < 256; ++c)
        table[c] = DragSelector::Darken(quint8(c));
    QImage picture(screen.size(), QImage::Format_RGB888);
    int step = 0;
    for (auto _ : state) {
        const QRect selection = DragSelector::NormalizedRect(Start, corner(step++));
        for (int y = 0; y < Height; ++y) {
            const quint8* in = screen.constScanLine(y);
            quint8* out = picture.scanLine(y);
            for (int i = 0; i < Width * 3; ++i)
                out[i] = table[in[i]];
            if (y >= selection.top() && y < selection.top() + selection.height())
                std::memcpy(out + selection.left() * 3, in + selection.left() * 3,
                    std::size_t(selection.width()) * 3);
        }
        benchmark::DoNotOptimize(picture.constBits());
    }
}

void BM_OverlayMove(benchmark::State& state)
{
    FakePlatform platform;
    platform.fakeScreen.setDesktop(deskPicture());
    DragSelector overlay(platform, nullptr);
    overlay.setAttribute(Qt::WA_DeleteOnClose, false);
    QImage bitmap;
    QRect rect;
    overlay.Capture(bitmap, rect);
    if (!overlay.Freeze()) {
        state.SkipWithError("no snapshot");
        return;
    }
    int step = 0;
    overlay.SetSelection(DragSelector::NormalizedRect(Start, corner(step++)));
    for (auto _ : state) {
        overlay.SetSelection(DragSelector::NormalizedRect(Start, corner(step++)));
        benchmark::DoNotOptimize(overlay.Picture().constBits());
    }
    // Figures for a different picture would mean nothing.
    const QImage reference = DragSelector::ComposeFull(deskPicture(), overlay.CaptureRect())
                                 .convertToFormat(QImage::Format_RGB32);
    state.counters["identical"] = overlay.Picture() == reference ? 1 : 0;
    if (overlay.Picture() != reference)
        state.SkipWithError("the overlay's picture differs from a full recomposition");
}

} // namespace

BENCHMARK(BM_FullRecomposition)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FullRecompositionWithTable)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OverlayMove)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

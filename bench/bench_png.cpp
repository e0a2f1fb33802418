// The PNG writer against libpng at its default settings, on a 1920x1080 screen of text and photo.
// Prints time per image (Google Benchmark) and the compressed size as a counter.

#include "MixedScreen.h"
#include "save/PngEncoder.h"

#include <QGuiApplication>

#include <benchmark/benchmark.h>
#include <png.h>
#include <vector>

namespace {

const QImage& picture()
{
    static const QImage image = mixedScreen();
    return image;
}

void writeToVector(png_structp png, png_bytep data, png_size_t size)
{
    auto out = static_cast<std::vector<unsigned char>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + size);
}

void flushNothing(png_structp) { }

// libpng as most programs call it: RGB rows, every setting left at its default.
std::size_t encodeWithLibpng(const QImage& image, std::vector<unsigned char>& out)
{
    out.clear();
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(png, &out, writeToVector, flushNothing);
    png_set_IHDR(png, info, png_uint_32(image.width()), png_uint_32(image.height()), 8, PNG_COLOR_TYPE_RGB,
        PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<unsigned char> row(std::size_t(image.width()) * 3);
    for (int y = 0; y < image.height(); ++y) {
        auto in = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            row[std::size_t(x) * 3] = uchar(qRed(in[x]));
            row[std::size_t(x) * 3 + 1] = uchar(qGreen(in[x]));
            row[std::size_t(x) * 3 + 2] = uchar(qBlue(in[x]));
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out.size();
}

void Lumetra(benchmark::State& state)
{
    std::size_t size = 0;
    for (auto _ : state) {
        size = 0;
        EncodePNG(picture(), [&size](const void*, std::size_t n) { size += n; });
        benchmark::DoNotOptimize(size);
    }
    state.counters["bytes"] = double(size);
}

void Libpng(benchmark::State& state)
{
    std::vector<unsigned char> out;
    std::size_t size = 0;
    for (auto _ : state) {
        size = encodeWithLibpng(picture(), out);
        benchmark::DoNotOptimize(size);
    }
    state.counters["bytes"] = double(size);
}

} // namespace

BENCHMARK(Lumetra)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);
BENCHMARK(Libpng)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);

int main(int argc, char** argv)
{
    // Fonts for the text half of the picture need a GUI application, not a display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    picture();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

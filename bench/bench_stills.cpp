// Times the JPG, GIF and WebP writers on a 1920 × 1080 screenshot of text and photo-like content, beside
// cjpeg, Qt's JPEG writer, ImageMagick and cwebp on the same picture, and reports sizes and PSNR.
// Usage: bench_stills [runs]   (needs cjpeg, convert and cwebp on PATH; tools/deps.sh bench)

#include "Pictures.h"
#include "save/GifEncoder.h"
#include "save/Quantizer.h"
#include "save/Rgb32Rows.h"
#include "save/Save.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageWriter>
#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

// Windows, panels and lines of text over a photo-like wallpaper.
QImage screenshot()
{
    QImage image = Pictures::photo(1920, 1080, 11);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const QRect windows[] = { { 60, 50, 900, 620 }, { 1000, 120, 820, 500 }, { 300, 700, 1200, 330 } };
    int line = 0;
    for (const QRect& window : windows) {
        painter.fillRect(window, QColor(250, 250, 250));
        painter.fillRect(window.x(), window.y(), window.width(), 30, QColor(52, 101, 164));
        painter.setPen(Qt::white);
        painter.drawText(window.adjusted(10, 6, 0, 0), QStringLiteral("Window %1 — Document.txt").arg(line));
        painter.setPen(QColor(30, 30, 30));
        for (int y = window.y() + 50; y < window.bottom() - 20; y += 18)
            painter.drawText(window.x() + 12, y,
                QStringLiteral("%1  The quick brown fox jumps over the lazy dog; 0123456789 (){}[] <>")
                    .arg(++line));
        painter.fillRect(window.right() - 120, window.bottom() - 40, 100, 28, QColor(76, 175, 80));
    }
    return image;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Milliseconds, median of `runs`.
double timeIt(int runs, const std::function<void()>& work)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    return median(times);
}

bool run(const QString& program, const QStringList& arguments, QString* output = nullptr)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(120000) || process.exitCode() != 0) {
        std::fprintf(stderr, "%s failed: %s\n", qPrintable(program), process.readAll().constData());
        return false;
    }
    if (output)
        *output = QString::fromLocal8Bit(process.readAll());
    return true;
}

qint64 size(const QString& file)
{
    return QFileInfo(file).size();
}

void row(const char* name, double ms, qint64 bytes, double psnr = -1)
{
    if (psnr >= 0)
        std::printf("  %-34s %9.1f ms %10lld bytes %7.2f dB\n", name, ms, (long long)bytes, psnr);
    else
        std::printf("  %-34s %9.1f ms %10lld bytes\n", name, ms, (long long)bytes);
}

} // namespace

int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 9;
    QTemporaryDir folder;
    auto path = [&folder](const char* name) { return folder.filePath(QLatin1String(name)); };

    const QImage screen = screenshot();
    const QImage photo = Pictures::photo(1920, 1080, 5);
    screen.save(path("screen.ppm"));
    screen.save(path("screen.png"));
    photo.save(path("photo.png"));
    std::printf("1920 x 1080 screenshot of text and photo-like content, median of %d runs\n\n", runs);

    std::printf("JPEG, quality 90\n");
    const double ours = timeIt(runs, [&] { SaveBitmapJPG(screen, path("ours.jpg"), 90); });
    const double qt = timeIt(runs, [&] {
        QImageWriter writer(path("qt.jpg"), "jpeg");
        writer.setQuality(90);
        writer.write(screen);
    });
    const double cjpeg = timeIt(runs, [&] {
        run(QStringLiteral("cjpeg"),
            { QStringLiteral("-quality"), QStringLiteral("90"), QStringLiteral("-outfile"), path("cjpeg.jpg"),
                path("screen.ppm") });
    });
    row("Lumetra", ours, size(path("ours.jpg")), Pictures::psnr(QImage(path("ours.jpg")), screen));
    row("cjpeg -quality 90 (process)", cjpeg, size(path("cjpeg.jpg")),
        Pictures::psnr(QImage(path("cjpeg.jpg")), screen));
    row("Qt QImageWriter quality 90", qt, size(path("qt.jpg")),
        Pictures::psnr(QImage(path("qt.jpg")), screen));
    std::printf("  time ratio cjpeg/Lumetra %.2f, Qt/Lumetra %.2f; size ratio Lumetra/cjpeg %.3f, Lumetra/Qt "
                "%.3f\n\n",
        cjpeg / ours, qt / ours, double(size(path("ours.jpg"))) / double(size(path("cjpeg.jpg"))),
        double(size(path("ours.jpg"))) / double(size(path("qt.jpg"))));

    std::printf("GIF, 256 colours, Floyd-Steinberg\n");
    for (const auto& each : { std::tuple { "screenshot", &screen, path("screen.png") },
             std::tuple { "photo-like", &photo, path("photo.png") } }) {
        // Named copies rather than a structured binding, which clang 14's lambdas cannot capture.
        const char* const name = std::get<0>(each);
        const QImage* const picture = std::get<1>(each);
        const QString png = std::get<2>(each);
        const double gif = timeIt(runs, [&] { SaveBitmapGIF(*picture, path("ours.gif")); });
        const double quantise = timeIt(runs, [&] {
            Rgb32Rows rows(*picture);
            Quantizer quantizer(rows);
        });
        const double magick = timeIt(std::max(1, runs / 3), [&] {
            run(QStringLiteral("convert"), { png, path("magick.gif") });
        });
        std::printf(" %s\n", name);
        row("Lumetra", gif, size(path("ours.gif")), Pictures::psnr(QImage(path("ours.gif")), *picture));
        row("  of which choosing the palette", quantise, 0);
        row("ImageMagick convert (process)", magick, size(path("magick.gif")),
            Pictures::psnr(QImage(path("magick.gif")), *picture));
        std::printf("  time ratio ImageMagick/Lumetra %.2f; size ratio Lumetra/ImageMagick %.3f\n",
            magick / gif, double(size(path("ours.gif"))) / double(size(path("magick.gif"))));
    }

    std::printf("\nWebP\n");
    QImage webpInput = screen;
    const double lossy = timeIt(runs, [&] { SaveBitmapWebP(webpInput, path("ours-90.webp"), 90); });
    const double lossless
        = timeIt(std::max(1, runs / 3), [&] { SaveBitmapWebP(webpInput, path("ours-100.webp"), 100); });
    // cwebp's own encoding time, without its start and PNG decoding, read from its -v report.
    auto cwebp = [&](const QStringList& mode, const QString& out, double* encodeMs) {
        QString report;
        std::vector<double> encode;
        const double wall = timeIt(std::max(1, runs / 3), [&] {
            run(QStringLiteral("cwebp"),
                mode + QStringList { QStringLiteral("-v"), path("screen.png"), QStringLiteral("-o"), out },
                &report);
            const auto match
                = QRegularExpression(QStringLiteral("Time to encode picture: ([0-9.]+)s")).match(report);
            encode.push_back(match.captured(1).toDouble() * 1000);
        });
        *encodeMs = median(encode);
        return wall;
    };
    double lossyEncode = 0, losslessEncode = 0;
    const double cwebpLossy
        = cwebp({ QStringLiteral("-q"), QStringLiteral("90") }, path("cwebp-90.webp"), &lossyEncode);
    const double cwebpLossless
        = cwebp({ QStringLiteral("-lossless") }, path("cwebp-ll.webp"), &losslessEncode);
    row("Lumetra lossy 90", lossy, size(path("ours-90.webp")));
    row("cwebp -q 90 (process)", cwebpLossy, size(path("cwebp-90.webp")));
    row("cwebp -q 90 (its encode time)", lossyEncode, size(path("cwebp-90.webp")));
    row("Lumetra lossless (quality 100)", lossless, size(path("ours-100.webp")));
    row("cwebp -lossless (process)", cwebpLossless, size(path("cwebp-ll.webp")));
    row("cwebp -lossless (its encode time)", losslessEncode, size(path("cwebp-ll.webp")));
    std::printf("  lossy: time ratio cwebp/Lumetra %.2f (encode only %.2f), size ratio Lumetra/cwebp %.3f\n",
        cwebpLossy / lossy, lossyEncode / lossy,
        double(size(path("ours-90.webp"))) / double(size(path("cwebp-90.webp"))));
    std::printf(
        "  lossless: time ratio cwebp/Lumetra %.2f (encode only %.2f), size ratio Lumetra/cwebp %.3f\n",
        cwebpLossless / lossless, losslessEncode / lossless,
        double(size(path("ours-100.webp"))) / double(size(path("cwebp-ll.webp"))));
    return 0;
}

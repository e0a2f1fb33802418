#include "save/PngEncoder.h"
#include "save/Save.h"
#include "support/Exception.h"

#include <QDir>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <png.h>
#include <vector>

namespace {

struct Decoded
{
    int width = 0, height = 0, colourType = -1, bitDepth = 0;
    bool hasTransparency = false;
    QImage image; // RGB32
};

// Decodes with libpng, independent of the encoder under test.
Decoded decode(const QByteArray& file)
{
    Decoded result;
    png_image image {};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, file.constData(), size_t(file.size())))
        return result;
    image.format = PNG_FORMAT_BGRA;
    result.image = QImage(int(image.width), int(image.height), QImage::Format_ARGB32);
    if (!png_image_finish_read(&image, nullptr, result.image.bits(), result.image.bytesPerLine(), nullptr)) {
        result.image = QImage();
        return result;
    }
    result.image = result.image.convertToFormat(QImage::Format_RGB32);
    result.width = int(image.width);
    result.height = int(image.height);
    // The header's colour type and depth, read straight from IHDR.
    const auto* bytes = reinterpret_cast<const uchar*>(file.constData());
    result.bitDepth = bytes[24];
    result.colourType = bytes[25];
    result.hasTransparency = file.contains("tRNS");
    return result;
}

QByteArray encode(const QImage& image, const PngOptions& options = {})
{
    QByteArray out;
    const auto append = [&out](const void* data, std::size_t size) {
        out.append(static_cast<const char*>(data), qsizetype(size));
    };
    EncodePNG(image, append, options);
    return out;
}

QImage noise(int width, int height, quint32 seed)
{
    QImage image(width, height, QImage::Format_RGB32);
    QRandomGenerator random(seed);
    for (int y = 0; y < height; ++y) {
        auto line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x)
            line[x] = 0xFF000000u | (random.generate() & 0xFFFFFF);
    }
    return image;
}

// Flat areas, gradients and sharp edges: what screens are made of.
QImage screenLike(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        auto line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            if ((x / 7 + y / 5) % 9 == 0)
                line[x] = qRgb(20, 20, 20);
            else if (y < height / 3)
                line[x] = qRgb(240, 240, 240);
            else
                line[x] = qRgb(
                    x * 255 / std::max(1, width - 1), y * 255 / std::max(1, height - 1), (x ^ y) & 0xFF);
        }
    }
    return image;
}

} // namespace

class TestPng : public QObject
{
    Q_OBJECT
private slots:
    void roundTrip_data();
    void roundTrip();
    void flattensAlpha();
    void palettes();
    void emptyBitmapIsRefused();
    void fileWriting();
    void failedWriteLeavesNothing();
};

void TestPng::roundTrip_data()
{
    QTest::addColumn<QImage>("image");
    QTest::newRow("1x1") << noise(1, 1, 1);
    QTest::newRow("narrow column") << noise(1, 300, 2);
    QTest::newRow("single row") << noise(517, 1, 3);
    QTest::newRow("odd size noise") << noise(333, 77, 4);
    QTest::newRow("screen-like") << screenLike(640, 480);
    // Large enough to be compressed in bands on several threads.
    QTest::newRow("1920x1080 noise, banded") << noise(1920, 1080, 5);
    QTest::newRow("1920x1080 screen-like, banded") << screenLike(1920, 1080);
}

void TestPng::roundTrip()
{
    QFETCH(QImage, image);
    // Both ways of compressing the last band: in one piece, and streamed as a huge bitmap would be.
    for (const std::size_t limit : { std::size_t(64) << 20, std::size_t(0) }) {
        const Decoded decoded = decode(encode(image, PngOptions { limit }));
        QVERIFY(!decoded.image.isNull());
        QCOMPARE(decoded.colourType, 2);
        QCOMPARE(decoded.bitDepth, 8);
        QVERIFY(!decoded.hasTransparency);
        QCOMPARE(decoded.image, image);
    }
}

void TestPng::flattensAlpha()
{
    QImage image(20, 10, QImage::Format_ARGB32);
    image.fill(qRgba(10, 200, 30, 255));
    image.setPixel(3, 3, qRgba(0, 0, 255, 255));
    const Decoded decoded = decode(encode(image));
    QCOMPARE(decoded.colourType, 2);
    QCOMPARE(decoded.image, image.convertToFormat(QImage::Format_RGB32));
}

void TestPng::palettes()
{
    QImage indexed(9, 4, QImage::Format_Indexed8);
    indexed.setColorTable({ qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255) });
    for (int y = 0; y < indexed.height(); ++y)
        for (int x = 0; x < indexed.width(); ++x)
            indexed.setPixel(x, y, uint((x + y) % 3));
    Decoded decoded = decode(encode(indexed));
    QCOMPARE(decoded.colourType, 3);
    QCOMPARE(decoded.bitDepth, 8);
    QCOMPARE(decoded.image, indexed.convertToFormat(QImage::Format_RGB32));

    QImage mono(13, 3, QImage::Format_MonoLSB);
    mono.setColorTable({ qRgb(0, 0, 0), qRgb(255, 255, 255) });
    mono.fill(0);
    mono.setPixel(12, 2, 1);
    mono.setPixel(0, 0, 1);
    decoded = decode(encode(mono));
    QCOMPARE(decoded.colourType, 3);
    QCOMPARE(decoded.bitDepth, 1);
    QCOMPARE(decoded.image, mono.convertToFormat(QImage::Format_RGB32));
}

void TestPng::emptyBitmapIsRefused()
{
    QVERIFY_THROWS_EXCEPTION(Exception, encode(QImage()));
    QTemporaryDir folder;
    const QString file = folder.filePath(QStringLiteral("empty.png"));
    QVERIFY_THROWS_EXCEPTION(Exception, SaveBitmapPNG(QImage(), file));
    QVERIFY(!QFile::exists(file));
}

void TestPng::fileWriting()
{
    QTemporaryDir folder;
    const QImage image = screenLike(300, 200);
    // Blanks, quotes and non-ASCII letters are ordinary characters of a file name.
    const QString file = folder.filePath(QStringLiteral("a \"quoted\" näme 캡쳐.png"));
    QFile old(file);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("an older, longer file that must be replaced completely ............................");
    old.close();
    SaveBitmapPNG(image, file);
    QFile written(file);
    QVERIFY(written.open(QIODevice::ReadOnly));
    QCOMPARE(decode(written.readAll()).image, image);
    // No temporary file stays behind.
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

void TestPng::failedWriteLeavesNothing()
{
    QTemporaryDir folder;
    const QString missing = folder.filePath(QStringLiteral("no such folder/Q-001.png"));
    try {
        SaveBitmapPNG(noise(10, 10, 9), missing);
        QFAIL("saving into a missing folder succeeded");
    } catch (const EFileError& error) {
        // The message names the file and gives the system's reason.
        QVERIFY2(error.message().contains(missing), qPrintable(error.message()));
        QVERIFY2(error.message().contains(QLatin1String("No such file or directory")),
            qPrintable(error.message()));
    }
    QCOMPARE(QDir(folder.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).size(), 0);
}

QTEST_GUILESS_MAIN(TestPng)
#include "tst_png.moc"

#include "Pictures.h"
#include "SmallMount.h"
#include "save/Save.h"
#include "support/Exception.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <csetjmp>
#include <cstdio>
#include <gif_lib.h>
#include <jpeglib.h>
#include <webp/decode.h>

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

namespace {

QByteArray readFile(const QString& name)
{
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

struct Jpeg
{
    QImage image;
    int components = 0;
    bool progressive = true;
};

struct JpegErrors
{
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

// libjpeg's own decoder, separate from the writer's code path.
Jpeg decodeJpeg(const QByteArray& data)
{
    Jpeg result;
    jpeg_decompress_struct info {};
    JpegErrors errors {};
    info.err = jpeg_std_error(&errors.manager);
    errors.manager.error_exit
        = [](j_common_ptr common) { std::longjmp(reinterpret_cast<JpegErrors*>(common->err)->jump, 1); };
    if (setjmp(errors.jump)) {
        jpeg_destroy_decompress(&info);
        return Jpeg {};
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(data.constData()), (unsigned long)data.size());
    jpeg_read_header(&info, TRUE);
    result.components = info.num_components;
    result.progressive = info.progressive_mode;
    info.out_color_space = JCS_EXT_BGRX;
    jpeg_start_decompress(&info);
    result.image = QImage(int(info.output_width), int(info.output_height), QImage::Format_RGB32);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = result.image.scanLine(int(info.output_scanline));
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    result.image = result.image.convertToFormat(QImage::Format_RGB32);
    return result;
}

struct Gif
{
    QImage image;
    int images = 0;
    int tableSize = 0;
    QSet<QRgb> colours;
};

// giflib's decoder, independent of the writer's LZW coder.
Gif decodeGif(const QByteArray& data)
{
    struct Source
    {
        const QByteArray* data;
        int offset;
    } source { &data, 0 };
    int error = 0;
    GifFileType* gif = DGifOpen(
        &source,
        [](GifFileType* file, GifByteType* out, int size) {
            auto in = static_cast<Source*>(file->UserData);
            const int n = std::min(size, int(in->data->size()) - in->offset);
            std::memcpy(out, in->data->constData() + in->offset, std::size_t(std::max(n, 0)));
            in->offset += std::max(n, 0);
            return std::max(n, 0);
        },
        &error);
    Gif result;
    if (!gif)
        return result;
    if (DGifSlurp(gif) == GIF_OK && gif->ImageCount > 0) {
        result.images = gif->ImageCount;
        const SavedImage& frame = gif->SavedImages[0];
        const ColorMapObject* map = frame.ImageDesc.ColorMap ? frame.ImageDesc.ColorMap : gif->SColorMap;
        result.tableSize = map ? map->ColorCount : 0;
        QImage image(frame.ImageDesc.Width, frame.ImageDesc.Height, QImage::Format_RGB32);
        for (int y = 0; y < image.height() && map; ++y) {
            auto line = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                const GifColorType c = map->Colors[frame.RasterBits[y * image.width() + x]];
                line[x] = qRgb(c.Red, c.Green, c.Blue);
                result.colours.insert(line[x]);
            }
        }
        result.image = image;
    }
    DGifCloseFile(gif, &error);
    return result;
}

struct WebP
{
    QImage image;
    bool lossless = false;
    bool opaque = true;
};

WebP decodeWebP(const QByteArray& data)
{
    WebP result;
    WebPBitstreamFeatures features {};
    const auto bytes = reinterpret_cast<const uint8_t*>(data.constData());
    if (WebPGetFeatures(bytes, std::size_t(data.size()), &features) != VP8_STATUS_OK)
        return result;
    result.lossless = features.format == 2;
    int width = 0, height = 0;
    uint8_t* pixels = WebPDecodeBGRA(bytes, std::size_t(data.size()), &width, &height);
    if (!pixels)
        return result;
    QImage image(width, height, QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y)
        std::memcpy(
            image.scanLine(y), pixels + std::size_t(y) * std::size_t(width) * 4, std::size_t(width) * 4);
    WebPFree(pixels);
    for (int y = 0; y < height && result.opaque; ++y)
        for (int x = 0; x < width; ++x)
            result.opaque = result.opaque && qAlpha(image.pixel(x, y)) == 255;
    result.image = image.convertToFormat(QImage::Format_RGB32);
    return result;
}

quint32 le32(const QByteArray& data, int at)
{
    return qFromLittleEndian<quint32>(data.constData() + at);
}

// Every writer behind one signature, for the checks they share.
using Writer = void (*)(const QImage&, const QString&);
void writeJpg(const QImage& image, const QString& name)
{
    SaveBitmapJPG(image, name, 90);
}
void writeGif(const QImage& image, const QString& name)
{
    SaveBitmapGIF(image, name);
}
void writeBmp(const QImage& image, const QString& name)
{
    SaveBitmapBMP(image, name);
}
void writeWebP(const QImage& image, const QString& name)
{
    QImage copy = image;
    SaveBitmapWebP(copy, name, 90);
}
void writePng(const QImage& image, const QString& name)
{
    SaveBitmapPNG(image, name);
}

} // namespace

Q_DECLARE_METATYPE(Writer)

class TestWriters : public QObject
{
    Q_OBJECT
private slots:
    void jpegRoundTrip_data();
    void jpegRoundTrip();
    void jpegQualityOrdersSizes();
    void gifRoundTrip_data();
    void gifRoundTrip();
    void gifDiffusesGradients();
    void bmpKeepsThePixelFormat_data();
    void bmpKeepsThePixelFormat();
    void webpLosslessAndLossy();
    void webpLibraryMissingOrIncomplete();
    void badInput_data();
    void badInput();
    void fullDiskLeavesNothing_data();
    void fullDiskLeavesNothing();
    void hugeBitmapStaysInMemoryBounds_data();
    void hugeBitmapStaysInMemoryBounds();
    void resizeIsSmooth();

private:
    QTemporaryDir m_folder;
};

void TestWriters::jpegRoundTrip_data()
{
    QTest::addColumn<QImage>("image");
    QTest::addColumn<double>("minimumPsnr");
    QTest::newRow("1x1") << Pictures::photo(1, 1) << 30.0;
    QTest::newRow("odd size photo") << Pictures::photo(333, 77) << 33.0;
    QTest::newRow("screen") << Pictures::screen(640, 480) << 30.0;
    QTest::newRow("24-bit snapshot") << Pictures::photo(120, 90).convertToFormat(QImage::Format_RGB888)
                                     << 33.0;
    QTest::newRow("palette image") << Pictures::screen(64, 48).convertToFormat(QImage::Format_Indexed8,
        Qt::ThresholdDither) << 30.0;
    QTest::newRow("premultiplied alpha")
        << Pictures::photo(70, 50).convertToFormat(QImage::Format_ARGB32_Premultiplied) << 33.0;
}

void TestWriters::jpegRoundTrip()
{
    QFETCH(QImage, image);
    QFETCH(double, minimumPsnr);
    const QString name = m_folder.filePath(QStringLiteral("round.jpg"));
    SaveBitmapJPG(image, name, 90);
    const QByteArray data = readFile(name);
    const Jpeg decoded = decodeJpeg(data);
    QCOMPARE(decoded.image.size(), image.size());
    QCOMPARE(decoded.components, 3);
    QVERIFY(!decoded.progressive);
    // Baseline: the start-of-frame marker of baseline DCT.
    QVERIFY(data.contains(QByteArray("\xFF\xC0", 2)));
    const double psnr = Pictures::psnr(decoded.image, image);
    QVERIFY2(psnr >= minimumPsnr, qPrintable(QString::number(psnr)));
}

void TestWriters::jpegQualityOrdersSizes()
{
    const QImage image = Pictures::photo(400, 300);
    qint64 lastSize = 0;
    double lastPsnr = 0;
    for (int quality : { 60, 70, 80, 90, 100 }) {
        const QString name = m_folder.filePath(QStringLiteral("q%1.jpg").arg(quality));
        SaveBitmapJPG(image, name, quality);
        const QByteArray data = readFile(name);
        const double psnr = Pictures::psnr(decodeJpeg(data).image, image);
        QVERIFY2(data.size() > lastSize && psnr > lastPsnr, qPrintable(QString::number(quality)));
        lastSize = data.size();
        lastPsnr = psnr;
    }
    // Out-of-range qualities are held to the scale rather than refused.
    for (int quality : { 0, 101 }) {
        const QString name = m_folder.filePath(QStringLiteral("edge.jpg"));
        SaveBitmapJPG(image, name, quality);
        QCOMPARE(decodeJpeg(readFile(name)).image.size(), image.size());
    }
}

void TestWriters::gifRoundTrip_data()
{
    QTest::addColumn<QImage>("image");
    QTest::addColumn<bool>("exact");
    QTest::addColumn<double>("minimumPsnr");
    QImage two(13, 7, QImage::Format_RGB32);
    two.fill(qRgb(255, 255, 255));
    two.setPixel(3, 4, qRgb(200, 0, 0));
    QImage exactly256(64, 64, QImage::Format_RGB32);
    QImage colours257(64, 64, QImage::Format_RGB32);
    for (int i = 0; i < 64 * 64; ++i) {
        exactly256.setPixel(i % 64, i / 64, qRgb(i % 256, (i * 7) % 256, 3));
        colours257.setPixel(i % 64, i / 64, qRgb(i % 257, (i * 7) % 256, 3));
    }
    QTest::newRow("1x1") << Pictures::photo(1, 1) << true << 99.0;
    QTest::newRow("two colours") << two << true << 99.0;
    QTest::newRow("exactly 256 colours") << exactly256 << true << 99.0;
    QTest::newRow("257 colours") << colours257 << false << 28.0;
    QTest::newRow("screen") << Pictures::screen(640, 480) << false << 30.0;
    // Large enough for the code table to fill and start over many times.
    QTest::newRow("photo") << Pictures::photo(800, 600) << false << 27.5;
    QTest::newRow("24-bit snapshot") << Pictures::photo(99, 55).convertToFormat(QImage::Format_RGB888)
                                     << false << 28.0;
}

void TestWriters::gifRoundTrip()
{
    QFETCH(QImage, image);
    QFETCH(bool, exact);
    QFETCH(double, minimumPsnr);
    const QString name = m_folder.filePath(QStringLiteral("round.gif"));
    SaveBitmapGIF(image, name);
    const Gif decoded = decodeGif(readFile(name));
    QCOMPARE(decoded.images, 1);
    QCOMPARE(decoded.image.size(), image.size());
    QVERIFY(decoded.tableSize <= 256);
    QVERIFY(decoded.colours.size() <= 256);
    if (exact)
        QCOMPARE(decoded.image, image.convertToFormat(QImage::Format_RGB32));
    const double psnr = Pictures::psnr(decoded.image, image);
    QVERIFY2(psnr >= minimumPsnr, qPrintable(QString::number(psnr)));
    // Qt's reader opens it too.
    QCOMPARE(QImage(name).size(), image.size());
}

void TestWriters::gifDiffusesGradients()
{
    // Thousands of colours in smooth ramps: without diffusion they fall into flat bands whose columns
    // stray from the original by half a palette step.
    const int width = 512, height = 128;
    QImage ramp(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            ramp.setPixel(
                x, y, qRgb(x * 255 / (width - 1), 255 - x * 255 / (width - 1), y * 255 / (height - 1)));
    const QString name = m_folder.filePath(QStringLiteral("ramp.gif"));
    SaveBitmapGIF(ramp, name);
    const Gif decoded = decodeGif(readFile(name));
    QVERIFY(decoded.colours.size() <= 256);
    // Every 8 × 8 block keeps its average colour. The outermost columns hold the ramp's extremes, which lie
    // outside every mix of palette colours that are cluster means; they are held to a looser bound.
    double worst = 0, worstEdge = 0;
    for (int by = 0; by < height; by += 8) {
        for (int bx = 0; bx < width; bx += 8) {
            double want[3] = {}, got[3] = {};
            for (int y = by; y < by + 8; ++y) {
                for (int x = bx; x < bx + 8; ++x) {
                    const QRgb a = ramp.pixel(x, y), b = decoded.image.pixel(x, y);
                    want[0] += qRed(a), want[1] += qGreen(a), want[2] += qBlue(a);
                    got[0] += qRed(b), got[1] += qGreen(b), got[2] += qBlue(b);
                }
            }
            const bool edge = bx == 0 || bx + 8 >= width;
            for (int k = 0; k < 3; ++k)
                (edge ? worstEdge : worst)
                    = std::max(edge ? worstEdge : worst, std::abs(want[k] - got[k]) / 64);
        }
    }
    QVERIFY2(worst < 3.0, qPrintable(QString::number(worst)));
    QVERIFY2(worstEdge < 8.0, qPrintable(QString::number(worstEdge)));
}

void TestWriters::bmpKeepsThePixelFormat_data()
{
    QTest::addColumn<QImage>("image");
    QTest::addColumn<int>("bits");
    QTest::addColumn<int>("header");
    const QImage photo = Pictures::photo(37, 21);
    QImage alpha = photo.convertToFormat(QImage::Format_ARGB32);
    for (int x = 0; x < alpha.width(); ++x)
        alpha.setPixel(x, 5, qRgba(10, 20, 30, x * 6));
    QImage mono(29, 9, QImage::Format_Mono);
    mono.setColorTable({ qRgb(0, 0, 0), qRgb(255, 255, 0) });
    for (int y = 0; y < mono.height(); ++y)
        for (int x = 0; x < mono.width(); ++x)
            mono.setPixel(x, y, uint((x * y + x) % 3 == 0));
    QTest::newRow("screen, 32 bits") << photo << 32 << 40;
    QTest::newRow("1x1") << Pictures::photo(1, 1) << 32 << 40;
    QTest::newRow("24-bit snapshot, rows padded") << photo.convertToFormat(QImage::Format_RGB888) << 24 << 40;
    QTest::newRow("BGR order") << photo.convertToFormat(QImage::Format_BGR888) << 24 << 40;
    QTest::newRow("palette") << Pictures::screen(31, 17).convertToFormat(QImage::Format_Indexed8) << 8 << 40;
    QTest::newRow("grey") << photo.convertToFormat(QImage::Format_Grayscale8) << 8 << 40;
    QTest::newRow("mono") << mono << 1 << 40;
    QTest::newRow("mono, low bit first") << mono.convertToFormat(QImage::Format_MonoLSB) << 1 << 40;
    QTest::newRow("alpha") << alpha << 32 << 108;
    QTest::newRow("16 bits, widened") << photo.convertToFormat(QImage::Format_RGB16) << 32 << 40;
}

void TestWriters::bmpKeepsThePixelFormat()
{
    QFETCH(QImage, image);
    QFETCH(int, bits);
    QFETCH(int, header);
    const QString name = m_folder.filePath(QStringLiteral("format.bmp"));
    SaveBitmapBMP(image, name);
    const QByteArray data = readFile(name);
    QCOMPARE(data.left(2), QByteArray("BM"));
    QCOMPARE(le32(data, 2), quint32(data.size()));
    QCOMPARE(int(le32(data, 14)), header);
    QCOMPARE(int(qint32(le32(data, 18))), image.width());
    // Rows from the bottom up, as every reader supports.
    QCOMPARE(int(qint32(le32(data, 22))), image.height());
    QCOMPARE(int(qFromLittleEndian<quint16>(data.constData() + 28)), bits);
    const quint32 rowBytes = (quint32(image.width()) * quint32(bits) + 31) / 32 * 4;
    QCOMPARE(le32(data, 34), rowBytes * quint32(image.height()));
    QCOMPARE(quint32(data.size()) - le32(data, 10), rowBytes * quint32(image.height()));

    const QImage decoded = QImage::fromData(data, "BMP");
    QCOMPARE(decoded.size(), image.size());
    if (image.hasAlphaChannel())
        QCOMPARE(
            decoded.convertToFormat(QImage::Format_ARGB32), image.convertToFormat(QImage::Format_ARGB32));
    else
        QCOMPARE(decoded.convertToFormat(QImage::Format_RGB32), image.convertToFormat(QImage::Format_RGB32));
}

void TestWriters::webpLosslessAndLossy()
{
    // A stray fourth byte, as some screen copies leave it, must not turn into transparency.
    QImage image = Pictures::photo(211, 97);
    for (int y = 0; y < image.height(); ++y)
        reinterpret_cast<QRgb*>(image.scanLine(y))[y % image.width()] &= 0x00FFFFFF;
    const QImage original = image.copy();
    const QString lossless = m_folder.filePath(QStringLiteral("lossless.webp"));
    SaveBitmapWebP(image, lossless, 100);
    WebP decoded = decodeWebP(readFile(lossless));
    QVERIFY(decoded.lossless);
    QVERIFY(decoded.opaque);
    QCOMPARE(decoded.image, original.convertToFormat(QImage::Format_RGB32));

    const QString lossy = m_folder.filePath(QStringLiteral("lossy.webp"));
    SaveBitmapWebP(image, lossy, 90);
    decoded = decodeWebP(readFile(lossy));
    QVERIFY(!decoded.lossless);
    QVERIFY(decoded.opaque);
    QVERIFY(readFile(lossy).mid(12, 4) == "VP8 ");
    const double psnr = Pictures::psnr(decoded.image, original);
    QVERIFY2(psnr > 30, qPrintable(QString::number(psnr)));

    // Other formats are converted first, in the caller's bitmap.
    QImage snapshot = Pictures::photo(40, 30).convertToFormat(QImage::Format_RGB888);
    const QImage snapshotPixels = snapshot.convertToFormat(QImage::Format_RGB32);
    SaveBitmapWebP(snapshot, lossless, 100);
    QCOMPARE(snapshot.format(), QImage::Format_RGB32);
    QCOMPARE(decodeWebP(readFile(lossless)).image, snapshotPixels);

    // Beyond the library's limit: refused with a reason, not an empty file.
    QImage wide(16384, 1, QImage::Format_RGB32);
    wide.fill(Qt::gray);
    const QString tooWide = m_folder.filePath(QStringLiteral("wide.webp"));
    QVERIFY_THROWS_EXCEPTION(Exception, SaveBitmapWebP(wide, tooWide, 90));
    QVERIFY(!QFile::exists(tooWide));
}

void TestWriters::webpLibraryMissingOrIncomplete()
{
    QImage image = Pictures::photo(20, 10);
    const QString name = m_folder.filePath(QStringLiteral("library.webp"));
    // Missing: nothing written and nothing said; the target list warns when WebP is chosen.
    qputenv("LUMETRA_WEBP_LIBRARY", m_folder.filePath(QStringLiteral("no-such-libwebp.so.7")).toLocal8Bit());
    SaveBitmapWebP(image, name, 90);
    QVERIFY(!QFile::exists(name));
    // Present but lacking a function: an error naming it.
    qputenv("LUMETRA_WEBP_LIBRARY", FAKE_WEBP_LIBRARY);
    try {
        SaveBitmapWebP(image, name, 90);
        QFAIL("a library without WebPEncodeLosslessBGRA was accepted");
    } catch (const Exception& error) {
        QVERIFY2(
            error.message().contains(QLatin1String("WebPEncodeLosslessBGRA")), qPrintable(error.message()));
    }
    QVERIFY(!QFile::exists(name));
    qunsetenv("LUMETRA_WEBP_LIBRARY");
}

void TestWriters::badInput_data()
{
    QTest::addColumn<Writer>("writer");
    QTest::addColumn<QString>("extension");
    QTest::newRow("JPG") << Writer(writeJpg) << QStringLiteral("jpg");
    QTest::newRow("GIF") << Writer(writeGif) << QStringLiteral("gif");
    QTest::newRow("BMP") << Writer(writeBmp) << QStringLiteral("bmp");
    QTest::newRow("WebP") << Writer(writeWebP) << QStringLiteral("webp");
    QTest::newRow("PNG") << Writer(writePng) << QStringLiteral("png");
}

void TestWriters::badInput()
{
    QFETCH(Writer, writer);
    QFETCH(QString, extension);
    QTemporaryDir folder;
    const QImage image = Pictures::screen(120, 80);
    auto entries = [&folder] {
        return QDir(folder.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    };

    // An empty capture: a clear error and no file.
    const QString empty = folder.filePath(QStringLiteral("empty.") + extension);
    try {
        writer(QImage(), empty);
        QFAIL("an empty bitmap was written");
    } catch (const Exception& error) {
        QVERIFY2(error.message().contains(QLatin1String("empty")), qPrintable(error.message()));
    }
    QVERIFY(entries().isEmpty());

    // Blanks, quotes and letters beyond ASCII are ordinary characters of a name; an older, longer file
    // under the name is replaced whole.
    const QString odd = folder.filePath(QStringLiteral("a \"quoted\" 'name' näme 캡쳐.") + extension);
    QFile old(odd);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write(QByteArray(2 * 1024 * 1024, 'x'));
    old.close();
    writer(image, odd);
    const QByteArray written = readFile(odd);
    QCOMPARE(extension == QLatin1String("webp") ? decodeWebP(written).image.size()
                                                : QImage::fromData(written).size(),
        image.size());
    QVERIFY(QFileInfo(odd).size() < 1024 * 1024);
    QCOMPARE(entries().size(), 1);

    // A folder that does not exist: the system's reason, naming the file.
    const QString missing = folder.filePath(QStringLiteral("missing/Q-001.") + extension);
    try {
        writer(image, missing);
        QFAIL("a write into a missing folder succeeded");
    } catch (const EFileError& error) {
        QVERIFY2(error.message().contains(missing), qPrintable(error.message()));
        QVERIFY2(error.message().contains(QLatin1String("No such file or directory")),
            qPrintable(error.message()));
    }

    // A read-only folder. Root passes permission bits, so it takes a read-only file system.
    const QString locked = folder.filePath(QStringLiteral("locked"));
    QDir().mkpath(locked);
    std::unique_ptr<SmallMount> readOnly;
    if (::geteuid() == 0) {
        readOnly = std::make_unique<SmallMount>(locked, "ro,size=64k");
        if (!readOnly->mounted())
            QSKIP("cannot mount a read-only file system here");
    } else {
        QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    }
    const QString lockedFile = locked + QStringLiteral("/Q-001.") + extension;
    try {
        writer(image, lockedFile);
        QFAIL("a write into a read-only folder succeeded");
    } catch (const EFileError& error) {
        QVERIFY2(error.message().contains(lockedFile), qPrintable(error.message()));
    }
    QVERIFY(!QFile::exists(lockedFile));
    readOnly.reset();
    QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

void TestWriters::fullDiskLeavesNothing_data()
{
    badInput_data();
}

void TestWriters::fullDiskLeavesNothing()
{
    QFETCH(Writer, writer);
    QFETCH(QString, extension);
    QTemporaryDir folder;
    const QString disk = folder.filePath(QStringLiteral("disk"));
    // Noise does not compress: 1.4 MB of it cannot fit into 64 KB in any format.
    QImage image(800, 600, QImage::Format_RGB32);
    QRandomGenerator random(7);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, 0xFF000000u | random.generate());
    const QString name = disk + QStringLiteral("/Q-001.") + extension;
    SmallMount small(disk, "size=64k");
    // Without a mount, a file-size limit stands in for a full disk.
    rlimit previous {};
    ::getrlimit(RLIMIT_FSIZE, &previous);
    auto previousSignal = std::signal(SIGXFSZ, SIG_IGN);
    if (!small.mounted()) {
        qWarning("tmpfs could not be mounted; limiting the file size instead");
        rlimit limit = previous;
        limit.rlim_cur = 64 * 1024;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    QString message;
    try {
        writer(image, name);
    } catch (const EFileError& error) {
        message = error.message();
    }
    ::setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, previousSignal);
    QVERIFY2(message.contains(name), qPrintable(message));
    QVERIFY2(message.contains(QLatin1String(small.mounted() ? "No space left on device" : "File too large")),
        qPrintable(message));
    // Neither the file nor its temporary stays behind.
    QCOMPARE(QDir(disk).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
}

void TestWriters::hugeBitmapStaysInMemoryBounds_data()
{
    QTest::addColumn<Writer>("writer");
    QTest::addColumn<QString>("extension");
    QTest::newRow("JPG") << Writer(writeJpg) << QStringLiteral("jpg");
    QTest::newRow("GIF") << Writer(writeGif) << QStringLiteral("gif");
    QTest::newRow("BMP") << Writer(writeBmp) << QStringLiteral("bmp");
}

void TestWriters::hugeBitmapStaysInMemoryBounds()
{
    QFETCH(Writer, writer);
    QFETCH(QString, extension);
    // 16384 × 16384 at 32 bits is 1 GiB; a second full-size copy would show in the peak.
    static QImage huge = [] {
        QImage image(16384, 16384, QImage::Format_RGB32);
        for (int y = 0; y < image.height(); ++y) {
            auto line = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x)
                line[x] = qRgb(x >> 6, y >> 6, (x ^ y) & 0xC0);
        }
        return image;
    }();
    QVERIFY(!huge.isNull());
    auto peakMiB = [] {
        rusage usage {};
        ::getrusage(RUSAGE_SELF, &usage);
        return usage.ru_maxrss / 1024;
    };
    const long before = peakMiB();
    const QString name = m_folder.filePath(QStringLiteral("huge.") + extension);
    writer(huge, name);
    const long growth = peakMiB() - before;
    QVERIFY2(growth < 128, qPrintable(QStringLiteral("%1 MiB").arg(growth)));
    QVERIFY(QFileInfo(name).size() > 0);
    QFile::remove(name);
}

void TestWriters::resizeIsSmooth()
{
    QImage image(2, 1, QImage::Format_RGB32);
    image.setPixel(0, 0, qRgb(0, 0, 0));
    image.setPixel(1, 0, qRgb(255, 255, 255));
    ResizeBitmap(image, 6, 3);
    QCOMPARE(image.size(), QSize(6, 3));
    // Between the two pixels the enlargement blends instead of repeating them.
    const int middle = qRed(image.pixel(2, 1));
    QVERIFY2(middle > 20 && middle < 235, qPrintable(QString::number(middle)));
    QVERIFY(qRed(image.pixel(0, 1)) < qRed(image.pixel(5, 1)));

    for (QSize size : { QSize(0, 5), QSize(5, -1) }) {
        QVERIFY_THROWS_EXCEPTION(Exception, ResizeBitmap(image, size.width(), size.height()));
        QCOMPARE(image.size(), QSize(6, 3));
    }
    QImage empty;
    QVERIFY_THROWS_EXCEPTION(Exception, ResizeBitmap(empty, 3, 3));
}

QTEST_GUILESS_MAIN(TestWriters)
#include "tst_writers.moc"

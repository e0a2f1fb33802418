#include "Save.h"
#include "AtomicFile.h"
#include "WebPLibrary.h"
#include "support/Exception.h"

#include <memory>

namespace {

// The library's own limit on either side.
constexpr int MaxSide = 16383;

// Every pixel opaque: the encoders would keep a stray fourth byte as transparency.
void makeOpaque(QImage& bitmap)
{
    for (int y = 0; y < bitmap.height(); ++y) {
        const auto line = reinterpret_cast<const QRgb*>(bitmap.constScanLine(y));
        for (int x = 0; x < bitmap.width(); ++x) {
            if (qAlpha(line[x]) != 255) {
                for (int row = y; row < bitmap.height(); ++row) {
                    auto pixels = reinterpret_cast<QRgb*>(bitmap.scanLine(row));
                    for (int i = 0; i < bitmap.width(); ++i)
                        pixels[i] |= 0xFF000000u;
                }
                return;
            }
        }
    }
}

} // namespace

void SaveBitmapWebP(QImage& bitmap, const QString& fileName, int quality)
{
    if (bitmap.isNull())
        throw Exception(QStringLiteral("The image is empty; \"%1\" was not written.").arg(fileName));
    WebPLibrary library;
    if (!library.load())
        return;
    if (bitmap.format() != QImage::Format_RGB32)
        bitmap.convertTo(QImage::Format_RGB32);
    makeOpaque(bitmap);

    const auto encodeLossless
        = reinterpret_cast<WebPLibrary::EncodeLossless>(library.function("WebPEncodeLosslessBGRA"));
    const auto encode = reinterpret_cast<WebPLibrary::Encode>(library.function("WebPEncodeBGRA"));
    const auto release = reinterpret_cast<WebPLibrary::Free>(library.function("WebPFree"));
    for (auto [found, name] : { std::pair { bool(encodeLossless), "WebPEncodeLosslessBGRA" },
             std::pair { bool(encode), "WebPEncodeBGRA" }, std::pair { bool(release), "WebPFree" } }) {
        if (!found)
            throw Exception(
                QStringLiteral("The WebP library \"%1\" has no function %2; \"%3\" was not written.")
                    .arg(library.path(), QLatin1String(name), fileName));
    }
    if (bitmap.width() > MaxSide || bitmap.height() > MaxSide)
        throw Exception(QStringLiteral("The image is too large for WebP (at most %1 pixels across and down); "
                                       "\"%2\" was not written.")
                            .arg(MaxSide)
                            .arg(fileName));

    uint8_t* output = nullptr;
    const std::size_t size = quality >= 100 ? encodeLossless(bitmap.constBits(), bitmap.width(),
                                 bitmap.height(), int(bitmap.bytesPerLine()), &output)
                                            : encode(bitmap.constBits(), bitmap.width(), bitmap.height(),
                                                int(bitmap.bytesPerLine()), float(quality), &output);
    const std::unique_ptr<uint8_t, WebPLibrary::Free> encoded(output, release);
    // An empty file would pass for a saved picture.
    if (size == 0 || !output)
        throw Exception(QStringLiteral("The WebP library could not encode the image; \"%1\" was not written.")
                            .arg(fileName));
    AtomicFile file(fileName);
    file.write(output, size);
    file.commit();
}

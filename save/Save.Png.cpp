#include "Save.h"
#include "AtomicFile.h"
#include "PngEncoder.h"
#include "support/Exception.h"

#include <vector>

void SaveBitmapPNG(const QImage& bitmap, const QString& fileName)
{
    if (bitmap.isNull())
        throw Exception(QStringLiteral("The image is empty; \"%1\" was not written.").arg(fileName));
    AtomicFile file(fileName);
    // Collected into large writes: the encoder hands out many small pieces.
    std::vector<uchar> buffer;
    buffer.reserve(1 << 20);
    EncodePNG(bitmap, [&](const void* data, std::size_t size) {
        const auto bytes = static_cast<const uchar*>(data);
        buffer.insert(buffer.end(), bytes, bytes + size);
        if (buffer.size() >= (1u << 20)) {
            file.write(buffer.data(), buffer.size());
            buffer.clear();
        }
    });
    file.write(buffer.data(), buffer.size());
    file.commit();
}

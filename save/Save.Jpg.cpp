#include "Save.h"
#include "AtomicFile.h"
#include "Rgb32Rows.h"
#include "support/Exception.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <exception>
#include <vector>

#include <jpeglib.h>

#include <jerror.h>

namespace {

constexpr std::size_t OutputBytes = 1 << 20;
constexpr int RowsPerCall = 16;

// libjpeg reports errors by a call that must not return; it jumps back to compress() instead.
struct ErrorManager
{
    jpeg_error_mgr manager;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

// Compressed data goes to the atomic file in large pieces. A write error cannot travel through libjpeg's C
// frames as an exception: it is kept here and raised again once compress() has returned.
struct Destination
{
    jpeg_destination_mgr manager;
    AtomicFile* file;
    std::vector<JOCTET>* buffer;
    std::exception_ptr failure;
};

[[noreturn]] void errorExit(j_common_ptr info)
{
    auto errors = reinterpret_cast<ErrorManager*>(info->err);
    (*info->err->format_message)(info, errors->message);
    std::longjmp(errors->jump, 1);
}

void initDestination(j_compress_ptr info)
{
    auto destination = reinterpret_cast<Destination*>(info->dest);
    destination->manager.next_output_byte = destination->buffer->data();
    destination->manager.free_in_buffer = destination->buffer->size();
}

bool flush(Destination* destination, std::size_t size)
{
    try {
        destination->file->write(destination->buffer->data(), size);
        return true;
    } catch (...) {
        destination->failure = std::current_exception();
        return false;
    }
}

boolean emptyOutput(j_compress_ptr info)
{
    auto destination = reinterpret_cast<Destination*>(info->dest);
    if (!flush(destination, destination->buffer->size()))
        ERREXIT(info, JERR_FILE_WRITE);
    initDestination(info);
    return TRUE;
}

void termDestination(j_compress_ptr info)
{
    auto destination = reinterpret_cast<Destination*>(info->dest);
    const std::size_t size = destination->buffer->size() - destination->manager.free_in_buffer;
    if (!flush(destination, size))
        ERREXIT(info, JERR_FILE_WRITE);
}

// Only plain data lives in this frame, so that a jump out of libjpeg skips no destructor.
bool compress(
    jpeg_compress_struct& info, ErrorManager& errors, Destination& destination, Rgb32Rows& rows, int quality)
{
    info.err = jpeg_std_error(&errors.manager);
    errors.manager.error_exit = errorExit;
    if (setjmp(errors.jump)) {
        jpeg_destroy_compress(&info);
        return false;
    }
    jpeg_create_compress(&info);
    destination.manager.init_destination = initDestination;
    destination.manager.empty_output_buffer = emptyOutput;
    destination.manager.term_destination = termDestination;
    info.dest = &destination.manager;

    info.image_width = JDIMENSION(rows.width());
    info.image_height = JDIMENSION(rows.height());
    // libjpeg-turbo reads the bitmap's B, G, R, X bytes directly.
    info.input_components = 4;
    info.in_color_space = JCS_EXT_BGRX;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, std::clamp(quality, 1, 100), TRUE);
    jpeg_start_compress(&info, TRUE);
    JSAMPROW batch[RowsPerCall];
    while (info.next_scanline < info.image_height) {
        const int first = int(info.next_scanline);
        const int count = std::min(RowsPerCall, rows.height() - first);
        for (int i = 0; i < count; ++i)
            batch[i] = const_cast<JSAMPROW>(reinterpret_cast<const JSAMPLE*>(rows.row(first + i)));
        jpeg_write_scanlines(&info, batch, JDIMENSION(count));
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return true;
}

} // namespace

void SaveBitmapJPG(const QImage& bitmap, const QString& fileName, int quality)
{
    if (bitmap.isNull())
        throw Exception(QStringLiteral("The image is empty; \"%1\" was not written.").arg(fileName));
    // The format's own limit; libjpeg would stop with a less telling message.
    if (bitmap.width() > JPEG_MAX_DIMENSION || bitmap.height() > JPEG_MAX_DIMENSION)
        throw Exception(QStringLiteral("The image is too large for JPEG (at most %1 pixels across and down); "
                                       "\"%2\" was not written.")
                            .arg(JPEG_MAX_DIMENSION)
                            .arg(fileName));
    AtomicFile file(fileName);
    std::vector<JOCTET> buffer(OutputBytes);
    Rgb32Rows rows(bitmap);
    jpeg_compress_struct info {};
    ErrorManager errors {};
    Destination destination {};
    destination.file = &file;
    destination.buffer = &buffer;
    if (!compress(info, errors, destination, rows, quality)) {
        if (destination.failure)
            std::rethrow_exception(destination.failure);
        throw Exception(QStringLiteral("The JPEG encoder failed (%1); \"%2\" was not written.")
                            .arg(QString::fromLocal8Bit(errors.message), fileName));
    }
    file.commit();
}

#pragma once

#include <QImage>
#include <functional>

// Encodes a bitmap as PNG and hands the bytes to `sink` in order. The rows are filtered and compressed in
// bands on all cores; memory beyond the bitmap stays at a few rows per band plus the compressed data.
// Throws Exception when the bitmap is empty or compression fails; exceptions of the sink pass through.
using PngSink = std::function<void(const void* data, std::size_t size)>;

struct PngOptions
{
    // The last band is compressed in one piece (faster) while its filtered rows take at most this many
    // bytes; beyond it every band streams.
    std::size_t onePieceLimit = 64 * 1024 * 1024;
};

void EncodePNG(const QImage& bitmap, const PngSink& sink, const PngOptions& options = {});

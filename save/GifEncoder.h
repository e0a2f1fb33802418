#pragma once

#include <QImage>
#include <functional>

// Encodes a bitmap as a single-image GIF of at most 256 colours (see Quantizer) and hands the bytes to
// `sink` in order. Works a row at a time: memory beyond the bitmap stays at a few rows and the tables.
// Throws Exception when the bitmap is empty or larger than GIF allows; exceptions of the sink pass through.
using GifSink = std::function<void(const void* data, std::size_t size)>;
void EncodeGIF(const QImage& bitmap, const GifSink& sink);

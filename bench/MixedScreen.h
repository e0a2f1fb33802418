#pragma once

#include <QImage>
#include <QSize>

// A screen of mixed content for the benchmarks: an editor full of text on the left, a photo-like field
// with grain on the right, a caption box over it. Deterministic for a given size.
QImage mixedScreen(QSize size = { 1920, 1080 });

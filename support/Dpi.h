#pragma once

class QWidget;

// Design pixels (96 per inch) in the pixels of the widget's monitor, or the primary monitor's while it has
// none. Halves go to the even neighbour, as the design tool's rounding does.
int scaled(const QWidget* widget, int designPixels);

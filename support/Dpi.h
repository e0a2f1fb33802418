#pragma once

class QWidget;

// Design pixels (96 per inch) to the pixels of the monitor `widget` is on (the primary one before it is
// shown); halves go to the even neighbour, as the design tool's rounding does.
int scaled(const QWidget* widget, int designPixels);

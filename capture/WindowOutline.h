#pragma once

#include <QImage>
#include <QRgb>
#include <QWidget>

#include <limits>

class QTimer;
class ScreenSource;

// The outline of the window-control source: a one-pixel ring of crawling black and white dashes just
// outside the window that a capture would take now. It follows the pointer on its own, never keeps the
// focus, and frees itself when it closes.
class WindowOutline : public QWidget
{
    Q_OBJECT
public:
    // `main` is the window outlined instead when the pointer rests on the ring itself.
    WindowOutline(ScreenSource& screen, QWidget* main);
    ~WindowOutline() override;

    // One pixel of the dashes: advances the program-wide phase and gives the pixel's colour, 5 black then
    // 3 white.
    static QRgb DashColor();
    static quint8 DashPhase();

    // Every 10 ms while shown: follows the pointer, and redraws the dashes every 11th tick.
    void Timer1Timer();
    // Walks the ring clockwise from the top-left corner, one dash pixel each.
    void DrawDashes();

    QTimer* Timer1 = nullptr;
    int Delay = 0;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void FormResize();
    // Places the outline round the window under the pointer.
    void Follow(QPoint pointer);
    // The ring's four edges as last drawn, for the size they were drawn at.
    QRegion Ring() const;

    ScreenSource& m_screen;
    QWidget* m_main;
    QImage m_top;
    QImage m_right;
    QImage m_bottom;
    QImage m_left;
    QSize m_drawnSize;
    QPoint m_lastPointer { std::numeric_limits<int>::min(), std::numeric_limits<int>::min() };
    int m_restingTicks = 0;
};

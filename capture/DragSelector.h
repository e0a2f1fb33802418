#pragma once

#include <QDialog>
#include <QImage>
#include <QPoint>
#include <QRect>

class Platform;
class QTimer;

// The overlay of the drag-region source: a frozen picture of every monitor, darkened outside the rectangle
// the user drags with the left button. Escape, or another program becoming active, cancels. It frees
// itself when it closes.
class DragSelector : public QDialog
{
    Q_OBJECT
public:
    DragSelector(Platform& platform, QWidget* owner);
    ~DragSelector() override;

    // Binds the caller's variables: `bitmap` is emptied now and receives the selected pixels (24 bits per
    // pixel), `rect` their place in root coordinates. Call before ShowModal.
    void Capture(QImage& bitmap, QRect& rect);
    // Freezes the screen and runs the selection until it is made or cancelled; a cancel leaves the bound
    // bitmap empty. False, with the bitmap empty, when the screen could not be read. The overlay is gone
    // (or going) when this returns.
    bool ShowModal();

    // One colour byte outside the selection: about 60 %, rounded to nearest.
    static quint8 Darken(quint8 c) { return quint8((quint32(c) * 19660u + 16384u) >> 15); }
    // The rectangle between two corners; the pixel at the second corner lies outside it.
    static QRect NormalizedRect(QPoint a, QPoint b);
    // The picture for a selection, composed from scratch pixel by pixel on a 24-bit copy: the reference
    // that the overlay's picture must match.
    static QImage ComposeFull(const QImage& screen, const QRect& selection);

    // What the overlay shows (32 bits per pixel, the window's format), and the selection in client
    // coordinates.
    const QImage& Picture() const { return FSelect; }
    QRect CaptureRect() const { return FCaptureRect; }

    // The 100 ms watchdog; public so that tests can drive it.
    void TmrActiveTimer();
    // Takes the frozen picture of the whole virtual screen, covers it and shows it darkened, ready for a
    // selection; false when the screen cannot be read.
    bool Freeze();
    // A new selection and its picture, as a mouse move makes it.
    void SetSelection(const QRect& rect);

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // Recomposes the picture: with `Dim` the selection changed, else only the window is repainted.
    void DrawSelection(bool Dim);
    void StayOnTop();
    void Cancel();
    void Finish(int result);
    bool TakeSnapshot();
    // Client position of an event, kept on the picture.
    QPoint ClientPoint(const QMouseEvent* event) const;
    bool IsOwnWindow(quint32 window) const;
    // Darkens `area` from the snapshot into the picture, then restores the part inside the selection.
    void Compose(const QRect& area);

    QTimer* TmrActive = nullptr;
    QPoint FStartPoint;
    QPoint FEndPoint;
    bool FSelecting = false;
    QRect FCaptureRect;
    QImage FScreen;
    QImage FSelect;
    QImage* FBitmap = nullptr;
    QRect* FRect = nullptr;

    Platform& m_platform;
    // Root position of the client origin: the virtual screen's top-left.
    QPoint m_origin;
    // The part of the picture that shows the undarkened snapshot now.
    QRect m_shown;
    // The window manager takes a moment to hand the focus over; until it has, nobody took it away.
    bool m_seenActive = false;
    int m_ticksWithoutFocus = 0;
    bool m_finished = false;
};

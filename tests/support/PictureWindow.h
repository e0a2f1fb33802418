#pragma once

#include <QImage>
#include <QList>
#include <QMouseEvent>
#include <QPainter>
#include <QTest>
#include <QWidget>

// A window that shows a fixed picture at a fixed place, so that a test knows every pixel a capture must
// give. By default the window manager leaves it alone (no frame, no placement of its own); tests that
// want a managed or framed window pass other flags.
class PictureWindow : public QWidget
{
public:
    static constexpr Qt::WindowFlags Unmanaged
        = Qt::Window | Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint;

    explicit PictureWindow(const QImage& picture, QPoint at = {}, Qt::WindowFlags flags = Unmanaged)
        : m_picture(picture)
    {
        setWindowFlags(flags);
        setAttribute(Qt::WA_OpaquePaintEvent);
        setGeometry(QRect(at, picture.size()));
    }

    void setPicture(const QImage& picture)
    {
        m_picture = picture;
        repaint();
    }

    // Where the window was clicked, in root coordinates.
    QList<QPoint> presses;

protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).drawImage(0, 0, m_picture); }
    void mousePressEvent(QMouseEvent* event) override { presses.append(event->globalPosition().toPoint()); }

private:
    QImage m_picture;
};

// Shows a window and waits until it is exposed and its first paint has reached the server.
inline bool showAndWait(QWidget& window)
{
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return false;
    QTest::qWait(200);
    return true;
}

#include "NullPlatform.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

bool NullScreen::copyArea(const QRect&, QImage&)
{
    return false;
}

std::optional<QRgb> NullScreen::pixel(QPoint)
{
    return std::nullopt;
}

QPoint NullScreen::cursorPos()
{
    return QCursor::pos();
}

std::optional<CursorImage> NullScreen::cursorImage()
{
    return std::nullopt;
}

QList<Monitor> NullScreen::monitors()
{
    QList<Monitor> monitors;
    const QScreen* primary = QGuiApplication::primaryScreen();
    const QList<QScreen*> screens = QGuiApplication::screens();
    for (const QScreen* screen : screens)
        monitors.append(Monitor { screen->geometry(), screen == primary, screen->name() });
    if (monitors.isEmpty())
        monitors.append(Monitor { QRect(0, 0, 1024, 768), true, QStringLiteral("NONE") });
    return monitors;
}

QRect NullScreen::virtualScreen()
{
    QRect all;
    for (const Monitor& monitor : monitors())
        all |= monitor.geometry;
    return all;
}

WindowHandle NullScreen::activeWindow()
{
    return 0;
}

WindowHandle NullScreen::windowAt(QPoint)
{
    return 0;
}

std::optional<QRect> NullScreen::frameBounds(WindowHandle)
{
    return std::nullopt;
}

quint32 NullHotKeys::atom(const QString& name)
{
    if (!m_atoms.contains(name))
        m_atoms.append(name);
    return quint32(0x100 + m_atoms.indexOf(name));
}

bool NullHotKeys::registerHotKey(quint32, quint32, quint32)
{
    return false;
}

void NullHotKeys::unregisterHotKey(quint32) { }

void NullWindowSystem::setWindowClass(QWidget* window, const QString&)
{
    // The caller relies on the native window existing afterwards.
    window->winId();
}

void NullWindowSystem::forceForeground(QWidget* window)
{
    window->raise();
    window->activateWindow();
}

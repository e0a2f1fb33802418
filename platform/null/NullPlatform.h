#pragma once

#include "platform/HotKeys.h"
#include "platform/ScreenSource.h"
#include "platform/WindowSystem.h"

// The desktop facilities of a session the program cannot serve (no X11 display: Wayland without XWayland,
// Qt's offscreen platform). They fail honestly: the screen cannot be read, no hotkey can be grabbed, and
// window-manager requests do nothing. The rest of the platform (sound, clipboard, printing, the command
// channel) does not depend on the display and is the real one.

class NullScreen final : public ScreenSource
{
public:
    bool copyArea(const QRect& area, QImage& canvas) override;
    std::optional<QRgb> pixel(QPoint at) override;
    QPoint cursorPos() override;
    std::optional<CursorImage> cursorImage() override;
    // Qt's own idea of the screens; one made-up monitor when it has none.
    QList<Monitor> monitors() override;
    QRect virtualScreen() override;
    WindowHandle activeWindow() override;
    WindowHandle windowAt(QPoint at) override;
    std::optional<QRect> frameBounds(WindowHandle window) override;
};

class NullHotKeys final : public HotKeys
{
public:
    quint32 atom(const QString& name) override;
    // Always false: nothing here delivers a key pressed in another program.
    bool registerHotKey(quint32 id, quint32 modifiers, quint32 virtualKey) override;
    void unregisterHotKey(quint32 id) override;

private:
    QStringList m_atoms;
};

class NullWindowSystem final : public WindowSystem
{
public:
    void setWindowClass(QWidget* window, const QString& className) override;
    void forceForeground(QWidget* window) override;
};

#pragma once

#include "X11PixelFormat.h"

#include "XcbPointers.h"
#include "platform/ScreenSource.h"

#include <cstddef>

// The screen of an X server through XCB. Reads go through one MIT-SHM segment kept for the object's
// lifetime; without SHM, or when the server cannot attach the segment, through plain GetImage.
class X11Screen final : public ScreenSource
{
public:
    X11Screen() = default;
    ~X11Screen() override;
    X11Screen(const X11Screen&) = delete;
    X11Screen& operator=(const X11Screen&) = delete;

    // Connects to the display (the DISPLAY variable when null); false when it cannot. Without
    // `sharedMemory` every read travels through the socket, as with a server that offers no SHM.
    bool open(const char* display = nullptr, bool sharedMemory = true);
    bool usesSharedMemory() const { return m_shm.attached; }

    bool copyArea(const QRect& area, QImage& canvas) override;
    std::optional<QRgb> pixel(QPoint at) override;
    QPoint cursorPos() override;
    std::optional<CursorImage> cursorImage() override;
    QList<Monitor> monitors() override;
    QRect virtualScreen() override;
    WindowHandle activeWindow() override;
    WindowHandle windowAt(QPoint at) override;
    std::optional<QRect> frameBounds(WindowHandle window) override;
    // From the struts of the window manager's clients (_NET_WM_STRUT_PARTIAL, else _NET_WM_STRUT), per
    // monitor: _NET_WORKAREA covers the whole root and is wrong for all but one monitor of several.
    QRect workArea(const QRect& monitor) override;
    // Detaches the shared segment.
    void releaseMemory() override;

private:
    struct SharedSegment
    {
        int id = -1;
        void* address = nullptr;
        std::size_t size = 0;
        quint32 xid = 0;
        bool attached = false;
    };

    bool ensureSegment(std::size_t bytes);
    void releaseSegment();
    bool readRows(const QRect& source, QImage& canvas, QPoint to);
    quint32 internAtom(const char* name);
    bool readCardinals(WindowHandle window, quint32 atom, quint32 (&values)[4]);
    // Up to `count` 32-bit values of the property; how many there were.
    int readValues(WindowHandle window, quint32 atom, quint32 type, quint32* values, int count);

    XcbConnection m_connection;
    xcb_window_t m_root = 0;
    X11PixelFormat m_format;
    bool m_hasShm = false;
    bool m_hasXfixes = false;
    bool m_hasMonitors = false;
    SharedSegment m_shm;
    quint32 m_netActiveWindow = 0;
    quint32 m_netFrameExtents = 0;
    quint32 m_gtkFrameExtents = 0;
    quint32 m_netClientList = 0;
    quint32 m_netStrut = 0;
    quint32 m_netStrutPartial = 0;
};

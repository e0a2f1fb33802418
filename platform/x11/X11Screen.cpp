#include "X11Screen.h"

#include <QLoggingCategory>

#include <algorithm>
#include <bit>
#include <cstring>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <vector>
#include <xcb/randr.h>
#include <xcb/shm.h>
#include <xcb/xfixes.h>

Q_LOGGING_CATEGORY(lcX11, "lumetra.x11", QtWarningMsg)

namespace {

constexpr quint32 AllPlanes = ~0u;

} // namespace

X11Screen::~X11Screen()
{
    releaseSegment();
}

bool X11Screen::open(const char* display, bool sharedMemory)
{
    int screenNumber = 0;
    XcbConnection connection(xcb_connect(display, &screenNumber));
    if (!connection || xcb_connection_has_error(connection.get()))
        return false;
    const xcb_setup_t* setup = xcb_get_setup(connection.get());
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(setup);
    for (int i = 0; i < screenNumber && screens.rem; ++i)
        xcb_screen_next(&screens);
    if (!screens.rem)
        return false;
    const xcb_screen_t* screen = screens.data;
    m_root = screen->root;
    m_format.lsbFirst = setup->image_byte_order == XCB_IMAGE_ORDER_LSB_FIRST;

    for (auto formats = xcb_setup_pixmap_formats_iterator(setup); formats.rem; xcb_format_next(&formats)) {
        if (formats.data->depth == screen->root_depth) {
            m_format.bitsPerPixel = formats.data->bits_per_pixel;
            m_format.scanlinePad = formats.data->scanline_pad;
        }
    }
    for (auto depths = xcb_screen_allowed_depths_iterator(screen); depths.rem; xcb_depth_next(&depths)) {
        for (auto visuals = xcb_depth_visuals_iterator(depths.data); visuals.rem;
             xcb_visualtype_next(&visuals)) {
            if (visuals.data->visual_id == screen->root_visual) {
                m_format.red = visuals.data->red_mask;
                m_format.green = visuals.data->green_mask;
                m_format.blue = visuals.data->blue_mask;
            }
        }
    }
    m_connection = std::move(connection);
    xcb_connection_t* c = m_connection.get();

    if (auto shm = XCB_REPLY(xcb_shm_query_version, c))
        m_hasShm = sharedMemory;
    if (auto fixes = XCB_REPLY(xcb_xfixes_query_version, c, 4, 0))
        m_hasXfixes = fixes->major_version >= 1;
    if (auto randr = XCB_REPLY(xcb_randr_query_version, c, 1, 5))
        m_hasMonitors = randr->major_version > 1 || (randr->major_version == 1 && randr->minor_version >= 5);
    m_netActiveWindow = internAtom("_NET_ACTIVE_WINDOW");
    m_netFrameExtents = internAtom("_NET_FRAME_EXTENTS");
    m_gtkFrameExtents = internAtom("_GTK_FRAME_EXTENTS");
    m_netClientList = internAtom("_NET_CLIENT_LIST");
    m_netStrut = internAtom("_NET_WM_STRUT");
    m_netStrutPartial = internAtom("_NET_WM_STRUT_PARTIAL");

    const QRect root = virtualScreen();
    if (m_hasShm)
        ensureSegment(std::size_t(root.width()) * std::size_t(root.height()) * 4);
    return true;
}

quint32 X11Screen::internAtom(const char* name)
{
    auto reply = XCB_REPLY(xcb_intern_atom, m_connection.get(), 0, uint16_t(std::strlen(name)), name);
    return reply ? reply->atom : 0;
}

bool X11Screen::ensureSegment(std::size_t bytes)
{
    if (m_shm.attached && m_shm.size >= bytes)
        return true;
    releaseSegment();
    if (bytes == 0)
        return false;
    // Private to this user: another local account must not be able to read the screen through it.
    m_shm.id = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
    if (m_shm.id < 0) {
        qCDebug(lcX11) << "shmget failed; reading the screen without shared memory";
        return false;
    }
    void* address = shmat(m_shm.id, nullptr, 0);
    if (address == reinterpret_cast<void*>(-1)) {
        shmctl(m_shm.id, IPC_RMID, nullptr);
        m_shm = {};
        return false;
    }
    m_shm.address = address;
    m_shm.size = bytes;
    xcb_connection_t* c = m_connection.get();
    m_shm.xid = xcb_generate_id(c);
    XcbReply<xcb_generic_error_t> error(
        xcb_request_check(c, xcb_shm_attach_checked(c, m_shm.xid, uint32_t(m_shm.id), 0)));
    // Marked for removal now: the segment goes away once both sides detach, even if this process dies.
    shmctl(m_shm.id, IPC_RMID, nullptr);
    if (error) {
        qCDebug(lcX11) << "the server could not attach the segment; reading without shared memory";
        shmdt(m_shm.address);
        m_shm = {};
        return false;
    }
    m_shm.attached = true;
    return true;
}

void X11Screen::releaseMemory()
{
    releaseSegment();
}

void X11Screen::releaseSegment()
{
    if (m_shm.attached && m_connection) {
        xcb_shm_detach(m_connection.get(), m_shm.xid);
        xcb_flush(m_connection.get());
    }
    if (m_shm.address)
        shmdt(m_shm.address);
    m_shm = {};
}

QRect X11Screen::virtualScreen()
{
    auto geometry = XCB_REPLY(xcb_get_geometry, m_connection.get(), m_root);
    if (!geometry)
        return {};
    return QRect(0, 0, geometry->width, geometry->height);
}

bool X11Screen::copyArea(const QRect& area, QImage& canvas)
{
    if (area.isEmpty())
        return true;
    if (canvas.format() != QImage::Format_RGB32 || canvas.width() < area.width()
        || canvas.height() < area.height())
        return false;
    const QRect source = area.intersected(virtualScreen());
    if (source != area) {
        for (int y = 0; y < area.height(); ++y)
            std::fill_n(reinterpret_cast<QRgb*>(canvas.scanLine(y)), area.width(), 0xFF000000u);
    }
    if (source.isEmpty())
        return true;
    return readRows(source, canvas, source.topLeft() - area.topLeft());
}

bool X11Screen::readRows(const QRect& source, QImage& canvas, QPoint to)
{
    xcb_connection_t* c = m_connection.get();
    const int stride = m_format.stride(source.width());
    const std::size_t bytes = std::size_t(stride) * std::size_t(source.height());
    if (m_hasShm && ensureSegment(bytes)) {
        auto reply = XCB_REPLY(xcb_shm_get_image, c, m_root, int16_t(source.x()), int16_t(source.y()),
            uint16_t(source.width()), uint16_t(source.height()), AllPlanes, XCB_IMAGE_FORMAT_Z_PIXMAP,
            m_shm.xid, 0);
        if (reply) {
            m_format.convertRows(
                static_cast<const quint8*>(m_shm.address), stride, source.size(), canvas, to);
            return true;
        }
        // A server that refuses once will refuse again: read without shared memory from now on.
        releaseSegment();
        m_hasShm = false;
        qCWarning(lcX11) << "the server refused the shared-memory read; reading without shared memory";
    }
    // Plain reads travel through the socket; split them so that no reply grows beyond a few megabytes.
    const int rowsPerRequest = std::max(1, (4 << 20) / std::max(stride, 1));
    for (int y = 0; y < source.height(); y += rowsPerRequest) {
        const int rows = std::min(rowsPerRequest, source.height() - y);
        auto reply = XCB_REPLY(xcb_get_image, c, XCB_IMAGE_FORMAT_Z_PIXMAP, m_root, int16_t(source.x()),
            int16_t(source.y() + y), uint16_t(source.width()), uint16_t(rows), AllPlanes);
        if (!reply)
            return false;
        const QRect band(source.x(), source.y() + y, source.width(), rows);
        m_format.convertRows(xcb_get_image_data(reply.get()), stride, band.size(), canvas, to + QPoint(0, y));
    }
    return true;
}

std::optional<QRgb> X11Screen::pixel(QPoint at)
{
    if (!virtualScreen().contains(at))
        return std::nullopt;
    QImage one(1, 1, QImage::Format_RGB32);
    auto reply = XCB_REPLY(xcb_get_image, m_connection.get(), XCB_IMAGE_FORMAT_Z_PIXMAP, m_root,
        int16_t(at.x()), int16_t(at.y()), 1, 1, AllPlanes);
    if (!reply)
        return std::nullopt;
    m_format.convertRows(xcb_get_image_data(reply.get()), 4, QSize(1, 1), one, QPoint(0, 0));
    return one.pixel(0, 0);
}

QPoint X11Screen::cursorPos()
{
    auto reply = XCB_REPLY(xcb_query_pointer, m_connection.get(), m_root);
    return reply ? QPoint(reply->root_x, reply->root_y) : QPoint();
}

std::optional<CursorImage> X11Screen::cursorImage()
{
    if (!m_hasXfixes)
        return std::nullopt;
    auto reply = XCB_REPLY(xcb_xfixes_get_cursor_image, m_connection.get());
    if (!reply || reply->width == 0 || reply->height == 0)
        return std::nullopt;
    const quint32* pixels = xcb_xfixes_get_cursor_image_cursor_image(reply.get());
    QImage image(reply->width, reply->height, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < image.height(); ++y)
        std::memcpy(image.scanLine(y), pixels + std::size_t(y) * reply->width, std::size_t(reply->width) * 4);
    return CursorImage { image, QPoint(reply->xhot, reply->yhot), QPoint(reply->x, reply->y) };
}

QList<Monitor> X11Screen::monitors()
{
    QList<Monitor> result;
    if (m_hasMonitors) {
        if (auto reply = XCB_REPLY(xcb_randr_get_monitors, m_connection.get(), m_root, 1)) {
            for (auto it = xcb_randr_get_monitors_monitors_iterator(reply.get()); it.rem;
                 xcb_randr_monitor_info_next(&it)) {
                const xcb_randr_monitor_info_t* info = it.data;
                Monitor monitor;
                monitor.geometry = QRect(info->x, info->y, info->width, info->height);
                monitor.primary = info->primary;
                if (auto name = XCB_REPLY(xcb_get_atom_name, m_connection.get(), info->name))
                    monitor.name = QString::fromLatin1(
                        xcb_get_atom_name_name(name.get()), xcb_get_atom_name_name_length(name.get()));
                if (!monitor.geometry.isEmpty())
                    result.append(monitor);
            }
        }
    }
    if (result.isEmpty())
        result.append(Monitor { virtualScreen(), true, QString() });
    return result;
}

WindowHandle X11Screen::activeWindow()
{
    xcb_connection_t* c = m_connection.get();
    if (m_netActiveWindow) {
        auto reply = XCB_REPLY(xcb_get_property, c, 0, m_root, m_netActiveWindow, XCB_ATOM_WINDOW, 0, 1);
        if (reply && reply->format == 32 && xcb_get_property_value_length(reply.get()) >= 4) {
            const auto window = *static_cast<const xcb_window_t*>(xcb_get_property_value(reply.get()));
            if (window)
                return window;
        }
    }
    // No window manager answers: the focus window's top level.
    auto focus = XCB_REPLY(xcb_get_input_focus, c);
    if (!focus || focus->focus == XCB_NONE || focus->focus == XCB_INPUT_FOCUS_POINTER_ROOT)
        return 0;
    xcb_window_t window = focus->focus;
    while (window != m_root) {
        auto tree = XCB_REPLY(xcb_query_tree, c, window);
        if (!tree)
            return 0;
        if (tree->parent == m_root || tree->parent == XCB_NONE)
            return window;
        window = tree->parent;
    }
    return 0;
}

WindowHandle X11Screen::windowAt(QPoint at)
{
    xcb_connection_t* c = m_connection.get();
    xcb_window_t window = m_root;
    // Depth is bounded: a window tree is never this deep, and a racing change must not loop forever.
    for (int depth = 0; depth < 64; ++depth) {
        auto reply
            = XCB_REPLY(xcb_translate_coordinates, c, m_root, window, int16_t(at.x()), int16_t(at.y()));
        if (!reply || reply->child == XCB_NONE)
            break;
        window = reply->child;
    }
    return window;
}

int X11Screen::readValues(WindowHandle window, quint32 atom, quint32 type, quint32* values, int count)
{
    if (!atom)
        return 0;
    auto reply = XCB_REPLY(xcb_get_property, m_connection.get(), 0, window, atom, type, 0, quint32(count));
    if (!reply || reply->format != 32)
        return 0;
    const int found = std::min(count, xcb_get_property_value_length(reply.get()) / 4);
    std::memcpy(values, xcb_get_property_value(reply.get()), std::size_t(found) * 4);
    return found;
}

QRect X11Screen::workArea(const QRect& monitor)
{
    constexpr int MaxClients = 4096;
    std::vector<quint32> clients(MaxClients);
    const int count = readValues(m_root, m_netClientList, XCB_ATOM_WINDOW, clients.data(), MaxClients);
    const QRect root = virtualScreen();
    // Edges of the free part, right and bottom exclusive.
    int left = monitor.left(), top = monitor.top(), right = monitor.left() + monitor.width(),
        bottom = monitor.top() + monitor.height();
    for (int i = 0; i < count; ++i) {
        // left, right, top, bottom; then the start and end of the span along each of those edges.
        quint32 strut[12] = {};
        if (readValues(clients[std::size_t(i)], m_netStrutPartial, XCB_ATOM_CARDINAL, strut, 12) < 12) {
            if (readValues(clients[std::size_t(i)], m_netStrut, XCB_ATOM_CARDINAL, strut, 4) < 4)
                continue;
            // A plain strut spans its whole edge.
            for (int edge = 0; edge < 4; ++edge) {
                strut[4 + edge * 2] = 0;
                strut[5 + edge * 2] = quint32(edge < 2 ? root.height() - 1 : root.width() - 1);
            }
        }
        auto spans = [](quint32 start, quint32 end, int low, int high) {
            return int(start) < high && int(end) >= low;
        };
        const int monitorBottom = monitor.top() + monitor.height();
        const int monitorRight = monitor.left() + monitor.width();
        if (strut[0] && spans(strut[4], strut[5], monitor.top(), monitorBottom))
            left = std::max(left, root.left() + int(strut[0]));
        if (strut[1] && spans(strut[6], strut[7], monitor.top(), monitorBottom))
            right = std::min(right, root.left() + root.width() - int(strut[1]));
        if (strut[2] && spans(strut[8], strut[9], monitor.left(), monitorRight))
            top = std::max(top, root.top() + int(strut[2]));
        if (strut[3] && spans(strut[10], strut[11], monitor.left(), monitorRight))
            bottom = std::min(bottom, root.top() + root.height() - int(strut[3]));
    }
    const QRect free(QPoint(left, top), QPoint(right - 1, bottom - 1));
    return free.isValid() ? free : monitor;
}

bool X11Screen::readCardinals(WindowHandle window, quint32 atom, quint32 (&values)[4])
{
    if (!atom)
        return false;
    auto reply = XCB_REPLY(xcb_get_property, m_connection.get(), 0, window, atom, XCB_ATOM_CARDINAL, 0, 4);
    if (!reply || reply->format != 32 || xcb_get_property_value_length(reply.get()) < 16)
        return false;
    std::memcpy(values, xcb_get_property_value(reply.get()), 16);
    return true;
}

std::optional<QRect> X11Screen::frameBounds(WindowHandle window)
{
    xcb_connection_t* c = m_connection.get();
    auto geometry = XCB_REPLY(xcb_get_geometry, c, window);
    if (!geometry)
        return std::nullopt;
    auto origin = XCB_REPLY(xcb_translate_coordinates, c, window, m_root, 0, 0);
    if (!origin)
        return std::nullopt;
    const int border = geometry->border_width;
    QRect bounds(origin->dst_x - border, origin->dst_y - border, geometry->width + 2 * border,
        geometry->height + 2 * border);
    quint32 extents[4]; // left, right, top, bottom
    if (readCardinals(window, m_netFrameExtents, extents))
        bounds.adjust(-int(extents[0]), -int(extents[2]), int(extents[1]), int(extents[3]));
    // Client-side decorations draw their shadow inside the window; it is not part of the visible frame.
    if (readCardinals(window, m_gtkFrameExtents, extents))
        bounds.adjust(int(extents[0]), int(extents[2]), -int(extents[1]), -int(extents[3]));
    return bounds;
}

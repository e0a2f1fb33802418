#include "X11HotKeys.h"

#include "X11KeyTable.h"
#include "XcbPointers.h"

#include <QGuiApplication>
#include <QLoggingCategory>
#include <X11/keysym.h>

Q_LOGGING_CATEGORY(lcHotKeys, "lumetra.x11.hotkeys", QtWarningMsg)

namespace {

xcb_connection_t* qtConnection()
{
    auto x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

xcb_window_t rootOf(xcb_connection_t* c)
{
    return xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
}

quint16 xModifiers(quint32 modifiers)
{
    quint16 mask = 0;
    if (modifiers & HotKeys::ModAlt)
        mask |= XCB_MOD_MASK_1;
    if (modifiers & HotKeys::ModControl)
        mask |= XCB_MOD_MASK_CONTROL;
    if (modifiers & HotKeys::ModShift)
        mask |= XCB_MOD_MASK_SHIFT;
    return mask;
}

} // namespace

X11HotKeys::~X11HotKeys()
{
    if (xcb_connection_t* c = qtConnection()) {
        for (const Registration& registration : std::as_const(m_registrations))
            ungrab(c, registration);
        xcb_flush(c);
    }
    if (m_filtering && qGuiApp)
        qGuiApp->removeNativeEventFilter(this);
}

quint32 X11HotKeys::atom(const QString& name)
{
    xcb_connection_t* c = qtConnection();
    if (!c)
        return 0;
    const QByteArray latin = name.toLatin1();
    const auto reply = XCB_REPLY(xcb_intern_atom, c, 0, quint16(latin.size()), latin.constData());
    return reply ? reply->atom : 0;
}

QList<xcb_keycode_t> X11HotKeys::keycodesOf(xcb_connection_t* c, quint32 keysym) const
{
    const xcb_setup_t* setup = xcb_get_setup(c);
    const int count = setup->max_keycode - setup->min_keycode + 1;
    const auto mapping = XCB_REPLY(xcb_get_keyboard_mapping, c, setup->min_keycode, quint8(count));
    if (!mapping || mapping->keysyms_per_keycode == 0)
        return {};
    const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(mapping.get());
    const int perKey = mapping->keysyms_per_keycode;
    // The key that gives the symbol without Shift; on layouts where it needs Shift (digits on a French
    // keyboard), the key that gives it with Shift.
    for (int column = 0; column < std::min(perKey, 2); ++column) {
        QList<xcb_keycode_t> found;
        for (int key = 0; key < count; ++key) {
            if (syms[key * perKey + column] == keysym)
                found.append(xcb_keycode_t(setup->min_keycode + key));
        }
        if (!found.isEmpty())
            return found;
    }
    return {};
}

quint16 X11HotKeys::numLockMask(xcb_connection_t* c) const
{
    const QList<xcb_keycode_t> numLock = keycodesOf(c, XK_Num_Lock);
    const auto mapping = XCB_REPLY(xcb_get_modifier_mapping, c);
    if (!mapping || numLock.isEmpty())
        return 0;
    const xcb_keycode_t* keys = xcb_get_modifier_mapping_keycodes(mapping.get());
    const int perModifier = mapping->keycodes_per_modifier;
    for (int modifier = 0; modifier < 8; ++modifier) {
        for (int i = 0; i < perModifier; ++i) {
            if (numLock.contains(keys[modifier * perModifier + i]))
                return quint16(1u << modifier);
        }
    }
    return 0;
}

QList<quint16> X11HotKeys::lockVariants(xcb_connection_t* c) const
{
    const quint16 numLock = numLockMask(c);
    QList<quint16> variants { 0, XCB_MOD_MASK_LOCK };
    if (numLock)
        variants << numLock << quint16(numLock | XCB_MOD_MASK_LOCK);
    return variants;
}

bool X11HotKeys::registerHotKey(quint32 id, quint32 modifiers, quint32 virtualKey)
{
    xcb_connection_t* c = qtConnection();
    const quint32 keysym = keysymForVirtualKey(virtualKey & 0xFF);
    if (!c || keysym == 0)
        return false;
    const quint16 mask = xModifiers(modifiers);
    for (const Registration& existing : std::as_const(m_registrations)) {
        if (existing.id == id)
            return false;
    }
    Registration registration { id, mask, keycodesOf(c, keysym), {} };
    if (registration.keycodes.isEmpty()) {
        qCDebug(lcHotKeys) << "no key gives keysym" << Qt::hex << keysym;
        return false;
    }
    for (const Registration& existing : std::as_const(m_registrations)) {
        // The server would let this client grab the same key twice; one of them would then vanish with
        // the other's release.
        if (existing.modifiers == mask
            && std::any_of(registration.keycodes.cbegin(), registration.keycodes.cend(),
                [&](xcb_keycode_t key) { return existing.keycodes.contains(key); }))
            return false;
    }

    for (const quint16 variant : lockVariants(c))
        registration.masks.append(quint16(mask | variant));
    const xcb_window_t root = rootOf(c);
    QList<xcb_void_cookie_t> cookies;
    for (const xcb_keycode_t key : std::as_const(registration.keycodes)) {
        for (const quint16 grabMask : std::as_const(registration.masks))
            cookies.append(
                xcb_grab_key_checked(c, 1, root, grabMask, key, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    }
    // Every cookie is checked, so that no error is left to reach Qt's event handling.
    bool grabbed = true;
    for (const xcb_void_cookie_t cookie : std::as_const(cookies)) {
        if (XcbReply<xcb_generic_error_t> error { xcb_request_check(c, cookie) }) {
            qCDebug(lcHotKeys) << "grab refused, X error" << error->error_code;
            grabbed = false;
        }
    }
    if (!grabbed) {
        // Ungrabbing is harmless for the variants another client holds: the server only releases grabs
        // of the client that asks.
        ungrab(c, registration);
        xcb_flush(c);
        return false;
    }
    if (!m_filtering) {
        qGuiApp->installNativeEventFilter(this);
        m_filtering = true;
    }
    m_registrations.append(registration);
    return true;
}

void X11HotKeys::unregisterHotKey(quint32 id)
{
    xcb_connection_t* c = qtConnection();
    for (qsizetype i = 0; i < m_registrations.size(); ++i) {
        if (m_registrations[i].id != id)
            continue;
        if (c) {
            ungrab(c, m_registrations[i]);
            xcb_flush(c);
        }
        m_registrations.removeAt(i);
        return;
    }
}

void X11HotKeys::ungrab(xcb_connection_t* c, const Registration& registration)
{
    const xcb_window_t root = rootOf(c);
    for (const xcb_keycode_t key : registration.keycodes) {
        for (const quint16 grabMask : registration.masks)
            xcb_ungrab_key(c, key, root, grabMask);
    }
}

bool X11HotKeys::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*)
{
    if (eventType != "xcb_generic_event_t")
        return false;
    const auto event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7F) != XCB_KEY_PRESS)
        return false;
    const auto press = static_cast<const xcb_key_press_event_t*>(message);
    xcb_connection_t* c = qtConnection();
    if (!c || press->event != rootOf(c))
        return false;
    // The lock keys and the keyboard group do not change which hotkey it is.
    const quint16 relevant = XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | XCB_MOD_MASK_4;
    const quint16 state = press->state & relevant;
    const auto hit = std::find_if(m_registrations.cbegin(), m_registrations.cend(),
        [&](const Registration& r) { return r.modifiers == state && r.keycodes.contains(press->detail); });
    if (hit == m_registrations.cend())
        return false;
    // The listener may change the registrations; it gets a copy of the id.
    pressed(quint32(hit->id));
    return true;
}

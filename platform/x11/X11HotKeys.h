#pragma once

#include "platform/HotKeys.h"

#include <QAbstractNativeEventFilter>
#include <QList>
#include <xcb/xcb.h>

// Hotkeys as passive key grabs on the root window, made on Qt's own X connection so that the presses
// arrive through Qt's event dispatch. CapsLock and NumLock must not change what a hotkey is, so every
// key is grabbed once for each combination of the two.
class X11HotKeys final : public HotKeys, private QAbstractNativeEventFilter
{
public:
    X11HotKeys() = default;
    ~X11HotKeys() override;
    X11HotKeys(const X11HotKeys&) = delete;
    X11HotKeys& operator=(const X11HotKeys&) = delete;

    quint32 atom(const QString& name) override;
    bool registerHotKey(quint32 id, quint32 modifiers, quint32 virtualKey) override;
    void unregisterHotKey(quint32 id) override;

private:
    struct Registration
    {
        quint32 id = 0;
        quint16 modifiers = 0; // X modifier mask without the lock keys
        QList<xcb_keycode_t> keycodes;
        QList<quint16> masks; // the modifiers with each combination of the lock keys, as grabbed
    };

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;
    QList<xcb_keycode_t> keycodesOf(xcb_connection_t* c, quint32 keysym) const;
    quint16 numLockMask(xcb_connection_t* c) const;
    // The mask combinations that leave a grab's meaning unchanged: none, CapsLock, NumLock, both.
    QList<quint16> lockVariants(xcb_connection_t* c) const;
    void ungrab(xcb_connection_t* c, const Registration& registration);

    QList<Registration> m_registrations;
    bool m_filtering = false;
};

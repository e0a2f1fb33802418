#pragma once

#include <QString>
#include <functional>

// System-wide hotkeys. Keys are Windows virtual-key codes (0x2C Print Screen, 0x41 'A', ...), so that
// stored settings mean the same key everywhere; each backend maps them to its own keys.
class HotKeys
{
public:
    enum Modifier : quint32 { ModAlt = 1, ModControl = 2, ModShift = 4 };
    // Receives the id of a registered hotkey on every press, automatic key repeats included.
    using Listener = std::function<void(quint32 id)>;

    virtual ~HotKeys() = default;

    // The id under which hotkeys are registered: the same number for the same name in every process of the
    // session. 0 when the system cannot give one.
    virtual quint32 atom(const QString& name) = 0;
    // Registers `virtualKey` with `modifiers` (Modifier bits) under `id`. Returns false and grabs nothing
    // when another program holds the key, when the key is unknown here, or when `id` is already in use.
    virtual bool registerHotKey(quint32 id, quint32 modifiers, quint32 virtualKey) = 0;
    // Releases the hotkey of `id`; nothing happens when none is registered.
    virtual void unregisterHotKey(quint32 id) = 0;

    void setListener(Listener listener) { m_listener = std::move(listener); }

protected:
    void pressed(quint32 id)
    {
        if (m_listener)
            m_listener(id);
    }

private:
    Listener m_listener;
};

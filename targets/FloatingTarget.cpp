#include "FloatingTarget.h"

#include "capture/CaptureSource.h"

#include <QTimer>

#include <malloc.h>

FloatingTarget::FloatingTarget(TargetHost& host) : Target(host) { }

// Freed now, not deferred: no event loop runs after the main window.
FloatingTarget::~FloatingTarget() = default;

bool FloatingTarget::accepts(int source) const
{
    return source != csWebPage;
}

void FloatingTarget::deliver(Shot& shot)
{
    auto window = std::make_unique<FloatingWindow>(*this, shot.bitmap);
    // Placed before it is shown, so that the window manager maps it there and nowhere else first.
    window->setGeometry(shot.rect);
    window->show();
    m_windows.push_back(std::move(window));
}

void FloatingTarget::deleteFloating(FloatingWindow* window)
{
    for (auto entry = m_windows.end(); entry != m_windows.begin();) {
        --entry;
        if (window && entry->get() != window)
            continue;
        (*entry)->hide();
        m_leaving.push_back(std::move(*entry));
        entry = m_windows.erase(entry);
    }
    // The menu that asked may belong to one of them: they go once control is back in the event loop.
    QTimer::singleShot(0, this, [this] {
        if (m_leaving.empty())
            return;
        m_leaving.clear();
        // Each window held megabytes of picture and backing store in the heap; give them back to the
        // system rather than keep them for captures that may not come.
        malloc_trim(0);
    });
}

// Floating windows: captures pinned over the places they came from.

#include "Main.h"

#include <QTimer>

#include <malloc.h>

void TFrmLumetra::ShowFloating(const QImage& Bitmap, const QRect& Rect)
{
    auto form = std::make_unique<TFrmFloating>(*this, Bitmap);
    // Placed before it is shown, so that the window manager maps it there and nowhere else first.
    form->setGeometry(Rect);
    form->show();
    FloatList.push_back(std::move(form));
}

void TFrmLumetra::FloatDelete(TFrmFloating* form)
{
    for (auto entry = FloatList.end(); entry != FloatList.begin();) {
        --entry;
        if (form && entry->get() != form)
            continue;
        (*entry)->hide();
        m_floatsLeaving.push_back(std::move(*entry));
        entry = FloatList.erase(entry);
    }
    // The menu that asked may belong to one of them: they go once control is back in the event loop.
    QTimer::singleShot(0, this, [this] {
        if (m_floatsLeaving.empty())
            return;
        m_floatsLeaving.clear();
        // Each window held megabytes of picture and backing store in the heap; give them back to the
        // system rather than keep them for captures that may not come.
        malloc_trim(0);
    });
}

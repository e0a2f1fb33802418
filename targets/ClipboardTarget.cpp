#include "ClipboardTarget.h"

#include "save/Save.h"
#include "support/Exception.h"

void ClipboardTarget::deliver(Shot& shot)
{
    // An empty picture would throw away what the user had copied, for nothing.
    if (shot.bitmap.isNull())
        throw Exception(QStringLiteral("The image is empty; the clipboard was left as it was."));
    CopyBitmapToClipboard(host().platform(), shot.bitmap);
}

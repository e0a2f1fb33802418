#include "QtClipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace {

bool take(QMimeData* data)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard) {
        delete data;
        return false;
    }
    clipboard->setMimeData(data, QClipboard::Clipboard);
    // X11 has no error for a refused selection: Qt only fails to become the owner, and the clipboard
    // then still belongs to the other program.
    return clipboard->ownsClipboard();
}

} // namespace

bool QtClipboard::setPng(const QByteArray& png)
{
    auto data = new QMimeData;
    data->setData(QStringLiteral("image/png"), png);
    return take(data);
}

bool QtClipboard::setText(const QString& text)
{
    auto data = new QMimeData;
    data->setText(text);
    return take(data);
}

// The update check: asked once per start in the background, answered with a question or a notice.

#include "Main.h"

#include "platform/Platform.h"
#include "support/Q.Update.h"

void TFrmLumetra::StartInitRequest()
{
    const QUrl endpoint = UpdateEndpoint();
    if (!endpoint.isValid())
        return;
    FUpdate = std::make_unique<UpdateCheck>(m_platform.http(), endpoint);
    connect(FUpdate.get(), &UpdateCheck::replied, this, &TFrmLumetra::InitRequestReplied);
    FUpdate->start();
}

void TFrmLumetra::InitRequestReplied(const QString& reply)
{
    const UpdateReply read = ReadUpdateReply(reply);
    bool accepted = false;
    if (!read.update.isEmpty()) {
        bool hold = false;
        const bool download = UpdateDialog(this, m_everShown, m_platform.shell(), read, &hold);
        // Whatever the answer: the box only asks to be left alone for a while.
        if (hold && FUpdate)
            FUpdate->sendHoldNotice();
        // A server may not make the desktop run a program or open a file; closing for a download that
        // was never opened would leave the user with nothing.
        accepted = download && IsWebAddress(read.update) && ShellOpen(m_platform.shell(), read.update);
    }
    if (!read.notify.isEmpty())
        ShowUpdateStatus(this, m_platform.shell(), read.notify);
    if (accepted) {
        FCanClose = true;
        close();
    }
}

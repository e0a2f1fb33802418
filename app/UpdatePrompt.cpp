#include "UpdatePrompt.h"

#include "MainWindow.h"
#include "support/Q.Update.h"

UpdatePrompt::UpdatePrompt(HttpClient& http, Shell& shell, MainWindow& window, QObject* parent)
    : QObject(parent), m_http(http), m_shell(shell), m_window(window)
{ }

UpdatePrompt::~UpdatePrompt() = default;

void UpdatePrompt::start()
{
    const QUrl endpoint = UpdateEndpoint();
    if (!endpoint.isValid())
        return;
    m_check = std::make_unique<UpdateCheck>(m_http, endpoint);
    connect(m_check.get(), &UpdateCheck::replied, this, &UpdatePrompt::onReplied);
    m_check->start();
}

void UpdatePrompt::onReplied(const QString& reply)
{
    const UpdateReply read = ReadUpdateReply(reply);
    bool accepted = false;
    if (!read.update.isEmpty()) {
        bool hold = false;
        const bool download = UpdateDialog(&m_window, m_window.everShown(), m_shell, read, &hold);
        // Whatever the answer: the box only asks to be left alone for a while.
        if (hold && m_check)
            m_check->sendHoldNotice();
        // A server may not make the desktop run a program or open a file; closing for a download that
        // was never opened would leave the user with nothing.
        accepted = download && IsWebAddress(read.update) && ShellOpen(m_shell, read.update);
    }
    if (!read.notify.isEmpty())
        ShowUpdateStatus(&m_window, m_shell, read.notify);
    if (accepted)
        emit downloadAccepted();
}

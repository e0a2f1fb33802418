#include "UserMessages.h"

#include "support/Q.Translate.h"
#include "support/Q.Update.h"
#include "targets/Target.h"

namespace {

// The maker's error-help pages, one per message.
const QString ErrorHelpPage = QStringLiteral("https://help.brenholt.example/?app=lumetra&msg=%1");

} // namespace

UserMessages::UserMessages(MessageBoxes& boxes, Shell& shell, QWidget* window)
    : m_boxes(boxes), m_shell(shell), m_window(window)
{ }

MessageResult UserMessages::show(MessageIcon icon, const QString& text, MessageButtons buttons)
{
    return m_boxes.show(m_window, icon, TranslateText(ProductCaption), text, buttons);
}

void UserMessages::showCaptureFailed(const QString& reason)
{
    show(MessageIcon::Error,
        TranslateText(QStringLiteral("캡쳐가 실패하였습니다.")) + QStringLiteral("\r\r") + reason);
}

void UserMessages::showUnavailable(const Unavailable& problem)
{
    show(MessageIcon::Information, problem.text);
    if (!problem.helpTopic.isEmpty())
        ShellOpen(m_shell, ErrorHelpPage.arg(problem.helpTopic));
}

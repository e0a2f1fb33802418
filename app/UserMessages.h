#pragma once

#include "platform/MessageBoxes.h"

#include <QString>

class QWidget;
class Shell;
struct Unavailable;

// The boxes the program shows the user, titled with the product's name over the main window.
class UserMessages
{
public:
    UserMessages(MessageBoxes& boxes, Shell& shell, QWidget* window);

    MessageResult show(MessageIcon icon, const QString& text, MessageButtons buttons = MessageButtons::Ok);
    // "Capture failed", two carriage returns and the reason, in an error box.
    void showCaptureFailed(const QString& reason);
    // Why a target cannot run, then its error-help page when it has one.
    void showUnavailable(const Unavailable& problem);

private:
    MessageBoxes& m_boxes;
    Shell& m_shell;
    QWidget* m_window;
};

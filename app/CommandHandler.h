#pragma once

#include <QObject>

struct InstanceRequest;

// Reads the requests other processes send over the command channel and says what they ask for. Each
// request is answered after its signal's receivers have returned.
class CommandHandler final : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // The answer sent back: 1 for a JSON command carried out, 0 otherwise (the window messages always 0).
    qint32 handle(const InstanceRequest& request);
    // The show and quit messages of a second copy count once the program has its notification-area icon.
    void acceptWindowMessages() { m_windowMessages = true; }

signals:
    void captureRequested();
    void aboutRequested();
    void showRequested();
    void quitRequested();

private:
    bool m_windowMessages = false;
};

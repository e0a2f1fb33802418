#include "CommandHandler.h"

#include "platform/InstanceChannel.h"
#include "platform/InstanceProtocol.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace {

// The "command" member as text; empty when missing or not text.
QString commandOf(const QString& text)
{
    const QJsonDocument document = QJsonDocument::fromJson(text.toUtf8());
    if (!document.isObject())
        return {};
    const QJsonValue value = document.object().value(QLatin1String("command"));
    return value.isString() ? value.toString() : QString();
}

} // namespace

qint32 CommandHandler::handle(const InstanceRequest& request)
{
    if (request.message == InstanceProtocol::WmCopyData) {
        if (request.param != InstanceProtocol::JsonCommand)
            return 0;
        const QString command = commandOf(request.text);
        if (command == QLatin1String("about")) {
            emit aboutRequested();
            return 1;
        }
        if (command == QLatin1String("capture")) {
            emit captureRequested();
            return 1;
        }
        return 0;
    }
    if (request.message == InstanceProtocol::WmUser && m_windowMessages) {
        if (request.param == InstanceProtocol::ShowCommand)
            emit showRequested();
        else if (request.param == InstanceProtocol::QuitCommand)
            emit quitRequested();
    }
    return 0;
}

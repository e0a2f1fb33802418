// Commands from other processes and the ways the program ends.

#include "Main.h"

#include "platform/Platform.h"
#include "support/Q.Translate.h"
#include "support/Q.TrayIcon.h"
#include "support/Q.Update.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QSystemTrayIcon>

namespace {

// The about page lives on the maker's short-link host.
const QString AboutPage = QStringLiteral("https://go.brenholt.example/lumetra?v=%1");

// The "command" member as text; empty when missing or not text. A number would be taken by its text,
// but no command is a number, so only strings can ever match.
QString commandOf(const QString& text)
{
    const QJsonDocument document = QJsonDocument::fromJson(text.toUtf8());
    if (!document.isObject())
        return {};
    const QJsonValue value = document.object().value(QLatin1String("command"));
    return value.isString() ? value.toString() : QString();
}

} // namespace

qint32 TFrmLumetra::WMCopyData(quint32 dwData, const QString& text)
{
    if (dwData != 1)
        return 0;
    const QString command = commandOf(text);
    if (command == QLatin1String("about")) {
        LblCopyrightClick();
        return 1;
    }
    if (command == QLatin1String("capture")) {
        Start();
        return 1;
    }
    return 0;
}

qint32 TFrmLumetra::WMUser(quint32 wParam)
{
    if (!TrayIcon)
        return 0;
    switch (wParam) {
    case 1:
        ShowFromTray(this, m_platform.windows());
        break;
    case 2:
        FCanClose = true;
        close();
        break;
    default:
        break;
    }
    return 0;
}

qint32 TFrmLumetra::WMQueryEndSession()
{
    // The session ends whatever is answered: a recording is finished rather than refused.
    if (FRecorder) {
        FRecorder->StopAndWait();
        FRecorder.reset();
    }
    FCanClose = true;
    close();
    return 1;
}

bool TFrmLumetra::AllowMessage(quint32 /*message*/)
{
    // The socket's file mode decides who may send; there is no message filter to open.
    return false;
}

void TFrmLumetra::N10Click()
{
    const MessageResult answer = ShowMessage(MessageIcon::Question,
        TranslateText(QStringLiteral("정말 종료하시겠습니까?")), MessageButtons::YesNo);
    if (answer == MessageResult::Yes) {
        FCanClose = true;
        close();
    }
}

void TFrmLumetra::LblCopyrightClick()
{
    ShellOpen(m_platform.shell(), AboutPage.arg(GetVersionText(QStringLiteral("%d.%d.%d.%d"))));
}

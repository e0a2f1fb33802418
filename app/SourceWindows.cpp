#include "SourceWindows.h"

#include "UserMessages.h"
#include "capture/CaptureSource.h"
#include "capture/RegionFrame.h"
#include "capture/RegionSizeDialog.h"
#include "capture/WindowOutline.h"
#include "webpage/WebPageWindow.h"

SourceWindows::SourceWindows(
    ScreenSource& screen, RecordingControl& recording, UserMessages& messages, QWidget* owner)
    : m_screen(screen), m_recording(recording), m_messages(messages), m_owner(owner)
{ }

SourceWindows::~SourceWindows()
{
    // The frame asks the recording about its state; it goes before the recording does.
    delete m_region.data();
    delete m_outline.data();
    delete m_webPage.data();
}

void SourceWindows::createSizeDialog()
{
    m_sizes = new RegionSizeDialog(m_owner);
    m_sizes->FormCreate();
}

bool SourceWindows::showFor(int source)
{
    if (m_webPage && source != csWebPage)
        m_webPage->close();
    if (m_region && m_region->isVisible())
        m_region->close();
    if (m_outline) {
        // Cleared now: the outline frees itself only once the event loop runs again.
        m_outline->close();
        m_outline = nullptr;
    }
    switch (source) {
    case csRegion:
        if (!m_region) {
            m_region = new RegionFrame(m_owner, m_screen, m_sizes, m_recording);
            connect(m_region, &RegionFrame::ClosedByUser, this, &SourceWindows::closedByUser);
            m_region->FormCreate();
        }
        m_region->show();
        return true;
    case csWindowControl:
        m_outline = new WindowOutline(m_screen, m_owner);
        m_outline->show();
        return true;
    case csWebPage:
        return showWebPage();
    default:
        return true;
    }
}

bool SourceWindows::showWebPage()
{
    if (!m_webPage) {
        auto window = std::make_unique<WebPageWindow>();
        QString error;
        if (!window->loadBrowser(&error)) {
            m_messages.show(MessageIcon::Error,
                QStringLiteral("The web page source needs the web engine, which could not be loaded.\r\r")
                    + error);
            return false;
        }
        connect(window.get(), &WebPageWindow::closedByUser, this, &SourceWindows::closedByUser);
        m_webPage = window.release();
    }
    m_webPage->show();
    m_webPage->raise();
    m_webPage->activateWindow();
    return true;
}

QRect SourceWindows::regionRect() const
{
    return m_region ? m_region->GetRect() : QRect();
}

QList<QWidget*> SourceWindows::windows() const
{
    QList<QWidget*> windows;
    if (m_region)
        windows.append(m_region);
    if (m_sizes)
        windows.append(m_sizes);
    return windows;
}

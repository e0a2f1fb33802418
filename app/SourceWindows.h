#pragma once

#include "capture/RegionFrame.h"
#include "capture/RegionSizeDialog.h"
#include "capture/WindowOutline.h"
#include "webpage/WebPageWindow.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QRect>

class RecordingControl;
class ScreenSource;
class UserMessages;
class QWidget;

// The windows some sources capture through: the region frame with its size dialog, the outline that
// follows the window under the pointer, and the browser window of the web page source. Each exists
// while its source is chosen (the region frame and the browser are kept, hidden, once made).
class SourceWindows final : public QObject
{
    Q_OBJECT

public:
    SourceWindows(ScreenSource& screen, RecordingControl& recording, UserMessages& messages, QWidget* owner);
    ~SourceWindows() override;

    // The size dialog the region frame offers; made during the start-up.
    void createSizeDialog();
    // Shows what `source` needs and closes what the others opened. False when the source cannot be used
    // (the web engine did not load; the user has been told).
    bool showFor(int source);

    // The region frame's inner rectangle in root coordinates; empty without a frame.
    QRect regionRect() const;
    RegionFrame* regionFrame() const { return m_region; }
    WebPageWindow* webPage() const { return m_webPage; }
    // The windows that exist, for work that applies to all of them (translation).
    QList<QWidget*> windows() const;

signals:
    // The user closed the region frame or the browser window: the source is full screen again.
    void closedByUser();

private:
    bool showWebPage();

    ScreenSource& m_screen;
    RecordingControl& m_recording;
    UserMessages& m_messages;
    QWidget* m_owner;
    QPointer<RegionSizeDialog> m_sizes;
    QPointer<RegionFrame> m_region;
    // Closes itself (delete on close) when a capture starts.
    QPointer<WindowOutline> m_outline;
    // No owner window: it stands beside the main window, which may be hidden in the tray. Frees itself
    // when it closes.
    QPointer<WebPageWindow> m_webPage;
};

// The web page source: the browser window and the capture of its whole page.

#include "Main.h"

#include "support/Exception.h"
#include "support/Q.Translate.h"
#include "webpage/IExplorer.h"

#include <QComboBox>

void TFrmLumetra::ShowWebPageWindow()
{
    if (!FrmIExplorer) {
        // No owner window: it stands beside the main window, which may be hidden in the tray.
        auto window = std::make_unique<TFrmIExplorer>();
        QString error;
        if (!window->FormCreate(&error)) {
            ChkArea->setCurrentIndex(csFullScreen);
            ShowMessage(MessageIcon::Error,
                QStringLiteral("The web page source needs the web engine, which could not be loaded.\r\r")
                    + error);
            return;
        }
        connect(window.get(), &TFrmIExplorer::ClosedByUser, this, [this] {
            // The source list shows full screen without running its change handling.
            ChkArea->setCurrentIndex(csFullScreen);
            SaveConfig(QStringLiteral("area"), int(csFullScreen));
        });
        // From here the window frees itself when it closes.
        FrmIExplorer = window.release();
    }
    FrmIExplorer->show();
    FrmIExplorer->raise();
    FrmIExplorer->activateWindow();
}

void TFrmLumetra::CloseWebPageWindow()
{
    if (FrmIExplorer && ChkArea->currentIndex() != csWebPage)
        FrmIExplorer->close();
}

void TFrmLumetra::FreeWebPageWindow()
{
    delete FrmIExplorer.data();
}

void TFrmLumetra::CaptureWebPage(QImage& bitmap)
{
    if (!FrmIExplorer || !FrmIExplorer->WB)
        throw ECaptureError(QStringLiteral("The web page window is not open."));
    QString error;
    if (!FCapture->Capture(bitmap, *FrmIExplorer->WB, &error))
        throw ECaptureError(error);
}

#pragma once

#include "capture/Capture.h"
#include "platform/MessageBoxes.h"
#include "platform/ScreenSource.h"

#include <QImage>
#include <QList>
#include <QPointer>
#include <QRect>
#include <QStringList>
#include <QWidget>
#include <memory>

class Platform;
class QAction;
class QComboBox;
class QLabel;
class QMenu;
class QPushButton;
class QStackedWidget;
class QSystemTrayIcon;
class TFrmArea;
class TFrmHotKey;
class TFrmLine;
class TFrmSize;

// Indexes of the source list.
enum CaptureSource {
    csFullScreen = 0,
    csRegion = 1,
    csDrag = 2,
    csActiveWindow = 3,
    csWindowControl = 4,
    csWebPage = 5,
    csColorPick = 6,
};

// Indexes of the target list.
enum SaveTarget {
    stPNG = 0,
    stJPG = 1,
    stGIF = 2,
    stBMP = 3,
    stWebP = 4,
    stMP4 = 5,
    stTXT = 6,
    stClipboard = 7,
    stImageStore = 8,
    stPrinter = 9,
    stFloating = 10,
};

// The main window and the controller of the whole program: start-up, the external commands, the
// settings, the capture dispatch and the menus. Its handlers live in one source file per concern
// (Main.Commands.cpp, Main.Capture.cpp, Main.Naming.cpp, ...).
class TFrmLumetra : public QWidget
{
    Q_OBJECT
    // Closing the region frame stops a running recording.
    friend class TFrmArea;

public:
    enum TStatus { stIdle, stRunning, stBusy };

    // Builds the window and its components; FormCreate does the start-up work.
    TFrmLumetra(Platform& platform, QStringList arguments, QWidget* parent = nullptr);
    ~TFrmLumetra() override;

    // Start-up in its fixed order; run once after construction.
    void FormCreate();

    // External commands. Each returns the answer sent back to the other process.
    qint32 WMCopyData(quint32 dwData, const QString& text);
    qint32 WMUser(quint32 wParam);
    qint32 WMQueryEndSession();
    bool AllowMessage(quint32 message);
    void N10Click();
    void LblCopyrightClick();

    // The capture dispatch.
    void Start();
    void CaptureStart();
    // Fills the bitmap and the captured rectangle for the sources read from the screen.
    void Capture(QImage& bitmap, QRect& rect);
    void ChkAreaChange();
    void ChkSaveToChange();

    // Output file naming.
    QString NewFilename(const QString& ext);
    int FindHighestNumber();

    // Write-through settings: one value per call.
    void SaveConfig(const QString& name, int value);
    void SaveConfig(const QString& name, bool value);
    void SaveConfig(const QString& name, const QString& value);

    // Design pixels (96 per inch) to this window's pixels.
    int Scaled(int value) const;

    bool IsRecording() const;
    Platform& platform() const { return m_platform; }

    // State of the running program.
    std::unique_ptr<TCapture> FCapture;
    TStatus FStatus = stIdle;
    bool FCanClose = false;
    QSystemTrayIcon* TrayIcon = nullptr;
    QString Language;
    QString SavePath;

    // Secondary windows, owned through Qt parenting; each stays null until it is created.
    TFrmHotKey* FrmHotKey = nullptr;
    TFrmSize* FrmSize = nullptr;
    TFrmArea* FrmArea = nullptr;
    TFrmLine* FrmLine = nullptr;
    // Those of the secondary windows that exist, for work that applies to all of them (translation).
    QList<QWidget*> secondaryWindows() const;

    // Components.
    QLabel* LblArea = nullptr;
    QComboBox* ChkArea = nullptr;
    QStackedWidget* PnlMain = nullptr;
    QWidget* Card1 = nullptr;
    QWidget* Card2 = nullptr;
    QWidget* Card3 = nullptr;
    QLabel* LblCopyright = nullptr;
    QLabel* LblSaveTo = nullptr;
    QComboBox* ChkSaveTo = nullptr;
    QComboBox* ChkJPEG_qual = nullptr;
    QComboBox* ChkWebP_qual = nullptr;
    QComboBox* ChkOCR_lang = nullptr;
    QPushButton* BtnOpenDir = nullptr;

    // The context menu of the window and of the notification-area icon, in menu order.
    QMenu* Menu = nullptr;
    QAction* N12 = nullptr; // open the save folder
    QAction* N4 = nullptr; // choose the save folder
    QAction* N1 = nullptr; // hotkey setting
    QMenu* N11 = nullptr; // language
    QAction* ChkLangKo = nullptr;
    QAction* ChkLangEn = nullptr;
    QAction* ChkLangJa = nullptr;
    QAction* ChkLangRu = nullptr;
    QAction* ChkLangIt = nullptr;
    QAction* ChkLangFr = nullptr;
    QAction* ChkLangZh = nullptr;
    QMenu* N2 = nullptr; // file names
    QAction* ChkAppend1 = nullptr;
    QAction* ChkAppend3 = nullptr;
    QAction* ChkAppend2 = nullptr;
    QMenu* N6 = nullptr; // recording
    QMenu* N13 = nullptr; // recording time limit
    QAction* ChkRecLimit0 = nullptr;
    QAction* ChkRecLimit30 = nullptr;
    QAction* ChkRecLimit60 = nullptr;
    QAction* ChkRecLimit120 = nullptr;
    QAction* ChkRecLimit240 = nullptr;
    QAction* ChkAudio = nullptr;
    QAction* ChkLog = nullptr;
    QMenu* N3 = nullptr; // capture sound
    QAction* ChkSound1 = nullptr;
    QAction* ChkSound2 = nullptr;
    QAction* ChkSound3 = nullptr;
    QAction* ChkMouse = nullptr;
    QAction* ChkRegStart = nullptr;
    QAction* N8 = nullptr; // separator
    QAction* N9 = nullptr; // about
    QAction* N10 = nullptr; // quit

signals:
    // The window has really closed: the program ends.
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateComponents();
    void CreateMenu();
    void FormMouseUp();
    void LoadConfig();
    // The close request: true lets the window close and the program end.
    bool FormCloseQuery();
    void FormDestroy();
    void PlayCaptureSound();
    // Hands the bitmap to the chosen target; throws on failure.
    void SaveToTarget(int target, QImage& bitmap, const QRect& rect);
    int Quality(QComboBox* list) const;
    // A box titled with the translated caption, showing the text as given.
    MessageResult ShowMessage(
        MessageIcon icon, const QString& text, MessageButtons buttons = MessageButtons::Ok);
    bool HasArgument(const QString& argument) const;

    // Joined by the recording, text-recognition, sharing and colour-picker parts of the program.
    void RecordStart();
    void RecordStop();
    void CaptureColor();

    Platform& m_platform;
    QStringList m_arguments;
    bool m_destroyed = false;
};

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
class TConfig;

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
    // The hotkey window: brought to the front when it is open, else shown modally.
    void N1Click();
    // The sign-in entry follows the item's check mark; a refusal is reported and the mark shows what is.
    void ChkRegStartClick();

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

    // Storing handlers of the menu groups and lists: each writes its value the moment it changes. A group's
    // value comes from the name of the clicked item.
    void ChkAppend1Click(QAction* item);
    void ChkSound1Click(QAction* item);
    void ChkRecLimit0Click(QAction* item);
    void ChkMouseClick();
    void ChkAudioClick();
    void ChkLogClick();
    void ChkJPEG_qualChange();
    void ChkWebP_qualChange();
    void ChkOCR_langChange();
    // The language menu: switches every window to the item's language and stores it.
    void ChkLang(QAction* item);

    // The save folder: choose it, open it in the desktop's file manager.
    bool SelectFolder(QString& folder);
    void N4Click();
    void N12Click();
    void BtnOpenDirClick();

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
    // Guarded: the outline closes itself (delete on close) when a capture starts.
    QPointer<TFrmLine> FrmLine;
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
    void CreateTrayIcon();
    void CreateHotKeyWindow();
    void FormMouseUp();
    void LoadConfig();
    // Fills the recognition-language list from what the system offers; may throw.
    void LoadRecognitionLanguages(TConfig& config);
    // Asks the product's web service for updates and notices once per start.
    void StartInitRequest();
    // Checks the item of a menu group named `prefix` + `value` and unchecks the others; a value that names
    // no item leaves the group unchecked.
    static void CheckGroupItem(const QList<QAction*>& group, const QString& prefix, const QString& value);
    // Checks the language menu's item for `Language` alone.
    void CheckLanguageItem();
    // The close request: true lets the window close and the program end.
    bool FormCloseQuery();
    void FormDestroy();
    void PlayCaptureSound();
    // Hands the bitmap to the chosen target; throws on failure.
    void SaveToTarget(int target, QImage& bitmap, const QRect& rect);
    int Quality(QComboBox* list) const;
    // The "file not found" box for a file a target needs, then the matching error-help page.
    void ShowFileNotFound(const QString& file, const QString& helpTopic);
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

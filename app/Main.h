#pragma once

#include "capture/Area.h"
#include "capture/Capture.h"
#include "capture/CaptureSource.h"
#include "ocr/RtOcr.h"
#include "platform/MessageBoxes.h"
#include "platform/ScreenSource.h"
#include "recording/Recorder.h"
#include "sharing/Floating.h"
#include "targets/Target.h"
#include "targets/Targets.h"

#include <QImage>
#include <QList>
#include <QPointer>
#include <QRect>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

class Platform;
class QAction;
class QComboBox;
class QLabel;
class QListWidget;
class QMenu;
class QPainter;
class QTimer;
class QPushButton;
class QStackedWidget;
class QSystemTrayIcon;
class QTimer;
class TFrmHotKey;
class TFrmIExplorer;
class TFrmLine;
class TFrmSize;
class TConfig;
class TProgressForm;
class UpdateCheck;
class UploadJob;

// The main window and the controller of the whole program: start-up, the external commands, the
// settings, the capture dispatch and the menus. Its handlers live in one source file per concern
// (Main.Commands.cpp, Main.Capture.cpp, Main.Naming.cpp, ...). The windows and targets it drives know it
// only through the narrow interfaces they are given.
class TFrmLumetra : public QWidget, public RecordingControl, public TargetHost, public FloatingHost
{
    Q_OBJECT

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

    // The colour picker: the live probe, the recorded codes and their menu.
    void TmrColorTimer();
    void CaptureColor();
    void N5Click();
    void N7Click();
    // Draws one recorded code into `rect` of the list: swatch, outline and text. `scaled` is the list's
    // Scaled.
    static void LstColorDrawItem(QPainter& painter, const QRect& rect, const QString& code, bool selected,
        const std::function<int(int)>& scaled);

    // Output file naming.
    QString NewFilename(const QString& ext) override;
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

    // The recording: true while a recorder exists; asks the running one to stop.
    bool IsRecording() const override;
    void RecordStop() override;
    // Follows the running recording every 100 ms and tidies up once the encoder has ended.
    void TmrRecTimer();

    // What the targets ask of the window.
    int JpegQuality() const override;
    int WebPQuality() const override;
    int PixelsPerInch() const override;
    Platform& platform() const override { return m_platform; }
    QString FloatSavePath() const override { return SavePath; }

    // The image store: the strip shows the progress while the upload runs on a worker; its end opens the
    // stored image's address or tells the failure, and the dispatch is idle again.
    void CaptureUpload(const QImage& Bitmap) override;
    // Floating windows over the places their captures came from, in opening order.
    void ShowFloating(const QImage& Bitmap, const QRect& Rect) override;
    void FloatDelete(TFrmFloating* form) override;
    std::vector<std::unique_ptr<TFrmFloating>> FloatList;
    // Text recognition: the capture enlarged and handed to RtOcr; the completion writes the file.
    bool HasRecognitionLanguages() const override { return !Languages.isEmpty(); }
    void StartOcr(QImage& bitmap) override;
    void BitmapToTXTFileCompleted(TRtOcr* sender, const TRtOcr::TResult& result, void* customData);
    void DeliveryFinished(const QString& failure) override;
    // The target list's objects, in its order.
    const TargetTable& Targets() const { return *m_targets; }

    // State of the running program.
    std::unique_ptr<TCapture> FCapture;
    // Exists from the start of a recording until TmrRecTimer sees that the encoder has ended.
    std::unique_ptr<TRecorder> FRecorder;
    TStatus FStatus = stIdle;
    bool FCanClose = false;
    QSystemTrayIcon* TrayIcon = nullptr;
    QString Language;
    QString SavePath;
    // The recognition languages, in the order of ChkOCR_lang.
    TRtOcr::TLanguages Languages;
    std::unique_ptr<TRtOcr> RtOcr;

    // Secondary windows, owned through Qt parenting; each stays null until it is created.
    TFrmHotKey* FrmHotKey = nullptr;
    TFrmSize* FrmSize = nullptr;
    TFrmArea* FrmArea = nullptr;
    // Guarded: the outline closes itself (delete on close) when a capture starts.
    QPointer<TFrmLine> FrmLine;
    // The browser window: no owner window of its own, freed when it closes, else with this window.
    QPointer<TFrmIExplorer> FrmIExplorer;
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
    // Card2, the colour picker.
    QWidget* ShpColor = nullptr;
    QLabel* LblColor = nullptr;
    QListWidget* LstColor = nullptr;
    QMenu* Pick = nullptr;
    QAction* N5 = nullptr; // copy
    QAction* N7 = nullptr; // delete
    QTimer* TmrColor = nullptr;
    QLabel* LblSaveTo = nullptr;
    QComboBox* ChkSaveTo = nullptr;
    QComboBox* ChkJPEG_qual = nullptr;
    QComboBox* ChkWebP_qual = nullptr;
    QComboBox* ChkOCR_lang = nullptr;
    QPushButton* BtnOpenDir = nullptr;
    // The recording card.
    QWidget* Panel1 = nullptr;
    QWidget* ShpRec = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* LvlRecTime = nullptr;
    QTimer* TmrRec = nullptr;

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
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateComponents();
    void CreateMenu();
    void CreateColorCard();
    void SetSwatch(QRgb color);
    void CreateRecordingCard();
    void CreateTrayIcon();
    void CreateHotKeyWindow();
    void FormMouseUp();
    void LoadConfig();
    // Fills the recognition-language list from what the system offers; may throw.
    void LoadRecognitionLanguages(TConfig& config);
    // Asks the product's web service for updates and notices once per start.
    void StartInitRequest();
    // The endpoint's reply: the question about a newer version first, then the notice's status bar.
    void InitRequestReplied(const QString& reply);
    // Checks the item of a menu group named `prefix` + `value` and unchecks the others; a value that names
    // no item leaves the group unchecked.
    static void CheckGroupItem(const QList<QAction*>& group, const QString& prefix, const QString& value);
    // Checks the language menu's item for `Language` alone.
    void CheckLanguageItem();
    // The close request: true lets the window close and the program end.
    bool FormCloseQuery();
    void FormDestroy();
    void PlayCaptureSound();
    // "Capture failed", two carriage returns and the reason, in an error box.
    void ShowCaptureFailed(const QString& reason);
    // Minutes of the ticked recording limit; 0 for none.
    int RecordLimit() const;
    int Quality(QComboBox* list) const;
    // Tells the user why a target cannot run and opens its error-help page.
    void ShowUnavailable(const Unavailable& problem);
    // A box titled with the translated caption, showing the text as given.
    MessageResult ShowMessage(
        MessageIcon icon, const QString& text, MessageButtons buttons = MessageButtons::Ok);
    bool HasArgument(const QString& argument) const;

    void UploadFinished(const QString& url);

    void RecordStart();

    // A moment after the last capture, the memory only captures need goes back to the system.
    void ReleaseCaptureMemory();

    // The web page source: its browser window, opened when the source is chosen, and its capture.
    void ShowWebPageWindow();
    // Closes the window unless the web page source is chosen again, which keeps it with its page.
    void CloseWebPageWindow();
    void FreeWebPageWindow();
    void CaptureWebPage(QImage& bitmap);

    Platform& m_platform;
    std::unique_ptr<TargetTable> m_targets;
    std::unique_ptr<UploadJob> FUpload;
    std::unique_ptr<UpdateCheck> FUpdate;
    // Whether the window has been on the screen since the start (a box may then lean on it).
    bool m_everShown = false;
    std::unique_ptr<TProgressForm> FProgress;
    // Deleted floating windows, freed once the menu that deleted them has returned.
    std::vector<std::unique_ptr<TFrmFloating>> m_floatsLeaving;
    QTimer* m_releaseMemory = nullptr;
    QStringList m_arguments;
    bool m_destroyed = false;
};

#pragma once

#include "platform/Clipboard.h"
#include "platform/FolderDialog.h"
#include "platform/HotKeys.h"
#include "platform/HttpClient.h"
#include "platform/InstanceChannel.h"
#include "platform/MessageBoxes.h"
#include "platform/OcrEngine.h"
#include "platform/Platform.h"
#include "platform/Printer.h"
#include "platform/SaveDialog.h"
#include "platform/ScreenSource.h"
#include "platform/SessionEnd.h"
#include "platform/Shell.h"
#include "platform/SoundPlayer.h"
#include "platform/WindowSystem.h"

#include <QList>
#include <QUrl>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>

// A scripted screen: a picture of the whole desk, monitors, a pointer and windows.
class FakeScreen final : public ScreenSource
{
public:
    FakeScreen();

    // The desk's picture; its top-left pixel sits at root position (0, 0). Monitors default to one that
    // covers the picture.
    void setDesktop(const QImage& picture);
    void setMonitors(const QList<Monitor>& monitors);
    void setCursor(QPoint position, const QImage& image = {}, QPoint hotSpot = {});
    // Windows are stacked in the order added: the last one is on top.
    void addWindow(WindowHandle window, const QRect& frame);
    void removeWindow(WindowHandle window);
    void setActiveWindow(WindowHandle window) { m_active = window; }
    // What panels leave free of every monitor; empty: the whole monitor.
    void setWorkArea(const QRect& area) { m_workArea = area; }
    // The next reads fail, as a screen that cannot be read does.
    void setBroken(bool broken) { m_broken = broken; }
    int copyCount() const { return m_copies; }

    bool copyArea(const QRect& area, QImage& canvas) override;
    std::optional<QRgb> pixel(QPoint at) override;
    QPoint cursorPos() override { return m_cursorPos; }
    std::optional<CursorImage> cursorImage() override;
    QList<Monitor> monitors() override;
    QRect virtualScreen() override { return m_desktop.rect(); }
    WindowHandle activeWindow() override { return m_active; }
    WindowHandle windowAt(QPoint at) override;
    std::optional<QRect> frameBounds(WindowHandle window) override;
    QRect workArea(const QRect& monitor) override
    {
        return m_workArea.isNull() ? monitor : monitor & m_workArea;
    }

private:
    QImage m_desktop;
    QRect m_workArea;
    QList<Monitor> m_monitors;
    QPoint m_cursorPos;
    QImage m_cursorImage;
    QPoint m_hotSpot;
    QList<std::pair<WindowHandle, QRect>> m_windows;
    WindowHandle m_active = 0;
    bool m_broken = false;
    int m_copies = 0;
};

struct ShownMessage
{
    MessageIcon icon;
    QString title;
    QString text;
    MessageButtons buttons;
};

// Records every box; answers from a script, else Ok / No.
class FakeMessageBoxes final : public MessageBoxes
{
public:
    MessageResult show(QWidget* owner, MessageIcon icon, const QString& title, const QString& text,
        MessageButtons buttons) override;

    QList<ShownMessage> shown;
    QList<MessageResult> answers;
    // Runs while a box is "open", as the user-interface thread would keep serving events.
    std::function<void(const ShownMessage&)> whileShown;
};

class FakeShell final : public Shell
{
public:
    bool open(const QUrl& url) override
    {
        opened.append(url);
        return succeed;
    }
    QList<QUrl> opened;
    bool succeed = true;
};

class FakeSoundPlayer final : public SoundPlayer
{
public:
    void play(const QByteArray& wave) override
    {
        ++plays;
        lastWave = wave;
    }
    int plays = 0;
    QByteArray lastWave;
};

class FakeInstanceChannel final : public InstanceChannel
{
public:
    bool listen(InstanceHandler handler) override
    {
        m_handler = std::move(handler);
        return true;
    }
    void close() override { m_handler = nullptr; }
    bool listening() const { return bool(m_handler); }
    // Delivers a request as another process would; 0 when nobody listens.
    qint32 deliver(const InstanceRequest& request) { return m_handler ? m_handler(request) : 0; }

private:
    InstanceHandler m_handler;
};

class FakeWindowSystem final : public WindowSystem
{
public:
    void setWindowClass(QWidget*, const QString& className) override { classNames.append(className); }
    void forceForeground(QWidget*) override { ++foregrounds; }
    QStringList classNames;
    int foregrounds = 0;
};

struct FolderRequest
{
    QString title;
    QString acceptLabel;
    QString current;
};

// Records every request; answers with `answer` (empty: the user cancels).
class FakeFolderDialog final : public FolderDialog
{
public:
    std::optional<QString> chooseFolder(
        QWidget*, const QString& title, const QString& acceptLabel, const QString& current) override
    {
        asked.append(FolderRequest { title, acceptLabel, current });
        return answer;
    }
    QList<FolderRequest> asked;
    std::optional<QString> answer;
};

// Hotkeys of a scripted desk: keys other programs hold are refused, presses are driven by the test.
class FakeHotKeys final : public HotKeys
{
public:
    struct Key
    {
        quint32 modifiers = 0;
        quint32 virtualKey = 0;
        friend bool operator==(const Key&, const Key&) = default;
    };

    quint32 atom(const QString& name) override;
    bool registerHotKey(quint32 id, quint32 modifiers, quint32 virtualKey) override;
    void unregisterHotKey(quint32 id) override { registered.erase(id); }

    // The key as a person presses it: delivered when some id holds exactly this combination.
    bool pressHotKey(quint32 modifiers, quint32 virtualKey);

    QList<Key> heldElsewhere;
    std::map<quint32, Key> registered;
    int attempts = 0;

private:
    QStringList m_atoms;
};

class FakeSessionEnd final : public SessionEnd
{
public:
    bool watch(std::function<void()> onEnd) override
    {
        m_onEnd = std::move(onEnd);
        return true;
    }
    // The session ends, as a SIGTERM from the session manager says.
    void end()
    {
        if (m_onEnd)
            m_onEnd();
    }

private:
    std::function<void()> m_onEnd;
};

// Holds what was put on it; `blocked` makes it refuse, as when another program keeps it open.
class FakeClipboard final : public Clipboard
{
public:
    bool setPng(const QByteArray& png) override
    {
        if (blocked)
            return false;
        image = QImage::fromData(png, "PNG");
        text.clear();
        return true;
    }
    bool setText(const QString& text) override
    {
        if (blocked)
            return false;
        this->text = text;
        image = QImage();
        return true;
    }
    QImage image;
    QString text;
    bool blocked = false;
};

// A default printer of a chosen resolution that records its documents.
class FakePrinter final : public Printer
{
public:
    struct Drawing
    {
        QImage image;
        QRect target;
    };

    bool begin(const QString& documentName, QString* error) override;
    QSize resolution() const override { return dotsPerInch; }
    bool draw(const QImage& image, const QRect& target) override;
    bool end(QString* error) override;

    QSize dotsPerInch { 300, 300 };
    bool hasDefault = true;
    bool drawFails = false;
    bool endFails = false;
    // Set between begin() and end().
    bool open = false;
    int begun = 0;
    int ended = 0;
    QString documentName;
    QList<Drawing> drawings;
};

// Records every request; answers with `answer` (empty: the user cancels).
class FakeSaveDialog final : public SaveDialog
{
public:
    std::optional<SaveChoice> chooseSaveFile(
        QWidget*, const QString& folder, const QList<FileType>& types) override
    {
        folders.append(folder);
        offered = types;
        return answer;
    }
    QStringList folders;
    QList<FileType> offered;
    std::optional<SaveChoice> answer;
};

// A server in the process: records each request as it arrived, body included, and answers from a script.
// Requests run on the callers' threads.
class FakeHttpClient final : public HttpClient
{
public:
    struct Seen
    {
        HttpRequest request;
        QByteArray body;
    };

    HttpReply perform(const HttpRequest& request, std::stop_token stop = {}) override;

    // Every request waits after its body has arrived until release() (or until it is stopped), so that a
    // test sees what happens meanwhile.
    void hold();
    void release();
    QList<Seen> requests() const;
    // The reply to each request; 200 with an empty body when unset. Set before requests run.
    std::function<HttpReply(const Seen&)> respond;

private:
    mutable std::mutex m_mutex;
    std::condition_variable_any m_released;
    bool m_holding = false;
    QList<Seen> m_requests;
};

class FakeOcrJob;

// Recognition languages from a script; a recognition waits until the test finishes it, or finishes on the
// next turn of the event loop with `autoFinish` when that is set.
class FakeOcrEngine final : public OcrEngine
{
public:
    QList<OcrLanguage> languages() override { return installed; }
    std::unique_ptr<OcrJob> recognize(const QImage& picture, const QString& pack,
        std::function<void(const OcrOutcome&)> done, QString* error) override;

    // Finishes the running recognition; false when none runs.
    bool finish(const OcrOutcome& outcome);
    bool running() const { return m_running != nullptr; }

    QList<OcrLanguage> installed;
    // When set, recognitions refuse to start with this reason.
    QString refusal;
    std::optional<OcrOutcome> autoFinish;
    // What each recognition was given, and how often one was asked to stop.
    QList<QImage> pictures;
    QStringList packs;
    int cancels = 0;

private:
    friend class FakeOcrJob;
    FakeOcrJob* m_running = nullptr;
};

class FakePlatform final : public Platform
{
public:
    ScreenSource& screen() override { return fakeScreen; }
    MessageBoxes& messages() override { return fakeMessages; }
    Shell& shell() override { return fakeShell; }
    SoundPlayer& sound() override { return fakeSound; }
    InstanceChannel& channel() override { return fakeChannel; }
    WindowSystem& windows() override { return fakeWindows; }
    FolderDialog& folders() override { return fakeFolders; }
    HotKeys& hotKeys() override { return fakeHotKeys; }
    SessionEnd& session() override { return fakeSession; }
    Clipboard& clipboard() override { return fakeClipboard; }
    Printer& printer() override { return fakePrinter; }
    SaveDialog& saveDialog() override { return fakeSaveDialog; }
    HttpClient& http() override { return fakeHttp; }
    OcrEngine& ocr() override { return fakeOcr; }

    FakeScreen fakeScreen;
    FakeMessageBoxes fakeMessages;
    FakeShell fakeShell;
    FakeSoundPlayer fakeSound;
    FakeInstanceChannel fakeChannel;
    FakeWindowSystem fakeWindows;
    FakeFolderDialog fakeFolders;
    FakeHotKeys fakeHotKeys;
    FakeSessionEnd fakeSession;
    FakeClipboard fakeClipboard;
    FakePrinter fakePrinter;
    FakeSaveDialog fakeSaveDialog;
    FakeHttpClient fakeHttp;
    FakeOcrEngine fakeOcr;
};

#pragma once

#include "platform/Clipboard.h"
#include "platform/InstanceChannel.h"
#include "platform/MessageBoxes.h"
#include "platform/Platform.h"
#include "platform/Printer.h"
#include "platform/ScreenSource.h"
#include "platform/Shell.h"
#include "platform/SoundPlayer.h"
#include "platform/WindowSystem.h"

#include <QList>
#include <QUrl>
#include <functional>
#include <map>

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

private:
    QImage m_desktop;
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

// Holds what was put on it; `blocked` makes it refuse, as when another program keeps it open.
class FakeClipboard final : public Clipboard
{
public:
    bool setImage(const QImage& image) override
    {
        if (blocked)
            return false;
        this->image = image;
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

class FakePlatform final : public Platform
{
public:
    ScreenSource& screen() override { return fakeScreen; }
    MessageBoxes& messages() override { return fakeMessages; }
    Shell& shell() override { return fakeShell; }
    SoundPlayer& sound() override { return fakeSound; }
    InstanceChannel& channel() override { return fakeChannel; }
    WindowSystem& windows() override { return fakeWindows; }
    Clipboard& clipboard() override { return fakeClipboard; }
    Printer& printer() override { return fakePrinter; }

    FakeScreen fakeScreen;
    FakeMessageBoxes fakeMessages;
    FakeShell fakeShell;
    FakeSoundPlayer fakeSound;
    FakeInstanceChannel fakeChannel;
    FakeWindowSystem fakeWindows;
    FakeClipboard fakeClipboard;
    FakePrinter fakePrinter;
};

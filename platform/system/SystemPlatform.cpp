#include "EngineModules.h"
#include "platform/Platform.h"
#include "platform/curl/HelperHttpClient.h"
#include "platform/null/NullPlatform.h"
#include "platform/qt/DesktopShell.h"
#include "platform/qt/QtClipboard.h"
#include "platform/qt/QtFolderDialog.h"
#include "platform/qt/QtMessageBoxes.h"
#include "platform/qt/QtSaveDialog.h"
#include "platform/signals/SignalSessionEnd.h"
#include "platform/tesseract/TesseractOcr.h"
#include "platform/unixsocket/UnixCommandServer.h"
#include "platform/x11/X11HotKeys.h"
#include "platform/x11/X11Screen.h"
#include "platform/x11/X11WindowSystem.h"

#include <QGuiApplication>

namespace {

// The desktop of a running session: X11 for the screen, windows and hotkeys, the rest shared by any display.
class SystemPlatform final : public Platform
{
public:
    SystemPlatform(std::unique_ptr<ScreenSource> screen, std::unique_ptr<WindowSystem> windows,
        std::unique_ptr<HotKeys> hotKeys)
        : m_screen(std::move(screen)), m_windows(std::move(windows)), m_hotKeys(std::move(hotKeys))
    { }

    ScreenSource& screen() override { return *m_screen; }
    MessageBoxes& messages() override { return m_messages; }
    Shell& shell() override { return m_shell; }
    SoundPlayer& sound() override { return m_sound; }
    InstanceChannel& channel() override { return m_channel; }
    WindowSystem& windows() override { return *m_windows; }
    FolderDialog& folders() override { return m_folders; }
    HotKeys& hotKeys() override { return *m_hotKeys; }
    SessionEnd& session() override { return m_session; }
    Clipboard& clipboard() override { return m_clipboard; }
    Printer& printer() override { return m_printer; }
    SaveDialog& saveDialog() override { return m_saveDialog; }
    HttpClient& http() override { return m_http; }
    OcrEngine& ocr() override { return m_ocr; }

private:
    std::unique_ptr<ScreenSource> m_screen;
    std::unique_ptr<WindowSystem> m_windows;
    std::unique_ptr<HotKeys> m_hotKeys;
    SignalSessionEnd m_session;
    QtMessageBoxes m_messages;
    DesktopShell m_shell;
    ModuleSoundPlayer m_sound;
    UnixCommandServer m_channel;
    QtFolderDialog m_folders;
    QtClipboard m_clipboard;
    QtSaveDialog m_saveDialog;
    HelperHttpClient m_http;
    ModulePrinter m_printer;
    TesseractOcr m_ocr;
};

} // namespace

std::unique_ptr<Platform> createPlatform()
{
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        auto screen = std::make_unique<X11Screen>();
        if (screen->open())
            return std::make_unique<SystemPlatform>(
                std::move(screen), std::make_unique<X11WindowSystem>(), std::make_unique<X11HotKeys>());
    }
    // Without X11 (offscreen, Wayland without XWayland) the program still runs and takes commands; what
    // needs the display says that it failed.
    return std::make_unique<SystemPlatform>(std::make_unique<NullScreen>(),
        std::make_unique<NullWindowSystem>(), std::make_unique<NullHotKeys>());
}

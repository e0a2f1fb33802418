#pragma once

#include <memory>

class FolderDialog;
class HotKeys;
class HttpClient;
class Clipboard;
class InstanceChannel;
class MessageBoxes;
class OcrEngine;
class Printer;
class SaveDialog;
class ScreenSource;
class SessionEnd;
class Shell;
class SoundPlayer;
class WindowSystem;

// Every facility of the desktop the program uses, behind one object that the main window receives.
class Platform
{
public:
    virtual ~Platform() = default;
    virtual ScreenSource& screen() = 0;
    virtual MessageBoxes& messages() = 0;
    virtual Shell& shell() = 0;
    virtual SoundPlayer& sound() = 0;
    virtual InstanceChannel& channel() = 0;
    virtual WindowSystem& windows() = 0;
    virtual FolderDialog& folders() = 0;
    virtual HotKeys& hotKeys() = 0;
    virtual SessionEnd& session() = 0;
    virtual Clipboard& clipboard() = 0;
    virtual Printer& printer() = 0;
    virtual SaveDialog& saveDialog() = 0;
    // On the desktop each request runs in a short-lived helper process: the HTTP and TLS libraries then
    // never stay in a resident program's memory.
    virtual HttpClient& http() = 0;
    virtual OcrEngine& ocr() = 0;
};

// The X11 platform when a display can be opened, else one whose display facilities fail honestly; never null.
std::unique_ptr<Platform> createPlatform();

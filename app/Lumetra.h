#pragma once

#include "Settings.h"

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <memory>

class CaptureDispatcher;
class CommandHandler;
class MainMenu;
class MainWindow;
class Platform;
class RecordingController;
class SourceWindows;
class HotKeyDialog;
class TrayPresence;
class UpdatePrompt;
class UserMessages;

// The running program: makes its parts, wires them together, and keeps the order of the start-up and
// the shut-down. Answers what the user and other processes ask of the program as a whole: the choices of
// the main window and its menu, the language, the save folder, showing and quitting.
class Lumetra final : public QObject
{
    Q_OBJECT

public:
    // `arguments`: the command line without the program's name.
    Lumetra(Platform& platform, QStringList arguments);
    ~Lumetra() override;

    // The start-up; the command channel listens from its first step on.
    void start();

    MainWindow& window() const { return *m_window; }
    MainMenu& menu() const { return *m_menu; }
    Settings& settings() { return m_settings; }
    CaptureDispatcher& dispatcher() const { return *m_dispatcher; }
    RecordingController& recording() const { return *m_recording; }
    SourceWindows& sourceWindows() const { return *m_sourceWindows; }
    HotKeyDialog* hotKeyWindow() const { return m_hotKeys; }

    // Asks before quitting, as the menu's quit item does.
    void askToQuit();
    // Ends the program unless a recording runs, which the user is told.
    void quit();

signals:
    // The main window has closed for good: the program ends.
    void ended();

private:
    void loadSettings();
    void translate(const QString& language);
    void wireMenu();
    void wireWindow();
    void onSourceActivated(int index);
    void onTargetActivated(int index);
    void onLanguageChosen(const QString& code);
    void onAutoStartToggled(bool on);
    void onChooseFolderRequested();
    void onOpenFolderRequested();
    void onAboutRequested();
    void onHotKeySettingsRequested();
    void onShowRequested();
    void onSessionEnding();
    bool hasArgument(const QString& argument) const;

    Platform& m_platform;
    const QStringList m_arguments;
    Settings m_settings;
    // Declared first of the windows, so that it goes last: the others are its children or lean on it.
    std::unique_ptr<MainWindow> m_window;
    MainMenu* m_menu = nullptr;
    std::unique_ptr<UserMessages> m_messages;
    std::unique_ptr<RecordingController> m_recording;
    std::unique_ptr<SourceWindows> m_sourceWindows;
    std::unique_ptr<CaptureDispatcher> m_dispatcher;
    std::unique_ptr<UpdatePrompt> m_update;
    CommandHandler* m_commands = nullptr;
    TrayPresence* m_tray = nullptr;
    // A child of the main window.
    HotKeyDialog* m_hotKeys = nullptr;
};

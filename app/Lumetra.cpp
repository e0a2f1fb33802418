#include "Lumetra.h"

#include "CaptureDispatcher.h"
#include "ColorPickerPage.h"
#include "CommandHandler.h"
#include "MainMenu.h"
#include "MainWindow.h"
#include "RecordingController.h"
#include "SourceWindows.h"
#include "TrayPresence.h"
#include "UpdatePrompt.h"
#include "UserMessages.h"
#include "capture/CaptureSource.h"
#include "capture/HotKeyDialog.h"
#include "platform/FolderDialog.h"
#include "platform/InstanceChannel.h"
#include "platform/InstanceProtocol.h"
#include "platform/Platform.h"
#include "platform/SessionEnd.h"
#include "platform/WindowSystem.h"
#include "save/Save.h"
#include "support/Q.AutoStart.h"
#include "support/Q.Translate.h"
#include "support/Q.TrayIcon.h"
#include "support/Q.Update.h"
#include "targets/Target.h"
#include "targets/Targets.h"
#include "targets/TextTarget.h"

#include <QApplication>
#include <QCursor>
#include <QFileInfo>
#include <QUrl>
#include <QWindow>

namespace {

const QString AutoStartName = QStringLiteral("Lumetra");
// The about page lives on the maker's short-link host.
const QString AboutPage = QStringLiteral("https://go.brenholt.example/lumetra?v=%1");

} // namespace

Lumetra::Lumetra(Platform& platform, QStringList arguments)
    : m_platform(platform), m_arguments(std::move(arguments))
{
    m_window = std::make_unique<MainWindow>(
        m_platform.screen(), [this](const QString& code) { CopyTextToClipboard(m_platform, code); });
    m_menu = new MainMenu(m_window.get());
    m_messages = std::make_unique<UserMessages>(m_platform.messages(), m_platform.shell(), m_window.get());
    m_recording = std::make_unique<RecordingController>(m_platform.screen(), m_platform.messages());
    m_sourceWindows
        = std::make_unique<SourceWindows>(m_platform.screen(), *m_recording, *m_messages, m_window.get());
    m_dispatcher = std::make_unique<CaptureDispatcher>(
        m_platform, m_settings, *m_window, *m_sourceWindows, *m_recording, *m_messages);
    m_update = std::make_unique<UpdatePrompt>(m_platform.http(), m_platform.shell(), *m_window);
    m_commands = new CommandHandler(this);
    wireMenu();
    wireWindow();
    // Other copies and tools recognise the running copy's window by its class.
    m_platform.windows().setWindowClass(m_window.get(), QLatin1String(InstanceProtocol::WindowClass));
}

Lumetra::~Lumetra()
{
    m_platform.channel().close();
}

void Lumetra::wireMenu()
{
    connect(m_menu, &MainMenu::openFolderRequested, this, &Lumetra::onOpenFolderRequested);
    connect(m_menu, &MainMenu::chooseFolderRequested, this, &Lumetra::onChooseFolderRequested);
    connect(m_menu, &MainMenu::hotKeySettingsRequested, this, &Lumetra::onHotKeySettingsRequested);
    connect(m_menu, &MainMenu::languageChosen, this, &Lumetra::onLanguageChosen);
    connect(m_menu, &MainMenu::namingChosen, this, [this](int value) { m_settings.setNaming(value); });
    connect(m_menu, &MainMenu::soundChosen, this, [this](int value) { m_settings.setSound(value); });
    connect(m_menu, &MainMenu::recordLimitChosen, this,
        [this](int minutes) { m_settings.setRecordLimit(minutes); });
    connect(m_menu, &MainMenu::recordAudioToggled, this, [this](bool on) { m_settings.setRecordAudio(on); });
    connect(m_menu, &MainMenu::encoderLogToggled, this, [this](bool on) { m_settings.setEncoderLog(on); });
    connect(m_menu, &MainMenu::pointerToggled, this, [this](bool on) { m_settings.setShowPointer(on); });
    connect(m_menu, &MainMenu::autoStartToggled, this, &Lumetra::onAutoStartToggled);
    connect(m_menu, &MainMenu::aboutRequested, this, &Lumetra::onAboutRequested);
    connect(m_menu, &MainMenu::quitRequested, this, &Lumetra::askToQuit);
}

void Lumetra::wireWindow()
{
    MainWindow* window = m_window.get();
    connect(window, &MainWindow::sourceActivated, this, &Lumetra::onSourceActivated);
    connect(window, &MainWindow::targetActivated, this, &Lumetra::onTargetActivated);
    connect(window, &MainWindow::jpegQualityActivated, this,
        [this](int index) { m_settings.setJpegQuality(index); });
    connect(window, &MainWindow::webpQualityActivated, this,
        [this](int index) { m_settings.setWebpQuality(index); });
    connect(window, &MainWindow::recognitionLanguageActivated, this,
        [this](int index) { m_settings.setRecognitionLanguage(index); });
    connect(window, &MainWindow::openFolderClicked, this, &Lumetra::onOpenFolderRequested);
    connect(window, &MainWindow::aboutClicked, this, &Lumetra::onAboutRequested);
    connect(window, &MainWindow::contextMenuRequested, this, [this] { m_menu->popup(QCursor::pos()); });
    // The close button hides the window; the program stays in the notification area.
    connect(window, &MainWindow::closeRequested, this, [window] { HideToTray(window); });
    connect(window, &MainWindow::closed, this, &Lumetra::ended);
    connect(m_sourceWindows.get(), &SourceWindows::closedByUser, this, [this] {
        // The source list shows full screen without running its change handling.
        m_window->setSource(csFullScreen);
        m_settings.setSource(csFullScreen);
    });
    connect(m_update.get(), &UpdatePrompt::downloadAccepted, this, &Lumetra::quit);
    connect(m_commands, &CommandHandler::captureRequested, m_dispatcher.get(), &CaptureDispatcher::start);
    connect(m_commands, &CommandHandler::aboutRequested, this, &Lumetra::onAboutRequested);
    connect(m_commands, &CommandHandler::showRequested, this, &Lumetra::onShowRequested);
    connect(m_commands, &CommandHandler::quitRequested, this, &Lumetra::quit);
}

void Lumetra::start()
{
    // Other processes find the running copy from the first moment: a message shown during the start-up
    // (a hotkey held by the desktop) must not shut them out. Commands that arrive before the steps below
    // have run are answered as far as the program can.
    m_platform.channel().listen(
        [this](const InstanceRequest& request) { return m_commands->handle(request); });
    m_window->showPage(MainWindow::Page::Options);
    // The result does not matter here: the menu shows the real state.
    if (hasArgument(QStringLiteral("/inst")))
        SetAutoStart(AutoStartName, true);
    loadSettings();
    m_tray = new TrayPresence(m_menu, m_window.get());
    connect(m_tray, &TrayPresence::activated, this, &Lumetra::onShowRequested);
    m_tray->show();
    m_commands->acceptWindowMessages();
    m_dispatcher->createEngine();
    if (hasArgument(QStringLiteral("/start")))
        HideToTray(m_window.get());
    // May show a message (a hotkey another program holds) in a loop of its own.
    m_hotKeys = new HotKeyDialog(m_window.get(), m_platform);
    connect(m_hotKeys, &HotKeyDialog::hotKeyPressed, m_dispatcher.get(), &CaptureDispatcher::start);
    m_hotKeys->FormCreate();
    m_sourceWindows->createSizeDialog();
    onSourceActivated(m_window->source());
    onTargetActivated(m_window->target());
    // The session's end closes the program without a question, as a log-off does.
    m_platform.session().watch([this] { onSessionEnding(); });
}

void Lumetra::loadSettings()
{
    m_settings.load();
    const QStringList languages = m_dispatcher->targets().text().loadLanguages();
    m_window->setRecognitionLanguages(languages, m_settings.recognitionLanguage());
    m_menu->showRecordAudio(m_settings.recordAudio());
    m_menu->showPointer(m_settings.showPointer());
    m_menu->showAutoStart(IsAutoStart(AutoStartName));
    m_menu->showEncoderLog(m_settings.encoderLog());
    m_window->setSource(m_settings.source());
    m_window->setTarget(m_settings.target());
    m_window->setJpegQuality(m_settings.jpegQuality());
    m_window->setWebpQuality(m_settings.webpQuality());
    m_menu->showNaming(m_settings.naming());
    m_menu->showSound(m_settings.sound());
    m_menu->showLanguage(m_settings.language());
    m_menu->showRecordLimit(m_settings.recordLimit());
    translate(m_settings.language());
    m_update->start();
}

void Lumetra::translate(const QString& language)
{
    // The main window with everything it owns; this makes the language current.
    TranslateComponent(m_window.get(), language);
    if (m_hotKeys)
        TranslateComponent(m_hotKeys);
    const QList<QWidget*> windows = m_sourceWindows->windows();
    for (QWidget* window : windows)
        TranslateComponent(window);
    // The title is translated from the product's own name, never from an earlier translation.
    const QString title = TranslateText(ProductCaption);
    m_window->setWindowTitle(title);
    QGuiApplication::setApplicationDisplayName(title);
    if (m_tray)
        m_tray->updateToolTip();
    // The desktop shows a title with the application title appended when the two differ; titles set
    // before the application title changed would keep showing the old one.
    const QWidgetList topLevels = QApplication::topLevelWidgets();
    for (QWidget* window : topLevels) {
        if (QWindow* native = window->windowHandle())
            native->setTitle(native->title());
    }
}

void Lumetra::onSourceActivated(int index)
{
    m_window->setSourceEnabled(false);
    m_window->showPage(index == csColorPick ? MainWindow::Page::ColorPicker : MainWindow::Page::Options);
    if (!m_sourceWindows->showFor(index))
        m_window->setSource(csFullScreen);
    m_settings.setSource(m_window->source());
    m_window->setSourceEnabled(true);
}

void Lumetra::onTargetActivated(int index)
{
    const Target* target = m_dispatcher->targets().at(index);
    if (const auto problem = target ? target->problem() : std::nullopt) {
        // So that the window behind the message shows what stays chosen.
        if (problem->fallBackFirst) {
            m_window->setTarget(stPNG);
            m_window->arrangeTargetOptions(stPNG);
        }
        m_messages->showUnavailable(*problem);
        m_window->setTarget(stPNG);
    }
    m_window->arrangeTargetOptions(m_window->target());
    m_settings.setTarget(m_window->target());
}

void Lumetra::onLanguageChosen(const QString& code)
{
    m_menu->showLanguage(code);
    translate(code);
    m_settings.setLanguage(code);
}

void Lumetra::onAutoStartToggled(bool on)
{
    if (SetAutoStart(AutoStartName, on))
        return;
    m_messages->show(MessageIcon::Error,
        TranslateText(QStringLiteral("잘못된 백신 또는 악성 프로그램이 부팅시 실행을 차단하였습니다.")));
    // What the session will really do: an entry that could not be removed still starts the program.
    m_menu->showAutoStart(IsAutoStart(AutoStartName));
}

void Lumetra::onChooseFolderRequested()
{
    const std::optional<QString> chosen
        = m_platform.folders().chooseFolder(m_window.get(), TranslateText(QStringLiteral("폴더 선택")),
            TranslateText(QStringLiteral("선택")), m_settings.saveFolder());
    if (chosen)
        m_settings.setSaveFolder(*chosen);
}

void Lumetra::onOpenFolderRequested()
{
    // Always as a file address: a folder named like a host ("captures") must not open a web page.
    const QUrl folder = QUrl::fromLocalFile(QFileInfo(m_settings.saveFolder()).absoluteFilePath());
    ShellOpen(m_platform.shell(), folder.toString(QUrl::FullyEncoded));
}

void Lumetra::onAboutRequested()
{
    ShellOpen(m_platform.shell(), AboutPage.arg(GetVersionText(QStringLiteral("%d.%d.%d.%d"))));
}

void Lumetra::onHotKeySettingsRequested()
{
    if (!m_hotKeys)
        return;
    if (m_hotKeys->isVisible()) {
        m_hotKeys->raise();
        m_hotKeys->activateWindow();
        return;
    }
    m_hotKeys->exec();
}

void Lumetra::onShowRequested()
{
    ShowFromTray(m_window.get(), m_platform.windows());
}

void Lumetra::askToQuit()
{
    const MessageResult answer = m_messages->show(MessageIcon::Question,
        TranslateText(QStringLiteral("정말 종료하시겠습니까?")), MessageButtons::YesNo);
    if (answer == MessageResult::Yes)
        quit();
}

void Lumetra::quit()
{
    if (m_recording->isRecording()) {
        m_messages->show(MessageIcon::Information, TranslateText(QStringLiteral("녹화중입니다.")));
        return;
    }
    m_window->closeForGood();
}

void Lumetra::onSessionEnding()
{
    // The session ends whatever the program answers: the recording is finished, not refused.
    m_recording->finishNow();
    m_window->closeForGood();
}

bool Lumetra::hasArgument(const QString& argument) const
{
    // Only the first argument counts, compared exactly.
    return !m_arguments.isEmpty() && m_arguments.first() == argument;
}

#pragma once

#include <QMenu>

class QActionGroup;

// The context menu of the main window and of the notification-area icon. The choices of its groups are
// the values in QAction::data(); it shows what it is told and reports what the user picked.
class MainMenu final : public QMenu
{
    Q_OBJECT

public:
    explicit MainMenu(QWidget* parent);

    // Check the group item whose value is given; a value that names no item checks none.
    void showLanguage(const QString& code);
    void showNaming(int value);
    void showSound(int value);
    void showRecordLimit(int minutes);
    void showRecordAudio(bool on);
    void showEncoderLog(bool on);
    void showPointer(bool on);
    void showAutoStart(bool on);

signals:
    void openFolderRequested();
    void chooseFolderRequested();
    void hotKeySettingsRequested();
    void languageChosen(const QString& code);
    void namingChosen(int value);
    void soundChosen(int value);
    void recordLimitChosen(int minutes);
    void recordAudioToggled(bool on);
    void encoderLogToggled(bool on);
    void pointerToggled(bool on);
    void autoStartToggled(bool on);
    void aboutRequested();
    void quitRequested();

private:
    void addLanguageMenu();
    void addNamingMenu();
    void addRecordingMenu();
    void addSoundMenu();
    QAction* addItem(QMenu* menu, const QString& name, const QString& caption);
    QAction* addChoice(
        QMenu* menu, QActionGroup* group, const QString& name, const QString& caption, const QVariant& value);
    QMenu* addSubmenu(QMenu* menu, const QString& name, const QString& caption);
    QActionGroup* newGroup();
    static void check(QActionGroup* group, const QVariant& value);

    QActionGroup* m_languages = nullptr;
    QActionGroup* m_naming = nullptr;
    QActionGroup* m_sound = nullptr;
    QActionGroup* m_recordLimit = nullptr;
    QAction* m_recordAudio = nullptr;
    QAction* m_encoderLog = nullptr;
    QAction* m_pointer = nullptr;
    QAction* m_autoStart = nullptr;
};

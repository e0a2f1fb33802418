#pragma once

// The running program on the fake platform, driven as a user drives it: through the main window's
// lists and the menu's items, found by their object names.

#include "app/CaptureDispatcher.h"
#include "app/ColorPickerPage.h"
#include "app/Lumetra.h"
#include "app/MainMenu.h"
#include "app/MainWindow.h"
#include "app/RecordingController.h"
#include "app/SourceWindows.h"
#include "platform/fake/FakePlatform.h"

#include <QAction>
#include <QComboBox>
#include <QTest>
#include <memory>

class TestProgram
{
public:
    // Builds the program; start() runs its start-up.
    explicit TestProgram(FakePlatform& platform, QStringList arguments = {})
        : m_program(std::make_unique<Lumetra>(platform, std::move(arguments)))
    { }
    // The same on any platform, the real desktop's included (the x11 tests).
    explicit TestProgram(Platform& platform, QStringList arguments = {})
        : m_program(std::make_unique<Lumetra>(platform, std::move(arguments)))
    { }

    void start() { m_program->start(); }
    Lumetra& program() const { return *m_program; }
    MainWindow& window() const { return m_program->window(); }
    MainMenu& menu() const { return m_program->menu(); }
    Settings& settings() const { return m_program->settings(); }
    CaptureDispatcher& dispatcher() const { return m_program->dispatcher(); }
    CaptureDispatcher::State state() const { return m_program->dispatcher().state(); }
    // The capture command, as the hotkey and other processes give it.
    void capture() const { m_program->dispatcher().start(); }

    // A component of the main window (the menu and the pages included) by its object name.
    template <typename T = QObject> T* find(const QString& name) const
    {
        T* found = window().findChild<T*>(name);
        if (!found)
            qWarning("no component %s", qPrintable(name));
        return found;
    }
    QComboBox* list(const QString& name) const { return find<QComboBox>(name); }
    QAction* item(const QString& name) const { return find<QAction>(name); }

    // Picks an entry of a list as the user does: the list changes, then tells what was picked.
    void pick(const QString& listName, int index) const
    {
        QComboBox* combo = list(listName);
        combo->setCurrentIndex(index);
        emit combo->activated(index);
    }
    void chooseSource(int source) const { pick(QStringLiteral("ChkArea"), source); }
    void chooseTarget(int target) const { pick(QStringLiteral("ChkSaveTo"), target); }
    int source() const { return window().source(); }
    int target() const { return window().target(); }
    // Clicks a menu item (a check-mark item turns its mark over first).
    void click(const QString& itemName) const { item(itemName)->trigger(); }
    bool checked(const QString& itemName) const { return item(itemName)->isChecked(); }

    // Lets the program go, as its end does.
    void reset() { m_program.reset(); }

private:
    std::unique_ptr<Lumetra> m_program;
};

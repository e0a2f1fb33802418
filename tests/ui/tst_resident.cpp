#include "TestHome.h"
#include "TestMain.h"
#include "TestProgram.h"
#include "capture/HotKeyDialog.h"
#include "platform/fake/FakePlatform.h"
#include "support/Q.AutoStart.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTimer>

namespace {

const QString StartConflict
    = QStringLiteral("알수없는 프로그램이 단축키를 사용중입니다.\r\r단축키를 변경해주세요.");
const QString OkConflict = QStringLiteral("단축키가 다른 프로그램에서 사용중입니다.");
const QString CancelConflict = QStringLiteral("단축키가 설정되지 못해 캡쳐기능이 작동하지 않습니다.");
const QString NoKeyChosen = QStringLiteral("단축키로 사용할 키를 선택해주세요.");
const QString AutoStartRefused
    = QStringLiteral("잘못된 백신 또는 악성 프로그램이 부팅시 실행을 차단하였습니다.");

using Key = FakeHotKeys::Key;

} // namespace

class TestResident : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void storedHotKey_data();
    void storedHotKey();
    void pressesStartCaptures();
    void okStoresTheChosenKey_data();
    void okStoresTheChosenKey();
    void okWhenTheKeyIsTaken();
    void okWithoutAKeyIsRefused();
    void cancelWhenTheStoredKeyIsTaken();
    void dialogActionTwiceOpensOneDialog();
    void destroyingReleasesTheHotKey();
    void runOnSignIn();
    void sessionEndClosesWithoutAQuestion();

private:
    void storeHotKey(int value);
    int readStoredHotKey();
    // Creates the main window; a hotkey dialog that opens modally during start-up is closed with Cancel.
    void startProgram();
    QStringList savedFiles() const { return QDir(m_home->desktop).entryList(QDir::Files); }

    std::unique_ptr<TestHome> m_home;
    std::unique_ptr<FakePlatform> m_platform;
    std::unique_ptr<TestProgram> m_program;
    bool m_dialogWasModal = false;
};

void TestResident::initTestCase()
{
    m_home = std::make_unique<TestHome>();
    m_home->apply();
}

void TestResident::init()
{
    QDir(m_home->config).removeRecursively();
    QDir(m_home->desktop).removeRecursively();
    QDir().mkpath(m_home->desktop);
    m_platform = std::make_unique<FakePlatform>();
    m_dialogWasModal = false;
}

void TestResident::cleanup()
{
    m_program.reset();
    m_platform.reset();
}

void TestResident::storeHotKey(int value)
{
    QSettings(
        QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Brenholt"), QStringLiteral("Lumetra"))
        .setValue(QStringLiteral("hotkey"), value);
}

int TestResident::readStoredHotKey()
{
    return QSettings(
        QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Brenholt"), QStringLiteral("Lumetra"))
        .value(QStringLiteral("hotkey"), -1)
        .toInt();
}

void TestResident::startProgram()
{
    m_platform->fakeMessages.whileShown = [this](const ShownMessage& message) {
        if (message.text != StartConflict)
            return;
        // The dialog opens right after this box; take note of it and leave it with Cancel.
        QTimer::singleShot(0, this, [this] {
            HotKeyDialog* dialog = m_program->program().hotKeyWindow();
            m_dialogWasModal = dialog && dialog->isVisible() && dialog->isModal();
            if (dialog)
                dialog->BtnNo->click();
        });
    };
    m_program = std::make_unique<TestProgram>(*m_platform);
    m_program->start();
    m_platform->fakeMessages.whileShown = nullptr;
}

void TestResident::storedHotKey_data()
{
    QTest::addColumn<int>("stored"); // -1: nothing stored
    QTest::addColumn<QString>("entry"); // empty: no selection
    QTest::addColumn<QString>("modifiers");
    QTest::addColumn<bool>("registered");
    QTest::addColumn<quint32>("grabModifiers");
    QTest::addColumn<quint32>("grabKey");
    QTest::newRow("nothing stored") << -1 << "PrintScreen"
                                    << "" << true << 0u << 0x2Cu;
    QTest::newRow("Ctrl+Alt+Del") << 0xC02E << "DEL"
                                  << "ctrl alt" << true << 3u << 0x2Eu;
    QTest::newRow("Shift+F12") << 0x207B << "F12"
                               << "shift" << true << 4u << 0x7Bu;
    QTest::newRow("digit zero") << 0x30 << "0"
                                << "" << true << 0u << 0x30u;
    QTest::newRow("key outside the list") << 0x4020 << ""
                                          << "ctrl" << true << 2u << 0x20u;
    QTest::newRow("zero") << 0 << ""
                          << "" << false << 0u << 0u;
    QTest::newRow("65535") << 65535 << ""
                           << "shift ctrl alt" << false << 0u << 0u;
    QTest::newRow("modifier bits only") << 0x6000 << ""
                                        << "shift ctrl" << false << 0u << 0u;
}

void TestResident::storedHotKey()
{
    QFETCH(int, stored);
    QFETCH(QString, entry);
    QFETCH(QString, modifiers);
    QFETCH(bool, registered);
    QFETCH(quint32, grabModifiers);
    QFETCH(quint32, grabKey);
    if (stored >= 0)
        storeHotKey(stored);
    startProgram();
    HotKeyDialog* dialog = m_program->program().hotKeyWindow();
    QVERIFY(dialog);
    // A child of the main window: translated with it, and gone with it.
    QCOMPARE(dialog->parentWidget(), &m_program->window());
    QCOMPARE(dialog->HotKeyID, m_platform->fakeHotKeys.atom(QStringLiteral("LumetraHotKey")));
    if (registered) {
        QVERIFY(m_platform->fakeMessages.shown.isEmpty());
        QVERIFY(!m_dialogWasModal);
        QCOMPARE(m_platform->fakeHotKeys.registered.size(), size_t(1));
        QCOMPARE(m_platform->fakeHotKeys.registered.at(dialog->HotKeyID), (Key { grabModifiers, grabKey }));
    } else {
        // Reported, then the dialog modally during start-up; its Cancel could not register either.
        QCOMPARE(m_platform->fakeMessages.shown.size(), 2);
        const ShownMessage& first = m_platform->fakeMessages.shown.first();
        QCOMPARE(first.text, StartConflict);
        QCOMPARE(first.icon, MessageIcon::Error);
        QCOMPARE(first.title, QStringLiteral("단축키 설정"));
        QVERIFY(m_dialogWasModal);
        QCOMPARE(m_platform->fakeMessages.shown.last().text, CancelConflict);
        QVERIFY(m_platform->fakeHotKeys.registered.empty());
    }
    // The choosers show the stored value; it is never rewritten by loading.
    QCOMPARE(dialog->ChkHotKey->currentIndex() < 0 ? QString() : dialog->ChkHotKey->currentText(), entry);
    QCOMPARE(dialog->ChkShift->isChecked(), modifiers.contains(QLatin1String("shift")));
    QCOMPARE(dialog->ChkCtrl->isChecked(), modifiers.contains(QLatin1String("ctrl")));
    QCOMPARE(dialog->ChkAlt->isChecked(), modifiers.contains(QLatin1String("alt")));
    QCOMPARE(readStoredHotKey(), stored);
    QCOMPARE(dialog->ChkHotKey->count(), 50);
}

void TestResident::pressesStartCaptures()
{
    startProgram();
    FakeHotKeys& keys = m_platform->fakeHotKeys;
    QVERIFY(!keys.pressHotKey(HotKeys::ModShift, 0x2C));
    QVERIFY(keys.pressHotKey(0, 0x2C));
    // Handed to the event loop: nothing runs inside the key dispatch.
    QVERIFY(savedFiles().isEmpty());
    QTRY_COMPARE(savedFiles(), QStringList { QStringLiteral("Q-001.png") });
    // Automatic repeats are presses too; each starts once the previous capture is done.
    for (int i = 0; i < 3; ++i)
        QVERIFY(keys.pressHotKey(0, 0x2C));
    QTRY_COMPARE(savedFiles().size(), 4);
    QCOMPARE(m_program->state(), CaptureDispatcher::State::Idle);
}

void TestResident::okStoresTheChosenKey_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("modifiers");
    QTest::addColumn<int>("stored");
    QTest::addColumn<quint32>("grabModifiers");
    QTest::addColumn<quint32>("grabKey");
    QTest::newRow("Ctrl+Alt+DEL") << "DEL"
                                  << "ctrl alt" << 0xC02E << 3u << 0x2Eu;
    QTest::newRow("PrintScreen with Shift") << "PrintScreen"
                                            << "shift" << 0x202C << 4u << 0x2Cu;
    QTest::newRow("Q alone") << "Q"
                             << "" << 0x51 << 0u << 0x51u;
    QTest::newRow("all three with F1") << "F1"
                                       << "shift ctrl alt" << 0xE070 << 7u << 0x70u;
}

void TestResident::okStoresTheChosenKey()
{
    QFETCH(QString, entry);
    QFETCH(QString, modifiers);
    QFETCH(int, stored);
    QFETCH(quint32, grabModifiers);
    QFETCH(quint32, grabKey);
    startProgram();
    HotKeyDialog* dialog = m_program->program().hotKeyWindow();
    dialog->show();
    dialog->ChkHotKey->setCurrentIndex(dialog->ChkHotKey->findText(entry));
    dialog->ChkShift->setChecked(modifiers.contains(QLatin1String("shift")));
    dialog->ChkCtrl->setChecked(modifiers.contains(QLatin1String("ctrl")));
    dialog->ChkAlt->setChecked(modifiers.contains(QLatin1String("alt")));
    dialog->BtnYes->click();
    QCOMPARE(readStoredHotKey(), stored);
    QVERIFY(!dialog->isVisible());
    QCOMPARE(m_platform->fakeHotKeys.registered.size(), size_t(1));
    QCOMPARE(m_platform->fakeHotKeys.registered.at(dialog->HotKeyID), (Key { grabModifiers, grabKey }));
    QVERIFY(m_platform->fakeMessages.shown.isEmpty());
}

void TestResident::okWhenTheKeyIsTaken()
{
    startProgram();
    m_platform->fakeHotKeys.heldElsewhere = { Key { HotKeys::ModControl, 'A' } };
    HotKeyDialog* dialog = m_program->program().hotKeyWindow();
    dialog->show();
    dialog->ChkHotKey->setCurrentIndex(dialog->ChkHotKey->findText(QStringLiteral("A")));
    dialog->ChkCtrl->setChecked(true);
    dialog->BtnYes->click();
    QCOMPARE(m_platform->fakeMessages.shown.size(), 1);
    QCOMPARE(m_platform->fakeMessages.shown.first().text, OkConflict);
    QCOMPARE(m_platform->fakeMessages.shown.first().icon, MessageIcon::Information);
    QCOMPARE(m_platform->fakeMessages.shown.first().title, QStringLiteral("단축키 설정"));
    // Still open, nothing stored, and no hotkey at all until Cancel puts the stored one back.
    QVERIFY(dialog->isVisible());
    QCOMPARE(readStoredHotKey(), -1);
    QVERIFY(m_platform->fakeHotKeys.registered.empty());
    dialog->BtnNo->click();
    QVERIFY(!dialog->isVisible());
    QCOMPARE(dialog->ChkHotKey->currentText(), QStringLiteral("PrintScreen"));
    QVERIFY(!dialog->ChkCtrl->isChecked());
    QCOMPARE(m_platform->fakeHotKeys.registered.at(dialog->HotKeyID), (Key { 0, 0x2C }));
    QCOMPARE(m_platform->fakeMessages.shown.size(), 1);
}

void TestResident::okWithoutAKeyIsRefused()
{
    storeHotKey(0x2020); // Shift+Space: registered, but not among the entries
    startProgram();
    HotKeyDialog* dialog = m_program->program().hotKeyWindow();
    dialog->show();
    const int attempts = m_platform->fakeHotKeys.attempts;
    dialog->BtnYes->click();
    QCOMPARE(m_platform->fakeMessages.shown.size(), 1);
    QCOMPARE(m_platform->fakeMessages.shown.first().text, NoKeyChosen);
    QVERIFY(dialog->isVisible());
    // The working hotkey is left alone.
    QCOMPARE(m_platform->fakeHotKeys.attempts, attempts);
    QCOMPARE(m_platform->fakeHotKeys.registered.at(dialog->HotKeyID), (Key { HotKeys::ModShift, 0x20 }));
    QCOMPARE(readStoredHotKey(), 0x2020);
    // Escape is Cancel.
    QTest::keyClick(dialog, Qt::Key_Escape);
    QVERIFY(!dialog->isVisible());
}

void TestResident::cancelWhenTheStoredKeyIsTaken()
{
    startProgram();
    HotKeyDialog* dialog = m_program->program().hotKeyWindow();
    dialog->show();
    m_platform->fakeHotKeys.unregisterHotKey(dialog->HotKeyID);
    m_platform->fakeHotKeys.heldElsewhere = { Key { 0, 0x2C } };
    dialog->BtnNo->click();
    QCOMPARE(m_platform->fakeMessages.shown.size(), 1);
    QCOMPARE(m_platform->fakeMessages.shown.first().text, CancelConflict);
    QCOMPARE(m_platform->fakeMessages.shown.first().icon, MessageIcon::Error);
    QVERIFY(!dialog->isVisible());
}

void TestResident::dialogActionTwiceOpensOneDialog()
{
    startProgram();
    HotKeyDialog* dialog = m_program->program().hotKeyWindow();
    int nestedReturned = 0;
    QTimer::singleShot(0, this, [&] {
        QVERIFY(dialog->isVisible());
        QVERIFY(dialog->isModal());
        // The second click only brings the open dialog forward and returns at once.
        m_program->click(QStringLiteral("N1"));
        ++nestedReturned;
        dialog->BtnNo->click();
    });
    m_program->click(QStringLiteral("N1"));
    QCOMPARE(nestedReturned, 1);
    QVERIFY(!dialog->isVisible());
    QCOMPARE(m_platform->fakeHotKeys.registered.size(), size_t(1));
}

void TestResident::destroyingReleasesTheHotKey()
{
    startProgram();
    QCOMPARE(m_platform->fakeHotKeys.registered.size(), size_t(1));
    QVERIFY(m_platform->fakeHotKeys.pressHotKey(0, 0x2C));
    // A press still queued when the program goes does not reach the destroyed window.
    m_program->reset();
    QVERIFY(m_platform->fakeHotKeys.registered.empty());
    QCoreApplication::processEvents();
    QVERIFY(savedFiles().isEmpty());
}

void TestResident::runOnSignIn()
{
    startProgram();
    const QString entry = m_home->config + QStringLiteral("/autostart/Lumetra.desktop");
    m_program->click(QStringLiteral("ChkRegStart"));
    QVERIFY(m_program->checked(QStringLiteral("ChkRegStart")));
    QVERIFY(QFile::exists(entry));
    m_program->click(QStringLiteral("ChkRegStart"));
    QVERIFY(!m_program->checked(QStringLiteral("ChkRegStart")));
    QVERIFY(!QFile::exists(entry));
    QVERIFY(m_platform->fakeMessages.shown.isEmpty());

    // A folder that cannot be written: the refusal is reported and the mark shows that nothing is set.
    QDir(m_home->config).removeRecursively();
    QDir().mkpath(m_home->config);
    QFile blocker(m_home->config + QStringLiteral("/autostart"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    m_program->click(QStringLiteral("ChkRegStart"));
    QVERIFY(!m_program->checked(QStringLiteral("ChkRegStart")));
    QCOMPARE(m_platform->fakeMessages.shown.size(), 1);
    QCOMPARE(m_platform->fakeMessages.shown.first().text, AutoStartRefused);
    QCOMPARE(m_platform->fakeMessages.shown.first().icon, MessageIcon::Error);
}

void TestResident::sessionEndClosesWithoutAQuestion()
{
    startProgram();
    QSignalSpy ended(&m_program->program(), &Lumetra::ended);
    m_program->window().show();
    m_platform->fakeSession.end();
    QCOMPARE(ended.size(), 1);
    QVERIFY(!m_program->window().isVisible());
    QVERIFY(m_platform->fakeMessages.shown.isEmpty());
}

LUMETRA_OFFSCREEN_TEST_MAIN(TestResident)
#include "tst_resident.moc"

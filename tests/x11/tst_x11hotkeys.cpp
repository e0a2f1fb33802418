#include "TestHome.h"
#include "TestMain.h"
#include "TestProgram.h"
#include "capture/HotKeyDialog.h"
#include "platform/Platform.h"
#include "platform/x11/X11HotKeys.h"
#include "platform/x11/XcbPointers.h"

#include <QCheckBox>
#include <QComboBox>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTimer>
#include <X11/keysym.h>

namespace {

const QString StartConflict
    = QStringLiteral("알수없는 프로그램이 단축키를 사용중입니다.\n\n단축키를 변경해주세요.");
const QString CancelConflict = QStringLiteral("단축키가 설정되지 못해 캡쳐기능이 작동하지 않습니다.");

// Another program on the same display, with its own connection and its own grabs.
class OtherClient
{
public:
    explicit OtherClient(const QString& display) : m_c(xcb_connect(display.toLatin1().constData(), nullptr))
    {
        m_root = xcb_setup_roots_iterator(xcb_get_setup(m_c.get())).data->root;
    }

    xcb_keycode_t keycode(xcb_keysym_t keysym) const
    {
        const xcb_setup_t* setup = xcb_get_setup(m_c.get());
        const int count = setup->max_keycode - setup->min_keycode + 1;
        const auto map = XCB_REPLY(xcb_get_keyboard_mapping, m_c.get(), setup->min_keycode, quint8(count));
        const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(map.get());
        for (int key = 0; key < count; ++key) {
            if (syms[key * map->keysyms_per_keycode] == keysym)
                return xcb_keycode_t(setup->min_keycode + key);
        }
        return 0;
    }

    // True when the server let this client have every one of the given modifier combinations.
    bool grab(xcb_keysym_t keysym, const QList<quint16>& masks)
    {
        bool all = true;
        for (const quint16 mask : masks) {
            const auto cookie = xcb_grab_key_checked(
                m_c.get(), 1, m_root, mask, keycode(keysym), XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
            if (XcbReply<xcb_generic_error_t>(xcb_request_check(m_c.get(), cookie)))
                all = false;
        }
        return all;
    }

    void ungrabAll()
    {
        xcb_ungrab_key(m_c.get(), XCB_GRAB_ANY, m_root, XCB_MOD_MASK_ANY);
        xcb_aux_sync();
    }

private:
    void xcb_aux_sync() { XCB_REPLY(xcb_get_input_focus, m_c.get()); }

    XcbConnection m_c;
    xcb_window_t m_root = 0;
};

// Plain, CapsLock, NumLock (Mod2 on the server's default map) and both.
const QList<quint16> LockVariants { 0, XCB_MOD_MASK_LOCK, XCB_MOD_MASK_2,
    XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2 };

} // namespace

class TestX11HotKeys : public QObject
{
    Q_OBJECT
public:
    explicit TestX11HotKeys(XDesk& desk) : m_desk(desk) { }

private slots:
    void initTestCase();
    void init();
    void conflictAtStartShowsTheMessageAndTheDialog();
    void refusedGrabLeavesNothingGrabbed();
    void pressesReachTheHotKey_data();
    void pressesReachTheHotKey();
    void lockKeysDoNotMatter();
    void keyRepeatDeliversRepeatedPresses();
    void ctrlAltDeleteChosenAndSaved();

private:
    bool key(const QString& combination)
    {
        return m_desk.run(QStringLiteral("xdotool"), { QStringLiteral("key"), combination });
    }
    // Waits for `count` presses in all.
    bool waitPresses(const QList<quint32>& presses, int count)
    {
        return QTest::qWaitFor([&] { return presses.size() >= count; }, 5000);
    }

    XDesk& m_desk;
    std::unique_ptr<TestHome> m_home;
};

void TestX11HotKeys::initTestCase()
{
    QString error;
    QVERIFY2(haveTool(QStringLiteral("xdotool"), QStringLiteral("xdotool"), &error), qPrintable(error));
    m_home = std::make_unique<TestHome>();
    m_home->apply();
}

void TestX11HotKeys::init()
{
    QSettings(
        QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Brenholt"), QStringLiteral("Lumetra"))
        .clear();
}

void TestX11HotKeys::conflictAtStartShowsTheMessageAndTheDialog()
{
    OtherClient other(m_desk.display());
    QVERIFY(other.grab(XK_Print, { 0 }));

    QStringList boxes;
    bool dialogModal = false;
    QTimer answer;
    answer.setInterval(50);
    connect(&answer, &QTimer::timeout, this, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto box = qobject_cast<QMessageBox*>(modal)) {
            boxes.append(box->text());
            box->accept();
        } else if (auto dialog = qobject_cast<HotKeyDialog*>(modal)) {
            dialogModal = dialog->isVisible() && dialog->isModal();
            // From the event loop: the box that Cancel may open needs this timer again.
            QTimer::singleShot(0, dialog->BtnNo, &QPushButton::click);
        }
    });
    answer.start();
    const std::unique_ptr<Platform> platform = createPlatform();
    {
        TestProgram program(*platform);
        program.start();
        answer.stop();
        QCOMPARE(boxes, (QStringList { StartConflict, CancelConflict }));
        QVERIFY(dialogModal);
        QVERIFY(program.program().hotKeyWindow());
        QVERIFY(!program.program().hotKeyWindow()->isVisible());
    }
    // The program holds none of the key's variants: once the other client lets go, anyone may have them.
    other.ungrabAll();
    OtherClient third(m_desk.display());
    QVERIFY(third.grab(XK_Print, LockVariants));
    third.ungrabAll();
}

void TestX11HotKeys::refusedGrabLeavesNothingGrabbed()
{
    OtherClient other(m_desk.display());
    // Held only with NumLock on: the plain grabs succeed first and must be taken back.
    QVERIFY(other.grab(XK_Print, { XCB_MOD_MASK_2 }));
    X11HotKeys keys;
    QVERIFY(!keys.registerHotKey(1, 0, 0x2C));
    other.ungrabAll();
    OtherClient third(m_desk.display());
    QVERIFY(third.grab(XK_Print, LockVariants));
    third.ungrabAll();
    // And with the key free, the same registration goes through; its id cannot be used twice.
    QVERIFY(keys.registerHotKey(1, 0, 0x2C));
    QVERIFY(!keys.registerHotKey(1, HotKeys::ModShift, 0x2C));
    QVERIFY(!third.grab(XK_Print, { 0 }));
    keys.unregisterHotKey(1);
    QVERIFY(third.grab(XK_Print, { 0 }));
    third.ungrabAll();
    // A key without an X counterpart is refused.
    QVERIFY(!keys.registerHotKey(2, 0, 0xFF));
}

void TestX11HotKeys::pressesReachTheHotKey_data()
{
    QTest::addColumn<quint32>("modifiers");
    QTest::addColumn<quint32>("virtualKey");
    QTest::addColumn<QString>("pressed");
    QTest::addColumn<QString>("registeredKeys");
    QTest::addColumn<bool>("fires");
    QTest::newRow("Print") << 0u << 0x2Cu << "Print"
                           << "Print" << true;
    QTest::newRow("Print does not fire with Shift") << 0u << 0x2Cu << "shift+Print"
                                                    << "Print" << false;
    QTest::newRow("Print does not fire with Super") << 0u << 0x2Cu << "super+Print"
                                                    << "Print" << false;
    QTest::newRow("Ctrl+Alt+Delete") << 3u << 0x2Eu << "ctrl+alt+Delete"
                                     << "ctrl+alt+Delete" << true;
    QTest::newRow("Ctrl+Delete is not Ctrl+Alt+Delete") << 3u << 0x2Eu << "ctrl+Delete"
                                                        << "ctrl+alt+Delete" << false;
    QTest::newRow("Shift+A") << 4u << 0x41u << "shift+a"
                             << "shift+a" << true;
    QTest::newRow("A is not Shift+A") << 4u << 0x41u << "a"
                                      << "shift+a" << false;
    QTest::newRow("Ctrl+0") << 2u << 0x30u << "ctrl+0"
                            << "ctrl+0" << true;
    QTest::newRow("F12") << 0u << 0x7Bu << "F12"
                         << "F12" << true;
    QTest::newRow("Ctrl+Space, outside the list") << 2u << 0x20u << "ctrl+space"
                                                  << "ctrl+space" << true;
}

void TestX11HotKeys::pressesReachTheHotKey()
{
    QFETCH(quint32, modifiers);
    QFETCH(quint32, virtualKey);
    QFETCH(QString, pressed);
    QFETCH(QString, registeredKeys);
    QFETCH(bool, fires);
    X11HotKeys keys;
    QList<quint32> presses;
    keys.setListener([&](quint32 id) { presses.append(id); });
    QVERIFY(keys.registerHotKey(7, modifiers, virtualKey));
    // F11 closes each row: presses arrive in order, so once it is there, the others have been seen.
    QVERIFY(keys.registerHotKey(8, 0, 0x7A));
    QVERIFY(key(pressed));
    QVERIFY(key(registeredKeys));
    QVERIFY(key(QStringLiteral("F11")));
    QVERIFY(QTest::qWaitFor([&] { return presses.contains(8u); }, 5000));
    QCOMPARE(presses, fires ? (QList<quint32> { 7, 7, 8 }) : (QList<quint32> { 7, 8 }));
}

void TestX11HotKeys::lockKeysDoNotMatter()
{
    X11HotKeys keys;
    QList<quint32> presses;
    keys.setListener([&](quint32 id) { presses.append(id); });
    QVERIFY(keys.registerHotKey(3, 0, 0x2C));
    QVERIFY(key(QStringLiteral("Num_Lock")));
    QVERIFY(key(QStringLiteral("Print")));
    QVERIFY(waitPresses(presses, 1));
    QVERIFY(key(QStringLiteral("Caps_Lock")));
    QVERIFY(key(QStringLiteral("Print")));
    QVERIFY(waitPresses(presses, 2));
    QVERIFY(key(QStringLiteral("Num_Lock")));
    QVERIFY(key(QStringLiteral("Print")));
    QVERIFY(waitPresses(presses, 3));
    QVERIFY(key(QStringLiteral("Caps_Lock")));
    QVERIFY(key(QStringLiteral("Print")));
    QVERIFY(waitPresses(presses, 4));
    QCOMPARE(presses, QList<quint32>(4, 3));
}

void TestX11HotKeys::keyRepeatDeliversRepeatedPresses()
{
    X11HotKeys keys;
    QList<quint32> presses;
    keys.setListener([&](quint32 id) { presses.append(id); });
    QVERIFY(keys.registerHotKey(4, 0, 0x2C));
    QVERIFY(m_desk.run(QStringLiteral("xset"), { QStringLiteral("r"), QStringLiteral("on") }));
    QVERIFY(m_desk.run(QStringLiteral("xdotool"), { QStringLiteral("keydown"), QStringLiteral("Print") }));
    // The server repeats after its delay (660 ms by default), then about 25 times a second.
    const bool repeated = waitPresses(presses, 4);
    QVERIFY(m_desk.run(QStringLiteral("xdotool"), { QStringLiteral("keyup"), QStringLiteral("Print") }));
    QVERIFY(repeated);
}

void TestX11HotKeys::ctrlAltDeleteChosenAndSaved()
{
    const std::unique_ptr<Platform> platform = createPlatform();
    HotKeyDialog dialog(nullptr, *platform);
    QSignalSpy hotKey(&dialog, &HotKeyDialog::hotKeyPressed);
    dialog.FormCreate();
    QVERIFY(key(QStringLiteral("Print")));
    QVERIFY(hotKey.wait(5000));

    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    dialog.ChkHotKey->setCurrentIndex(dialog.ChkHotKey->findText(QStringLiteral("DEL")));
    QTest::mouseClick(dialog.ChkCtrl, Qt::LeftButton);
    QTest::mouseClick(dialog.ChkAlt, Qt::LeftButton);
    QTest::mouseClick(dialog.BtnYes, Qt::LeftButton);
    QTRY_VERIFY(!dialog.isVisible());
    QCOMPARE(QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Brenholt"),
                 QStringLiteral("Lumetra"))
                 .value(QStringLiteral("hotkey"))
                 .toInt(),
        0xC02E);

    // The new key works; the old one is free again for other programs, the new one is not.
    hotKey.clear();
    QVERIFY(key(QStringLiteral("ctrl+alt+Delete")));
    QVERIFY(hotKey.wait(5000));
    OtherClient other(m_desk.display());
    QVERIFY(other.grab(XK_Print, LockVariants));
    QVERIFY(!other.grab(XK_Delete, { XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 }));
    other.ungrabAll();
}

LUMETRA_X11_TEST_MAIN(TestX11HotKeys, XDesk::Server::Xvfb, true)
#include "tst_x11hotkeys.moc"

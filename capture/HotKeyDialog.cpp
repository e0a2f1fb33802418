#include "HotKeyDialog.h"

#include "platform/HotKeys.h"
#include "platform/MessageBoxes.h"
#include "platform/Platform.h"
#include "support/Dpi.h"
#include "support/Q.Translate.h"
#include "support/SettingsStore.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QScreen>

namespace {

constexpr int DefaultHotKey = 0x2C;
constexpr int ShiftBit = 0x2000;
constexpr int CtrlBit = 0x4000;
constexpr int AltBit = 0x8000;

const QString WindowCaption = QStringLiteral("단축키 설정");
const QString PrintScreenEntry = QStringLiteral("PrintScreen");
// The system's own name of the Print Screen key.
const QString SysReq = QStringLiteral("Sys Req");

// The key list, in its order, with the virtual-key codes the entries stand for.
QList<std::pair<QString, int>> keyEntries()
{
    QList<std::pair<QString, int>> entries { { PrintScreenEntry, 0x2C } };
    for (int key = 'A'; key <= 'Z'; ++key)
        entries.append({ QString(QChar(key)), key });
    for (int key = '1'; key <= '9'; ++key)
        entries.append({ QString(QChar(key)), key });
    entries.append({ QStringLiteral("0"), '0' });
    for (int n = 1; n <= 12; ++n)
        entries.append({ QStringLiteral("F%1").arg(n), 0x6F + n });
    entries.append({ QStringLiteral("DEL"), 0x2E });
    return entries;
}

// The key-name rules: Print Screen is "Sys Req", Delete is "Del", the other keys of the list are named
// as their entries. Keys outside the list have no name here.
QString keyName(int virtualKey)
{
    if (virtualKey == 0x2C)
        return SysReq;
    if (virtualKey == 0x2E)
        return QStringLiteral("Del");
    for (const auto& [name, code] : keyEntries()) {
        if (code == virtualKey)
            return name;
    }
    return {};
}

// 0 for a name the rules do not know.
int keyFromName(const QString& name)
{
    if (name.compare(SysReq, Qt::CaseInsensitive) == 0)
        return 0x2C;
    // "Del" and the entry "DEL" differ only in case.
    for (const auto& [entry, code] : keyEntries()) {
        if (name.compare(entry, Qt::CaseInsensitive) == 0)
            return code;
    }
    return 0;
}

} // namespace

HotKeyDialog::HotKeyDialog(QWidget* owner, Platform& platform)
    : QDialog(owner), m_platform(platform), m_pressContext(std::make_unique<QObject>())
{
    setObjectName(QStringLiteral("FrmHotKey"));
    setWindowTitle(WindowCaption);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFixedSize(Scaled(299), Scaled(121));

    GrpConfig = new QGroupBox(QStringLiteral("설정"), this);
    GrpConfig->setObjectName(QStringLiteral("GrpConfig"));
    GrpConfig->setGeometry(Scaled(8), Scaled(8), Scaled(283), Scaled(65));
    ChkShift = new QCheckBox(QStringLiteral("Shift"), GrpConfig);
    ChkShift->setObjectName(QStringLiteral("ChkShift"));
    ChkShift->setGeometry(Scaled(12), Scaled(28), Scaled(52), Scaled(22));
    ChkCtrl = new QCheckBox(QStringLiteral("Ctrl"), GrpConfig);
    ChkCtrl->setObjectName(QStringLiteral("ChkCtrl"));
    ChkCtrl->setGeometry(Scaled(66), Scaled(28), Scaled(46), Scaled(22));
    ChkAlt = new QCheckBox(QStringLiteral("Alt"), GrpConfig);
    ChkAlt->setObjectName(QStringLiteral("ChkAlt"));
    ChkAlt->setGeometry(Scaled(114), Scaled(28), Scaled(44), Scaled(22));
    ChkHotKey = new QComboBox(GrpConfig);
    ChkHotKey->setObjectName(QStringLiteral("ChkHotKey"));
    for (const auto& entry : keyEntries())
        ChkHotKey->addItem(entry.first);
    ChkHotKey->setMaxVisibleItems(16);
    ChkHotKey->setGeometry(Scaled(160), Scaled(27), Scaled(111), Scaled(24));

    BtnYes = new QPushButton(QStringLiteral("확인"), this);
    BtnYes->setObjectName(QStringLiteral("BtnYes"));
    BtnYes->setGeometry(Scaled(134), Scaled(84), Scaled(75), Scaled(27));
    BtnYes->setDefault(true);
    BtnNo = new QPushButton(QStringLiteral("취소"), this);
    BtnNo->setObjectName(QStringLiteral("BtnNo"));
    BtnNo->setGeometry(Scaled(216), Scaled(84), Scaled(75), Scaled(27));
    connect(BtnYes, &QPushButton::clicked, this, &HotKeyDialog::BtnYesClick);
    connect(BtnNo, &QPushButton::clicked, this, &HotKeyDialog::BtnNoClick);

    setTabOrder(ChkCtrl, ChkAlt);
    setTabOrder(ChkAlt, ChkHotKey);
    setTabOrder(ChkHotKey, ChkShift);
    setTabOrder(ChkShift, BtnYes);
    setTabOrder(BtnYes, BtnNo);

    if (const QScreen* primary = QGuiApplication::primaryScreen())
        move(primary->availableGeometry().center() - rect().center());
}

HotKeyDialog::~HotKeyDialog()
{
    FormDestroy();
}

int HotKeyDialog::Scaled(int value) const
{
    return scaled(this, value);
}

void HotKeyDialog::FormCreate()
{
    TranslateComponent(this);
    HotKeys& hotKeys = m_platform.hotKeys();
    HotKeyID = hotKeys.atom(QStringLiteral("LumetraHotKey"));
    hotKeys.setListener([this](quint32 id) {
        QMetaObject::invokeMethod(
            m_pressContext.get(), [this, id] { WMHotKey(id); }, Qt::QueuedConnection);
    });
    if (!RegisterShortCut(LoadHotKey())) {
        ShowMessage(MessageIcon::Error,
            TranslateText(
                QStringLiteral("알수없는 프로그램이 단축키를 사용중입니다.\\n\\n단축키를 변경해주세요.")));
        exec();
    }
}

void HotKeyDialog::FormDestroy()
{
    m_pressContext.reset();
    m_platform.hotKeys().setListener(nullptr);
    m_platform.hotKeys().unregisterHotKey(HotKeyID);
}

void HotKeyDialog::WMHotKey(quint32 id)
{
    if (id == HotKeyID)
        emit hotKeyPressed();
}

int HotKeyDialog::LoadHotKey()
{
    const int value = SettingsStore().readInteger(QStringLiteral("hotkey"), DefaultHotKey);
    QString name = keyName(value & 0xFF);
    if (name == SysReq)
        name = PrintScreenEntry;
    ChkHotKey->setCurrentIndex(name.isEmpty() ? -1 : ChkHotKey->findText(name, Qt::MatchFixedString));
    ChkAlt->setChecked(value & AltBit);
    ChkCtrl->setChecked(value & CtrlBit);
    ChkShift->setChecked(value & ShiftBit);
    return value;
}

int HotKeyDialog::HotKeyFromUI() const
{
    QString name = ChkHotKey->currentIndex() < 0 ? QString() : ChkHotKey->currentText();
    if (name == PrintScreenEntry)
        name = SysReq;
    int value = keyFromName(name);
    if (ChkAlt->isChecked())
        value += AltBit;
    if (ChkCtrl->isChecked())
        value += CtrlBit;
    if (ChkShift->isChecked())
        value += ShiftBit;
    return value;
}

void HotKeyDialog::SaveHotKey()
{
    SettingsStore().writeInteger(QStringLiteral("hotkey"), HotKeyFromUI());
}

bool HotKeyDialog::RegisterShortCut(int value)
{
    quint32 modifiers = 0;
    if (value & AltBit)
        modifiers |= HotKeys::ModAlt;
    if (value & CtrlBit)
        modifiers |= HotKeys::ModControl;
    if (value & ShiftBit)
        modifiers |= HotKeys::ModShift;
    HotKeys& hotKeys = m_platform.hotKeys();
    hotKeys.unregisterHotKey(HotKeyID);
    return hotKeys.registerHotKey(HotKeyID, modifiers, quint32(value & 0xFF));
}

void HotKeyDialog::BtnYesClick()
{
    // Only a stored key from outside the list leaves it without a selection; registering "no key" would
    // silently drop the working hotkey.
    if (ChkHotKey->currentIndex() < 0) {
        ShowMessage(
            MessageIcon::Information, TranslateText(QStringLiteral("단축키로 사용할 키를 선택해주세요.")));
        return;
    }
    if (RegisterShortCut(HotKeyFromUI())) {
        SaveHotKey();
        accept();
    } else {
        ShowMessage(MessageIcon::Information,
            TranslateText(QStringLiteral("단축키가 다른 프로그램에서 사용중입니다.")));
    }
}

void HotKeyDialog::BtnNoClick()
{
    if (!RegisterShortCut(LoadHotKey()))
        ShowMessage(MessageIcon::Error,
            TranslateText(QStringLiteral("단축키가 설정되지 못해 캡쳐기능이 작동하지 않습니다.")));
    reject();
}

void HotKeyDialog::keyPressEvent(QKeyEvent* event)
{
    // Escape is the Cancel button, which puts the stored key back.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        BtnNoClick();
        return;
    }
    QDialog::keyPressEvent(event);
}

void HotKeyDialog::ShowMessage(MessageIcon icon, const QString& text)
{
    // Over the dialog while it is open; otherwise over the (possibly hidden) main window.
    QWidget* owner = isVisible() ? this : parentWidget();
    m_platform.messages().show(owner, icon, TranslateText(WindowCaption), text);
}

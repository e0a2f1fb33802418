#pragma once

#include "platform/MessageBoxes.h"

#include <QDialog>
#include <memory>

class Platform;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QObject;
class QPushButton;

// "단축키 설정": owns the system-wide hotkey that starts a capture, and lets the user choose it.
// The stored value ("hotkey") is a Windows virtual-key code in the low byte with 0x2000 Shift,
// 0x4000 Ctrl and 0x8000 Alt; 44 (Print Screen alone) when nothing is stored.
class HotKeyDialog : public QDialog
{
    Q_OBJECT
public:
    HotKeyDialog(QWidget* owner, Platform& platform);
    ~HotKeyDialog() override;

    // Registers the stored hotkey. When another program holds it, says so and shows itself modally, so
    // that the user can choose another key before the program goes on.
    void FormCreate();

    // OK: registers and stores the chosen key; stays open when that fails or no key is chosen.
    void BtnYesClick();
    // Cancel: back to the stored key, registered again.
    void BtnNoClick();

    QGroupBox* GrpConfig = nullptr;
    QPushButton* BtnYes = nullptr;
    QPushButton* BtnNo = nullptr;
    QCheckBox* ChkShift = nullptr;
    QCheckBox* ChkCtrl = nullptr;
    QCheckBox* ChkAlt = nullptr;
    QComboBox* ChkHotKey = nullptr;
    quint32 HotKeyID = 0;

signals:
    // The registered hotkey was pressed (again on every automatic repeat).
    void hotKeyPressed();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    int LoadHotKey();
    int HotKeyFromUI() const;
    void SaveHotKey();
    bool RegisterShortCut(int value);
    void WMHotKey(quint32 id);
    void FormDestroy();
    void ShowMessage(MessageIcon icon, const QString& text);
    int Scaled(int value) const;

    Platform& m_platform;
    // Hotkey presses are handed to the event loop, so that a capture never runs inside the input
    // dispatch; this context drops the ones still queued when the dialog goes.
    std::unique_ptr<QObject> m_pressContext;
};

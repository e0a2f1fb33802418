#pragma once

#include <QDialog>

class QGroupBox;
class QPushButton;
class QSpinBox;

// The size-preset dialog of the region frame: the frame's current hole size and three stored presets, each
// applied with its own button. Created at start-up, shown from the frame's menu, kept until exit. It knows
// nothing of the frame: an applied size goes out as SizeApplied, which the frame takes.
class RegionSizeDialog : public QDialog
{
    Q_OBJECT
public:
    static constexpr int MinSize = 64;
    static constexpr int MaxSize = 9999;

    explicit RegionSizeDialog(QWidget* owner);

    // Translation and the stored presets; run once after construction.
    void FormCreate();
    // A stored or typed size as the fields hold it.
    static int Clamp(int value);

    void LoadPresets();
    void SavePresets();
    // Group 0 is the current size; 1 to 3 the presets, which also rename their menu items on the frame.
    void BtnApplyClick(int group);

    // The frame's current size put into the current-size fields; gives back what they show (within the
    // fields' limits).
    QSize ShowCurrentSize(int width, int height);
    // The size in the fields of preset 1, 2 or 3 as they are now, applied or not.
    QSize Preset(int SizeNo) const;

    QGroupBox* GrpCurrent = nullptr;
    QGroupBox* GrpCustom_1 = nullptr;
    QGroupBox* GrpCustom_2 = nullptr;
    QGroupBox* GrpCustom_3 = nullptr;
    QSpinBox* EditWidth = nullptr;
    QSpinBox* EditHeight = nullptr;
    QPushButton* BtnApply = nullptr;
    QSpinBox* EditWidth_1 = nullptr;
    QSpinBox* EditHeight_1 = nullptr;
    QPushButton* BtnApply_1 = nullptr;
    QSpinBox* EditWidth_2 = nullptr;
    QSpinBox* EditHeight_2 = nullptr;
    QPushButton* BtnApply_2 = nullptr;
    QSpinBox* EditWidth_3 = nullptr;
    QSpinBox* EditHeight_3 = nullptr;
    QPushButton* BtnApply_3 = nullptr;

signals:
    // A group's Apply: the frame takes the size; SizeNo as BtnApplyClick's group.
    void SizeApplied(int AWidth, int AHeight, int SizeNo);

protected:
    void showEvent(QShowEvent* event) override;

private:
    QGroupBox* CreateGroup(const QString& name, const QString& caption, int group, QSpinBox*& width,
        QSpinBox*& height, QPushButton*& apply);

    bool m_placed = false;
};

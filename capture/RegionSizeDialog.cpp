#include "RegionSizeDialog.h"

#include "support/Q.Translate.h"
#include "support/SettingsStore.h"

#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>

namespace {

struct StoredPreset
{
    const char* width;
    const char* height;
    int defaultWidth;
    int defaultHeight;
};

const StoredPreset Presets[3] = {
    { "width_1", "height_1", 320, 240 },
    { "width_2", "height_2", 640, 480 },
    { "width_3", "height_3", 720, 480 },
};

} // namespace

RegionSizeDialog::RegionSizeDialog(QWidget* owner) : QDialog(owner)
{
    setObjectName(QStringLiteral("FrmSize"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint
        | Qt::WindowCloseButtonHint);
    setWindowTitle(QStringLiteral("영역크기 설정"));
    auto layout = new QVBoxLayout(this);
    GrpCurrent = CreateGroup(
        QStringLiteral("GrpCurrent"), QStringLiteral("현재크기"), 0, EditWidth, EditHeight, BtnApply);
    GrpCustom_1 = CreateGroup(QStringLiteral("GrpCustom_1"), QStringLiteral("사용자 정의 #1"), 1, EditWidth_1,
        EditHeight_1, BtnApply_1);
    GrpCustom_2 = CreateGroup(QStringLiteral("GrpCustom_2"), QStringLiteral("사용자 정의 #2"), 2, EditWidth_2,
        EditHeight_2, BtnApply_2);
    GrpCustom_3 = CreateGroup(QStringLiteral("GrpCustom_3"), QStringLiteral("사용자 정의 #3"), 3, EditWidth_3,
        EditHeight_3, BtnApply_3);
    for (QGroupBox* group : { GrpCurrent, GrpCustom_1, GrpCustom_2, GrpCustom_3 })
        layout->addWidget(group);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

QGroupBox* RegionSizeDialog::CreateGroup(const QString& name, const QString& caption, int group,
    QSpinBox*& width, QSpinBox*& height, QPushButton*& apply)
{
    auto box = new QGroupBox(caption, this);
    box->setObjectName(name);
    const QString suffix = group == 0 ? QString() : QStringLiteral("_%1").arg(group);
    auto field = [box](const QString& fieldName) {
        auto spin = new QSpinBox(box);
        spin->setObjectName(fieldName);
        spin->setRange(MinSize, MaxSize);
        spin->setValue(MinSize);
        // Out-of-range or unfinished input becomes the nearest allowed size when the field is left.
        spin->setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
        return spin;
    };
    width = field(QStringLiteral("EditWidth") + suffix);
    height = field(QStringLiteral("EditHeight") + suffix);
    apply = new QPushButton(QStringLiteral("적용"), box);
    apply->setObjectName(QStringLiteral("BtnApply") + suffix);
    apply->setAutoDefault(false);
    auto row = new QHBoxLayout(box);
    auto widthLabel = new QLabel(QStringLiteral("넓이 :"), box);
    widthLabel->setObjectName(QStringLiteral("LblWidth") + suffix);
    auto heightLabel = new QLabel(QStringLiteral("높이 :"), box);
    heightLabel->setObjectName(QStringLiteral("LblHeight") + suffix);
    row->addWidget(widthLabel);
    row->addWidget(width);
    row->addSpacing(8);
    row->addWidget(heightLabel);
    row->addWidget(height);
    row->addSpacing(8);
    row->addWidget(apply);
    connect(apply, &QPushButton::clicked, this, [this, group] { BtnApplyClick(group); });
    return box;
}

void RegionSizeDialog::FormCreate()
{
    TranslateComponent(this);
    LoadPresets();
}

int RegionSizeDialog::Clamp(int value)
{
    return std::clamp(value, MinSize, MaxSize);
}

void RegionSizeDialog::LoadPresets()
{
    QSpinBox* widths[3] = { EditWidth_1, EditWidth_2, EditWidth_3 };
    QSpinBox* heights[3] = { EditHeight_1, EditHeight_2, EditHeight_3 };
    SettingsStore config;
    for (int i = 0; i < 3; ++i) {
        const StoredPreset& preset = Presets[i];
        widths[i]->setValue(config.readInteger(QLatin1String(preset.width), preset.defaultWidth));
        heights[i]->setValue(config.readInteger(QLatin1String(preset.height), preset.defaultHeight));
    }
}

void RegionSizeDialog::SavePresets()
{
    SettingsStore config;
    config.writeInteger(QStringLiteral("width_1"), EditWidth_1->value());
    config.writeInteger(QStringLiteral("width_2"), EditWidth_2->value());
    config.writeInteger(QStringLiteral("width_3"), EditWidth_3->value());
    config.writeInteger(QStringLiteral("height_1"), EditHeight_1->value());
    config.writeInteger(QStringLiteral("height_2"), EditHeight_2->value());
    config.writeInteger(QStringLiteral("height_3"), EditHeight_3->value());
}

void RegionSizeDialog::BtnApplyClick(int group)
{
    QSpinBox* widths[4] = { EditWidth, EditWidth_1, EditWidth_2, EditWidth_3 };
    QSpinBox* heights[4] = { EditHeight, EditHeight_1, EditHeight_2, EditHeight_3 };
    if (group < 0 || group > 3)
        return;
    // Typed text that was never confirmed counts as it would when the field is left.
    widths[group]->interpretText();
    heights[group]->interpretText();
    // The dialog is opened from the frame, but nothing breaks if the frame is not there.
    emit SizeApplied(widths[group]->value(), heights[group]->value(), group);
    SavePresets();
}

QSize RegionSizeDialog::ShowCurrentSize(int width, int height)
{
    EditWidth->setValue(width);
    EditHeight->setValue(height);
    return QSize(EditWidth->value(), EditHeight->value());
}

QSize RegionSizeDialog::Preset(int SizeNo) const
{
    const QSpinBox* widths[3] = { EditWidth_1, EditWidth_2, EditWidth_3 };
    const QSpinBox* heights[3] = { EditHeight_1, EditHeight_2, EditHeight_3 };
    if (SizeNo < 1 || SizeNo > 3)
        return {};
    return QSize(widths[SizeNo - 1]->value(), heights[SizeNo - 1]->value());
}

void RegionSizeDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (m_placed)
        return;
    m_placed = true;
    if (const QScreen* primary = QGuiApplication::primaryScreen())
        move(primary->geometry().center() - rect().center());
}

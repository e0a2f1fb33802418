#pragma once

#include <QWidget>

#include <functional>

class QLabel;
class QListWidget;
class QPainter;
class QTimer;
class ScreenSource;

// The colour picker's page of the main window: the colour under the pointer, read ten times a second
// while the page is shown, and the codes recorded by each capture command, newest first. The list is
// never stored.
class ColorPickerPage final : public QWidget
{
    Q_OBJECT

public:
    ColorPickerPage(ScreenSource& screen, std::function<void(const QString&)> copyText, QWidget* parent);

    void setProbing(bool on);
    bool isProbing() const;
    // Records the colour the probe last read (the screen is not read again) and copies its code.
    void recordColor();
    QString currentCode() const;
    QStringList recordedCodes() const;

    // Draws one recorded code into `rect`: a swatch of its colour outlined in black, then the code.
    // `scaled` turns design pixels into the list's pixels.
    static void drawCode(QPainter& painter, const QRect& rect, const QString& code, bool selected,
        const std::function<int(int)>& scaled);

private:
    void onProbeTimeout();
    void onCopyTriggered();
    void onDeleteTriggered();
    void showColor(QRgb color);

    ScreenSource& m_screen;
    const std::function<void(const QString&)> m_copyText;
    QWidget* m_swatch = nullptr;
    QLabel* m_code = nullptr;
    QListWidget* m_codes = nullptr;
    QTimer* m_probe = nullptr;
};

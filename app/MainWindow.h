#pragma once

#include "OptionsCard.h"

#include <QWidget>

#include <functional>

class ColorPickerPage;
class QComboBox;
class QLabel;
class QStackedWidget;
class RecordingCard;
class ScreenSource;

// The main window: the source and target lists with the target's options, the colour picker and the
// recording card in their place, and the maker's line. It shows what it is told and reports what the
// user did; the closing decision belongs to whoever answers closeRequested.
class MainWindow final : public QWidget
{
    Q_OBJECT

public:
    enum class Page { Options, ColorPicker, Recording };

    // `copyText` puts a picked colour's code on the clipboard.
    MainWindow(ScreenSource& screen, std::function<void(const QString&)> copyText, QWidget* parent = nullptr);

    int source() const;
    // An index outside the list selects nothing.
    void setSource(int index);
    int target() const { return m_options->target(); }
    int jpegQuality() const { return m_options->jpegQuality(); }
    int webpQuality() const { return m_options->webpQuality(); }
    int recognitionLanguage() const { return m_options->recognitionLanguage(); }
    void setTarget(int index) { m_options->setTarget(index); }
    void setJpegQuality(int index) { m_options->setJpegQuality(index); }
    void setWebpQuality(int index) { m_options->setWebpQuality(index); }
    void setRecognitionLanguages(const QStringList& names, int index)
    {
        m_options->setRecognitionLanguages(names, index);
    }
    void arrangeTargetOptions(int target) { m_options->arrangeFor(target); }
    void setSourceEnabled(bool enabled);
    void showPage(Page page);
    Page page() const;
    void setRecordingTime(const QString& time);
    ColorPickerPage& colorPicker() const { return *m_colorPicker; }
    // Whether the window has been on the screen since the start (a box may then lean on it).
    bool everShown() const { return m_everShown; }

    // Lets the next close through: the window closes and `closed` follows.
    void closeForGood();

signals:
    void sourceActivated(int index);
    void targetActivated(int index);
    void jpegQualityActivated(int index);
    void webpQualityActivated(int index);
    void recognitionLanguageActivated(int index);
    void openFolderClicked();
    void aboutClicked();
    // The right button was released over the window.
    void contextMenuRequested();
    // The user closed the window (its close button, Alt+F4); it stays open until closeForGood.
    void closeRequested();
    // The window has really closed.
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void place(QWidget* widget, int left, int top, int width = -1, int height = -1) const;

    QComboBox* m_sources = nullptr;
    QStackedWidget* m_pages = nullptr;
    OptionsCard* m_options = nullptr;
    QLabel* m_maker = nullptr;
    ColorPickerPage* m_colorPicker = nullptr;
    RecordingCard* m_recordingCard = nullptr;
    bool m_closing = false;
    bool m_everShown = false;
};

#pragma once

#include <QWidget>

#include <functional>

class ColorPickerPage;
class QComboBox;
class QLabel;
class QPushButton;
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
    int target() const;
    int jpegQuality() const;
    int webpQuality() const;
    int recognitionLanguage() const;
    // An index outside its list selects nothing.
    void setSource(int index);
    void setTarget(int index);
    void setJpegQuality(int index);
    void setWebpQuality(int index);
    void setRecognitionLanguages(const QStringList& names, int index);
    // Narrows the target list for the target's own option list (quality, language) beside it.
    void arrangeTargetOptions(int target);
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
    void createOptionsCard(QWidget* card);
    void place(QWidget* widget, int left, int top, int width = -1, int height = -1) const;
    QComboBox* addList(QWidget* parent, const QString& name, const QStringList& items) const;

    QComboBox* m_sources = nullptr;
    QStackedWidget* m_pages = nullptr;
    QComboBox* m_targets = nullptr;
    QComboBox* m_jpegQuality = nullptr;
    QComboBox* m_webpQuality = nullptr;
    QComboBox* m_recognitionLanguages = nullptr;
    QLabel* m_maker = nullptr;
    ColorPickerPage* m_colorPicker = nullptr;
    RecordingCard* m_recordingCard = nullptr;
    bool m_closing = false;
    bool m_everShown = false;
};

#pragma once

#include <QWidget>

class QLineEdit;
class QToolButton;
class WebBrowser;

// The small browser window of the web page source: back and forward, an address field and the page. The
// engine behind it is loaded the first time the window is made. It frees itself when it closes.
class WebPageWindow : public QWidget
{
    Q_OBJECT
public:
    explicit WebPageWindow(QWidget* parent = nullptr);
    ~WebPageWindow() override;

    // Translates the window, makes the browser and opens the blank page. False with `error` when the web
    // engine cannot be loaded.
    bool loadBrowser(QString* error);

    // Null until loadBrowser succeeds.
    WebBrowser* browser() const { return m_browser; }

    // The user agent the browser reports to web servers.
    static const QString UserAgent;

signals:
    // The user closed the window (not the program).
    void closedByUser();

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    // Alt+D, application-wide while the window exists.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Enter in the address field: goes to the typed address as it is, blanks and control characters
    // trimmed. Script addresses are not run from here.
    void onAddressEntered();
    void onBackClicked();
    void onForwardClicked();
    void onCommandStateChanged(int command, bool enabled);
    void onDocumentCompleted();
    void onTitleChanged(const QString& title);
    void layOut();
    int scaledSize(int value) const;

    bool m_closedByUser = false;
    QWidget* m_toolBar = nullptr;
    QWidget* m_navigation = nullptr;
    QWidget* m_addressPanel = nullptr;
    QWidget* m_rightMargin = nullptr;
    QLineEdit* m_address = nullptr;
    QToolButton* m_forward = nullptr;
    QToolButton* m_back = nullptr;
    // A child widget.
    WebBrowser* m_browser = nullptr;
};

#pragma once

#include <QWidget>

class QLineEdit;
class QToolButton;
class WebBrowser;

// The small browser window of the web page source: back and forward, an address field and the page. The
// engine behind it is loaded the first time the window is made. It frees itself when it closes.
class TFrmIExplorer : public QWidget
{
    Q_OBJECT
public:
    explicit TFrmIExplorer(QWidget* parent = nullptr);
    ~TFrmIExplorer() override;

    // Translates the window, makes the browser and opens the blank page. False with `error` when the web
    // engine cannot be loaded.
    bool FormCreate(QString* error);

    // Enter in the address field: goes to the typed address as it is, blanks and control characters
    // trimmed. Script addresses are not run from here.
    void Edit1Enter();
    void BtnBackClick();
    void BtnForwardClick();
    void WBCommandStateChange(int command, bool enabled);
    void WBDocumentComplete();
    void WBTitleChange(const QString& title);

    // The user agent the browser reports to web servers.
    static const QString UserAgent;

    QWidget* Panel1 = nullptr;
    QWidget* Panel2 = nullptr;
    QWidget* Panel3 = nullptr;
    QWidget* Panel4 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QToolButton* BtnForward = nullptr;
    QToolButton* BtnBack = nullptr;
    // A child widget; null until FormCreate succeeds.
    WebBrowser* WB = nullptr;

signals:
    // The user closed the window (not the program).
    void ClosedByUser();

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    // Alt+D, application-wide while the window exists.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormResize();
    int Scaled(int value) const;

    bool m_closedByUser = false;
};

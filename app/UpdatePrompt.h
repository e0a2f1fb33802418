#pragma once

#include <QObject>
#include <memory>

class HttpClient;
class MainWindow;
class Shell;
class UpdateCheck;

// Asks the update service once per start, in the background, and answers its reply: the question about a
// newer version first, then the notice's bar below the main window.
class UpdatePrompt final : public QObject
{
    Q_OBJECT

public:
    UpdatePrompt(HttpClient& http, Shell& shell, MainWindow& window, QObject* parent = nullptr);
    // The check ends where it is, unheard.
    ~UpdatePrompt() override;

    // Nothing when no https service is configured.
    void start();

signals:
    // The user chose to download the new version, whose page is open: the program ends.
    void downloadAccepted();

private:
    void onReplied(const QString& reply);

    HttpClient& m_http;
    Shell& m_shell;
    MainWindow& m_window;
    std::unique_ptr<UpdateCheck> m_check;
};

#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>
#include <QUrl>

#include <chrono>
#include <functional>
#include <thread>
#include <vector>

class HttpClient;
class QRandomGenerator;
class QWidget;
class Shell;

// The program's version numbers (major, minor, release, build) put into `format`, whose "%d" fields are
// filled in order: "%d.%d.%d" or "%d.%d.%d.%d".
QString GetVersionText(const QString& format);

// Opens an address with the desktop's handler; false when none could be started.
bool ShellOpen(Shell& shell, const QString& url);
// Whether an address that came from a server may be handed to the desktop: http and https only, never a
// file, a program or a script.
bool IsWebAddress(const QString& url);

// The update notices' texts in the current language: 0 the question, 1 the status bar, 2 Yes, 3 No.
// Languages without texts of their own get the English ones.
QString UpdateText(int kind);

// The id of this installation, made once and kept in the maker's settings ("QUID"); empty when the store
// cannot be read or written.
QString GetInstallationId();
// A new id: 8 hexadecimal digits, the date as yymmdd, 4 hexadecimal digits, the time as hhnnss and 8 more
// hexadecimal digits, 32 characters.
QString NewInstallationId(QRandomGenerator& random, const QDateTime& now = QDateTime::currentDateTime());

// What an update-check reply asks for, read by delimiters: the first occurrence of each key, found
// without regard to letter case; a key with a blank before its colon is not found.
struct UpdateReply
{
    QString update; // download address: asks the question
    QString notify; // address behind the red status bar
    QString style; // "hold" adds a check box to the question, "note" a link
    QString text; // the check box's or link's caption
    QString flag; // "stayontop" keeps the question on top
    QString url; // the link's address
};
UpdateReply ReadUpdateReply(const QString& reply);

// The question whether to download the update, with the reply's check box or link. True when the user
// chose to download. `mainShown`: whether the main window was shown yet (else a box that stays on top
// gets a taskbar entry of its own). `holdTicked` receives whether the hold check box was ticked.
bool UpdateDialog(QWidget* main, bool mainShown, Shell& shell, const UpdateReply& reply, bool* holdTicked);

// The red bar along the bottom of the main window: UpdateText(1), opening `url` when clicked. The window
// grows by the bar's height the first time; a second call only changes the address.
void ShowUpdateStatus(QWidget* main, Shell& shell, const QString& url);

// The address the update check asks: LUMETRA_UPDATE_URL, else "update_url" in the settings, else the
// maker's, each followed by "/api.init.php". Invalid (no check) when the chosen one is not https.
QUrl UpdateEndpoint();

// Asks the update endpoint once per start, on a worker thread, whether there is a newer version or a notice.
// Quitting ends it at once, silently, whatever it is doing: destroying the object never waits on the
// network.
class UpdateCheck final : public QObject
{
    Q_OBJECT

public:
    UpdateCheck(HttpClient& http, QUrl endpoint, QObject* parent = nullptr);
    ~UpdateCheck() override;

    // Up to six attempts, ten seconds apart; `replied` follows on this object's thread. Call once.
    void start();
    // Tells the endpoint that the user wants no more questions for now; nobody waits for the answer, not
    // even a program that ends at once.
    void sendHoldNotice();

    static constexpr int Attempts = 6;

signals:
    // The first complete reply, decoded as UTF-8 whatever its status; empty when every attempt failed.
    void replied(const QString& reply);

private:
    HttpClient& m_http;
    const QUrl m_endpoint;
    const std::chrono::milliseconds m_interval;
    const QString m_caFile;
    QByteArray m_version;
    // Last, so that it is stopped before anything it uses goes.
    std::jthread m_worker;
};

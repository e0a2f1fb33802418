#include "Q.Update.h"

#include "Dpi.h"
#include "Q.Strings.h"
#include "Q.Translate.h"
#include "SettingsStore.h"
#include "Version.h"
#include "platform/HttpClient.h"
#include "platform/Shell.h"

#include <QApplication>
#include <QCheckBox>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSettings>
#include <QUrl>

#include <condition_variable>
#include <mutex>

QString GetVersionText(const QString& format)
{
    const int parts[] = { Version::Major, Version::Minor, Version::Release, Version::Build };
    QString result;
    int next = 0;
    for (qsizetype i = 0; i < format.size(); ++i) {
        if (format[i] == u'%' && i + 1 < format.size() && format[i + 1] == u'd' && next < 4) {
            result += QString::number(parts[next++]);
            ++i;
        } else {
            result += format[i];
        }
    }
    return result;
}

bool ShellOpen(Shell& shell, const QString& url)
{
    const QUrl address = QUrl::fromUserInput(url);
    return address.isValid() && shell.open(address);
}

bool IsWebAddress(const QString& url)
{
    const QUrl address(url.trimmed(), QUrl::StrictMode);
    const QString scheme = address.scheme().toLower();
    return address.isValid() && (scheme == QLatin1String("http") || scheme == QLatin1String("https"))
        && !address.host().isEmpty();
}

namespace {

// The maker's update service, used until a person points the program at another.
const QString DefaultUpdateEndpoint = QStringLiteral("https://update.brenholt.example");
const QString InitPath = QStringLiteral("/api.init.php");
constexpr std::chrono::milliseconds AttemptInterval { 10000 };

// The pause between attempts; tests shorten it with LUMETRA_UPDATE_INTERVAL_MS.
std::chrono::milliseconds attemptInterval()
{
    bool ok = false;
    const int chosen = qEnvironmentVariableIntValue("LUMETRA_UPDATE_INTERVAL_MS", &ok);
    return ok && chosen >= 0 ? std::chrono::milliseconds(chosen) : AttemptInterval;
}

HttpRequest updateRequest(const QUrl& endpoint, const QString& caFile, QList<QByteArray> headers)
{
    HttpRequest request;
    request.url = endpoint;
    request.headers = std::move(headers);
    request.caFile = caFile;
    // A server that accepts and never answers costs one attempt, not the start.
    request.connectTimeout = std::chrono::seconds(10);
    request.stallTimeout = std::chrono::seconds(15);
    request.totalTimeout = std::chrono::seconds(30);
    // The reply is a few keys; anything much longer is not one.
    request.maxReplySize = 1024 * 1024;
    return request;
}

// Sleeps until `stop` is requested or the time is up; false when stopped.
bool pause(std::chrono::milliseconds time, std::stop_token stop)
{
    std::mutex mutex;
    std::condition_variable_any woken;
    std::unique_lock lock(mutex);
    woken.wait_for(lock, stop, time, [] { return false; });
    return !stop.stop_requested();
}

struct Texts
{
    const char* language;
    const char* question;
    const char* status;
    const char* yes;
    const char* no;
};

// The question's three sentences are separated by two carriage returns each.
const Texts UpdateTexts[] = {
    { "ko",
        "업데이트 정보가 있습니다.\r\r안정적으로 사용하기 위해 업데이트를 하시길 권장합니다.\r\r다운로드 "
        "받으시겠습니까?",
        "업데이트 가능", "예", "아니오" },
    { "ja",
        "このプログラムがアップデートされました。\r\r安定的に使用するために新しくダウンロード·実行することを"
        "お勧めします。\r\r"
        "ダウンロードしますか。",
        "アップデート可", "はい", "いいえ" },
    { "zh", "该程序已更新。\r\r建议下载并执行新程序以稳定使用。\r\r您要下载吗？", "可更新", "是", "否" },
    { "ru",
        "Данная программа была обновлена.\r\rРекомендуется скачать и выполнить новое для стабильного "
        "использования.\r\rВы хотите загрузить ее?",
        "Обновление", "Да", "Нет" },
    { "it",
        "È disponibile una nuova versione del programma.\r\rTi suggeriamo di scaricare ed aggiornare il "
        "programma.\r\rVuoi scaricare la nuova versione del programma?",
        "Aggiornabile", "Sì", "No" },
    { "fr",
        "Ce programme a été mis à jour.\r\rIl est recommandé de télécharger et d'exécuter la nouvelle "
        "version "
        "pour une utilisation stable.\r\rVoulez-vous le télécharger?",
        "Maj dispo", "Oui", "Non" },
    { "en",
        "This program has been updated.\r\rIt is recommended to download and execute new for stable use.\r\r"
        "Do you want to download it?",
        "Update available", "Yes", "No" },
};

QString hex(quint32 value, int digits)
{
    return QStringLiteral("%1").arg(value, digits, 16, QLatin1Char('0')).toUpper();
}

QString valueOf(const QString& text, const char* key)
{
    // A value that cannot be decoded counts as absent, like one that is not there.
    try {
        return UnescapeJson(
            ExtractBetween(text, QStringLiteral("\"%1\":\"").arg(QLatin1String(key)), QStringLiteral("\"")));
    } catch (const std::exception&) {
        return {};
    }
}

// The red bar: its text centred in bold red, a click opens its address.
class UpdateStatusBar final : public QLabel
{
public:
    UpdateStatusBar(QWidget* parent, Shell& shell) : QLabel(parent), m_shell(shell)
    {
        setObjectName(QStringLiteral("StatusBar"));
        setAlignment(Qt::AlignCenter);
        setCursor(Qt::PointingHandCursor);
        setAutoFillBackground(true);
        QFont bold = font();
        bold.setBold(true);
        setFont(bold);
        QPalette red = palette();
        red.setColor(QPalette::WindowText, QColor(255, 0, 0));
        setPalette(red);
    }

    QString address;

protected:
    void mouseReleaseEvent(QMouseEvent* event) override
    {
        if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())
            && IsWebAddress(address))
            ShellOpen(m_shell, address);
    }

private:
    Shell& m_shell;
};

} // namespace

QString UpdateText(int kind)
{
    const QString language = CurrentLanguage();
    const Texts* texts = &UpdateTexts[std::size(UpdateTexts) - 1];
    for (const Texts& each : UpdateTexts) {
        if (language == QLatin1String(each.language))
            texts = &each;
    }
    switch (kind) {
    case 0:
        return QString::fromUtf8(texts->question);
    case 1:
        return QString::fromUtf8(texts->status);
    case 2:
        return QString::fromUtf8(texts->yes);
    case 3:
        return QString::fromUtf8(texts->no);
    default:
        return {};
    }
}

QString NewInstallationId(QRandomGenerator& random, const QDateTime& now)
{
    // Random numbers in 0 ... 2^31 - 2 and 0 ... 65534, as the id has always had them.
    return hex(random.bounded(0x7FFFFFFFu), 8) + now.toString(QStringLiteral("yyMMdd"))
        + hex(random.bounded(0xFFFFu), 4) + now.toString(QStringLiteral("HHmmss"))
        + hex(random.bounded(0x7FFFFFFFu), 8);
}

QString GetInstallationId()
{
    QSettings maker(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Brenholt"));
    if (maker.status() != QSettings::NoError)
        return {};
    const QVariant stored = maker.value(QStringLiteral("QUID"));
    if (stored.typeId() == QMetaType::QString && !stored.toString().isEmpty())
        return stored.toString();
    const QString id = NewInstallationId(*QRandomGenerator::global());
    maker.setValue(QStringLiteral("QUID"), id);
    maker.sync();
    // An id that could not be kept would change at every start: better none at all.
    return maker.status() == QSettings::NoError ? id : QString();
}

UpdateReply ReadUpdateReply(const QString& reply)
{
    UpdateReply read;
    read.update = valueOf(reply, "update");
    read.notify = valueOf(reply, "notify");
    // The info object ends at its first closing brace, and its text is not unescaped as a whole.
    const QString info = ExtractBetween(reply, QStringLiteral("\"info\":{"), QStringLiteral("}"));
    read.style = valueOf(info, "style");
    read.text = valueOf(info, "text");
    read.flag = valueOf(info, "flag");
    read.url = valueOf(info, "url");
    return read;
}

bool UpdateDialog(QWidget* main, bool mainShown, Shell& shell, const UpdateReply& reply, bool* holdTicked)
{
    const bool onTop = reply.flag.contains(QLatin1String("stayontop"));
    // Kept on top before the main window was ever shown, the box gets a taskbar entry of its own.
    QMessageBox box(QMessageBox::Warning, TranslateText(ProductCaption), QString(),
        QMessageBox::Yes | QMessageBox::No, onTop && !mainShown ? nullptr : main);
    QString text = UpdateText(0);
    box.setText(text.replace(QLatin1Char('\r'), QLatin1Char('\n')));
    box.setTextFormat(Qt::PlainText);
    box.setAutoFillBackground(true);
    QPalette white = box.palette();
    white.setColor(QPalette::Window, Qt::white);
    box.setPalette(white);
    if (onTop) {
        box.setWindowFlag(Qt::WindowStaysOnTopHint);
        if (!mainShown)
            box.setWindowIcon(QApplication::windowIcon());
    }
    box.button(QMessageBox::Yes)->setText(UpdateText(2));
    box.button(QMessageBox::No)->setText(UpdateText(3));

    QCheckBox* hold = nullptr;
    if (!reply.style.isEmpty()) {
        auto grid = qobject_cast<QGridLayout*>(box.layout());
        const int row = grid ? grid->rowCount() : 0;
        auto rule = new QFrame(&box);
        rule->setFixedHeight(1);
        rule->setAutoFillBackground(true);
        QPalette grey = rule->palette();
        grey.setColor(QPalette::Window, QColor(204, 204, 204));
        rule->setPalette(grey);
        if (grid) {
            grid->addWidget(rule, row, 0, 1, grid->columnCount());
            grid->setRowMinimumHeight(row + 1, scaled(&box, 40) - 1);
        }
        QWidget* extra = nullptr;
        if (reply.style == QLatin1String("hold")) {
            hold = new QCheckBox(reply.text, &box);
            extra = hold;
        } else if (reply.style == QLatin1String("note")) {
            auto link = new QLabel(&box);
            link->setTextFormat(Qt::RichText);
            link->setText(QStringLiteral("<a href=\"#\" style=\"color:#0000ff\">%1</a>")
                              .arg(reply.text.toHtmlEscaped()));
            link->setCursor(Qt::PointingHandCursor);
            link->setToolTip(reply.url);
            QObject::connect(link, &QLabel::linkActivated, link, [&shell, url = reply.url] {
                if (IsWebAddress(url))
                    ShellOpen(shell, url);
            });
            extra = link;
        }
        if (extra && grid)
            grid->addWidget(extra, row + 1, 0, 1, grid->columnCount(), Qt::AlignLeft | Qt::AlignVCenter);
    }
    const bool download = box.exec() == QMessageBox::Yes;
    if (holdTicked)
        *holdTicked = hold && hold->isChecked();
    return download;
}

void ShowUpdateStatus(QWidget* main, Shell& shell, const QString& url)
{
    if (!main)
        return;
    auto bar = main->findChild<UpdateStatusBar*>(QStringLiteral("StatusBar"), Qt::FindDirectChildrenOnly);
    if (!bar) {
        bar = new UpdateStatusBar(main, shell);
        const int height = scaled(main, 28);
        const QSize client = main->size();
        bar->setGeometry(0, client.height(), client.width(), height);
        if (main->minimumSize() == main->maximumSize())
            main->setFixedSize(client.width(), client.height() + height);
        else
            main->resize(client.width(), client.height() + height);
        bar->show();
    }
    bar->setText(UpdateText(1));
    bar->address = url;
    bar->setToolTip(url);
    bar->update();
}

QUrl UpdateEndpoint()
{
    QString chosen = qEnvironmentVariable("LUMETRA_UPDATE_URL").trimmed();
    if (chosen.isEmpty())
        chosen = SettingsStore().readString(QStringLiteral("update_url"), QString()).trimmed();
    if (chosen.isEmpty())
        chosen = DefaultUpdateEndpoint;
    while (chosen.endsWith(QLatin1Char('/')))
        chosen.chop(1);
    const QUrl endpoint(chosen + InitPath, QUrl::StrictMode);
    // The question and its notices come from the maker's service: nothing less than TLS may carry them.
    if (!endpoint.isValid() || endpoint.scheme() != QLatin1String("https") || endpoint.host().isEmpty()
        || !endpoint.userInfo().isEmpty())
        return {};
    return endpoint;
}

UpdateCheck::UpdateCheck(HttpClient& http, QUrl endpoint, QObject* parent)
    : QObject(parent)
    , m_http(http)
    , m_endpoint(std::move(endpoint))
    , m_interval(attemptInterval())
    // Trusted instead of the system's store, for tests and private installations: a file named on
    // purpose, never a switch that turns the check of the certificate off.
    , m_caFile(qEnvironmentVariable("LUMETRA_UPDATE_CA_FILE"))
    , m_version("User-Version: " + GetVersionText(QStringLiteral("%d.%d.%d.%d")).toLatin1())
{ }

UpdateCheck::~UpdateCheck()
{
    // Ends the moment it is told to.
    m_worker.request_stop();
}

void UpdateCheck::start()
{
    // Read here, on the user-interface thread, where the settings and the language live.
    const HttpRequest request = updateRequest(m_endpoint, m_caFile,
        { m_version, "User-Language: " + CurrentLanguage().toLatin1(), "User-Debug: false",
            "User-Union: " + GetInstallationId().toLatin1() });
    m_worker = std::jthread([this, request](std::stop_token stop) {
        QString reply;
        for (int attempt = 1; attempt <= Attempts; ++attempt) {
            const HttpReply answer = m_http.perform(request, stop);
            if (stop.stop_requested())
                return;
            if (answer.completed()) {
                reply = QString::fromUtf8(answer.body);
                break;
            }
            if (attempt < Attempts && !pause(m_interval, stop))
                return;
        }
        QMetaObject::invokeMethod(
            this, [this, reply] { emit replied(reply); }, Qt::QueuedConnection);
    });
}

void UpdateCheck::sendHoldNotice()
{
    m_http.sendUnheard(updateRequest(m_endpoint, m_caFile, { m_version, "User-Command: hold" }));
}

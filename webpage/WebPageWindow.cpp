#include "WebPageWindow.h"

#include "platform/Module.h"
#include "platform/WebBrowser.h"
#include "support/Dpi.h"
#include "support/Q.Translate.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScreen>
#include <QStandardPaths>
#include <QStyle>
#include <QTimer>
#include <QToolButton>

const QString WebPageWindow::UserAgent
    = QStringLiteral("Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) "
                     "Chrome/128.0.0.0 Safari/537.36 Edg/128.0.0.0");

namespace {

const QString Blank = QStringLiteral("about:blank");
const QString EmptyAddress = QStringLiteral("https://");

QString programFolder(QStandardPaths::StandardLocation location)
{
    return QStandardPaths::writableLocation(location) + QStringLiteral("/Brenholt/Lumetra/WebEngine");
}

} // namespace

WebPageWindow::WebPageWindow(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("FrmIExplorer"));
    setAttribute(Qt::WA_DeleteOnClose);
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(scaledSize(11));
    setFont(font);
    resize(scaledSize(695), scaledSize(572));
    if (const QScreen* current = screen())
        move(current->availableGeometry().center() - rect().center());

    m_toolBar = new QWidget(this);
    m_toolBar->setObjectName(QStringLiteral("Panel1"));
    m_navigation = new QWidget(m_toolBar);
    m_navigation->setObjectName(QStringLiteral("Panel2"));
    m_addressPanel = new QWidget(m_toolBar);
    m_addressPanel->setObjectName(QStringLiteral("Panel3"));
    m_rightMargin = new QWidget(m_toolBar);
    m_rightMargin->setObjectName(QStringLiteral("Panel4"));
    m_address = new QLineEdit(EmptyAddress, m_addressPanel);
    m_address->setObjectName(QStringLiteral("Edit1"));

    auto button = [this](const QString& name, QStyle::StandardPixmap glyph, int left) {
        auto item = new QToolButton(m_navigation);
        item->setObjectName(name);
        item->setAutoRaise(true);
        item->setIcon(style()->standardIcon(glyph));
        item->setGeometry(scaledSize(left), 0, scaledSize(25), scaledSize(37));
        item->setEnabled(false);
        return item;
    };
    m_forward = button(QStringLiteral("BtnForward"), QStyle::SP_ArrowForward, 25);
    m_back = button(QStringLiteral("BtnBack"), QStyle::SP_ArrowBack, 0);

    connect(m_address, &QLineEdit::returnPressed, this, &WebPageWindow::onAddressEntered);
    connect(m_back, &QToolButton::clicked, this, &WebPageWindow::onBackClicked);
    connect(m_forward, &QToolButton::clicked, this, &WebPageWindow::onForwardClicked);
}

WebPageWindow::~WebPageWindow()
{
    // The browser goes first, while the handlers it calls still have their window.
    delete m_browser;
}

int WebPageWindow::scaledSize(int value) const
{
    return scaled(this, value);
}

bool WebPageWindow::loadBrowser(QString* error)
{
    TranslateComponent(this);
    const auto create = reinterpret_cast<CreateWebBrowserEntry>(
        ModuleEntry(QStringLiteral("webengine"), CreateWebBrowserName, error));
    if (!create)
        return false;
    WebBrowserEvents events;
    events.commandStateChange
        = [this](int command, bool enabled) { onCommandStateChanged(command, enabled); };
    events.documentComplete = [this] { onDocumentCompleted(); };
    events.titleChange = [this](const QString& title) { onTitleChanged(title); };
    const WebBrowserOptions options { UserAgent, programFolder(QStandardPaths::GenericDataLocation),
        programFolder(QStandardPaths::GenericCacheLocation) };
    m_browser = create(this, options, std::move(events));
    m_browser->widget()->setObjectName(QStringLiteral("WB"));
    layOut();
    qApp->installEventFilter(this);
    m_browser->navigate(Blank);
    return true;
}

void WebPageWindow::onAddressEntered()
{
    QString address = m_address->text();
    auto blank = [](QChar c) { return c <= QLatin1Char(' '); };
    while (!address.isEmpty() && blank(address.front()))
        address.remove(0, 1);
    while (!address.isEmpty() && blank(address.back()))
        address.chop(1);
    // A script typed here would run in the shown site's name.
    if (!m_browser || address.startsWith(QLatin1String("javascript:"), Qt::CaseInsensitive))
        return;
    m_browser->navigate(address);
}

void WebPageWindow::onBackClicked()
{
    if (m_browser)
        m_browser->goBack();
}

void WebPageWindow::onForwardClicked()
{
    if (m_browser)
        m_browser->goForward();
}

void WebPageWindow::onCommandStateChanged(int command, bool enabled)
{
    if (command == 1)
        m_forward->setEnabled(enabled);
    else if (command == 2)
        m_back->setEnabled(enabled);
}

void WebPageWindow::onDocumentCompleted()
{
    const QString location = m_browser->location();
    m_address->setText(location == Blank ? EmptyAddress : location);
}

void WebPageWindow::onTitleChanged(const QString& title)
{
    setWindowTitle(title == Blank ? TranslateText(ProductCaption) : title);
}

void WebPageWindow::closeEvent(QCloseEvent* event)
{
    if (event->spontaneous())
        m_closedByUser = true;
    if (m_browser && m_browser->isBusy()) {
        // A capture draws the page: it stops first, and the window goes once the capture has unwound.
        m_browser->cancel();
        event->ignore();
        QTimer::singleShot(0, this, &QWidget::close);
        return;
    }
    event->accept();
    if (m_closedByUser)
        emit closedByUser();
}

void WebPageWindow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    layOut();
}

void WebPageWindow::layOut()
{
    const int bar = scaledSize(37);
    m_toolBar->setGeometry(0, 0, width(), bar);
    m_navigation->setGeometry(0, 0, scaledSize(57), bar);
    m_rightMargin->setGeometry(width() - scaledSize(8), 0, scaledSize(8), bar);
    m_addressPanel->setGeometry(
        m_navigation->width(), 0, std::max(m_rightMargin->x() - m_navigation->width(), 0), bar);
    m_address->setGeometry(0, scaledSize(8), m_addressPanel->width(), scaledSize(21));
    // A capture has the page out of the layout until it is done.
    if (m_browser && !m_browser->isBusy())
        m_browser->widget()->setGeometry(0, bar, width(), std::max(height() - bar, 0));
}

bool WebPageWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        const auto key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_D && key->modifiers() == Qt::AltModifier) {
            if (isVisible()) {
                activateWindow();
                m_address->setFocus(Qt::ShortcutFocusReason);
                m_address->selectAll();
            }
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

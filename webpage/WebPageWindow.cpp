#include "IExplorer.h"

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

const QString TFrmIExplorer::UserAgent
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

TFrmIExplorer::TFrmIExplorer(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("FrmIExplorer"));
    setAttribute(Qt::WA_DeleteOnClose);
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(Scaled(11));
    setFont(font);
    resize(Scaled(695), Scaled(572));
    if (const QScreen* current = screen())
        move(current->availableGeometry().center() - rect().center());

    Panel1 = new QWidget(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel2 = new QWidget(Panel1);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    Panel3 = new QWidget(Panel1);
    Panel3->setObjectName(QStringLiteral("Panel3"));
    Panel4 = new QWidget(Panel1);
    Panel4->setObjectName(QStringLiteral("Panel4"));
    Edit1 = new QLineEdit(EmptyAddress, Panel3);
    Edit1->setObjectName(QStringLiteral("Edit1"));

    auto button = [this](const QString& name, QStyle::StandardPixmap glyph, int left) {
        auto item = new QToolButton(Panel2);
        item->setObjectName(name);
        item->setAutoRaise(true);
        item->setIcon(style()->standardIcon(glyph));
        item->setGeometry(Scaled(left), 0, Scaled(25), Scaled(37));
        item->setEnabled(false);
        return item;
    };
    BtnForward = button(QStringLiteral("BtnForward"), QStyle::SP_ArrowForward, 25);
    BtnBack = button(QStringLiteral("BtnBack"), QStyle::SP_ArrowBack, 0);

    connect(Edit1, &QLineEdit::returnPressed, this, &TFrmIExplorer::Edit1Enter);
    connect(BtnBack, &QToolButton::clicked, this, &TFrmIExplorer::BtnBackClick);
    connect(BtnForward, &QToolButton::clicked, this, &TFrmIExplorer::BtnForwardClick);
}

TFrmIExplorer::~TFrmIExplorer()
{
    // The browser goes first, while the handlers it calls still have their window.
    delete WB;
}

int TFrmIExplorer::Scaled(int value) const
{
    return scaled(this, value);
}

bool TFrmIExplorer::FormCreate(QString* error)
{
    TranslateComponent(this);
    const auto create = reinterpret_cast<CreateWebBrowserEntry>(
        ModuleEntry(QStringLiteral("webengine"), CreateWebBrowserName, error));
    if (!create)
        return false;
    WebBrowserEvents events;
    events.commandStateChange = [this](int command, bool enabled) { WBCommandStateChange(command, enabled); };
    events.documentComplete = [this] { WBDocumentComplete(); };
    events.titleChange = [this](const QString& title) { WBTitleChange(title); };
    const WebBrowserOptions options { UserAgent, programFolder(QStandardPaths::GenericDataLocation),
        programFolder(QStandardPaths::GenericCacheLocation) };
    WB = create(this, options, std::move(events));
    WB->widget()->setObjectName(QStringLiteral("WB"));
    FormResize();
    qApp->installEventFilter(this);
    WB->Navigate(Blank);
    return true;
}

void TFrmIExplorer::Edit1Enter()
{
    QString address = Edit1->text();
    auto blank = [](QChar c) { return c <= QLatin1Char(' '); };
    while (!address.isEmpty() && blank(address.front()))
        address.remove(0, 1);
    while (!address.isEmpty() && blank(address.back()))
        address.chop(1);
    // A script typed here would run in the shown site's name.
    if (!WB || address.startsWith(QLatin1String("javascript:"), Qt::CaseInsensitive))
        return;
    WB->Navigate(address);
}

void TFrmIExplorer::BtnBackClick()
{
    if (WB)
        WB->GoBack();
}

void TFrmIExplorer::BtnForwardClick()
{
    if (WB)
        WB->GoForward();
}

void TFrmIExplorer::WBCommandStateChange(int command, bool enabled)
{
    if (command == 1)
        BtnForward->setEnabled(enabled);
    else if (command == 2)
        BtnBack->setEnabled(enabled);
}

void TFrmIExplorer::WBDocumentComplete()
{
    const QString location = WB->LocationURL();
    Edit1->setText(location == Blank ? EmptyAddress : location);
}

void TFrmIExplorer::WBTitleChange(const QString& title)
{
    setWindowTitle(title == Blank ? TranslateText(ProductCaption) : title);
}

void TFrmIExplorer::closeEvent(QCloseEvent* event)
{
    if (event->spontaneous())
        m_closedByUser = true;
    if (WB && WB->Busy()) {
        // A capture draws the page: it stops first, and the window goes once the capture has unwound.
        WB->Cancel();
        event->ignore();
        QTimer::singleShot(0, this, &QWidget::close);
        return;
    }
    event->accept();
    if (m_closedByUser)
        emit ClosedByUser();
}

void TFrmIExplorer::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    FormResize();
}

void TFrmIExplorer::FormResize()
{
    const int bar = Scaled(37);
    Panel1->setGeometry(0, 0, width(), bar);
    Panel2->setGeometry(0, 0, Scaled(57), bar);
    Panel4->setGeometry(width() - Scaled(8), 0, Scaled(8), bar);
    Panel3->setGeometry(Panel2->width(), 0, std::max(Panel4->x() - Panel2->width(), 0), bar);
    Edit1->setGeometry(0, Scaled(8), Panel3->width(), Scaled(21));
    // A capture has the page out of the layout until it is done.
    if (WB && !WB->Busy())
        WB->widget()->setGeometry(0, bar, width(), std::max(height() - bar, 0));
}

bool TFrmIExplorer::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        const auto key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_D && key->modifiers() == Qt::AltModifier) {
            if (isVisible()) {
                activateWindow();
                Edit1->setFocus(Qt::ShortcutFocusReason);
                Edit1->selectAll();
            }
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

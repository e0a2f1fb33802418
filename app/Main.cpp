#include "Main.h"

#include "capture/Area.h"
#include "capture/HotKey.h"
#include "capture/Size.h"
#include "platform/InstanceChannel.h"
#include "platform/InstanceProtocol.h"
#include "platform/Platform.h"
#include "platform/SessionEnd.h"
#include "platform/WindowSystem.h"
#include "sharing/ImageBox.h"
#include "sharing/UploadJob.h"
#include "support/Q.AutoStart.h"
#include "support/Q.Translate.h"
#include "support/Q.TrayIcon.h"
#include "support/Q.Update.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QCursor>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QStackedWidget>
#include <QSystemTrayIcon>
#include <QTimer>

#include <cmath>

namespace {

const QStringList SourceCaptions = {
    QStringLiteral("전체화면 캡쳐"),
    QStringLiteral("영역화면 캡쳐"),
    QStringLiteral("드래그영역 캡쳐"),
    QStringLiteral("활성중인 화면 캡쳐"),
    QStringLiteral("윈도우 컨트롤 캡쳐"),
    QStringLiteral("웹페이지 캡쳐"),
    QStringLiteral("색상 추출"),
};

const QStringList TargetCaptions = {
    QStringLiteral("PNG"),
    QStringLiteral("JPG"),
    QStringLiteral("GIF"),
    QStringLiteral("BMP"),
    QStringLiteral("WebP"),
    QStringLiteral("MP4(동영상)"),
    QStringLiteral("TXT"),
    QStringLiteral("클립보드"),
    QStringLiteral("이미지창고"),
    QStringLiteral("프린터"),
    QStringLiteral("플러팅"),
};

const QStringList QualityCaptions = { QStringLiteral("100"), QStringLiteral("90"), QStringLiteral("80"),
    QStringLiteral("70"), QStringLiteral("60") };

} // namespace

TFrmLumetra::TFrmLumetra(Platform& platform, QStringList arguments, QWidget* parent)
    : QWidget(parent)
    , m_platform(platform)
    , m_targets(std::make_unique<TargetTable>(*this))
    , m_arguments(std::move(arguments))
{
    RtOcr = std::make_unique<TRtOcr>(m_platform.ocr());
    RtOcr->OnCompleted = [this](TRtOcr* sender, const TRtOcr::TResult& result, void* customData) {
        BitmapToTXTFileCompleted(sender, result, customData);
    };
    setObjectName(QStringLiteral("FrmLumetra"));
    // A fixed single border with only the close button.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setWindowTitle(ProductCaption);
    CreateComponents();
    m_releaseMemory = new QTimer(this);
    m_releaseMemory->setSingleShot(true);
    m_releaseMemory->setInterval(1000);
    connect(m_releaseMemory, &QTimer::timeout, this, &TFrmLumetra::ReleaseCaptureMemory);
    // Other copies and tools recognise the running copy's window by its class.
    m_platform.windows().setWindowClass(this, QLatin1String(InstanceProtocol::WindowClass));
}

TFrmLumetra::~TFrmLumetra()
{
    FormDestroy();
}

int TFrmLumetra::Scaled(int value) const
{
    const QScreen* current = screen() ? screen() : QGuiApplication::primaryScreen();
    const double dpi = current ? current->logicalDotsPerInch() : 96.0;
    // Halves go to the even neighbour, as the design tool's rounding does.
    return int(std::nearbyint(value * dpi / 96.0));
}

void TFrmLumetra::CreateComponents()
{
    setAutoFillBackground(true);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);
    QFont font = QApplication::font();
    font.setPixelSize(Scaled(12));
    setFont(font);
    setFixedSize(Scaled(162), Scaled(191));

    auto place = [this](QWidget* widget, int left, int top, int width = -1, int height = -1) {
        if (width < 0) {
            widget->adjustSize();
            widget->move(Scaled(left), Scaled(top));
        } else {
            widget->setGeometry(Scaled(left), Scaled(top), Scaled(width), Scaled(height));
        }
    };
    auto list = [](QWidget* parent, const QString& name, const QStringList& items) {
        auto combo = new QComboBox(parent);
        combo->setObjectName(name);
        combo->addItems(items);
        return combo;
    };

    LblArea = new QLabel(QStringLiteral("캡쳐영역"), this);
    LblArea->setObjectName(QStringLiteral("LblArea"));
    place(LblArea, 8, 8);
    // Room for the longest translation: the label is sized once, for the Korean text.
    LblArea->resize(Scaled(146), LblArea->height());
    ChkArea = list(this, QStringLiteral("ChkArea"), SourceCaptions);
    place(ChkArea, 9, 29, 145, 22);

    PnlMain = new QStackedWidget(this);
    PnlMain->setObjectName(QStringLiteral("PnlMain"));
    place(PnlMain, 8, 60, 145, 96);
    Card1 = new QWidget(PnlMain);
    Card1->setObjectName(QStringLiteral("Card1"));
    Card2 = new QWidget(PnlMain);
    Card2->setObjectName(QStringLiteral("Card2"));
    Card3 = new QWidget(PnlMain);
    Card3->setObjectName(QStringLiteral("Card3"));
    PnlMain->addWidget(Card1);
    PnlMain->addWidget(Card2);
    PnlMain->addWidget(Card3);

    LblSaveTo = new QLabel(QStringLiteral("저장형식"), Card1);
    LblSaveTo->setObjectName(QStringLiteral("LblSaveTo"));
    place(LblSaveTo, 0, 0);
    LblSaveTo->resize(Scaled(145), LblSaveTo->height());
    ChkSaveTo = list(Card1, QStringLiteral("ChkSaveTo"), TargetCaptions);
    place(ChkSaveTo, 0, 21, 145, 22);
    ChkJPEG_qual = list(Card1, QStringLiteral("ChkJPEG_qual"), QualityCaptions);
    place(ChkJPEG_qual, 88, 21, 57, 22);
    ChkJPEG_qual->hide();
    ChkWebP_qual = list(Card1, QStringLiteral("ChkWebP_qual"), QualityCaptions);
    place(ChkWebP_qual, 88, 21, 57, 22);
    ChkWebP_qual->hide();
    ChkOCR_lang = list(Card1, QStringLiteral("ChkOCR_lang"), {});
    place(ChkOCR_lang, 78, 21, 67, 22);
    ChkOCR_lang->hide();
    BtnOpenDir = new QPushButton(QStringLiteral("폴더열기"), Card1);
    BtnOpenDir->setObjectName(QStringLiteral("BtnOpenDir"));
    place(BtnOpenDir, 0, 63, 145, 33);

    CreateRecordingCard();

    LblCopyright = new QLabel(QStringLiteral("만든이 브렌홀트"), this);
    LblCopyright->setObjectName(QStringLiteral("LblCopyright"));
    LblCopyright->setAlignment(Qt::AlignCenter);
    LblCopyright->setCursor(Qt::PointingHandCursor);
    QPalette blue = LblCopyright->palette();
    blue.setColor(QPalette::WindowText, Qt::blue);
    LblCopyright->setPalette(blue);
    place(LblCopyright, 8, 168, 146, 17);

    CreateMenu();
    CreateColorCard();

    for (QWidget* watched : { static_cast<QWidget*>(LblArea), static_cast<QWidget*>(LblCopyright), Card1,
             static_cast<QWidget*>(LblSaveTo), Card2, static_cast<QWidget*>(LblColor), ShpColor, ShpRec,
             Panel1 })
        watched->installEventFilter(this);
    installEventFilter(this);

    connect(ChkArea, &QComboBox::activated, this, [this] { ChkAreaChange(); });
    connect(ChkSaveTo, &QComboBox::activated, this, [this] { ChkSaveToChange(); });
    connect(ChkJPEG_qual, &QComboBox::activated, this, [this] { ChkJPEG_qualChange(); });
    connect(ChkWebP_qual, &QComboBox::activated, this, [this] { ChkWebP_qualChange(); });
    connect(ChkOCR_lang, &QComboBox::activated, this, [this] { ChkOCR_langChange(); });
    connect(BtnOpenDir, &QPushButton::clicked, this, &TFrmLumetra::BtnOpenDirClick);

    if (const QScreen* primary = QGuiApplication::primaryScreen())
        move(primary->availableGeometry().center() - rect().center());
}

void TFrmLumetra::FormCreate()
{
    // Other processes find the running copy from the first moment, as they find a window the moment it
    // exists: a message shown during the start-up (a hotkey held by the desktop) must not shut them out.
    // Commands that arrive before the steps below have run are answered as far as the window can.
    AllowMessage(InstanceProtocol::WmCopyData);
    m_platform.channel().listen([this](const InstanceRequest& request) -> qint32 {
        if (request.message == InstanceProtocol::WmCopyData)
            return WMCopyData(request.param, request.text);
        if (request.message == InstanceProtocol::WmUser)
            return WMUser(request.param);
        return 0;
    });
    // 1. F1 does nothing: Qt Widgets has no help system to suppress.
    // 2. The capture options first.
    PnlMain->setCurrentWidget(Card1);
    // 3. The result does not matter here: the menu shows the real state.
    if (HasArgument(QStringLiteral("/inst")))
        SetAutoStart(QStringLiteral("Lumetra"), true);
    // 4.
    LoadConfig();
    // 5.
    CreateTrayIcon();
    // 6.
    FCapture = std::make_unique<TCapture>(m_platform.screen());
    FStatus = stIdle;
    FCanClose = false;
    // 7.
    if (HasArgument(QStringLiteral("/start")))
        HideToTray(this);
    // 9.
    CreateHotKeyWindow();
    FrmSize = new TFrmSize(this);
    FrmSize->FormCreate();
    // 10.
    ChkAreaChange();
    ChkSaveToChange();
    // 11. The channel listens since the start.
    // The session's end closes the program without a question, as a log-off does.
    m_platform.session().watch([this] { WMQueryEndSession(); });
}

QList<QWidget*> TFrmLumetra::secondaryWindows() const
{
    QList<QWidget*> windows;
    if (FrmHotKey)
        windows.append(FrmHotKey);
    if (FrmArea)
        windows.append(FrmArea);
    if (FrmSize)
        windows.append(FrmSize);
    return windows;
}

bool TFrmLumetra::HasArgument(const QString& argument) const
{
    // Only the first argument counts, compared exactly.
    return !m_arguments.isEmpty() && m_arguments.first() == argument;
}

void TFrmLumetra::closeEvent(QCloseEvent* event)
{
    if (FormCloseQuery()) {
        event->accept();
        emit closed();
    } else {
        event->ignore();
    }
}

void TFrmLumetra::showEvent(QShowEvent* event)
{
    m_everShown = true;
    QWidget::showEvent(event);
}

bool TFrmLumetra::FormCloseQuery()
{
    bool canClose = FCanClose;
    if (!FCanClose)
        HideToTray(this);
    if (canClose && IsRecording()) {
        ShowMessage(MessageIcon::Information, TranslateText(QStringLiteral("녹화중입니다.")));
        canClose = false;
    }
    return canClose;
}

void TFrmLumetra::FormDestroy()
{
    if (m_destroyed)
        return;
    m_destroyed = true;
    m_platform.channel().close();
    // The update check ends where it is, unheard.
    FUpdate.reset();
    // An upload under way is abandoned at once rather than awaited.
    FUpload.reset();
    FProgress.reset();
    // Freed now, not deferred: no event loop runs after the main window.
    FloatDelete(nullptr);
    m_floatsLeaving.clear();
    // A recognition still running ends here and writes nothing.
    RtOcr.reset();
    FreeWebPageWindow();
    FCapture.reset();
}

bool TFrmLumetra::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonRelease) {
        const auto mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::RightButton) {
            FormMouseUp();
            return true;
        }
        if (watched == LblCopyright && mouse->button() == Qt::LeftButton) {
            LblCopyrightClick();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TFrmLumetra::FormMouseUp()
{
    Menu->popup(QCursor::pos());
}

MessageResult TFrmLumetra::ShowMessage(MessageIcon icon, const QString& text, MessageButtons buttons)
{
    return m_platform.messages().show(this, icon, TranslateText(ProductCaption), text, buttons);
}

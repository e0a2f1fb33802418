#include "MainWindow.h"

#include "ColorPickerPage.h"
#include "OptionsCard.h"
#include "RecordingCard.h"
#include "support/Dpi.h"
#include "support/Q.Translate.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QMouseEvent>
#include <QScreen>
#include <QStackedWidget>

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

} // namespace

// The object names are those the translation table and earlier versions knew the components by.
MainWindow::MainWindow(ScreenSource& screen, std::function<void(const QString&)> copyText, QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("FrmLumetra"));
    // A fixed single border with only the close button.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setWindowTitle(ProductCaption);
    setAutoFillBackground(true);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);
    QFont font = QApplication::font();
    font.setPixelSize(scaled(this, 12));
    setFont(font);
    setFixedSize(scaled(this, 162), scaled(this, 191));

    auto sourceLabel = new QLabel(QStringLiteral("캡쳐영역"), this);
    sourceLabel->setObjectName(QStringLiteral("LblArea"));
    place(sourceLabel, 8, 8);
    // Room for the longest translation: the label is sized once, for the Korean text.
    sourceLabel->resize(scaled(this, 146), sourceLabel->height());
    m_sources = new QComboBox(this);
    m_sources->setObjectName(QStringLiteral("ChkArea"));
    m_sources->addItems(SourceCaptions);
    place(m_sources, 9, 29, 145, 22);

    m_pages = new QStackedWidget(this);
    m_pages->setObjectName(QStringLiteral("PnlMain"));
    place(m_pages, 8, 60, 145, 96);
    m_options = new OptionsCard(m_pages);
    m_colorPicker = new ColorPickerPage(screen, std::move(copyText), m_pages);
    m_recordingCard = new RecordingCard(m_pages);
    m_pages->addWidget(m_options);
    m_pages->addWidget(m_colorPicker);
    m_pages->addWidget(m_recordingCard);
    // The probe runs exactly while its page is the one shown, also with the window in the tray.
    connect(m_pages, &QStackedWidget::currentChanged, this,
        [this] { m_colorPicker->setProbing(m_pages->currentWidget() == m_colorPicker); });

    m_maker = new QLabel(QStringLiteral("만든이 브렌홀트"), this);
    m_maker->setObjectName(QStringLiteral("LblCopyright"));
    m_maker->setAlignment(Qt::AlignCenter);
    m_maker->setCursor(Qt::PointingHandCursor);
    QPalette blue = m_maker->palette();
    blue.setColor(QPalette::WindowText, Qt::blue);
    m_maker->setPalette(blue);
    place(m_maker, 8, 168, 146, 17);
    // Right-button releases that no child takes come up to the window, from the labels and cards too.
    installEventFilter(this);
    m_maker->installEventFilter(this);

    connect(m_sources, &QComboBox::activated, this, &MainWindow::sourceActivated);
    connect(m_options, &OptionsCard::targetActivated, this, &MainWindow::targetActivated);
    connect(m_options, &OptionsCard::jpegQualityActivated, this, &MainWindow::jpegQualityActivated);
    connect(m_options, &OptionsCard::webpQualityActivated, this, &MainWindow::webpQualityActivated);
    connect(m_options, &OptionsCard::recognitionLanguageActivated, this,
        &MainWindow::recognitionLanguageActivated);
    connect(m_options, &OptionsCard::openFolderClicked, this, &MainWindow::openFolderClicked);

    if (const QScreen* primary = QGuiApplication::primaryScreen())
        move(primary->availableGeometry().center() - rect().center());
}

void MainWindow::place(QWidget* widget, int left, int top, int width, int height) const
{
    if (width < 0) {
        widget->adjustSize();
        widget->move(scaled(this, left), scaled(this, top));
    } else {
        widget->setGeometry(scaled(this, left), scaled(this, top), scaled(this, width), scaled(this, height));
    }
}

int MainWindow::source() const
{
    return m_sources->currentIndex();
}

void MainWindow::setSource(int index)
{
    selectEntry(m_sources, index);
}

void MainWindow::setSourceEnabled(bool enabled)
{
    m_sources->setEnabled(enabled);
}

void MainWindow::showPage(Page page)
{
    m_pages->setCurrentIndex(int(page));
}

MainWindow::Page MainWindow::page() const
{
    return Page(m_pages->currentIndex());
}

void MainWindow::setRecordingTime(const QString& time)
{
    m_recordingCard->setTime(time);
}

void MainWindow::closeForGood()
{
    m_closing = true;
    close();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (!m_closing) {
        event->ignore();
        emit closeRequested();
        return;
    }
    m_closing = false;
    event->accept();
    emit closed();
}

void MainWindow::showEvent(QShowEvent* event)
{
    m_everShown = true;
    QWidget::showEvent(event);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonRelease) {
        const auto mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::RightButton) {
            emit contextMenuRequested();
            return true;
        }
        if (watched == m_maker && mouse->button() == Qt::LeftButton) {
            emit aboutClicked();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

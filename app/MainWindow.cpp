#include "MainWindow.h"

#include "ColorPickerPage.h"
#include "RecordingCard.h"
#include "support/Dpi.h"
#include "support/Q.Translate.h"
#include "targets/Targets.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
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

void select(QComboBox* list, int index)
{
    list->setCurrentIndex(index >= 0 && index < list->count() ? index : -1);
}

// The chosen quality; 90 when the list has no selection.
int qualityOf(const QComboBox* list)
{
    return list->currentIndex() < 0 ? 90 : list->currentText().toInt();
}

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
    m_sources = addList(this, QStringLiteral("ChkArea"), SourceCaptions);
    place(m_sources, 9, 29, 145, 22);

    m_pages = new QStackedWidget(this);
    m_pages->setObjectName(QStringLiteral("PnlMain"));
    place(m_pages, 8, 60, 145, 96);
    auto options = new QWidget(m_pages);
    options->setObjectName(QStringLiteral("Card1"));
    createOptionsCard(options);
    m_colorPicker = new ColorPickerPage(screen, std::move(copyText), m_pages);
    m_recordingCard = new RecordingCard(m_pages);
    m_pages->addWidget(options);
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
    connect(m_targets, &QComboBox::activated, this, &MainWindow::targetActivated);
    connect(m_jpegQuality, &QComboBox::activated, this, &MainWindow::jpegQualityActivated);
    connect(m_webpQuality, &QComboBox::activated, this, &MainWindow::webpQualityActivated);
    connect(m_recognitionLanguages, &QComboBox::activated, this, &MainWindow::recognitionLanguageActivated);

    if (const QScreen* primary = QGuiApplication::primaryScreen())
        move(primary->availableGeometry().center() - rect().center());
}

void MainWindow::createOptionsCard(QWidget* card)
{
    auto label = new QLabel(QStringLiteral("저장형식"), card);
    label->setObjectName(QStringLiteral("LblSaveTo"));
    place(label, 0, 0);
    label->resize(scaled(this, 145), label->height());
    m_targets = addList(card, QStringLiteral("ChkSaveTo"), TargetCaptions);
    place(m_targets, 0, 21, 145, 22);
    m_jpegQuality = addList(card, QStringLiteral("ChkJPEG_qual"), QualityCaptions);
    place(m_jpegQuality, 88, 21, 57, 22);
    m_webpQuality = addList(card, QStringLiteral("ChkWebP_qual"), QualityCaptions);
    place(m_webpQuality, 88, 21, 57, 22);
    m_recognitionLanguages = addList(card, QStringLiteral("ChkOCR_lang"), {});
    place(m_recognitionLanguages, 78, 21, 67, 22);
    for (QComboBox* beside : { m_jpegQuality, m_webpQuality, m_recognitionLanguages })
        beside->hide();
    auto openFolder = new QPushButton(QStringLiteral("폴더열기"), card);
    openFolder->setObjectName(QStringLiteral("BtnOpenDir"));
    place(openFolder, 0, 63, 145, 33);
    connect(openFolder, &QPushButton::clicked, this, &MainWindow::openFolderClicked);
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

QComboBox* MainWindow::addList(QWidget* parent, const QString& name, const QStringList& items) const
{
    auto list = new QComboBox(parent);
    list->setObjectName(name);
    list->addItems(items);
    return list;
}

int MainWindow::source() const
{
    return m_sources->currentIndex();
}

int MainWindow::target() const
{
    return m_targets->currentIndex();
}

int MainWindow::jpegQuality() const
{
    return qualityOf(m_jpegQuality);
}

int MainWindow::webpQuality() const
{
    return qualityOf(m_webpQuality);
}

int MainWindow::recognitionLanguage() const
{
    return m_recognitionLanguages->currentIndex();
}

void MainWindow::setSource(int index)
{
    select(m_sources, index);
}

void MainWindow::setTarget(int index)
{
    select(m_targets, index);
}

void MainWindow::setJpegQuality(int index)
{
    select(m_jpegQuality, index);
}

void MainWindow::setWebpQuality(int index)
{
    select(m_webpQuality, index);
}

void MainWindow::setRecognitionLanguages(const QStringList& names, int index)
{
    m_recognitionLanguages->clear();
    m_recognitionLanguages->addItems(names);
    select(m_recognitionLanguages, index);
}

void MainWindow::arrangeTargetOptions(int target)
{
    int width = 145;
    QComboBox* beside = nullptr;
    switch (target) {
    case stJPG:
        width = 82;
        beside = m_jpegQuality;
        break;
    case stWebP:
        width = 82;
        beside = m_webpQuality;
        break;
    case stTXT:
        width = 72;
        beside = m_recognitionLanguages;
        break;
    default:
        break;
    }
    m_targets->resize(scaled(this, width), m_targets->height());
    for (QComboBox* list : { m_jpegQuality, m_webpQuality, m_recognitionLanguages })
        list->setVisible(list == beside);
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

#include "Floating.h"

#include "platform/MessageBoxes.h"
#include "platform/Platform.h"
#include "platform/SaveDialog.h"
#include "platform/WindowSystem.h"
#include "save/Save.h"
#include "support/Exception.h"
#include "support/Q.Translate.h"

#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

namespace {

// The picture from the top-left corner, pixel for pixel; mouse presses go on to the window.
class FloatingImage final : public QWidget
{
public:
    FloatingImage(const QImage& picture, QWidget* parent) : QWidget(parent), m_picture(picture)
    {
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

protected:
    void paintEvent(QPaintEvent* event) override
    {
        QPainter painter(this);
        painter.fillRect(event->rect(), palette().button());
        painter.drawImage(event->rect().topLeft(), m_picture, event->rect());
    }

private:
    const QImage& m_picture;
};

// The save dialog's types, in the order the writers below take them.
const QList<FileType> SaveTypes = {
    { QStringLiteral("PNG"), { QStringLiteral("*.png") } },
    { QStringLiteral("JPG"), { QStringLiteral("*.jpg"), QStringLiteral("*.jpeg") } },
    { QStringLiteral("GIF"), { QStringLiteral("*.gif") } },
    { QStringLiteral("BMP"), { QStringLiteral("*.bmp") } },
    { QStringLiteral("WebP"), { QStringLiteral("*.webp") } },
};

} // namespace

TFrmFloating::TFrmFloating(FloatingHost& host, const QImage& bitmap) : m_host(host), m_bitmap(bitmap)
{
    setObjectName(QStringLiteral("FrmFloating"));
    // Independent of the main window, so that it stays when that one hides; no taskbar entry.
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setWindowTitle(ProductCaption);
    host.platform().windows().keepOffTaskbar(this);
    QFont font = this->font();
    font.setPixelSize(12);
    setFont(font);
    resize(311, 279);

    Image = new FloatingImage(m_bitmap, this);
    Image->setObjectName(QStringLiteral("Image"));
    Image->setContextMenuPolicy(Qt::CustomContextMenu);

    Popup = new QMenu(this);
    Popup->setObjectName(QStringLiteral("Popup"));
    BtnSave = Popup->addAction(QStringLiteral("이미지 저장"));
    BtnSave->setObjectName(QStringLiteral("BtnSave"));
    DivPop1 = Popup->addSeparator();
    DivPop1->setObjectName(QStringLiteral("DivPop1"));
    BtnDelete = Popup->addAction(QStringLiteral("플로팅 삭제"));
    BtnDelete->setObjectName(QStringLiteral("BtnDelete"));
    BtnDeleteAll = Popup->addAction(QStringLiteral("모든 플로팅 삭제"));
    BtnDeleteAll->setObjectName(QStringLiteral("BtnDeleteAll"));

    connect(Image, &QWidget::customContextMenuRequested, this,
        [this](const QPoint& at) { Popup->popup(Image->mapToGlobal(at)); });
    connect(BtnSave, &QAction::triggered, this, &TFrmFloating::BtnSaveClick);
    connect(BtnDelete, &QAction::triggered, this, &TFrmFloating::BtnDeleteClick);
    connect(BtnDeleteAll, &QAction::triggered, this, &TFrmFloating::BtnDeleteAllClick);
}

TFrmFloating::~TFrmFloating() = default;

void TFrmFloating::resizeEvent(QResizeEvent*)
{
    Image->setGeometry(rect());
}

void TFrmFloating::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    // The window manager moves the window with the pointer for as long as the button is held.
    if (windowHandle() && windowHandle()->startSystemMove())
        return;
    m_grip = event->globalPosition().toPoint() - pos();
}

void TFrmFloating::mouseMoveEvent(QMouseEvent* event)
{
    if (m_grip)
        move(event->globalPosition().toPoint() - *m_grip);
}

void TFrmFloating::mouseReleaseEvent(QMouseEvent*)
{
    m_grip.reset();
}

void TFrmFloating::BtnSaveClick()
{
    Platform& platform = m_host.platform();
    const auto choice = platform.saveDialog().chooseSaveFile(this, m_host.FloatSavePath(), SaveTypes);
    if (!choice)
        return;
    try {
        switch (choice->typeIndex) {
        case 1:
            SaveBitmapJPG(m_bitmap, choice->fileName, m_host.JpegQuality());
            break;
        case 2:
            SaveBitmapGIF(m_bitmap, choice->fileName);
            break;
        case 3:
            SaveBitmapBMP(m_bitmap, choice->fileName);
            break;
        case 4: {
            QImage converted = m_bitmap;
            SaveBitmapWebP(converted, choice->fileName, m_host.WebPQuality());
            break;
        }
        default:
            SaveBitmapPNG(m_bitmap, choice->fileName);
            break;
        }
    } catch (const Exception& error) {
        platform.messages().show(this, MessageIcon::Error, TranslateText(ProductCaption), error.message());
    } catch (const std::exception& error) {
        platform.messages().show(
            this, MessageIcon::Error, TranslateText(ProductCaption), QString::fromLocal8Bit(error.what()));
    }
}

void TFrmFloating::BtnDeleteClick()
{
    m_host.FloatDelete(this);
}

void TFrmFloating::BtnDeleteAllClick()
{
    m_host.FloatDelete(nullptr);
}

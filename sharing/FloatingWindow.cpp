#include "FloatingWindow.h"

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

FloatingWindow::FloatingWindow(FloatingHost& host, const QImage& bitmap) : m_host(host), m_bitmap(bitmap)
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

    m_image = new FloatingImage(m_bitmap, this);
    m_image->setObjectName(QStringLiteral("Image"));
    m_image->setContextMenuPolicy(Qt::CustomContextMenu);

    m_menu = new QMenu(this);
    m_menu->setObjectName(QStringLiteral("Popup"));
    m_save = m_menu->addAction(QStringLiteral("이미지 저장"));
    m_save->setObjectName(QStringLiteral("BtnSave"));
    m_separator = m_menu->addSeparator();
    m_separator->setObjectName(QStringLiteral("DivPop1"));
    m_delete = m_menu->addAction(QStringLiteral("플로팅 삭제"));
    m_delete->setObjectName(QStringLiteral("BtnDelete"));
    m_deleteAll = m_menu->addAction(QStringLiteral("모든 플로팅 삭제"));
    m_deleteAll->setObjectName(QStringLiteral("BtnDeleteAll"));

    connect(m_image, &QWidget::customContextMenuRequested, this,
        [this](const QPoint& at) { m_menu->popup(m_image->mapToGlobal(at)); });
    connect(m_save, &QAction::triggered, this, &FloatingWindow::onSaveTriggered);
    connect(m_delete, &QAction::triggered, this, [this] { m_host.deleteFloating(this); });
    connect(m_deleteAll, &QAction::triggered, this, [this] { m_host.deleteFloating(nullptr); });
}

FloatingWindow::~FloatingWindow() = default;

void FloatingWindow::resizeEvent(QResizeEvent*)
{
    m_image->setGeometry(rect());
}

void FloatingWindow::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    // The window manager moves the window with the pointer for as long as the button is held.
    if (windowHandle() && windowHandle()->startSystemMove())
        return;
    m_grip = event->globalPosition().toPoint() - pos();
}

void FloatingWindow::mouseMoveEvent(QMouseEvent* event)
{
    if (m_grip)
        move(event->globalPosition().toPoint() - *m_grip);
}

void FloatingWindow::mouseReleaseEvent(QMouseEvent*)
{
    m_grip.reset();
}

void FloatingWindow::onSaveTriggered()
{
    Platform& platform = m_host.platform();
    const auto choice = platform.saveDialog().chooseSaveFile(this, m_host.saveFolder(), SaveTypes);
    if (!choice)
        return;
    try {
        switch (choice->typeIndex) {
        case 1:
            SaveBitmapJPG(m_bitmap, choice->fileName, m_host.jpegQuality());
            break;
        case 2:
            SaveBitmapGIF(m_bitmap, choice->fileName);
            break;
        case 3:
            SaveBitmapBMP(m_bitmap, choice->fileName);
            break;
        case 4: {
            QImage converted = m_bitmap;
            SaveBitmapWebP(converted, choice->fileName, m_host.webpQuality());
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

// Shows the benchmark screen over the whole X screen, above everything, until it is killed.

#include "MixedScreen.h"

#include <QApplication>
#include <QPainter>
#include <QScreen>
#include <QWidget>

namespace {

class Picture : public QWidget
{
public:
    explicit Picture(QImage image) : m_image(std::move(image))
    {
        setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint);
        setAttribute(Qt::WA_OpaquePaintEvent);
        setGeometry(QRect(QPoint(0, 0), m_image.size()));
    }

protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).drawImage(0, 0, m_image); }

private:
    QImage m_image;
};

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
    QApplication application(argc, argv);
    Picture picture(mixedScreen(QGuiApplication::primaryScreen()->geometry().size()));
    picture.show();
    return application.exec();
}

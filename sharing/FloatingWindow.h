#pragma once

#include <QImage>
#include <QPoint>
#include <QWidget>

#include <optional>

class Platform;
class QAction;
class QMenu;
class FloatingWindow;

// What a floating window needs of the window that opened it and keeps it.
class FloatingHost
{
public:
    // The folder the save dialog starts in.
    virtual QString saveFolder() const = 0;
    virtual int jpegQuality() const = 0;
    virtual int webpQuality() const = 0;
    virtual Platform& platform() const = 0;
    // Closes and frees `window`, or every floating window when null. Safe from the window's own menu: the
    // windows disappear at once and are freed once the menu has returned.
    virtual void deleteFloating(FloatingWindow* window) = 0;

protected:
    ~FloatingHost() = default;
};

// A capture pinned on the desktop: a borderless window above the others that shows the picture unscaled,
// follows a drag with the left button, and offers saving and deleting in its context menu. Its texts are
// Korean in every language. Closing it (Alt+F4) only hides it.
class FloatingWindow final : public QWidget
{
    Q_OBJECT

public:
    // Keeps its own copy of the bitmap.
    FloatingWindow(FloatingHost& host, const QImage& bitmap);
    ~FloatingWindow() override;

    const QImage& bitmap() const { return m_bitmap; }

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // Asks for a file and writes the picture in the chosen type, whatever the name's extension; a failed
    // write is told the user.
    void onSaveTriggered();

    FloatingHost& m_host;
    const QImage m_bitmap;
    // Where the pointer holds the window, while it is moved without the window manager's help.
    std::optional<QPoint> m_grip;
    // Components, in their order.
    QWidget* m_image = nullptr;
    QMenu* m_menu = nullptr;
    QAction* m_save = nullptr;
    QAction* m_separator = nullptr;
    QAction* m_delete = nullptr;
    QAction* m_deleteAll = nullptr;
};

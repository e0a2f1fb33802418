#pragma once

#include <QImage>
#include <QPoint>
#include <QWidget>

#include <optional>

class Platform;
class QAction;
class QMenu;
class TFrmFloating;

// What a floating window needs of the window that opened it and keeps it.
class FloatingHost
{
public:
    // The folder the save dialog starts in.
    virtual QString FloatSavePath() const = 0;
    virtual int JpegQuality() const = 0;
    virtual int WebPQuality() const = 0;
    virtual Platform& platform() const = 0;
    // Closes and frees `form`, or every floating window when null. Safe from the window's own menu: the
    // windows disappear at once and are freed once the menu has returned.
    virtual void FloatDelete(TFrmFloating* form) = 0;

protected:
    ~FloatingHost() = default;
};

// A capture pinned on the desktop: a borderless window above the others that shows the picture unscaled,
// follows a drag with the left button, and offers saving and deleting in its context menu. Its texts are
// Korean in every language. Closing it (Alt+F4) only hides it.
class TFrmFloating final : public QWidget
{
    Q_OBJECT

public:
    // Keeps its own copy of the bitmap.
    TFrmFloating(FloatingHost& host, const QImage& bitmap);
    ~TFrmFloating() override;

    const QImage& Bitmap() const { return m_bitmap; }

    // Components, in their order.
    QWidget* Image = nullptr;
    QMenu* Popup = nullptr;
    QAction* BtnSave = nullptr;
    QAction* DivPop1 = nullptr;
    QAction* BtnDelete = nullptr;
    QAction* BtnDeleteAll = nullptr;

    // Asks for a file and writes the picture in the chosen type, whatever the name's extension; a failed
    // write is told the user.
    void BtnSaveClick();
    void BtnDeleteClick();
    void BtnDeleteAllClick();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    FloatingHost& m_host;
    const QImage m_bitmap;
    // Where the pointer holds the window, while it is moved without the window manager's help.
    std::optional<QPoint> m_grip;
};

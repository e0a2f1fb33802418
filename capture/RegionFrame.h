#pragma once

#include "RecordingControl.h"

#include <QColor>
#include <QPointer>
#include <QRect>
#include <QWidget>

class QAction;
class QLabel;
class QMenu;
class QTimer;
class ScreenSource;
class RegionSizeDialog;

// The region frame: a hollow, always-on-top window with a pulsing border and a header bar. Its hole is
// cut out of the window's shape, so the desktop shows through and takes the mouse; what lies in the hole
// is what a region capture or recording takes. Closing only hides it.
class RegionFrame : public QWidget
{
    Q_OBJECT
public:
    // Border width on every side; not scaled with the DPI.
    static constexpr int Border = 6;
    // What the border answers to the mouse: nothing special, a move, or a resize from one side or corner.
    enum class Hit { Default, Caption, Left, Right, Top, Bottom, TopLeft, TopRight, BottomLeft, BottomRight };

    // Owned by `owner` but a window of its own. `sizes`, when there is one, holds the current size and the
    // presets.
    RegionFrame(QWidget* owner, ScreenSource& screen, RegionSizeDialog* sizes, RecordingControl& recording);
    ~RegionFrame() override;

    // Translation, the stored placement and the first layout; run once after construction.
    void FormCreate();

    // The inner rectangle in root coordinates.
    QRect GetRect() const;
    // Sizes the frame so that its hole is AWidth x AHeight; SizeNo 1 to 3 also renames that preset item.
    void SetSize(int AWidth, int AHeight, int SizeNo);
    void SetMove(int ALeft, int ATop);
    // The height of the header bar, Hh.
    int HeaderHeight() const;
    // The header's recording label: "[REC] " and the time, bold yellow while recording, plain maroon after.
    void ShowRecTime(const QString& time, bool recording);

    // The border's answer at client point `p` of a window of `size`; while recording it stays Default.
    static Hit HitTest(QPoint p, QSize size, int headerHeight, bool recording);
    // Each channel loses `percent` of itself, rounded to nearest.
    static QColor DarkenColor(QColor color, int percent);

    // Handlers, public so that tests can drive them.
    void TmrColorTimer();
    void FormResize();
    void BtnCloseClick();

    // Pulse state.
    QColor AreaColor = QColor(255, 0, 0);
    quint8 AreaColor_Percent = 0;
    bool AreaColor_Inc = true;

    // Components.
    QLabel* BtnClose = nullptr;
    QWidget* PnlHead = nullptr;
    QWidget* PnlClose = nullptr;
    QWidget* PnlSize = nullptr;
    QWidget* PnlRec = nullptr;
    QLabel* LvlRecTime = nullptr;
    QLabel* LblSize = nullptr;
    QMenu* PopSize = nullptr;
    QAction* PopSize_1 = nullptr;
    QAction* PopSize_2 = nullptr;
    QAction* PopSize_3 = nullptr;
    QAction* N1 = nullptr;
    QAction* PopConfig = nullptr;
    QAction* PopClose = nullptr;
    QTimer* TmrColor = nullptr;
    QWidget* ShpBack = nullptr;

signals:
    // The close button was clicked: the frame is no longer the source. Sent before the frame closes.
    void ClosedByUser();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void CreateComponents();
    void LoadPlacement();
    void SavePlacement();
    // Starts a window-manager move from the header.
    void FormMove(QPoint globalPos);
    // Hands the move or resize to the window manager; follows the mouse itself where it cannot.
    void StartSystemDrag(Hit hit, QPoint globalPos);
    void FollowDrag(QPoint globalPos);
    // A new window size, never below the smallest hole of 2 x 2.
    void ResizeFrame(int width, int height);
    void PresetClick(int SizeNo);
    int Scaled(int value) const;

    ScreenSource& m_screen;
    // The dialog lives as long as the owner does, but may go first when the owner is destroyed.
    QPointer<RegionSizeDialog> m_sizes;
    RecordingControl& m_recording;
    // Moves made with the mouse are saved once they settle; keyboard moves are not saved by themselves.
    bool m_mouseMoving = false;
    QTimer* m_saveLater = nullptr;
    // The manual move or resize when the window manager does not take it.
    Hit m_dragHit = Hit::Default;
    QPoint m_dragStart;
    QRect m_dragGeometry;
};

#pragma once
#include "Colors.h"
#include "DFClasses.h"
#include "Events.h"

#include <QFlags>
#include <QRect>
#include <vector>

class ToxScrollPane;

enum ToxsStyle { oxsAuto, oxsWin31, oxsWin95, oxsInset, oxsGroove, oxsWin97, oxsRaised };
enum ToxsOrientation { oxsVert, oxsHorz, oxsLeft, oxsTop, oxsRight, oxsBottom };
enum ToxsOption { oxsHideInvisible = 0x1, oxsSaveAsPercent = 0x2, oxsVer1Compat = 0x4 };
Q_DECLARE_FLAGS(ToxsOptions, ToxsOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(ToxsOptions)

enum TBorderStyle { bsNone, bsSingle };

// A container of up to four scrollable panes separated by bars that the user drags. The bar
// positions are kept both in pixels and in per cent of the length the bars can travel.
class ToxSplit : public TDFGraphicControl {
    Q_OBJECT
public:
    explicit ToxSplit(QWidget *parent = nullptr);
    ~ToxSplit() override;

    bool AutoUpdate() const { return m_autoUpdate; }
    void SetAutoUpdate(bool value) { m_autoUpdate = value; }
    int BarWidth() const { return m_barWidth; }
    void SetBarWidth(int value);
    TBorderStyle BorderStyle() const { return m_borderStyle; }
    void SetBorderStyle(TBorderStyle value);
    bool SyncScroll() const { return m_syncScroll; }
    void SetSyncScroll(bool value);
    ToxsStyle Style() const { return m_style; }
    void SetStyle(ToxsStyle value);
    bool Locked() const { return m_locked; }
    void SetLocked(bool value);
    int PositionX() const { return m_positionX; }
    void SetPositionX(int value);
    int PositionY() const { return m_positionY; }
    void SetPositionY(int value);
    int PercentX() const { return m_percentX; }
    void SetPercentX(int value);
    int PercentY() const { return m_percentY; }
    void SetPercentY(int value);
    ToxsOrientation Orientation() const { return m_orientation; }
    void SetOrientation(ToxsOrientation value);
    ToxsOptions Options() const { return m_options; }
    void SetOptions(ToxsOptions value);
    TColor Color() const { return m_color; }
    void SetColor(TColor value);
    bool Ctl3D() const { return m_ctl3D; }
    void SetCtl3D(bool value);

    // The panes in list order, hidden ones included.
    const std::vector<ToxScrollPane *> &Panes() const { return m_panes; }
    ToxsStyle effectiveStyle() const;
    int borderInset() const;
    int maxX() const;
    int maxY() const;

    TNotifyEvent OnChange;
    TNotifyEvent OnResize;

protected:
    void renderPicture(QImage &picture) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void childEvent(QChildEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    friend class ToxScrollPane;
    enum DragAxis { dragNone = 0, dragX = 1, dragY = 2, dragBoth = 3 };

    void addPane(ToxScrollPane *pane);
    void movePane(ToxScrollPane *pane, int index);
    void connectScrolling(ToxScrollPane *pane);
    void syncScrollFrom(ToxScrollPane *source, Qt::Orientation orientation, int value);
    void setPositions(int x, int y);
    std::vector<ToxScrollPane *> layoutPanes() const;
    void layOut();
    void changed();
    void positionsFromPercents();
    void percentsFromPositions();
    void followLengthChange();
    void fireResize();
    QRect verticalBar() const;
    QRect horizontalBar() const;
    int barsAt(const QPoint &point) const;
    void updateCursor(const QPoint &point);
    void setHotBar(bool hot);
    QPoint clampedDragPoint(const QPoint &point) const;
    void showTrackingLine(const QPoint &point);
    void hideTrackingLine();
    void paintTrackingLine();
    void paintPaneFrame(QPainter &painter, const QRect &pane) const;
    void relayOut();

    bool m_autoUpdate = false;
    int m_barWidth = 6;
    TBorderStyle m_borderStyle = bsSingle;
    bool m_syncScroll = false;
    ToxsStyle m_style = oxsAuto;
    bool m_locked = false;
    int m_positionX = 0;
    int m_positionY = 0;
    int m_percentX = 50;
    int m_percentY = 50;
    ToxsOrientation m_orientation = oxsVert;
    ToxsOptions m_options;
    TColor m_color = colorBtnFace;
    bool m_ctl3D = true;

    std::vector<ToxScrollPane *> m_panes;
    bool m_inResize = false;
    bool m_syncing = false;
    bool m_hotBar = false;
    int m_dragAxes = dragNone;
    QPoint m_grab;
    QPoint m_trackPoint;
    QWidget *m_tracker;
};

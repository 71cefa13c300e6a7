#pragma once
#include "Colors.h"
#include "DFClasses.h"
#include "DockTypes.h"
#include "Events.h"
#include "TDockAlignedControls.h"
#include "TDockBarLook.h"
#include "TDockSite.h"

#include <QFont>
#include <memory>
#include <vector>

class TDockForm;
class TDockTracker;
class ToxDockBack;
struct TDockItem;

// A tool bar that lines up its controls by itself, sizes itself to them and paints a gradient or
// picture behind them. It docks along an edge of the widget it was placed in (its site) or floats
// in a small window of its own, and the user drags it between those places unless it is locked.
//
// In a site with a box layout the bar keeps its slot in that layout and only fixes its height
// (top, bottom) or width (sides); in a site without a layout it places itself along the edge.
class ToxDockBar : public TDFGraphicControl {
    Q_OBJECT
public:
    explicit ToxDockBar(QWidget *parent = nullptr);
    ~ToxDockBar() override;

    // Shown only as the floating window's title.
    QString Caption() const { return m_caption; }
    void SetCaption(const QString &value);
    TColor Color() const { return m_look.color(); }
    void SetColor(TColor value) { m_look.setColor(value); }
    int BorderWidth() const { return m_borderWidth; }
    void SetBorderWidth(int value);
    TDockAlign Dock() const { return m_dock; }
    void SetDock(TDockAlign value);
    int DockHeight() const { return m_dockHeight; }
    void SetDockHeight(int value);
    int DockWidth() const { return m_dockWidth; }
    void SetDockWidth(int value);
    // The floating window's bounds.
    int FloatLeft() const { return m_floatRect.left(); }
    void SetFloatLeft(int value);
    int FloatTop() const { return m_floatRect.top(); }
    void SetFloatTop(int value);
    int FloatWidth() const { return m_floatRect.width(); }
    void SetFloatWidth(int value);
    int FloatHeight() const { return m_floatRect.height(); }
    void SetFloatHeight(int value);
    ToxDockOptions Options() const { return m_options; }
    void SetOptions(ToxDockOptions value);
    TDockBarStyle Style() const { return m_look.style(); }
    void SetStyle(TDockBarStyle value) { m_look.setStyle(value); }
    QFont TitleFont() const { return m_titleFont; }
    void SetTitleFont(const QFont &value);
    quint16 SpacesSize() const { return m_spacesSize; }
    void SetSpacesSize(quint16 value);
    int GapSize() const { return m_gapSize; }
    void SetGapSize(int value);
    ToxDockBack *Background() const { return m_look.background(); }
    void SetBackground(const ToxDockBack &value);

    TNotifyEvent OnDocked;
    TNotifyEvent OnShow;
    TNotifyEvent OnHide;
    TNotifyEvent OnPaint;
    TNotifyEvent OnResize;

    // Keeps control to one side of the bar, outside the line-up, across the whole height (top,
    // bottom: width) that is left. Controls of one side stand in the order they were made, left
    // to right or top to bottom: the last made of the right side is at the right edge.
    TControlAlign controlAlign(QWidget *control) const;
    void setControlAlign(QWidget *control, TControlAlign align);
    // Reads the position file (with opAutoSave). Runs by itself after the first show; a form
    // calls it once its design is complete. The file is written back when the bar is destroyed.
    void Loaded();
    // Places the controls and sizes the bar now instead of on the next turn of the event loop.
    void realign();
    // The position file: the program's name with ".ini", in the user's configuration folder.
    void setIniFileName(const QString &value) { m_iniFileName = value; }
    // The widget the bar docks in.
    QWidget *site() const { return m_site.widget(); }
    TDockForm *dockForm() const { return m_dockForm; }
    bool dragging() const;
    // A drag's outline in screen coordinates; empty while none shows.
    QRect dragOutline() const;

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void renderPicture(QImage &picture) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    friend class TDockForm;
    friend class TDockTracker;

    template <typename T> void setAndRealign(T &field, T value)
    {
        if (field == value)
            return;
        field = value;
        realign();
    }
    void setFloatRect(const QRect &rect);
    void childAdded(QObject *child);
    void adoptSite();
    void requestRealign();
    std::vector<TDockItem> lineUpItems() const;
    void lineUp(const QRect &area);
    QSize measure(TDockAlign dock, const QRect &area) const;
    bool fitSize();
    int edgeExtent(TDockAlign edge) const;
    void applyEdgeExtent(int extent);
    QSize floatSizeFor(int windowWidth) const;
    QSize floatingSize() const;
    void floatOut();
    void dockAt(TDockAlign edge);
    void floatAt(const QPoint &topLeft);
    void floatBoundsChanged(const QRect &bounds) { m_floatRect = bounds; }
    void dblClickDock();
    void readPosition();
    void writePosition() const;

    QString m_caption;
    int m_borderWidth = 4;
    TDockAlign m_dock = dkTop;
    int m_dockHeight = 0;
    int m_dockWidth = 0;
    QRect m_floatRect{0, 0, 0, 0};
    ToxDockOptions m_options = opAllowFloat | opAllowSideDock | opAllowTopBtmDock | opAutoAlign | opAutoSize |
                               opCaption | opCloseBox | opSizeable | opDblClkDock;
    QFont m_titleFont;
    quint16 m_spacesSize = 10;
    int m_gapSize = 0;
    TDockBarLook m_look;

    TDockAlignedControls m_aligned;
    TDockSite m_site;
    TDockForm *m_dockForm = nullptr;
    std::unique_ptr<TDockTracker> m_tracker;
    TDockAlign m_lastEdge = dkTop;
    TDockAlign m_lastLineUpDock = dkTop;
    QString m_iniFileName;
    bool m_loaded = false;
    bool m_aligning = false;
};

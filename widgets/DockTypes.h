#pragma once
#include <QFlags>
#include <QWidget>

// Where a dock bar is: floating in a window of its own or along one edge of its site.
enum TDockAlign { dkFloat, dkTop, dkBottom, dkLeft, dkRight };
enum TDockBarStyle { oxdAuto, oxdWin31, oxdWin95, oxdWin97 };

enum ToxDockOption {
    opAllowFloat = 0x1,
    opAllowSideDock = 0x2,
    opAllowTopBtmDock = 0x4,
    opAutoHide = 0x8,
    opAutoSave = 0x10,
    opAutoAlign = 0x20,
    opAutoSize = 0x40,
    opCaption = 0x80,
    opCloseBox = 0x100,
    opLock = 0x200,
    opSizeable = 0x400,
    opDblClkDock = 0x800
};
Q_DECLARE_FLAGS(ToxDockOptions, ToxDockOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(ToxDockOptions)

// A control of a dock bar that keeps to one side of the bar instead of joining the line-up.
enum TControlAlign { caNone, caTop, caBottom, caLeft, caRight };

inline bool isSideDock(TDockAlign dock)
{
    return dock == dkLeft || dock == dkRight;
}

// Hidden on purpose, as opposed to not shown yet because its parent is not.
inline bool explicitlyHidden(const QWidget *widget)
{
    return widget->isHidden() && widget->testAttribute(Qt::WA_WState_ExplicitShowHide);
}

#pragma once
#include <QImage>
#include <QString>

// The 10 x 10 pictures of the caption buttons, by their resource names ("RollUpButton",
// "RollDownButton", "OnTopButtonU", "OnTopButtonD", "StartButton") and, for the window's own
// buttons that the frameless caption bar has to draw as well, "CloseBox", "MaximizeBox",
// "RestoreBox" and "MinimizeBox". Transparent where the button face shows through.
class TCaptionGlyphs {
public:
    static constexpr int Size = 10;

    // A null image for a name that is not one of the above.
    static QImage picture(const QString &name);
};

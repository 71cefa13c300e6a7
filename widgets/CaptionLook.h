#pragma once
#include "CaptionTitle.h"
#include "Colors.h"

#include <QImage>
#include <QRect>
#include <functional>

class QObject;
class QPainter;
class TBandGradient;

// How a caption bar looks while its window is active, and while it is not, and the painting of
// that look: the caption's gradient from a start colour to the desktop's caption colour (or that
// colour alone), the title in the start colour's complement, the 3D effects of the title, the
// caption's frame and the window's border. The caption's pictures are kept until something on
// them changes.
class TCaptionLook {
public:
    struct Settings {
        TColor start = colorBlack;
        bool gradient = true;
        T3DEffect caption = ox3Normal;
        T3DEffect text = ox3Normal;
        T3DEffect border = ox3Normal;
    };

    explicit TCaptionLook(QObject *owner);

    const Settings &settings(bool active) const { return m_settings[active]; }
    template <typename T> void set(bool active, T Settings::*setting, T value)
    {
        T &stored = m_settings[active].*setting;
        if (stored == value)
            return;
        stored = value;
        changed();
    }
    // Named colours are resolved here so that a palette change rebuilds the gradients' tables.
    void resolveColours();
    // Something on the caption changed: its pictures are made anew.
    void invalidate();

    // The border of the bar, frame pixels wide.
    void paintBorder(QPainter &painter, QRect bar, int frame, bool active) const;
    // The caption's picture for rect: its background, then what paintContent draws on it.
    const QImage &captionPicture(bool active, const QRect &rect, const std::function<void(QPainter &)> &paintContent);
    void paintCaptionFrame(QPainter &painter, const QRect &caption, bool active) const;
    // The caption's colour where no gradient runs.
    static QColor plainColour(bool active);
    QColor titleColour(bool active) const;

    // A setting changed.
    std::function<void()> OnChange;

private:
    void changed();

    Settings m_settings[2];
    TBandGradient *m_gradients[2];
    QImage m_pictures[2];
    QRect m_pictureRects[2];
};

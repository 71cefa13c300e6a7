#pragma once
#include "Colors.h"

#include <QImage>
#include <QObject>

enum ToxBackStyle { oxbSolid, oxbClear, oxbPictureClip, oxbPictureStretch, oxbPicturePattern, oxbGradient };

// What a graphic button paints behind its caption. A gradient runs from Gradient to the button's
// colour; DitherDown lays a dither over a latched button.
class ToxBackground : public QObject {
    Q_OBJECT
public:
    explicit ToxBackground(QObject *owner = nullptr);

    bool DitherDown() const { return m_ditherDown; }
    void SetDitherDown(bool value);
    ToxBackStyle Style() const { return m_style; }
    void SetStyle(ToxBackStyle value);
    const QImage &Picture() const { return m_picture; }
    void SetPicture(const QImage &value);
    TColor Gradient() const { return m_gradient; }
    void SetGradient(TColor value);

    void Assign(const ToxBackground &source);

signals:
    void changed();

private:
    template <typename T> void assignField(T &field, const T &value)
    {
        if (field == value)
            return;
        field = value;
        emit changed();
    }

    bool m_ditherDown = true;
    ToxBackStyle m_style = oxbSolid;
    QImage m_picture;
    TColor m_gradient = colorWhite;
};

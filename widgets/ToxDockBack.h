#pragma once
#include "Colors.h"

#include <QImage>
#include <QObject>

enum ToxDockBackStyle { oxdSolid, oxdPictureClip, oxdPictureStretch, oxdPicturePattern, oxdGradient, oxdVertGradient };

// What a dock bar paints behind its controls. A gradient runs from Gradient to the bar's colour.
class ToxDockBack : public QObject {
    Q_OBJECT
public:
    explicit ToxDockBack(QObject *owner = nullptr);

    ToxDockBackStyle Style() const { return m_style; }
    void SetStyle(ToxDockBackStyle value);
    const QImage &Picture() const { return m_picture; }
    void SetPicture(const QImage &value);
    TColor Gradient() const { return m_gradient; }
    void SetGradient(TColor value);

    void Assign(const ToxDockBack &source);

signals:
    void changed();

private:
    ToxDockBackStyle m_style = oxdSolid;
    QImage m_picture;
    TColor m_gradient = colorWhite;
};

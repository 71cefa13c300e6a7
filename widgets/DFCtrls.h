#pragma once
#include "DFControl.h"

enum TDrawStyle { dsNone, dsClient, dsCentered };
enum TColorOption { coNone, coTransparent, coSmoothed };

// A picture over a background inside a bevel. The picture can leave out its transparent colour
// (the colour of its bottom-left pixel) and soften its outline against the background.
class TBCBitmap : public TDFControl {
    Q_OBJECT
public:
    explicit TBCBitmap(QWidget *parent = nullptr);

    const QImage &Picture() const { return m_picture; }
    void SetPicture(const QImage &value);
    TDrawStyle DrawStyle() const { return m_drawStyle; }
    void SetDrawStyle(TDrawStyle value);
    TColorOption ColorOption() const { return m_colorOption; }
    void SetColorOption(TColorOption value);
    bool InvertImageOnMouseDown() const { return m_invertImageOnMouseDown; }
    void SetInvertImageOnMouseDown(bool value);
    bool AutoSize() const { return m_autoSize; }
    void SetAutoSize(bool value);

    // Where the picture goes inside rect, the area within the bevel.
    QRect placement(const QRect &rect) const;

protected:
    void renderPicture(QImage &target) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    template <typename T> void assignField(T &field, const T &value);
    void applyAutoSize();
    QImage shownPicture() const;
    void setPressed(bool pressed);

    QImage m_picture;
    TDrawStyle m_drawStyle = dsNone;
    TColorOption m_colorOption = coNone;
    bool m_invertImageOnMouseDown = false;
    bool m_autoSize = false;
    bool m_pressed = false;
};

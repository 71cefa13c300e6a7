#pragma once
#include "DFClasses.h"

class TBackgndObj;

enum TAlign { alNone, alClient };

// A control that only fills its area from a background description; with alClient it covers its
// parent and stays beneath its siblings, as a page background.
class TBackground : public TDFGraphicControl {
    Q_OBJECT
public:
    explicit TBackground(QWidget *parent = nullptr);

    TBackgndObj *BackObj() const { return m_backObj; }
    void SetBackObj(const TBackgndObj &value);
    TAlign Align() const { return m_align; }
    void SetAlign(TAlign value);

protected:
    void renderPicture(QImage &picture) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void fillParent();

    TBackgndObj *m_backObj;
    TAlign m_align = alNone;
};

#pragma once
#include <QWidget>
#include <vector>

class QLabel;

// Sunken text panels side by side at their own widths, each as high as the strip. Where the strip
// is narrower than the panels together, its right edge cuts the last ones; none is laid over
// another.
class StatusPanels : public QWidget {
    Q_OBJECT
public:
    StatusPanels(const std::vector<int> &widths, QWidget *parent = nullptr);

    QLabel *panel(int index) const { return m_panels.at(std::size_t(index)); }

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    std::vector<QLabel *> m_panels;
};

#pragma once
#include <QHash>
#include <QIcon>
#include <QListWidget>

// The icon list of found machines, with an index from address to item so that recording an
// answer never scans the captions. All three styles are flowing lists of cells of one size (large
// icons draw their picture above the caption), which keeps the layout of a long list cheap: the
// size that the widest caption shown so far needs.
class MachineListView : public QListWidget {
    Q_OBJECT
public:
    enum class ViewStyle { LargeIcons, SmallIcons, List };

    explicit MachineListView(QWidget *parent = nullptr);

    QListWidgetItem *itemOf(const QString &address) const { return m_itemOf.value(address); }
    QListWidgetItem *addMachine(const QString &address, const QString &caption);
    void removeMachine(QListWidgetItem *item);
    void clearMachines();
    // The focus mark moves to item; the selection stays as the user left it, and so does the view
    // once the user has scrolled it or selected in it.
    void markFocused(QListWidgetItem *item);
    QListWidgetItem *selectedMachine() const;

    // The caption that sets the size of every cell.
    QString widestCaption() const { return m_widestCaption; }

    ViewStyle viewStyle() const { return m_viewStyle; }
    void setViewStyle(ViewStyle style);

protected:
    void initViewItemOption(QStyleOptionViewItem *option) const override;

private:
    void captionShown(const QString &caption);

    QHash<QString, QListWidgetItem *> m_itemOf;
    QIcon m_icon;
    QString m_widestCaption;
    int m_widestWidth = 0;
    bool m_scrolledByUser = false;
    ViewStyle m_viewStyle = ViewStyle::List;
};

#pragma once
#include "AHMComponent.h"

#include <QStringList>

// Keeps lines of text in a window's design, such as the credits texts.
class TAHMStringHolder : public TAHMComponent {
    Q_OBJECT
public:
    explicit TAHMStringHolder(QObject *owner = nullptr);

    const QStringList &Items() const { return m_items; }
    void SetItems(const QStringList &value) { m_items = value; }

private:
    QStringList m_items;
};

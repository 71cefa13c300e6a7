#pragma once
#include "Events.h"

#include <QObject>

// The base of the kit's property objects (gradients, bevels, textures, fills): every change of a
// property is told to the control that draws with it, through changed(), and to the program, through
// OnChange. Setting a property to the value it has tells nobody.
class ChangeNotifier : public QObject {
    Q_OBJECT
public:
    explicit ChangeNotifier(QObject *owner = nullptr);

    TNotifyEvent OnChange;

signals:
    void changed();

protected:
    virtual void notifyChange();

    template <typename T> void assignField(T &field, const T &value)
    {
        if (field == value)
            return;
        field = value;
        notifyChange();
    }
};

#include "CapabilityProbe.h"

#include <QObject>

// Offers itself as a plugin of the kind TOZELO_PROBE_IID names (a platform, a platform theme, a
// style): enough for Qt to load it by its key. It records what it may do; Qt finds nothing of that
// kind in it and goes on without it.
class KeyProbe : public QObject {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID TOZELO_PROBE_IID FILE "probe.json")
};

TOZELO_CAPABILITY_PROBE

#include "KeyProbe.moc"

#include "CapabilityProbe.h"

#include <QGenericPlugin>

// A generic input plugin that records what it may do, and makes nothing.
class GenericProbe : public QGenericPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QGenericPluginFactoryInterface_iid FILE "probe.json")
public:
    QObject *create(const QString &, const QString &) override { return nullptr; }
};

TOZELO_CAPABILITY_PROBE

#include "GenericProbe.moc"

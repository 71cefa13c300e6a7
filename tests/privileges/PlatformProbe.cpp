#include "CapabilityProbe.h"

#include <QObject>

// Offers itself as a platform plugin: enough for Qt to load it by its key. It records what it may
// do as it is loaded; Qt then finds no platform in it and gives up.
class PlatformProbe : public QObject {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "org.qt-project.Qt.QPA.QPlatformIntegrationFactoryInterface.5.3" FILE "probe.json")
};

[[gnu::constructor]] static void recordOnLoad()
{
    CapabilityProbe::record();
}

#include "PlatformProbe.moc"

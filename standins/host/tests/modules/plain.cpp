#include <QObject>

// A plug-in whose root object is no host module.
class Plain : public QObject {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "plugin" FILE "plain.json")
};

#include "plain.moc"

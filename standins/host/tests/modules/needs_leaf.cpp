#include "module/module.h"

class NeedsLeaf : public kelvo::plugin::module::Module {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "plugin" FILE "needs_leaf.json")
};

#include "needs_leaf.moc"

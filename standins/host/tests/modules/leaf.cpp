#include "module/module.h"

class Leaf : public kelvo::plugin::module::Module {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "plugin" FILE "leaf.json")
};

#include "leaf.moc"

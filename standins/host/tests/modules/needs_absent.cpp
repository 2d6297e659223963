#include "module/module.h"

class NeedsAbsent : public kelvo::plugin::module::Module {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "plugin" FILE "needs_absent.json")
};

#include "needs_absent.moc"

#include "module/module.h"

// Defined nowhere: the dynamic loader refuses the library, its metadata still reads.
extern int kelvoHostTestMissingSymbol;

class Broken : public kelvo::plugin::module::Module {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "plugin" FILE "broken.json")

public:
    Broken() { value_ = kelvoHostTestMissingSymbol; }

private:
    int value_ = 0;
};

#include "broken.moc"

#pragma once

#include <QObject>

#include "cryptoki/token.h"
#include "module/itoken.h"
#include "module/module.h"

namespace kelvo::plugin::module {

// The ZOLVEX token module: the root object of the plug-in.
class Zolvex : public Module, protected cryptoki::Token {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "plugin" FILE "zolvex.json")
    Q_INTERFACES(kelvo::plugin::module::IToken)

public:
    Zolvex() = default;
    ~Zolvex() override = default;

    void init(host::Session* session, const boost::shared_ptr<shared::ModuleMeta>& meta) override;
    IToken* token() override;
    host::Session* session() const override;
    boost::shared_ptr<cryptoki::ICryptoki> createCryptoki() override;
};

}  // namespace kelvo::plugin::module

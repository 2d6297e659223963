#include "zolvex.h"

#include <boost/smart_ptr/make_shared.hpp>

#include "catalogue/settings.h"
#include "cryptoki.h"
#include "cryptoki/published.h"
#include "driver_check.h"
#include "exception/crypto.h"
#include "install_prompt.h"
#include "session/session.h"
#include "ui/gui_registry.h"

namespace kelvo::plugin::module {

namespace {

// Takes the PIN callback of the last host module that offers a user-interface service.
void adoptUiService(const host::Session* session) {
    for (Module* module : session::modules(session)) {
        if (host::IUiService* service = module->uiService()) {
            cryptoki::published().uiService = service;
            cryptoki::published().authCallback = service->authCallback();
        }
    }
}

}  // namespace

void Zolvex::init(host::Session* session, const boost::shared_ptr<shared::ModuleMeta>& meta) {
    const std::string category = session::category(session).value_or("[]");
    ui::GuiRegistry::Impl& registry = ui::GuiRegistry::instance(category);
    adoptUiService(session);
    crypto::catalogue::setSettingsGroup(registry.settingsGroup());
    cryptoki::published().deviceTitleFormat = registry.deviceTitleFormat();
    Module::init(session, meta);
}

IToken* Zolvex::token() {
    if (drivers::registered()) {
        return this;
    }
    if (drivers::refused()) {
        return nullptr;
    }
    if (!drivers::askToInstall()) {
        drivers::rememberRefusal();
        return nullptr;
    }
    return drivers::registered() ? this : nullptr;
}

host::Session* Zolvex::session() const {
    return hostSession();
}

boost::shared_ptr<cryptoki::ICryptoki> Zolvex::createCryptoki() {
    try {
        return boost::make_shared<cryptoki::ZolvexCryptoki>();
    } catch (...) {
        using namespace crypto::exception;
        BOOST_THROW_EXCEPTION(CryptoException(TokenResourcesNotFound)
                              << Message_("Zolvex libraries not found"));
    }
}

}  // namespace kelvo::plugin::module

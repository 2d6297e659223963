#include "module/module.h"

#include <boost/log/trivial.hpp>

namespace kelvo::plugin::module {

Module::~Module() {
    if (meta_) {
        BOOST_LOG_TRIVIAL(info) << name() << " finish ";
    }
}

void Module::init(host::Session* session, const boost::shared_ptr<shared::ModuleMeta>& meta) {
    session_ = session;
    meta_ = meta;
    BOOST_LOG_TRIVIAL(info) << name() << " start ";
    BOOST_LOG_TRIVIAL(info) << name() << " meta "
                            << shared::toJson(meta_ ? meta_->formats : shared::FormatEntries{});
}

const std::string& Module::name() const {
    static const std::string unnamed;
    return meta_ ? meta_->name : unnamed;
}

Module* Module::self() {
    return this;
}
host::IUiService* Module::uiService() {
    return nullptr;
}
QObject* Module::cryptoService() {
    return nullptr;
}
QObject* Module::storageService() {
    return nullptr;
}
QObject* Module::networkService() {
    return nullptr;
}
QObject* Module::timestampService() {
    return nullptr;
}
QObject* Module::xmlService() {
    return nullptr;
}
IToken* Module::token() {
    return nullptr;
}
boost::shared_ptr<void> Module::handle() {
    return {};
}

}  // namespace kelvo::plugin::module

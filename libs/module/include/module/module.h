#pragma once

#include <QObject>
#include <boost/smart_ptr/shared_ptr.hpp>

#include "host/session.h"
#include "host/ui_service.h"
#include "shared/module_meta.h"

namespace kelvo::plugin::module {

class IToken;

// Base of every module the host loads. The host hands it its session and metadata record,
// then asks for the interfaces it offers; a module offering one returns a pointer into itself.
class Module : public QObject {
public:
    Module() = default;
    ~Module() override;

    virtual void init(host::Session* session, const boost::shared_ptr<shared::ModuleMeta>& meta);
    virtual Module* self();
    virtual host::IUiService* uiService();
    virtual QObject* cryptoService();
    virtual QObject* storageService();
    virtual QObject* networkService();
    virtual QObject* timestampService();
    virtual QObject* xmlService();
    virtual IToken* token();
    virtual boost::shared_ptr<void> handle();

protected:
    host::Session* hostSession() const { return session_; }
    const boost::shared_ptr<shared::ModuleMeta>& meta() const { return meta_; }

private:
    const std::string& name() const;

    boost::shared_ptr<shared::ModuleMeta> meta_;
    host::Session* session_ = nullptr;
};

}  // namespace kelvo::plugin::module

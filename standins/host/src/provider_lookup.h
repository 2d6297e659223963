#pragma once

#include <boost/smart_ptr/shared_ptr.hpp>

#include "crypto/iprovider.h"
#include "module/itoken.h"

namespace kelvo::host::app {

// The token's own provider for a device, reached through any certificate on any token of the
// session (a certificate's provider lists the providers of every device); the host's
// stand-in provider when no certificate exists anywhere.
boost::shared_ptr<plugin::crypto::IProvider> providerFor(
    plugin::module::IToken& token, const Session* session,
    const plugin::module::IToken::DevicePtr& device);

// True when the provider is the token's own (it can hash and sign).
bool isTokenProvider(const plugin::crypto::IProvider& provider);

}  // namespace kelvo::host::app

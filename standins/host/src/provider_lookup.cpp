#include "provider_lookup.h"

#include <boost/smart_ptr/make_shared.hpp>

#include "crypto/icertificate.h"
#include "cryptoki/device.h"
#include "device_provider.h"

namespace kelvo::host::app {

using plugin::crypto::IProvider;

boost::shared_ptr<IProvider> providerFor(plugin::module::IToken& token, const Session* session,
                                         const plugin::module::IToken::DevicePtr& device) {
    for (const auto& other : token.devices()) {
        for (const auto& certificate : token.certificates(other)) {
            const auto provider = certificate->provider(L"");
            if (!provider) {
                continue;
            }
            if (other->id == device->id) {
                return provider;
            }
            for (const auto& candidate : provider->providers(session)) {
                const auto candidateDevice = candidate->device();
                if (candidateDevice && candidateDevice->id == device->id) {
                    return candidate;
                }
            }
        }
    }
    return boost::make_shared<DeviceProvider>(token, device);
}

bool isTokenProvider(const IProvider& provider) {
    return dynamic_cast<const DeviceProvider*>(&provider) == nullptr;
}

}  // namespace kelvo::host::app

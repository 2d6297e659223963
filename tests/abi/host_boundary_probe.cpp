// Asks the compiler for the virtual table of every interface the host calls through: deleting
// through a pointer makes it lay the table out, which -fdump-vtable-layouts prints.
#include "crypto/iauth_handle.h"
#include "crypto/icertificate.h"
#include "crypto/icsr_creator.h"
#include "crypto/ihash.h"
#include "crypto/iprivate_key.h"
#include "crypto/iprovider.h"
#include "crypto/ipublic_key.h"
#include "host/ui_service.h"
#include "module/itoken.h"
#include "module/module.h"

namespace crypto = kelvo::plugin::crypto;

void layOut(kelvo::plugin::module::Module* module, kelvo::plugin::module::IToken* token,
            kelvo::host::IUiService* uiService, crypto::IAuthHandle* authHandle,
            crypto::ICertificate* certificate, crypto::ICsrCreator* csrCreator, crypto::IHash* hash,
            crypto::IPrivateKey* privateKey, crypto::IProvider* provider,
            crypto::IPublicKey* publicKey) {
    delete module;
    delete token;
    delete uiService;
    delete authHandle;
    delete certificate;
    delete csrCreator;
    delete hash;
    delete privateKey;
    delete provider;
    delete publicKey;
}

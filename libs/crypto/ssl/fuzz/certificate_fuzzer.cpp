// libFuzzer target: the certificate reader must answer or fail with its documented
// exceptions on any input, and every slot of a certificate it accepts must be readable.
#include <cstddef>
#include <cstdint>

#include "crypto/ipublic_key.h"
#include "exception/application.h"
#include "exception/crypto.h"
#include "shared/base64.h"
#include "ssl/certificate.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using kelvo::plugin::ssl::Certificate;
    try {
        const auto certificate = Certificate::makeByFormat(data, size);
        certificate->der();
        certificate->issuer();
        certificate->subject();
        certificate->issuerName();
        certificate->subjectName();
        certificate->serialNumber();
        certificate->hashAlgorithm();
        certificate->signatureAlgorithm();
        certificate->notBefore();
        certificate->notAfter();
        certificate->keyUsage();
        certificate->subjectSignTool();
        certificate->issuerSignTool();
        certificate->privateKeyNotBefore();
        certificate->privateKeyNotAfter();
        certificate->extendedKeyUsages();
        certificate->thumbprint();
        certificate->hasExtension();
        certificate->publicKey()->value();
    } catch (const kelvo::plugin::exception::ApplicationException&) {
    } catch (const kelvo::plugin::crypto::exception::CryptoException&) {
    } catch (const kelvo::plugin::base64::DecodeError&) {
    }
    return 0;
}

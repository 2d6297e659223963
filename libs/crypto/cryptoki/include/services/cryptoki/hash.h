#pragma once

#include <istream>
#include <string>

#include <boost/optional.hpp>
#include <boost/smart_ptr/shared_ptr.hpp>

#include "crypto/icertificate.h"
#include "crypto/ihash.h"
#include "cryptoki/device.h"

namespace kelvo::plugin::cryptoki {

class ICryptoki;

// Digests a stream on the token with a GOST hash mechanism and, with a signer certificate,
// signs the same stream on the token with the matching hash-and-sign mechanism.
class Hash : public crypto::IHash {
public:
    static constexpr std::size_t kChunkSize = 524288;

    Hash(boost::shared_ptr<Device> device, boost::shared_ptr<crypto::ICertificate> signer,
         std::string algorithm);
    ~Hash() override;

    std::string create(std::istream& data) override;
    std::string signatureValue() const override { return signature_; }
    void initialize() override;
    void update(const void* data, std::size_t length) override;
    std::string finalize() override;
    void setOption(const std::string&, const std::string&) override {}

private:
    // A mechanism type and its optional DER parameter.
    struct Mechanism {
        CK_MECHANISM_TYPE type;
        std::string parameter;
    };

    boost::shared_ptr<ICryptoki> library() const;
    boost::optional<Mechanism> hashMechanism() const;
    boost::optional<CK_MECHANISM_TYPE> signatureMechanism() const;
    void checkMechanisms(ICryptoki& library, const boost::optional<Mechanism>& hash,
                         const boost::optional<CK_MECHANISM_TYPE>& sign) const;
    std::string digestOf(std::istream& data);
    std::string signature(std::istream& data, CK_MECHANISM_TYPE mechanism, CK_OBJECT_HANDLE key);
    // Raises SignatureKeyMismatch unless the certificate's key verifies the signature.
    void checkAgainstCertificate(const std::string& value) const;
    void closeDigestSession() noexcept;

    boost::shared_ptr<Device> device_;
    boost::shared_ptr<crypto::ICertificate> signer_;
    std::string digest_;
    std::string signature_;
    std::string algorithm_;
    // Set while initialize()'s session is open. The binding that opened the digest session closes
    // it: the token may have replaced its binding since, and a fresh one knows nothing of that
    // session.
    boost::shared_ptr<ICryptoki> digestLibrary_;
};

}  // namespace kelvo::plugin::cryptoki

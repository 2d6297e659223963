#include "soak.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <string>

#include "bench_support.h"
#include "crypto/iauth_handle.h"
#include "crypto/icertificate.h"
#include "crypto/ihash.h"
#include "crypto/iprivate_key.h"
#include "crypto/iprovider.h"
#include "cryptoki/icryptoki.h"
#include "cryptoki/provider.h"
#include "cryptoki/published.h"
#include "exception/exception.h"

namespace kelvo::bench {

namespace {

namespace cryptoki = plugin::cryptoki;
namespace fs = std::filesystem;
using CertificatePtr = boost::shared_ptr<plugin::crypto::ICertificate>;

constexpr const char* kStreebogOid = "1.2.643.7.1.1.2.2";

// The host's side: every PIN dialog is answered with the user PIN.
class SoakHost : public host::IUiService {
public:
    AuthCallback authCallback() override { return {}; }
    void showMessage(const std::wstring&) override {}
    bool confirm(const std::wstring&) override { return false; }
    bool authenticateKey(const boost::shared_ptr<plugin::crypto::IPrivateKey>& key,
                         const std::string&) override {
        return key->authenticate(kUserPin);
    }
};

// What the process holds: resident memory in KiB, open descriptors, sessions on the token.
struct Holdings {
    long residentKib = 0;
    long descriptors = 0;
    long sessions = 0;
};

Holdings holdings(BenchToken& token) {
    CK_TOKEN_INFO info{};
    token.cryptoki()->getTokenInfo(kSlot, &info);
    const auto descriptors = std::distance(fs::directory_iterator("/proc/self/fd"), {});
    return {residentKib(), static_cast<long>(descriptors), static_cast<long>(info.ulSessionCount)};
}

// The signer's certificate as a host picks it from the device's listing.
CertificatePtr signerOf(BenchToken& token) {
    for (const auto& certificate : token.certificates(deviceOf(token))) {
        if (certificate->subject().find("Bench signer") != std::string::npos) {
            return certificate;
        }
    }
    throw std::runtime_error("soak: no signer certificate");
}

std::string sign(const CertificatePtr& signer, const std::string& data) {
    std::istringstream stream(data);
    const auto hash = signer->provider(L"")->createHash(kStreebogOid, signer);
    hash->create(stream);
    return hash->signatureValue();
}

void round(BenchToken& token, const std::string& data) {
    std::istringstream stream(data);
    cryptoki::Provider(deviceOf(token)).createHash(kStreebogOid, nullptr)->create(stream);
    if (sign(signerOf(token), data).size() != 64) {
        throw std::runtime_error("soak: no signature");
    }
}

// Signing with the token out must fail; it is back for the next round.
void pullOutAndPutBack(BenchToken& token, const std::string& data) {
    const auto signer = signerOf(token);
    const fs::path marker = fs::path(std::getenv("ZOLVEX_SOFTTOKEN_DIR")) / "removed-0";
    std::ofstream{marker};
    bool signedWithoutToken = true;
    try {
        sign(signer, data);
    } catch (const plugin::exception::Exception&) {
        signedWithoutToken = false;
    }
    fs::remove(marker);
    if (signedWithoutToken || token.devices().empty()) {
        throw std::runtime_error("soak: the token did not go or come back");
    }
}

}  // namespace

int soakProbe(long rounds, std::ostream& out) {
    if (!std::getenv("ZOLVEX_SOFTTOKEN_DIR")) {
        throw std::runtime_error("soak: ZOLVEX_SOFTTOKEN_DIR is not set");
    }
    SoakHost host;
    cryptoki::published().uiService = &host;
    cryptoki::published().authCallback = [](const auto& handle, const std::string&) {
        return handle->authenticate(kUserPin);
    };
    const std::string data(4096, 's');
    const long warmUp = std::max(1L, rounds / 10);
    long removals = 0;
    Holdings start;
    Holdings end;
    {
        BenchToken token;
        for (long done = 1; done <= rounds; ++done) {
            round(token, data);
            // Both looks come after signing: the signer's key then holds its session.
            if (done == warmUp) {
                start = holdings(token);
            }
            if (done == rounds) {
                end = holdings(token);
            }
            if (done % kRemovalEvery == 0) {
                pullOutAndPutBack(token, data);
                ++removals;
            }
        }
        out << rounds << ' ' << removals << ' ' << start.residentKib << ' ' << end.residentKib
            << ' ' << start.descriptors << ' ' << end.descriptors << ' ' << start.sessions << ' '
            << end.sessions << '\n';
    }
    cryptoki::published() = cryptoki::Published{};
    return 0;
}

}  // namespace kelvo::bench

#include "catalogue/algorithms.h"

#include <cstddef>
#include <unordered_map>

#include "cryptoki/vendor_mechanisms.h"

namespace kelvo::plugin::crypto::catalogue {

namespace {

// FNV-1a over the four bytes of the mechanism, least significant first.
struct MechanismHash {
    std::size_t operator()(std::uint32_t mechanism) const noexcept {
        std::uint32_t hash = 2166136261u;
        for (int shift = 0; shift < 32; shift += 8) {
            hash ^= (mechanism >> shift) & 0xFFu;
            hash *= 16777619u;
        }
        return hash;
    }
};

using MechanismTable = std::unordered_map<std::uint32_t, std::vector<std::string>, MechanismHash>;

const MechanismTable& mechanisms() {
    static const MechanismTable table = {
        {CKM_SHA256, {"sha256"}},
        {CKM_GOSTR3411, {"1.2.643.2.2.9"}},
        {CKM_GOSTR3411_2012_256, {"1.2.643.7.1.1.2.2"}},
        {CKM_GOSTR3411_2012_512, {"1.2.643.7.1.1.2.3"}},
        {CKM_GOSTR3410, {"1.2.643.2.2.3", "1.2.643.7.1.1.3.2"}},  // 2001 and 2012-256
        {CKM_GOSTR3410_512, {"1.2.643.7.1.1.3.3"}},
    };
    return table;
}

}  // namespace

std::vector<std::string> mechanismOids(std::uint32_t mechanism) {
    const auto found = mechanisms().find(mechanism);
    return found == mechanisms().end() ? std::vector<std::string>() : found->second;
}

const std::map<std::uint32_t, std::string>& cryptoApiOids() {
    static const std::map<std::uint32_t, std::string> table = {
        {0x6602, "1.2.840.113549.3.2"},    // CALG_RC2
        {0x6801, "1.2.840.113549.3.4"},    // CALG_RC4
        {0x6601, "1.3.14.3.2.7"},          // CALG_DES
        {0x6603, "1.2.840.113549.3.7"},    // CALG_3DES
        {0x8004, "1.3.14.3.2.26"},         // CALG_SHA1
        {0x8001, "1.2.840.113549.2.2"},    // CALG_MD2
        {0x8002, "1.2.840.113549.2.4"},    // CALG_MD4
        {0x8003, "1.2.840.113549.2.5"},    // CALG_MD5
        {0x2400, "1.2.840.113549.1.1.1"},  // CALG_RSA_SIGN
        {0xA400, "1.2.840.113549.1.1.1"},  // CALG_RSA_KEYX
        {0x661E, "1.2.643.2.2.21"},        // CALG_G28147
        {0x801E, "1.2.643.2.2.9"},         // CALG_GR3411
        {0x8021, "1.2.643.7.1.1.2.2"},     // CALG_GR3411_2012_256
        {0x8022, "1.2.643.7.1.1.2.3"},     // CALG_GR3411_2012_512
        {0x2E23, "1.2.643.2.2.19"},        // CALG_GR3410EL
        {0x2E49, "1.2.643.7.1.1.1.1"},     // CALG_GR3410_12_256
        {0x2E3D, "1.2.643.7.1.1.1.2"},     // CALG_GR3410_12_512
        {0xAA46, "1.2.643.7.1.1.6.1"},     // CALG_DH_GR3410_12_256_SF
    };
    return table;
}

const std::set<std::string>& hashOids(bool acceptForeign) {
    static const std::set<std::string> gost = {"1.2.643.2.2.9", "1.2.643.7.1.1.2.2",
                                               "1.2.643.7.1.1.2.3"};
    static const std::set<std::string> withForeign = [] {
        std::set<std::string> result = gost;
        result.insert({"md4", "md5", "sha1", "sha224", "sha256", "sha384", "sha512"});
        return result;
    }();
    return acceptForeign ? withForeign : gost;
}

const std::set<std::string>& signatureOids() {
    static const std::set<std::string> oids = {"1.2.643.2.2.3", "1.2.643.7.1.1.3.2",
                                               "1.2.643.7.1.1.3.3"};
    return oids;
}

const std::set<std::string>& publicKeyOids() {
    static const std::set<std::string> oids = {"1.2.643.2.2.19", "1.2.643.7.1.1.1.1",
                                               "1.2.643.7.1.1.1.2"};
    return oids;
}

const std::set<std::string>& cipherOids() {
    static const std::set<std::string> oids = {"1.2.643.7.1.1.5.1.1", "1.2.643.7.1.1.5.1.2",
                                               "1.2.643.7.1.1.5.2.1", "1.2.643.7.1.1.5.2.2"};
    return oids;
}

}  // namespace kelvo::plugin::crypto::catalogue

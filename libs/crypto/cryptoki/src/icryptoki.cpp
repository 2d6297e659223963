#include "cryptoki/icryptoki.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <locale>

#include "check.h"
#include "crypto/icertificate.h"
#include "crypto/ipublic_key.h"

namespace kelvo::plugin::cryptoki {

namespace {

constexpr CK_ULONG kMaxObjects = 128;

// DER INTEGER of a non-negative serial given least significant byte first: redundant leading
// zeros go and a sign byte comes in where the top bit is set, so a serial read with or without
// its sign byte encodes as the certificate itself does. Lengths above 127 take the long form,
// which X.509 never needs.
std::string derInteger(const std::string& leastSignificantFirst) {
    std::string magnitude(leastSignificantFirst.rbegin(), leastSignificantFirst.rend());
    const auto first = magnitude.find_first_not_of('\0');
    magnitude.erase(0, first == std::string::npos ? magnitude.size() : first);
    if (magnitude.empty() || static_cast<unsigned char>(magnitude.front()) & 0x80) {
        magnitude.insert(magnitude.begin(), '\0');
    }
    std::string der(1, '\x02');
    const std::size_t length = magnitude.size();
    if (length < 0x80) {
        der.push_back(static_cast<char>(length));
    } else {
        std::string lengthBytes;
        for (std::size_t rest = length; rest != 0; rest >>= 8) {
            lengthBytes.insert(lengthBytes.begin(), static_cast<char>(rest & 0xFF));
        }
        der.push_back(static_cast<char>(0x80 | lengthBytes.size()));
        der += lengthBytes;
    }
    return der + magnitude;
}

std::vector<CK_ATTRIBUTE> classAndId(CK_OBJECT_CLASS& objectClass, std::string& id) {
    return {{CKA_CLASS, &objectClass, sizeof(objectClass)},
            {CKA_ID, id.data(), static_cast<CK_ULONG>(id.size())}};
}

bool containsFolded(const std::string& text, const std::string& part) {
    const std::locale locale;
    const auto equal = [&locale](char a, char b) {
        return std::toupper(a, locale) == std::toupper(b, locale);
    };
    return part.empty() ||
           std::search(text.begin(), text.end(), part.begin(), part.end(), equal) != text.end();
}

// A quiet read is quiet about the object, not about the session: when that died, a missing
// value would pass for an object without one.
void rethrowDeadSession(const exception::Exception& failure) {
    if (isDeadSession(failure.code())) {
        throw;
    }
}

}  // namespace

std::string attribute(ICryptoki& cryptoki, CK_SLOT_ID slot, CK_OBJECT_HANDLE object,
                      CK_ATTRIBUTE_TYPE type) {
    CK_ATTRIBUTE query{type, nullptr, 0};
    KELVO_CRYPTOKI_CHECK(cryptoki.getAttributeValue(slot, object, &query, 1));
    // A tolerated failure may leave the "unavailable" marker instead of a length.
    const CK_ULONG length = query.ulValueLen == CK_UNAVAILABLE_INFORMATION ? 0 : query.ulValueLen;

    std::string value(length, '\0');
    query.pValue = value.data();
    query.ulValueLen = length;
    KELVO_CRYPTOKI_CHECK(cryptoki.getAttributeValue(slot, object, &query, 1));
    return value;
}

std::string attribute(ICryptoki& cryptoki, CK_SLOT_ID slot, CK_OBJECT_HANDLE object,
                      CK_ATTRIBUTE_TYPE type, std::error_code& error) {
    error = std::error_code(0, std::system_category());
    try {
        return attribute(cryptoki, slot, object, type);
    } catch (const exception::Exception& failure) {
        rethrowDeadSession(failure);
        error = failure.code();
    } catch (...) {
        error = std::make_error_code(std::errc::invalid_argument);
    }
    return {};
}

boost::optional<CK_KEY_TYPE> keyType(ICryptoki& cryptoki, CK_SLOT_ID slot,
                                     CK_OBJECT_HANDLE object) {
    const std::string value = attribute(cryptoki, slot, object, CKA_KEY_TYPE);
    if (value.size() != sizeof(CK_KEY_TYPE)) {
        return boost::none;
    }
    CK_KEY_TYPE type = 0;
    std::memcpy(&type, value.data(), sizeof(type));
    return type;
}

boost::optional<CK_KEY_TYPE> keyType(ICryptoki& cryptoki, CK_SLOT_ID slot, CK_OBJECT_HANDLE object,
                                     std::error_code& error) {
    error = std::error_code(0, std::system_category());
    try {
        return keyType(cryptoki, slot, object);
    } catch (const exception::Exception& failure) {
        rethrowDeadSession(failure);
        error = failure.code();
    } catch (...) {
        error = std::make_error_code(std::errc::invalid_argument);
    }
    return boost::none;
}

std::vector<CK_OBJECT_HANDLE> objects(ICryptoki& cryptoki, CK_SLOT_ID slot,
                                      CK_ATTRIBUTE* attributes, CK_ULONG count) {
    KELVO_CRYPTOKI_CHECK(cryptoki.findObjectsInit(slot, attributes, count));
    std::array<CK_OBJECT_HANDLE, kMaxObjects> handles{};
    CK_ULONG found = 0;
    KELVO_CRYPTOKI_CHECK(cryptoki.findObjects(slot, handles.data(), handles.size(), &found));
    KELVO_CRYPTOKI_CHECK(cryptoki.findObjectsFinal(slot));
    return {handles.begin(), handles.begin() + std::min<CK_ULONG>(found, handles.size())};
}

std::vector<CK_MECHANISM_TYPE> mechanisms(ICryptoki& cryptoki, CK_SLOT_ID slot) {
    CK_ULONG count = 0;
    KELVO_CRYPTOKI_CHECK(cryptoki.getMechanismList(slot, nullptr, &count));
    if (count == 0) {
        return {};
    }
    // Sized by the reported count, so a token with many mechanisms neither overflows the
    // buffer nor fails with CKR_BUFFER_TOO_SMALL.
    std::vector<CK_MECHANISM_TYPE> list(std::max<CK_ULONG>(count, kMaxObjects));
    KELVO_CRYPTOKI_CHECK(cryptoki.getMechanismList(slot, list.data(), &count));
    list.resize(std::min<CK_ULONG>(count, list.size()));
    return list;
}

std::vector<CK_ATTRIBUTE> certificateTemplate(const crypto::ICertificate& certificate) {
    static CK_OBJECT_CLASS certificateClass = CKO_CERTIFICATE;
    static std::string serial;
    serial = derInteger(certificate.serialNumber());
    return {{CKA_CLASS, &certificateClass, sizeof(certificateClass)},
            {CKA_SERIAL_NUMBER, serial.data(), static_cast<CK_ULONG>(serial.size())}};
}

std::vector<CK_OBJECT_HANDLE> certificateObjects(ICryptoki& cryptoki, CK_SLOT_ID slot,
                                                 const crypto::ICertificate& certificate) {
    const std::string der = certificate.der();
    // A value that cannot be read only rules the object out; a dead session still raises.
    const auto otherValue = [&](CK_OBJECT_HANDLE handle) {
        std::error_code error;
        return attribute(cryptoki, slot, handle, CKA_VALUE, error) != der;
    };
    auto bySerial = certificateTemplate(certificate);
    auto found = objects(cryptoki, slot, bySerial.data(), bySerial.size());
    if (der.empty()) {
        return found;
    }
    // Serials are unique per issuer only, and other writers encode them otherwise: the
    // certificate itself decides.
    found.erase(std::remove_if(found.begin(), found.end(), otherValue), found.end());
    if (!found.empty()) {
        return found;
    }
    // Writers that stored no serial, or a malformed one, are found by the certificate itself.
    CK_OBJECT_CLASS certificateClass = CKO_CERTIFICATE;
    CK_ATTRIBUTE byClass{CKA_CLASS, &certificateClass, sizeof(certificateClass)};
    found = objects(cryptoki, slot, &byClass, 1);
    found.erase(std::remove_if(found.begin(), found.end(), otherValue), found.end());
    return found;
}

std::vector<CK_ATTRIBUTE> containerTemplate(const std::string& id) {
    static CK_OBJECT_CLASS publicKeyClass = CKO_PUBLIC_KEY;
    static std::string value;
    value = id;
    return classAndId(publicKeyClass, value);
}

std::vector<CK_ATTRIBUTE> privateKeyTemplate(const std::string& id) {
    static CK_OBJECT_CLASS privateKeyClass = CKO_PRIVATE_KEY;
    static std::string value;
    value = id;
    return classAndId(privateKeyClass, value);
}

boost::optional<CK_OBJECT_HANDLE> pairedPrivateKey(ICryptoki& cryptoki, CK_SLOT_ID slot,
                                                   CK_OBJECT_HANDLE object) {
    auto search = privateKeyTemplate(attribute(cryptoki, slot, object, CKA_ID));
    const auto found = objects(cryptoki, slot, search.data(), search.size());
    if (found.empty()) {
        return boost::none;
    }
    return found.front();
}

boost::optional<CK_OBJECT_HANDLE> publicKeyByValue(ICryptoki& cryptoki, CK_SLOT_ID slot,
                                                   const crypto::IPublicKey& key) {
    CK_OBJECT_CLASS publicKeyClass = CKO_PUBLIC_KEY;
    CK_ATTRIBUTE search{CKA_CLASS, &publicKeyClass, sizeof(publicKeyClass)};
    const auto candidates = objects(cryptoki, slot, &search, 1);
    if (candidates.empty()) {
        return boost::none;
    }
    const std::string& keyBytes = key.value();
    for (const CK_OBJECT_HANDLE candidate : candidates) {
        if (containsFolded(keyBytes, attribute(cryptoki, slot, candidate, CKA_VALUE))) {
            return candidate;
        }
    }
    return boost::none;
}

}  // namespace kelvo::plugin::cryptoki

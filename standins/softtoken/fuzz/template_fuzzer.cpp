// libFuzzer target: object templates decoded from the input go to C_CreateObject and
// C_FindObjectsInit/C_FindObjects of a provisioned token. Besides the sanitizers' checks it
// requires every result to be one PKCS#11 allows for the function, a created object to
// read back as given and to be found by its own template.
//
// Input: byte 0 chooses the calls (bit 0 create, bit 1 find, bit 2 read-write session,
// bit 3 logged in, bit 4 null template pointer), byte 1 is the C_FindObjects batch size,
// then attributes follow until the input ends (see readAttribute).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "paramsets.h"
#include "pkcs11_gost.h"

namespace {

constexpr CK_SLOT_ID kSlot = 0;
constexpr const char kSoPin[] = "87654321";
constexpr const char kUserPin[] = "12345678";
constexpr std::size_t kMaxAttributes = 64;

[[noreturn]] void fail(const std::string& what) {
    std::fprintf(stderr, "template_fuzzer: %s\n", what.c_str());
    std::abort();
}

void expectOk(CK_RV rv, const char* call) {
    if (rv != CKR_OK) {
        fail(std::string(call) + " returned " + std::to_string(rv));
    }
}

// Results PKCS#11 v2.40 lists for each function.
const std::set<CK_RV> kCreateResults = {CKR_ARGUMENTS_BAD,
                                        CKR_ATTRIBUTE_READ_ONLY,
                                        CKR_ATTRIBUTE_TYPE_INVALID,
                                        CKR_ATTRIBUTE_VALUE_INVALID,
                                        CKR_CRYPTOKI_NOT_INITIALIZED,
                                        CKR_CURVE_NOT_SUPPORTED,
                                        CKR_DEVICE_ERROR,
                                        CKR_DEVICE_MEMORY,
                                        CKR_DEVICE_REMOVED,
                                        CKR_DOMAIN_PARAMS_INVALID,
                                        CKR_FUNCTION_FAILED,
                                        CKR_GENERAL_ERROR,
                                        CKR_HOST_MEMORY,
                                        CKR_OK,
                                        CKR_PIN_EXPIRED,
                                        CKR_SESSION_CLOSED,
                                        CKR_SESSION_HANDLE_INVALID,
                                        CKR_SESSION_READ_ONLY,
                                        CKR_TEMPLATE_INCOMPLETE,
                                        CKR_TEMPLATE_INCONSISTENT,
                                        CKR_TOKEN_WRITE_PROTECTED,
                                        CKR_USER_NOT_LOGGED_IN};
const std::set<CK_RV> kFindInitResults = {CKR_ARGUMENTS_BAD,
                                          CKR_ATTRIBUTE_TYPE_INVALID,
                                          CKR_ATTRIBUTE_VALUE_INVALID,
                                          CKR_CRYPTOKI_NOT_INITIALIZED,
                                          CKR_DEVICE_ERROR,
                                          CKR_DEVICE_MEMORY,
                                          CKR_DEVICE_REMOVED,
                                          CKR_FUNCTION_CANCELED,
                                          CKR_FUNCTION_FAILED,
                                          CKR_GENERAL_ERROR,
                                          CKR_HOST_MEMORY,
                                          CKR_OK,
                                          CKR_OPERATION_ACTIVE,
                                          CKR_PIN_EXPIRED,
                                          CKR_SESSION_CLOSED,
                                          CKR_SESSION_HANDLE_INVALID};
const std::set<CK_RV> kFindResults = {CKR_ARGUMENTS_BAD,
                                      CKR_CRYPTOKI_NOT_INITIALIZED,
                                      CKR_DEVICE_ERROR,
                                      CKR_DEVICE_MEMORY,
                                      CKR_DEVICE_REMOVED,
                                      CKR_FUNCTION_CANCELED,
                                      CKR_FUNCTION_FAILED,
                                      CKR_GENERAL_ERROR,
                                      CKR_HOST_MEMORY,
                                      CKR_OK,
                                      CKR_OPERATION_NOT_INITIALIZED,
                                      CKR_SESSION_CLOSED,
                                      CKR_SESSION_HANDLE_INVALID};

void expectAllowed(CK_RV rv, const std::set<CK_RV>& allowed, const char* call) {
    if (allowed.count(rv) == 0) {
        fail(std::string(call) + " returned " + std::to_string(rv) + ", not a result it may give");
    }
}

// Attribute types worth reaching often; others come as raw numbers.
const CK_ATTRIBUTE_TYPE kTypes[] = {
    CKA_CLASS,
    CKA_TOKEN,
    CKA_PRIVATE,
    CKA_LABEL,
    CKA_APPLICATION,
    CKA_VALUE,
    CKA_OBJECT_ID,
    CKA_CERTIFICATE_TYPE,
    CKA_ISSUER,
    CKA_SERIAL_NUMBER,
    CKA_TRUSTED,
    CKA_CERTIFICATE_CATEGORY,
    CKA_KEY_TYPE,
    CKA_SUBJECT,
    CKA_ID,
    CKA_SENSITIVE,
    CKA_ENCRYPT,
    CKA_VERIFY,
    CKA_SIGN,
    CKA_DERIVE,
    CKA_START_DATE,
    CKA_END_DATE,
    CKA_VALUE_LEN,
    CKA_EXTRACTABLE,
    CKA_LOCAL,
    CKA_NEVER_EXTRACTABLE,
    CKA_ALWAYS_SENSITIVE,
    CKA_KEY_GEN_MECHANISM,
    CKA_MODIFIABLE,
    CKA_COPYABLE,
    CKA_DESTROYABLE,
    CKA_URL,
    CKA_GOSTR3410_PARAMS,
    CKA_GOSTR3411_PARAMS,
    CKA_GOST28147_PARAMS,
    CKA_WRAP,
};

// Numbers for CK_ULONG attributes: classes, key and certificate types, edge values.
const CK_ULONG kNumbers[] = {
    CKO_DATA,
    CKO_CERTIFICATE,
    CKO_PUBLIC_KEY,
    CKO_PRIVATE_KEY,
    CKO_SECRET_KEY,
    CKK_GOSTR3410,
    CKK_GOSTR3410_512,
    CKK_GOSTR3411,
    CKK_GOST28147,
    CKC_X_509,
    CKC_WTLS,
    CK_UNAVAILABLE_INFORMATION,
    0,
    1,
    CKO_VENDOR_DEFINED,
};

// DER values the token interprets: every parameter set and hash parameter.
const std::vector<std::string>& dictionary() {
    static const std::vector<std::string> values = [] {
        std::vector<std::string> list;
        for (const auto& set : softtoken::paramSets()) {
            list.push_back(set.der);
            list.push_back(set.defaultHashDer);
        }
        list.push_back(softtoken::oidDer("1.2.643.7.1.1.1.1"));  // a key OID, not a set
        return list;
    }();
    return values;
}

class Reader {
public:
    Reader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool empty() const { return size_ == 0; }
    std::uint8_t byte() {
        if (size_ == 0) {
            return 0;
        }
        --size_;
        return *data_++;
    }
    std::uint64_t number(std::size_t bytes) {
        std::uint64_t value = 0;
        for (std::size_t i = 0; i < bytes; ++i) {
            value |= std::uint64_t{byte()} << (8 * i);
        }
        return value;
    }
    std::string bytes(std::size_t count) {
        count = std::min(count, size_);
        std::string out(reinterpret_cast<const char*>(data_), count);
        data_ += count;
        size_ -= count;
        return out;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
};

// A template whose values sit in heap blocks of exactly their stated length, so that the
// sanitizer sees any read beyond it.
class Template {
public:
    void add(CK_ATTRIBUTE_TYPE type, const std::string& value) {
        auto block = std::make_unique<unsigned char[]>(value.size());
        std::memcpy(block.get(), value.data(), value.size());
        attributes_.push_back({type, block.get(), static_cast<CK_ULONG>(value.size())});
        blocks_.push_back(std::move(block));
    }
    void addPointer(CK_ATTRIBUTE_TYPE type, void* value, CK_ULONG length) {
        attributes_.push_back({type, value, length});
    }
    std::vector<CK_ATTRIBUTE>& attributes() { return attributes_; }

private:
    std::vector<CK_ATTRIBUTE> attributes_;
    std::vector<std::unique_ptr<unsigned char[]>> blocks_;
};

// One attribute: a type byte (an index into kTypes, else 8 bytes of raw type follow) and a
// mode byte choosing how the value is given.
void readAttribute(Reader& in, Template& out) {
    const std::uint8_t selector = in.byte();
    const CK_ATTRIBUTE_TYPE type =
        selector < std::size(kTypes) ? kTypes[selector] : static_cast<CK_ULONG>(in.number(8));
    switch (in.byte() % 8) {
        case 0:  // short byte string
            out.add(type, in.bytes(in.byte()));
            break;
        case 1: {  // CK_ULONG from the input
            const CK_ULONG value = in.number(sizeof(CK_ULONG));
            out.add(type, std::string(reinterpret_cast<const char*>(&value), sizeof value));
            break;
        }
        case 2: {  // CK_ULONG from the table
            const CK_ULONG value = kNumbers[in.byte() % std::size(kNumbers)];
            out.add(type, std::string(reinterpret_cast<const char*>(&value), sizeof value));
            break;
        }
        case 3:  // CK_BBOOL, any byte
            out.add(type, std::string(1, static_cast<char>(in.byte())));
            break;
        case 4:  // known DER value
            out.add(type, dictionary()[in.byte() % dictionary().size()]);
            break;
        case 5:  // null value with any length, absurd ones included
            out.addPointer(type, nullptr, static_cast<CK_ULONG>(in.number(8)));
            break;
        case 6:  // zero-length value behind a valid pointer
            out.add(type, std::string());
            break;
        default:  // long byte string (certificates)
            out.add(type, in.bytes(in.number(2)));
            break;
    }
}

// The library with a provisioned token in a private folder, set up once per process.
class Token {
public:
    Token() {
        const char* shm = "/dev/shm";
        const auto base = std::filesystem::is_directory(shm)
                              ? std::filesystem::path(shm)
                              : std::filesystem::temp_directory_path();
        std::string pattern = (base / "softtoken-fuzz-XXXXXX").string();
        if (!mkdtemp(pattern.data())) {
            fail("cannot create the token folder");
        }
        directory_ = pattern;
        // The cheapest PIN key derivation: inputs log in and out all the time.
        std::ofstream(directory_ / "softtoken.ini") << "[pin]\nkdf-cost = 4\n";
        setenv("ZOLVEX_SOFTTOKEN_DIR", directory_.c_str(), 1);
        setenv("ZOLVEX_SOFTTOKEN_TEST_KDF", "1", 1);  // lets the cheap PIN keys above count
        unsetenv("ZOLVEX_SOFTTOKEN_FAULTS");
        expectOk(C_GetFunctionList(&f_), "C_GetFunctionList");
        expectOk(f_->C_Initialize(nullptr), "C_Initialize");
        provision();
        // This session stays open so that the login survives the per-input sessions.
        expectOk(f_->C_OpenSession(kSlot, CKF_SERIAL_SESSION, nullptr, nullptr, &keeper_),
                 "C_OpenSession");
        pristine_ = fileText();
    }
    ~Token() {
        f_->C_Finalize(nullptr);
        std::error_code ignored;
        std::filesystem::remove_all(directory_, ignored);
    }

    CK_FUNCTION_LIST* operator->() const { return f_; }

    void setLoggedIn(bool wanted) {
        if (wanted == loggedIn_) {
            return;
        }
        if (wanted) {
            expectOk(f_->C_Login(keeper_, CKU_USER, pinBytes(kUserPin), 8), "C_Login");
        } else {
            expectOk(f_->C_Logout(keeper_), "C_Logout");
        }
        loggedIn_ = wanted;
    }

    // Undoes token objects the input created, so that every input meets the same token.
    void restore() const { std::ofstream(tokenFile(), std::ios::binary) << pristine_; }

private:
    static CK_UTF8CHAR* pinBytes(const char* pin) {
        return reinterpret_cast<CK_UTF8CHAR*>(const_cast<char*>(pin));
    }

    std::filesystem::path tokenFile() const { return directory_ / "token-0.json"; }

    std::string fileText() const {
        std::ifstream in(tokenFile(), std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

    void provision() {
        CK_UTF8CHAR label[32];
        std::memset(label, ' ', sizeof label);
        expectOk(f_->C_InitToken(kSlot, pinBytes(kSoPin), 8, label), "C_InitToken");
        CK_SESSION_HANDLE session = 0;
        expectOk(f_->C_OpenSession(kSlot, CKF_SERIAL_SESSION | CKF_RW_SESSION, nullptr, nullptr,
                                   &session),
                 "C_OpenSession");
        expectOk(f_->C_Login(session, CKU_SO, pinBytes(kSoPin), 8), "C_Login");
        expectOk(f_->C_InitPIN(session, pinBytes(kUserPin), 8), "C_InitPIN");
        expectOk(f_->C_CloseSession(session), "C_CloseSession");
    }

    std::filesystem::path directory_;
    CK_FUNCTION_LIST* f_ = nullptr;
    CK_SESSION_HANDLE keeper_ = 0;
    bool loggedIn_ = false;
    std::string pristine_;
};

Token& token() {
    static Token instance;
    return instance;
}

// The stored value a template entry must read back as: booleans are normalised.
std::string expectedValue(const CK_ATTRIBUTE& attribute) {
    std::string value(static_cast<const char*>(attribute.pValue), attribute.ulValueLen);
    static const std::set<CK_ATTRIBUTE_TYPE> booleans = {CKA_TOKEN,
                                                         CKA_PRIVATE,
                                                         CKA_TRUSTED,
                                                         CKA_SENSITIVE,
                                                         CKA_ENCRYPT,
                                                         CKA_VERIFY,
                                                         CKA_SIGN,
                                                         CKA_DERIVE,
                                                         CKA_EXTRACTABLE,
                                                         CKA_LOCAL,
                                                         CKA_NEVER_EXTRACTABLE,
                                                         CKA_ALWAYS_SENSITIVE,
                                                         CKA_MODIFIABLE,
                                                         CKA_COPYABLE,
                                                         CKA_DESTROYABLE,
                                                         CKA_WRAP,
                                                         CKA_DECRYPT,
                                                         CKA_UNWRAP,
                                                         CKA_SIGN_RECOVER,
                                                         CKA_VERIFY_RECOVER,
                                                         CKA_ALWAYS_AUTHENTICATE,
                                                         CKA_WRAP_WITH_TRUSTED};
    if (booleans.count(attribute.type) != 0 && value.size() == 1) {
        value[0] = value[0] ? CK_TRUE : CK_FALSE;
    }
    return value;
}

void checkReadBack(CK_SESSION_HANDLE session, CK_OBJECT_HANDLE object,
                   const std::vector<CK_ATTRIBUTE>& given) {
    for (const CK_ATTRIBUTE& attribute : given) {
        const std::string expected = expectedValue(attribute);
        CK_ATTRIBUTE query{attribute.type, nullptr, 0};
        expectOk(token()->C_GetAttributeValue(session, object, &query, 1), "C_GetAttributeValue");
        if (query.ulValueLen != expected.size()) {
            fail("attribute " + std::to_string(attribute.type) + " reads back with length " +
                 std::to_string(query.ulValueLen));
        }
        auto buffer = std::make_unique<unsigned char[]>(expected.size());
        query.pValue = buffer.get();
        expectOk(token()->C_GetAttributeValue(session, object, &query, 1), "C_GetAttributeValue");
        if (std::memcmp(buffer.get(), expected.data(), expected.size()) != 0) {
            fail("attribute " + std::to_string(attribute.type) + " reads back changed");
        }
    }
}

bool isTokenObject(CK_SESSION_HANDLE session, CK_OBJECT_HANDLE object) {
    CK_BBOOL value = CK_FALSE;
    CK_ATTRIBUTE query{CKA_TOKEN, &value, sizeof value};
    expectOk(token()->C_GetAttributeValue(session, object, &query, 1), "C_GetAttributeValue");
    return value == CK_TRUE;
}

// Runs a search to its end; returns the handles found.
std::vector<CK_OBJECT_HANDLE> find(CK_SESSION_HANDLE session, CK_ATTRIBUTE* pattern, CK_ULONG count,
                                   CK_ULONG batch, bool* initialised) {
    std::vector<CK_OBJECT_HANDLE> found;
    const CK_RV rv = token()->C_FindObjectsInit(session, pattern, count);
    expectAllowed(rv, kFindInitResults, "C_FindObjectsInit");
    *initialised = rv == CKR_OK;
    if (rv != CKR_OK) {
        return found;
    }
    // A zero batch must still be answered; then take the rest in batches of at least one.
    for (CK_ULONG maximum = batch;; maximum = std::max<CK_ULONG>(batch, 1)) {
        std::vector<CK_OBJECT_HANDLE> handles(maximum);
        CK_ULONG returned = maximum + 1;
        const CK_RV next = token()->C_FindObjects(session, handles.data(), maximum, &returned);
        expectAllowed(next, kFindResults, "C_FindObjects");
        expectOk(next, "C_FindObjects");
        if (returned > maximum) {
            fail("C_FindObjects returned more handles than asked for");
        }
        found.insert(found.end(), handles.begin(), handles.begin() + returned);
        if (returned == 0 && maximum > 0) {
            break;
        }
    }
    expectOk(token()->C_FindObjectsFinal(session), "C_FindObjectsFinal");
    return found;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Reader in(data, size);
    const std::uint8_t operations = in.byte();
    const CK_ULONG batch = in.byte();
    Template pattern;
    while (!in.empty() && pattern.attributes().size() < kMaxAttributes) {
        readAttribute(in, pattern);
    }
    auto& attributes = pattern.attributes();
    const bool nullTemplate = (operations & 0x10) != 0;
    CK_ATTRIBUTE* pointer = nullTemplate ? nullptr : attributes.data();
    const auto count = static_cast<CK_ULONG>(attributes.size());

    token().setLoggedIn((operations & 0x08) != 0);
    const CK_FLAGS flags = CKF_SERIAL_SESSION | ((operations & 0x04) ? CKF_RW_SESSION : 0);
    CK_SESSION_HANDLE session = 0;
    expectOk(token()->C_OpenSession(kSlot, flags, nullptr, nullptr, &session), "C_OpenSession");

    CK_OBJECT_HANDLE created = CK_INVALID_HANDLE;
    bool dirty = false;
    if (operations & 0x01) {
        const CK_RV rv = token()->C_CreateObject(session, pointer, count, &created);
        expectAllowed(rv, kCreateResults, "C_CreateObject");
        if (nullTemplate && count != 0 && rv == CKR_OK) {
            fail("C_CreateObject took a null template");
        }
        if (rv == CKR_OK) {
            checkReadBack(session, created, attributes);
            dirty = isTokenObject(session, created);
        } else {
            created = CK_INVALID_HANDLE;
        }
    }
    if ((operations & 0x02) || created != CK_INVALID_HANDLE) {
        bool initialised = false;
        const auto found = find(session, pointer, count, batch, &initialised);
        if (created != CK_INVALID_HANDLE &&
            std::find(found.begin(), found.end(), created) == found.end()) {
            fail("the created object is not found by its own template");
        }
    }
    // Closing the session drops its session objects.
    expectOk(token()->C_CloseSession(session), "C_CloseSession");
    if (dirty) {
        token().restore();
    }
    return 0;
}

// What sets each served model apart, seen at the token: the software token presents the model
// in slot 0 and the module talks to it as it would to that model.
#include <cctype>
#include <memory>
#include <ostream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>
#include <boost/smart_ptr/make_shared.hpp>

#include "crypto/ihash.h"
#include "cryptoki/auth_handle.h"
#include "cryptoki/provider.h"
#include "cryptoki/scoped_session.h"
#include "token_fixture.h"

using namespace kelvo;
using namespace kelvo::plugin;

namespace {

struct Quirks {
    const char* model;
    bool derivableKeys;           // CKA_DERIVE set on a generated private key
    bool digestWithoutParameter;  // C_DigestInit without the hash OID
    bool emptyPinRejected;        // an empty PIN never reaches the token
};

void PrintTo(const Quirks& quirks, std::ostream* out) {
    *out << quirks.model;
}

// The token bound through a binding that remembers the parameter length of the last
// C_DigestInit.
class DigestRecordingToken : public test::TestToken {
public:
    using TestToken::TestToken;
    boost::shared_ptr<cryptoki::ICryptoki> createCryptoki() override {
        struct Binding : test::FunctionListCryptoki {
            explicit Binding(CK_ULONG& length)
                : FunctionListCryptoki(softtoken::kLibraryPath, test::kZolvexNames),
                  length_(length) {}
            CK_RV C_DigestInit(CK_SESSION_HANDLE session, CK_MECHANISM* mechanism) override {
                length_ = mechanism ? mechanism->ulParameterLen : 0;
                return FunctionListCryptoki::C_DigestInit(session, mechanism);
            }
            CK_ULONG& length_;
        };
        return boost::make_shared<Binding>(parameterLength);
    }
    CK_ULONG parameterLength = ~CK_ULONG{0};
};

class ModelQuirksTest : public test::TokenServicesTest,
                        public ::testing::WithParamInterface<Quirks> {
protected:
    void SetUp() override {
        model_ = GetParam().model;
        TokenServicesTest::SetUp();
        auto token = std::make_unique<DigestRecordingToken>(&session_);
        recorder_ = token.get();
        token_ = std::move(token);
    }

    // CKA_DERIVE of the private key with the given CKA_ID, read in a session of the test's own.
    bool derivable(const std::string& id) {
        const auto functions = token_->cryptoki()->functions();
        softtoken::ScopedSession session(functions, kSlot);
        EXPECT_EQ(session.login(), static_cast<CK_RV>(CKR_OK));
        CK_OBJECT_CLASS privateClass = CKO_PRIVATE_KEY;
        std::string value = id;
        const auto found = softtoken::findObjects(functions, session.handle(),
                                                  {{CKA_CLASS, &privateClass, sizeof(privateClass)},
                                                   {CKA_ID, value.data(), value.size()}});
        EXPECT_EQ(found.size(), 1u);
        return !found.empty() &&
               softtoken::attributeValue(functions, session.handle(), found.front(), CKA_DERIVE) ==
                   std::string(1, CK_TRUE);
    }

    DigestRecordingToken* recorder_ = nullptr;
};

}  // namespace

TEST_P(ModelQuirksTest, KeysDigestsAndEmptyPinsAsTheModelWants) {
    const Quirks& quirks = GetParam();
    const auto device = this->device();
    ASSERT_EQ(device->model, quirks.model);

    ASSERT_FALSE(requestKeyPair("key").empty());
    EXPECT_EQ(derivable("key"), quirks.derivableKeys);

    std::istringstream data("data");
    EXPECT_FALSE(
        cryptoki::Provider(device).createHash("1.2.643.7.1.1.2.2", nullptr)->create(data).empty());
    EXPECT_EQ(recorder_->parameterLength == 0, quirks.digestWithoutParameter);

    // A wrong PIN the token sees costs a try: the token then reports its count low.
    {
        cryptoki::ScopedSession session(token_->cryptoki(), kSlot);
        cryptoki::TokenAuth auth(*device);
        EXPECT_FALSE(auth.authenticate(""));
        EXPECT_TRUE(auth.failed());
    }
    EXPECT_EQ((tokenFlags() & CKF_USER_PIN_COUNT_LOW) == 0, quirks.emptyPinRejected);
    EXPECT_EQ(openSessions(), 0u);
}

INSTANTIATE_TEST_SUITE_P(ServedModels, ModelQuirksTest,
                         ::testing::Values(Quirks{"Rutoken ECP", true, false, false},
                                           Quirks{"Rutoken ECP 3.0", false, false, false},
                                           Quirks{"JaCarta GOST 2.0", true, false, false},
                                           Quirks{"ZOLVEXToken GOST", true, true, true}),
                         [](const ::testing::TestParamInfo<Quirks>& row) {
                             std::string name = row.param.model;
                             for (char& c : name) {
                                 c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             }
                             return name;
                         });

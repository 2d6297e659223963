// A provisioned software token with an open, logged-in read-write session, on which the
// tests generate GOST key pairs.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "gost_key_pair.h"
#include "softtoken_fixture.h"

namespace keyengine_test {

// One GOST key family as the token and OpenSSL name it.
struct GostFamily {
    const char* name;
    const char* paramSet;    // dotted OID
    const char* hashParams;  // dotted OID
    unsigned bits;
    int algorithmNid;         // what the wrapped key must be
    int defaultSignatureNid;  // signature algorithm with the key's default digest
};

using KeyPairHandles = kelvo::test::KeyPair;

class TokenKeyPairTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    KeyPairHandles generate(const GostFamily& family);
    CK_OBJECT_HANDLE createObject(std::vector<CK_ATTRIBUTE> pattern);
    std::string attribute(CK_OBJECT_HANDLE object, CK_ATTRIBUTE_TYPE type) const;
    CK_ULONG sessionCount() const;

    CK_FUNCTION_LIST* functions() const { return library_.functions(); }
    CK_SESSION_HANDLE session() const { return session_->handle(); }
    const std::filesystem::path& folder() const { return directory_.path(); }

private:
    softtoken::TemporaryTokenDirectory directory_;
    softtoken::SoftTokenLibrary library_;
    std::unique_ptr<softtoken::ScopedSession> session_;
};

const GostFamily& gost2001();
const GostFamily& gost2012_256();
const GostFamily& gost2012_256CryptoPro();  // 2001 curve under 2012 hash parameters
const GostFamily& gost2012_512();

}  // namespace keyengine_test

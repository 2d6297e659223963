#include "object_policy.h"

#include <openssl/x509.h>

#include "error.h"
#include "openssl_handles.h"
#include "paramsets.h"

namespace softtoken {

namespace {

Bytes derOf(const X509_NAME* name) {
    unsigned char* out = nullptr;
    const int length = i2d_X509_NAME(name, &out);
    Bytes der = length > 0 ? toBytes(out, static_cast<std::size_t>(length)) : Bytes();
    OPENSSL_free(out);
    return der;
}

Bytes derOf(const ASN1_INTEGER* serial) {
    unsigned char* out = nullptr;
    const int length = i2d_ASN1_INTEGER(serial, &out);
    Bytes der = length > 0 ? toBytes(out, static_cast<std::size_t>(length)) : Bytes();
    OPENSSL_free(out);
    return der;
}

void completeCertificate(AttributeMap& attributes) {
    require(attributes.count(CKA_VALUE) != 0, CKR_TEMPLATE_INCOMPLETE);
    setDefault(attributes, CKA_CERTIFICATE_TYPE, ulongValue(CKC_X_509));
    require(ulongOf(attributes, CKA_CERTIFICATE_TYPE) == CKC_X_509, CKR_ATTRIBUTE_VALUE_INVALID);
    // Take what the caller left out from the certificate itself, as card middleware does;
    // a value that does not parse is stored as given.
    const Bytes& value = attributes[CKA_VALUE];
    const unsigned char* in = data(value);
    X509Ptr certificate(d2i_X509(nullptr, &in, static_cast<long>(value.size())));
    if (certificate) {
        setDefault(attributes, CKA_SUBJECT, derOf(X509_get_subject_name(certificate.get())));
        setDefault(attributes, CKA_ISSUER, derOf(X509_get_issuer_name(certificate.get())));
        setDefault(attributes, CKA_SERIAL_NUMBER, derOf(X509_get0_serialNumber(certificate.get())));
    }
    for (CK_ATTRIBUTE_TYPE type : {CKA_SUBJECT, CKA_ISSUER, CKA_SERIAL_NUMBER, CKA_ID,
                                   CKA_START_DATE, CKA_END_DATE, CKA_URL}) {
        setDefault(attributes, type, Bytes());
    }
    setDefault(attributes, CKA_TRUSTED, boolValue(false));
    setDefault(attributes, CKA_CERTIFICATE_CATEGORY, ulongValue(0));
}

void completeData(AttributeMap& attributes) {
    for (CK_ATTRIBUTE_TYPE type : {CKA_VALUE, CKA_APPLICATION, CKA_OBJECT_ID}) {
        setDefault(attributes, type, Bytes());
    }
}

void completePublicKey(AttributeMap& attributes) {
    const auto keyType = ulongOf(attributes, CKA_KEY_TYPE);
    require(keyType.has_value(), CKR_TEMPLATE_INCOMPLETE);
    require(*keyType == CKK_GOSTR3410 || *keyType == CKK_GOSTR3410_512,
            CKR_ATTRIBUTE_VALUE_INVALID);
    const auto params = attributes.find(CKA_GOSTR3410_PARAMS);
    require(params != attributes.end() && attributes.count(CKA_VALUE) != 0,
            CKR_TEMPLATE_INCOMPLETE);
    const ParamSet* set = findParamSet(params->second);
    require(set != nullptr, CKR_ATTRIBUTE_VALUE_INVALID);
    require((set->bits == 512) == (*keyType == CKK_GOSTR3410_512), CKR_TEMPLATE_INCONSISTENT);
    require(attributes[CKA_VALUE].size() == set->bits / 4, CKR_ATTRIBUTE_VALUE_INVALID);
    setDefault(attributes, CKA_GOSTR3411_PARAMS, set->defaultHashDer);
    require(findHashParams(attributes[CKA_GOSTR3411_PARAMS]) != nullptr,
            CKR_ATTRIBUTE_VALUE_INVALID);
    setDefault(attributes, CKA_LOCAL, boolValue(false));
    setDefault(attributes, CKA_KEY_GEN_MECHANISM, ulongValue(CK_UNAVAILABLE_INFORMATION));
    for (CK_ATTRIBUTE_TYPE type : {CKA_ID, CKA_SUBJECT, CKA_START_DATE, CKA_END_DATE}) {
        setDefault(attributes, type, Bytes());
    }
    setDefault(attributes, CKA_VERIFY, boolValue(true));
    for (CK_ATTRIBUTE_TYPE type : {CKA_ENCRYPT, CKA_WRAP, CKA_DERIVE, CKA_TRUSTED}) {
        setDefault(attributes, type, boolValue(false));
    }
}

}  // namespace

void rejectTokenOnlyAttributes(const AttributeMap& pattern) {
    for (CK_ATTRIBUTE_TYPE type :
         {CKA_LOCAL, CKA_KEY_GEN_MECHANISM, CKA_ALWAYS_SENSITIVE, CKA_NEVER_EXTRACTABLE}) {
        require(pattern.count(type) == 0, CKR_ATTRIBUTE_READ_ONLY);
    }
}

void addStorageDefaults(AttributeMap& attributes, bool privateByDefault) {
    setDefault(attributes, CKA_TOKEN, boolValue(false));
    setDefault(attributes, CKA_PRIVATE, boolValue(privateByDefault));
    setDefault(attributes, CKA_MODIFIABLE, boolValue(true));
    setDefault(attributes, CKA_DESTROYABLE, boolValue(true));
    setDefault(attributes, CKA_LABEL, Bytes());
}

StoredObject objectFromTemplate(const AttributeMap& pattern) {
    const auto objectClass = ulongOf(pattern, CKA_CLASS);
    require(objectClass.has_value(), CKR_TEMPLATE_INCOMPLETE);
    rejectTokenOnlyAttributes(pattern);
    StoredObject object{pattern, {}};
    switch (*objectClass) {
        case CKO_CERTIFICATE:
            completeCertificate(object.attributes);
            break;
        case CKO_DATA:
            completeData(object.attributes);
            break;
        case CKO_PUBLIC_KEY:
            completePublicKey(object.attributes);
            break;
        default:
            throw CkrError(CKR_ATTRIBUTE_VALUE_INVALID);
    }
    addStorageDefaults(object.attributes, false);
    return object;
}

void checkChanges(const StoredObject& object, const AttributeMap& changes) {
    require(boolOr(object.attributes, CKA_MODIFIABLE, true), CKR_ACTION_PROHIBITED);
    const bool dataObject = ulongOf(object.attributes, CKA_CLASS) == CKO_DATA;
    for (const auto& [type, value] : changes) {
        switch (type) {
            case CKA_CLASS:
            case CKA_TOKEN:
            case CKA_PRIVATE:
            case CKA_MODIFIABLE:
            case CKA_DESTROYABLE:
            case CKA_KEY_TYPE:
            case CKA_CERTIFICATE_TYPE:
            case CKA_LOCAL:
            case CKA_KEY_GEN_MECHANISM:
            case CKA_ALWAYS_SENSITIVE:
            case CKA_NEVER_EXTRACTABLE:
            case CKA_GOSTR3410_PARAMS:
            case CKA_GOSTR3411_PARAMS:
                throw CkrError(CKR_ATTRIBUTE_READ_ONLY);
            case CKA_VALUE:
                require(dataObject, CKR_ATTRIBUTE_READ_ONLY);
                break;
            case CKA_SENSITIVE:
                // Only ever towards more protection.
                require(value[0] == CK_TRUE, CKR_ATTRIBUTE_READ_ONLY);
                break;
            case CKA_EXTRACTABLE:
                require(value[0] == CK_FALSE, CKR_ATTRIBUTE_READ_ONLY);
                break;
            default:
                break;
        }
    }
}

bool isSensitive(const StoredObject& object, CK_ATTRIBUTE_TYPE type) {
    return ulongOf(object.attributes, CKA_CLASS) == CKO_PRIVATE_KEY && type == CKA_VALUE;
}

}  // namespace softtoken

// What objects may look like: complete attribute sets for created objects, which attributes
// can change, and which can never be read.
#pragma once

#include "token_state.h"

namespace softtoken {

// A complete object for C_CreateObject (certificates, data objects, GOST public keys).
// Throws CkrError for incomplete, inconsistent or unsupported templates.
StoredObject objectFromTemplate(const AttributeMap& pattern);

// Validates C_SetAttributeValue changes for the object; throws CkrError.
void checkChanges(const StoredObject& object, const AttributeMap& changes);

// True for attributes the token never reveals (private key material).
bool isSensitive(const StoredObject& object, CK_ATTRIBUTE_TYPE type);

// Attributes only the token sets (CKA_LOCAL and the like); templates may not carry them.
void rejectTokenOnlyAttributes(const AttributeMap& pattern);

// Defaults every storage object gets.
void addStorageDefaults(AttributeMap& attributes, bool privateByDefault);

}  // namespace softtoken

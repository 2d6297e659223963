#pragma once

// The vendor-defined PKCS#11 values the module uses, all in the TC 26 GOST range: p11-kit
// names the GOST R 34.11-2012 digests, the GOST R 34.10-2012 mechanisms and the 512-bit key
// type; the GOST R 34.11-94 hash-and-sign mechanism is named here.
#include "cryptoki/pkcs11.h"

#include <p11-kit/pkcs11x.h>

#ifndef CKM_GOSTR3410_WITH_GOSTR3411_94
#define CKM_GOSTR3410_WITH_GOSTR3411_94 (CK_VENDOR_PKCS11_RU_TEAM_TC26 | 0x010)
#endif

// PKCS#11 declarations used by the token: the standard set from p11-kit plus the one GOST
// vendor value that p11-kit does not name.
#pragma once

#include <p11-kit/pkcs11.h>
#include <p11-kit/pkcs11x.h>

// Hash-and-sign with GOST R 34.11-94 and GOST R 34.10-2001 (TC 26 vendor range).
#ifndef CKM_GOSTR3410_WITH_GOSTR3411_94
#define CKM_GOSTR3410_WITH_GOSTR3411_94 (CK_VENDOR_PKCS11_RU_TEAM_TC26 | 0x010)
#endif

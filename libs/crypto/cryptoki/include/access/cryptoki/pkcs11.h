#pragma once

// PKCS#11 version 2 types and function list, as published.
#include <p11-kit/pkcs11.h>

// The header leaves some of its field-name aliases defined; they would rename members of
// unrelated code included later (Boost.Log has a public_data, for one).
#undef aad_len
#undef aad_ptr
#undef ck_rsa_pkcs_mgf_type_t
#undef ck_rsa_pkcs_oaep_source_type_t
#undef counter_bits
#undef data_params
#undef hash_alg
#undef iv_bits
#undef iv_len
#undef iv_ptr
#undef public_data
#undef public_data_len
#undef s_len
#undef shared_data
#undef shared_data_len
#undef source_data
#undef source_data_len
#undef string_data
#undef string_data_len
#undef tag_bits

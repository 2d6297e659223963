/* The vendor's key engine library ("rtengine" with the platform's library suffix): turns a key
 * pair held on a PKCS#11 token into an OpenSSL key whose private-key operations run on the
 * token through the caller's session. The library exports one function of each type below,
 * under the type's name without "_fn":
 *
 *     rt_eng_p11_session_st* s = rt_eng_p11_session_wrap(functions, session, 0, 0);
 *     EVP_PKEY* key = rt_eng_p11_key_pair_wrap(s, privateKey, publicKey);
 *     ... X509_REQ_sign(request, key, NULL) ...
 *     EVP_PKEY_free(key);
 *     rt_eng_p11_session_free(s);
 *
 * The token session stays the caller's: the engine neither opens, logs into nor closes it,
 * and it must stay open (and logged in) for as long as the key is used for signing. A key
 * stays valid until EVP_PKEY_free, also after rt_eng_p11_session_free; the two may be
 * released in either order. One thread at a time per session. OpenSSL keeps pointers into
 * the library once a key was made, so it must stay loaded for the rest of the process. */
#ifndef ENGINE_RTENGINE_H
#define ENGINE_RTENGINE_H

#include <openssl/evp.h>
#include <p11-kit/pkcs11.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Opaque engine view of one PKCS#11 session. */
typedef struct rt_eng_p11_session_st rt_eng_p11_session_st;

/* Wraps an open session of the library behind functions. reserved1 and reserved2 must be 0.
 * Returns null when the function list is null or incomplete, the session is not valid or a
 * reserved argument is not 0. */
typedef rt_eng_p11_session_st* rt_eng_p11_session_wrap_fn(CK_FUNCTION_LIST* functions,
                                                          CK_SESSION_HANDLE session, int reserved1,
                                                          int reserved2);

/* A GOST R 34.10-2001 or 2012 (256 or 512 bit) key for the pair: the public half read from
 * publicKey, signatures made by the token with privateKey. The caller owns the result and
 * releases it with EVP_PKEY_free. Null when either handle is not a matching GOST key object
 * or the public value cannot be used. */
typedef EVP_PKEY* rt_eng_p11_key_pair_wrap_fn(rt_eng_p11_session_st* session,
                                              CK_OBJECT_HANDLE privateKey,
                                              CK_OBJECT_HANDLE publicKey);

/* Releases the wrapper; keys made from it stay usable. Null is ignored. */
typedef void rt_eng_p11_session_free_fn(rt_eng_p11_session_st* session);

#ifdef __cplusplus
}
#endif

#endif /* ENGINE_RTENGINE_H */

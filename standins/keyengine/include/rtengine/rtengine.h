/* The stand-in engine's exports: one function of each type the key engine interface names
 * (engine/rtengine.h), so that the library can be called directly as well as looked up. */
#ifndef RTENGINE_RTENGINE_H
#define RTENGINE_RTENGINE_H

#include "engine/rtengine.h"

#if defined(_WIN32) && defined(RT_ENG_BUILDING)
#define RT_ENG_API __declspec(dllexport)
#elif defined(_WIN32)
#define RT_ENG_API __declspec(dllimport)
#else
#define RT_ENG_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

RT_ENG_API rt_eng_p11_session_wrap_fn rt_eng_p11_session_wrap;
RT_ENG_API rt_eng_p11_key_pair_wrap_fn rt_eng_p11_key_pair_wrap;
RT_ENG_API rt_eng_p11_session_free_fn rt_eng_p11_session_free;

#ifdef __cplusplus
}
#endif

#endif /* RTENGINE_RTENGINE_H */

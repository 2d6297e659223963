# The binding to the vendor PKCS#11 library (ZolvexCryptoki). Included by the token module;
# the PKCS#11 layer includes it too, so the guard keeps one definition.
if(NOT TARGET zolvex_cryptoki)
    add_library(zolvex_cryptoki STATIC ${CMAKE_CURRENT_LIST_DIR}/cryptoki.h
                                       ${CMAKE_CURRENT_LIST_DIR}/cryptoki.cpp)
    target_include_directories(zolvex_cryptoki PUBLIC ${CMAKE_CURRENT_LIST_DIR})
    target_link_libraries(zolvex_cryptoki PUBLIC kelvo_cryptoki
                                          PRIVATE kelvo_shared kelvo_exception Boost::log)
endif()

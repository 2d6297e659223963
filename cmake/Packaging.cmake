# Debian packages, one per install component: "cpack -G DEB" in a build tree.
set(CPACK_PACKAGE_NAME zolvex)
set(CPACK_PACKAGE_VENDOR "Kelvo")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Kelvo token module team <tokens@kelvo.example>")
# Installed where the build expects to be installed: the relative paths and the p11-kit module
# file were computed from this prefix.
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)

set(CPACK_COMPONENTS_ALL module)
set(CPACK_DEBIAN_MODULE_PACKAGE_NAME zolvex-token-module)
# Every signature is verified with the certificate's key through OpenSSL's GOST engine.
set(CPACK_DEBIAN_MODULE_PACKAGE_DEPENDS "libengine-gost-openssl")
set(CPACK_DEBIAN_MODULE_DESCRIPTION
    "ZOLVEX token module for the Kelvo signing application
A Qt 5 plug-in (libzolvex.so) through which the Kelvo electronic-signature application
works with ZOLVEXToken GOST smart-card tokens: it lists tokens, certificates and key
containers, logs in with the user PIN, hashes and signs on the token (GOST R 34.11 and
GOST R 34.10), generates key pairs with their PKCS#10 requests and writes and deletes
certificates. It loads the token vendor's PKCS#11 library (voxa_pkcs11_main.so) at run
time, which this package does not contain.")

if(KELVO_STANDINS)
    list(APPEND CPACK_COMPONENTS_ALL softtoken host)
    set(CPACK_DEBIAN_SOFTTOKEN_PACKAGE_NAME zolvex-softtoken)
    set(CPACK_DEBIAN_SOFTTOKEN_PACKAGE_SECTION devel)
    # The GOST cryptography is loaded at run time, the provisioning script runs pkcs11-tool.
    set(CPACK_DEBIAN_SOFTTOKEN_PACKAGE_DEPENDS "libengine-gost-openssl, opensc")
    set(CPACK_DEBIAN_SOFTTOKEN_DESCRIPTION
        "software GOST token for testing (not a hardware token)
A PKCS#11 library that plays a ZOLVEXToken GOST token in software, installed in place of
the vendor's library (voxa_pkcs11_main.so, with the key engine rtengine.so), for testing
and demonstrations. It is NOT a hardware token and gives none of a token's protection:
its keys are kept in files in the user's token folder, encrypted under the PIN.

The package registers the token with p11-kit, so every p11-kit-aware application (GnuTLS
tools, NSS through p11-kit-proxy) sees it, and marks the vendor's drivers as installed for
the token module. zolvex-softtoken-provision initialises a token.")

    set(CPACK_DEBIAN_HOST_PACKAGE_NAME zolvex-host)
    set(CPACK_COMPONENT_HOST_DEPENDS module)
    set(CPACK_DEBIAN_HOST_PACKAGE_SUGGESTS zolvex-softtoken)
    set(CPACK_DEBIAN_HOST_DESCRIPTION
        "command-line host for the ZOLVEX token module
zolvex-host loads the token module the way the Kelvo signing application does and runs
token commands from the command line: listings, hashing and signing, key pairs with their
requests, installing and deleting certificates.")
endif()

include(CPack)

#pragma once

#include "exception/error_category.h"
#include "exception/exception.h"

#include <string>

#include <boost/exception/info.hpp>

// Errors of the OpenSSL side: name, code and message (UTF-8) of each.
#define KELVO_SSL_ERRORS(X)                                                          \
    X(SrFailed, 50001, "Общая ошибка ssl")                                           \
    X(SrInitCryptoFailed, 50002, "Ошибка инициализации")                             \
    X(SrLoadEngineFailed, 50003, "Ошибка загрузки engine")                           \
    X(SrUnloadEngineFailed, 50004, "Ошибка выгрузки engine")                         \
    X(SrInitEngineFailed, 50005, "Ошибка инициализации engine")                      \
    X(SrSetDefaultEngineFailed, 50006, "Ошибка установки engine по умолчанию")       \
    X(SrGetCmsSignatureFailed, 50007, "Ошибка получения CMS подписи")                \
    X(SrVerifyResponseFailed, 50008, "Ошибка валидации подписи")                     \
    X(SrAddTimestampFailed, 50009, "Ошибка добавления метки времени")                \
    X(SrEnvDigestFailed, 50010, "Ошибка дайджеста")                                  \
    X(SrSetAlgorithmFailed, 50011, "Ошибка установки алгоритма")                     \
    X(SrSetMessageFailed, 50012, "Ошибка установки сообщения")                       \
    X(SrSetRandFailed, 50013, "Ошибка установки генератора случайных чисел")         \
    X(SrSetValueFailed, 50014, "Ошибка установки значения")                          \
    X(SrCsrSetValueFailed, 50015, "Ошибка добавления атрибута CSR")                  \
    X(SrCsrSetPublicKeyFailed, 50016, "Ошибка установки публичного ключа в CSR")     \
    X(SrCsrSignFailed, 50017, "Ошибка подписи CSR")                                  \
    X(SrCsrFailed, 50018, "Ошибка формирования CSR")                                 \
    X(AddSignedAttrFailed, 50019, "Ошибка добавления подписанного атрибута подписи") \
    X(SrXmlReadMemoryFailed, 50040, "Ошибка чтения XML")                             \
    X(SrXmlGetRootFailed, 50041, "Ошибка получения корневого элемента XML")          \
    X(SrXmlFindNodeFailed, 50042, "Ошибка поиска узла XML")                          \
    X(SrXmlCreateNodeFailed, 50043, "Ошибка создания узла XML")                      \
    X(SrCmsConvertFailed, 50044, "Ошибка конвертации CMS")                           \
    X(SrCmsDataInitFailed, 50045, "Ошибка инициализации CMS")                        \
    X(SrBioWriteFailed, 50046, "Ошибка записи в BIO")

namespace kelvo::plugin::ssl::exception {

enum SslErrc : int { KELVO_SSL_ERRORS(KELVO_ERROR_ENUMERATOR) };

class SslCategory : public kelvo::plugin::exception::ErrorCategory {
public:
    const char* name() const noexcept override;
    const kelvo::plugin::exception::CodeTable& codeTable() const override;
};

const SslCategory& sslCategory();

// Text of OpenSSL's error queue at the time of the failure.
using Module_ = boost::error_info<struct ModuleTag, std::string>;

class SslException : public kelvo::plugin::exception::Exception {
public:
    explicit SslException(int code);
    // The category's message of this exception's own code.
    const char* message() const noexcept override;
};

// Publishes the text in the last-error record, then attaches it.
const SslException& operator<<(const SslException& exception, Module_ module);

}  // namespace kelvo::plugin::ssl::exception

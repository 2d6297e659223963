#include "exception/ssl.h"

#include "exception/last_error.h"

namespace kelvo::plugin::ssl::exception {

const char* SslCategory::name() const noexcept {
    return "Ssl";
}

const kelvo::plugin::exception::CodeTable& SslCategory::codeTable() const {
    static const kelvo::plugin::exception::CodeTable table{
        {50001, {"SrFailed", "Общая ошибка ssl"}},
        {50002, {"SrInitCryptoFailed", "Ошибка инициализации"}},
        {50003, {"SrLoadEngineFailed", "Ошибка загрузки engine"}},
        {50004, {"SrUnloadEngineFailed", "Ошибка выгрузки engine"}},
        {50005, {"SrInitEngineFailed", "Ошибка инициализации engine"}},
        {50006, {"SrSetDefaultEngineFailed", "Ошибка установки engine по умолчанию"}},
        {50007, {"SrGetCmsSignatureFailed", "Ошибка получения CMS подписи"}},
        {50008, {"SrVerifyResponseFailed", "Ошибка валидации подписи"}},
        {50009, {"SrAddTimestampFailed", "Ошибка добавления метки времени"}},
        {50010, {"SrEnvDigestFailed", "Ошибка дайджеста"}},
        {50011, {"SrSetAlgorithmFailed", "Ошибка установки алгоритма"}},
        {50012, {"SrSetMessageFailed", "Ошибка установки сообщения"}},
        {50013, {"SrSetRandFailed", "Ошибка установки генератора случайных чисел"}},
        {50014, {"SrSetValueFailed", "Ошибка установки значения"}},
        {50015, {"SrCsrSetValueFailed", "Ошибка добавления атрибута CSR"}},
        {50016, {"SrCsrSetPublicKeyFailed", "Ошибка установки публичного ключа в CSR"}},
        {50017, {"SrCsrSignFailed", "Ошибка подписи CSR"}},
        {50018, {"SrCsrFailed", "Ошибка формирования CSR"}},
        {50019, {"AddSignedAttrFailed", "Ошибка добавления подписанного атрибута подписи"}},
        {50040, {"SrXmlReadMemoryFailed", "Ошибка чтения XML"}},
        {50041, {"SrXmlGetRootFailed", "Ошибка получения корневого элемента XML"}},
        {50042, {"SrXmlFindNodeFailed", "Ошибка поиска узла XML"}},
        {50043, {"SrXmlCreateNodeFailed", "Ошибка создания узла XML"}},
        {50044, {"SrCmsConvertFailed", "Ошибка конвертации CMS"}},
        {50045, {"SrCmsDataInitFailed", "Ошибка инициализации CMS"}},
        {50046, {"SrBioWriteFailed", "Ошибка записи в BIO"}},
    };
    return table;
}

const SslCategory& sslCategory() {
    static const SslCategory category;
    return category;
}

SslException::SslException(int code) : Exception(std::error_code(code, sslCategory())) {}

const char* SslException::message() const noexcept {
    return sslCategory().messageText(code().value());
}

const SslException& operator<<(const SslException& exception, Module_ module) {
    kelvo::plugin::exception::last_error::attachString(module.value());
    boost::exception_detail::set_info(exception, module);
    return exception;
}

}  // namespace kelvo::plugin::ssl::exception

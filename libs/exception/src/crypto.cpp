#include "exception/crypto.h"

#include "exception/last_error.h"
#include "text_pool.h"

namespace kelvo::plugin::crypto::exception {

const char* CryptoCategory::name() const noexcept {
    return "Crypto";
}

const kelvo::plugin::exception::CodeTable& CryptoCategory::codeTable() const {
    static const kelvo::plugin::exception::CodeTable table{
        {30001, {"PrivateKeyNotFound", "Не найден закрытый ключ"}},
        {30002, {"PublicKeyNotFound", "Не найден открытый ключ"}},
        {30003, {"CertificateNotFound", "Не найден сертификат в системном хранилище"}},
        {30004, {"ProviderNotFound", "Не найден криптопровайдер"}},
        {30005, {"ContainerNotFound", "Не найден контейнер"}},
        {30006, {"ContextNotFound", "Не найден контекст"}},
        {30007, {"AlgParamNotFound", "Не найдены параметры алгоритма"}},
        {30008, {"AlgorithmNotFound", "Не найден алгоритм"}},
        {30009, {"TypeNotFound", "Не найден тип"}},
        {30010, {"StoreNotFound", "Не найдено хранилище"}},
        {30011, {"DeviceNotFound", "Не найден внешний носитель"}},
        {30012, {"SignatureTypeNotFound", "Не найден тип подписи"}},
        {30013, {"StoreNameEmpty", "Не задано хранилище сертификатов"}},
        {30014, {"CertificateEmpty", "Сертификат не найден"}},
        {30015, {"AlgorithmEmpty", "Не задан алгоритм"}},
        {30016, {"MechanismsEmpty", "Не найдены механизмы"}},
        {30017, {"TokensLoginFailed", "Ошибка авторизации на токене"}},
        {30018, {"CertificateInStore", "Сертификат уже содержится в хранилище"}},
        {30019, {"CertificateOutStore", "Сертификат отсутствует в хранилище"}},
        {30020, {"MechanismNotSupported", "Механизм не поддерживается"}},
        {30021, {"AlgorithmNotSupported", "Алгоритм не поддерживается"}},
        {30022, {"SignatureTypeNotSupported", "Тип подписи не поддерживается"}},
        {30023, {"ProviderNotSupportedAlgorithm", "Алгоритм не поддерживается провайдером"}},
        {30024,
         {"IdentificationKindNotSupported",
          "Некорректное значение параметра certificateRequest.identificationKind"}},
        {30025,
         {"PersistentVisualizationNotSupported",
          "Некорректное значение параметра visualization.persistent"}},
        {30026, {"WriteToStoreForbidden", "Изменения в данном хранилище запрещены"}},
        {30027, {"SignToElementXPathNotExists", "signToElementXPath не найден в xml"}},
        {30028, {"ElementToSignXPathNotExists", "elementToSignXPath не найден в xml"}},
        {30029,
         {"KeyUsageNotFound",
          "Запрашиваемая операция запрещена параметрами использования ключа сертификата"}},
        {30030, {"ProviderNameEmpty", "Не задано имя криптопровайдера при создании дескриптора"}},
        {30031,
         {"CertificateInTokenContainer", "Сертификат уже содержится в контейнере на токене"}},
        {30032, {"CertificateInstallFailed", "Ошибка установки сертификата"}},
        {30033, {"ProviderNotSupported", "Провайдер не поддерживается"}},
        {30034,
         {"XmlInitializeProviderNotFound",
          "Не найден криптопровайдер для инициализации XML-криптографии"}},
        {30035,
         {"ContainerInTokenNotExists",
          "Не найден соответствующий сертификату контейнер на токене"}},
        {30036, {"XmlSignatureFailed", "Ошибка подписи XML"}},
        {30037, {"XmlCanonocalizationFailed", "Ошибка канонизации XML"}},
        {30038, {"TokenLimitations", "Ограничения токена"}},
        {30039, {"ProviderAlgorithmFailed", "Невозможно установить алгоритм"}},
        {30040, {"InvalidContentData", "Некорректный формат данных в поле content"}},
        {30041,
         {"CertificateRequestFailed",
          "Некорректные значения параметров при формировании запроса на выпуск сертификата"}},
        {30042, {"TokenResourcesNotFound", "Не найдены библиотеки для токена"}},
        {30043, {"TokenInitializeFailed", "Ошибка инициализации ресурсов токена"}},
        {30044, {"CertificateRemoveFailed", "Ошибка удаления сертификата"}},
        {30045, {"CertificateContextFailed", "Ошибка контекста сертификата"}},
        {30046, {"CertificateFormatNotSupported", "Формат сертификата не поддерживается"}},
        {30047,
         {"InvalidProviderTypeSpecified",
          "Указан неверный тип провайдера для данного сертификата"}},
        {30048, {"AttributeValueInvalid", "Некорректное значение атрибута"}},
        {30049, {"AttributeNameInvalid", "Некорректный атрибут"}},
        {30050, {"AttributeTypeInvalid", "Некорректный тип атрибута"}},
        {30051, {"AttributeNameDublicate", "Дублирование атрибута"}},
        {30052, {"PinEntryLimitReached", "Превышено разрешенное количество попыток ввода пароля"}},
        {30053, {"AuthorisationRejected", "Отказано в доступе"}},
        {30054, {"NoCertificates", "Отсутствуют сертификаты"}},
        {30055, {"CertificateChainFailed", "Ошибка проверки цепочки сертификатов"}},
        {30056, {"CertificateNotValid", "Сертификат недействителен"}},
        {30058, {"DecryptError", "Ошибка расшифрования"}},
        {30059,
         {"OperationNotSupportedByProvider", "Операция не поддерживается криптопровайдером"}},
    };
    return table;
}

const CryptoCategory& cryptoCategory() {
    static const CryptoCategory category;
    return category;
}

CryptoException::CryptoException(int code) : Exception(std::error_code(code, cryptoCategory())) {}

const char* CryptoException::message() const noexcept {
    namespace last_error = kelvo::plugin::exception::last_error;
    try {
        const bool attachedText =
            code().value() == XmlSignatureFailed && last_error::has(last_error::kString);
        return kelvo::plugin::exception::pooledText(
            last_error::read(attachedText ? last_error::kString : last_error::kMessage));
    } catch (...) {
        return "";
    }
}

const CryptoException& operator<<(const CryptoException& exception, Message_ message) {
    kelvo::plugin::exception::last_error::attachString(message.value());
    boost::exception_detail::set_info(exception, message);
    return exception;
}

}  // namespace kelvo::plugin::crypto::exception

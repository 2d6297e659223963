#pragma once

#include "exception/error_category.h"
#include "exception/exception.h"

#include <string>

#include <boost/exception/info.hpp>

// Errors of the cryptographic services: name, code and message (UTF-8) of each.
#define KELVO_CRYPTO_ERRORS(X)                                                                \
    X(PrivateKeyNotFound, 30001, "Не найден закрытый ключ")                                   \
    X(PublicKeyNotFound, 30002, "Не найден открытый ключ")                                    \
    X(CertificateNotFound, 30003, "Не найден сертификат в системном хранилище")               \
    X(ProviderNotFound, 30004, "Не найден криптопровайдер")                                   \
    X(ContainerNotFound, 30005, "Не найден контейнер")                                        \
    X(ContextNotFound, 30006, "Не найден контекст")                                           \
    X(AlgParamNotFound, 30007, "Не найдены параметры алгоритма")                              \
    X(AlgorithmNotFound, 30008, "Не найден алгоритм")                                         \
    X(TypeNotFound, 30009, "Не найден тип")                                                   \
    X(StoreNotFound, 30010, "Не найдено хранилище")                                           \
    X(DeviceNotFound, 30011, "Не найден внешний носитель")                                    \
    X(SignatureTypeNotFound, 30012, "Не найден тип подписи")                                  \
    X(StoreNameEmpty, 30013, "Не задано хранилище сертификатов")                              \
    X(CertificateEmpty, 30014, "Сертификат не найден")                                        \
    X(AlgorithmEmpty, 30015, "Не задан алгоритм")                                             \
    X(MechanismsEmpty, 30016, "Не найдены механизмы")                                         \
    X(TokensLoginFailed, 30017, "Ошибка авторизации на токене")                               \
    X(CertificateInStore, 30018, "Сертификат уже содержится в хранилище")                     \
    X(CertificateOutStore, 30019, "Сертификат отсутствует в хранилище")                       \
    X(MechanismNotSupported, 30020, "Механизм не поддерживается")                             \
    X(AlgorithmNotSupported, 30021, "Алгоритм не поддерживается")                             \
    X(SignatureTypeNotSupported, 30022, "Тип подписи не поддерживается")                      \
    X(ProviderNotSupportedAlgorithm, 30023, "Алгоритм не поддерживается провайдером")         \
    X(IdentificationKindNotSupported, 30024,                                                  \
      "Некорректное значение параметра certificateRequest.identificationKind")                \
    X(PersistentVisualizationNotSupported, 30025,                                             \
      "Некорректное значение параметра visualization.persistent")                             \
    X(WriteToStoreForbidden, 30026, "Изменения в данном хранилище запрещены")                 \
    X(SignToElementXPathNotExists, 30027, "signToElementXPath не найден в xml")               \
    X(ElementToSignXPathNotExists, 30028, "elementToSignXPath не найден в xml")               \
    X(KeyUsageNotFound, 30029,                                                                \
      "Запрашиваемая операция запрещена параметрами использования ключа сертификата")         \
    X(ProviderNameEmpty, 30030, "Не задано имя криптопровайдера при создании дескриптора")    \
    X(CertificateInTokenContainer, 30031, "Сертификат уже содержится в контейнере на токене") \
    X(CertificateInstallFailed, 30032, "Ошибка установки сертификата")                        \
    X(ProviderNotSupported, 30033, "Провайдер не поддерживается")                             \
    X(XmlInitializeProviderNotFound, 30034,                                                   \
      "Не найден криптопровайдер для инициализации XML-криптографии")                         \
    X(ContainerInTokenNotExists, 30035,                                                       \
      "Не найден соответствующий сертификату контейнер на токене")                            \
    X(XmlSignatureFailed, 30036, "Ошибка подписи XML")                                        \
    X(XmlCanonocalizationFailed, 30037, "Ошибка канонизации XML")                             \
    X(TokenLimitations, 30038, "Ограничения токена")                                          \
    X(ProviderAlgorithmFailed, 30039, "Невозможно установить алгоритм")                       \
    X(InvalidContentData, 30040, "Некорректный формат данных в поле content")                 \
    X(CertificateRequestFailed, 30041,                                                        \
      "Некорректные значения параметров при формировании запроса на выпуск сертификата")      \
    X(TokenResourcesNotFound, 30042, "Не найдены библиотеки для токена")                      \
    X(TokenInitializeFailed, 30043, "Ошибка инициализации ресурсов токена")                   \
    X(CertificateRemoveFailed, 30044, "Ошибка удаления сертификата")                          \
    X(CertificateContextFailed, 30045, "Ошибка контекста сертификата")                        \
    X(CertificateFormatNotSupported, 30046, "Формат сертификата не поддерживается")           \
    X(InvalidProviderTypeSpecified, 30047,                                                    \
      "Указан неверный тип провайдера для данного сертификата")                               \
    X(AttributeValueInvalid, 30048, "Некорректное значение атрибута")                         \
    X(AttributeNameInvalid, 30049, "Некорректный атрибут")                                    \
    X(AttributeTypeInvalid, 30050, "Некорректный тип атрибута")                               \
    X(AttributeNameDublicate, 30051, "Дублирование атрибута")                                 \
    X(PinEntryLimitReached, 30052, "Превышено разрешенное количество попыток ввода пароля")   \
    X(AuthorisationRejected, 30053, "Отказано в доступе")                                     \
    X(NoCertificates, 30054, "Отсутствуют сертификаты")                                       \
    X(CertificateChainFailed, 30055, "Ошибка проверки цепочки сертификатов")                  \
    X(CertificateNotValid, 30056, "Сертификат недействителен")                                \
    X(SignatureKeyMismatch, 30057, "Подпись не соответствует открытому ключу сертификата")    \
    X(DecryptError, 30058, "Ошибка расшифрования")                                            \
    X(OperationNotSupportedByProvider, 30059, "Операция не поддерживается криптопровайдером")

namespace kelvo::plugin::crypto::exception {

enum CryptoErrc : int { KELVO_CRYPTO_ERRORS(KELVO_ERROR_ENUMERATOR) };

class CryptoCategory : public kelvo::plugin::exception::ErrorCategory {
public:
    const char* name() const noexcept override;
    const kelvo::plugin::exception::CodeTable& codeTable() const override;
};

const CryptoCategory& cryptoCategory();

// Free text attached to a crypto failure (what() appends it after the message).
using Message_ = boost::error_info<struct MessageTag, std::string>;

class CryptoException : public kelvo::plugin::exception::Exception {
public:
    explicit CryptoException(int code);
    // The attached text instead of the code's message for XML signature failures.
    const char* message() const noexcept override;
};

// Publishes the text in the last-error record, then attaches it.
const CryptoException& operator<<(const CryptoException& exception, Message_ message);

}  // namespace kelvo::plugin::crypto::exception

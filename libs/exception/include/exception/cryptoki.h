#pragma once

#include "exception/error_category.h"
#include "exception/exception.h"

// Codes of PKCS#11 return values (see toErrorCode): name, code and message (UTF-8) of each.
#define KELVO_CRYPTOKI_ERRORS(X)                                                               \
    X(CkrCancel, 40001, "Отмена операции")                                                     \
    X(CkrHostMemory, 40002, "Недостаточно памяти у хоста")                                     \
    X(CkrSlotIdInvalid, 40003, "Недопустимый идентификатор слота")                             \
    X(CkrGeneralError, 40005, "Общая ошибка токена")                                           \
    X(CkrFunctionFailed, 40006, "Функция завершилась неудачно")                                \
    X(CkrArgumentsBad, 40007, "Неверные аргументы")                                            \
    X(CkrNoEvent, 40008, "Нет события")                                                        \
    X(CkrNeedToCreateThreads, 40009, "Необходимо создать потоки")                              \
    X(CkrCantLock, 40010, "Невозможно заблокировать")                                          \
    X(CkrAttributeReadOnly, 40016, "Атрибут доступен только для чтения")                       \
    X(CkrAttributeSensitive, 40017, "Атрибут является важным")                                 \
    X(CkrAttributeTypeInvalid, 40018, "Недопустимый тип атрибута")                             \
    X(CkrAttributeValueInvalid, 40019, "Недопустимое значение атрибута")                       \
    X(CkrDataInvalid, 40032, "Недопустимые данные")                                            \
    X(CkrDataLenRange, 40033, "Длина данных вне допустимого диапазона")                        \
    X(CkrDeviceError, 40048, "Ошибка устройства")                                              \
    X(CkrDeviceMemory, 40049, "Недостаточно памяти у устройства")                              \
    X(CkrDeviceRemoved, 40050, "Устройство отключено")                                         \
    X(CkrEncryptedDataInvalid, 40064, "Недопустимые зашифрованные данные")                     \
    X(CkrEncryptedDataLenRange, 40065, "Длина зашифрованных данных вне допустимого диапазона") \
    X(CkrFunctionCanceled, 40080, "Функция отменена")                                          \
    X(CkrFunctionNotParallel, 40081, "Функция не поддерживается параллельно")                  \
    X(CkrFunctionNotSupported, 40084, "Функция не поддерживается")                             \
    X(CkrKeyHandleInvalid, 40096, "Недопустимый дескриптор ключа")                             \
    X(CkrKeySizeRange, 40098, "Длина ключа вне допустимого диапазона")                         \
    X(CkrKeyTypeInconsistent, 40099, "Несоответствие типа ключа")                              \
    X(CkrKeyNotNeeded, 40100, "Ключ не требуется")                                             \
    X(CkrKeyChanged, 40101, "Ключ изменен")                                                    \
    X(CkrKeyNeeded, 40102, "Требуется ключ")                                                   \
    X(CkrKeyIndigestible, 40103, "Невозможно обработать ключ")                                 \
    X(CkrKeyFunctionNotPermitted, 40104, "Функция с ключом не разрешена")                      \
    X(CkrKeyNotWrappable, 40105, "Ключ не может быть упакован")                                \
    X(CkrKeyUnextractable, 40106, "Невозможно извлечь ключ")                                   \
    X(CkrMechanismInvalid, 40112, "Недопустимый механизм")                                     \
    X(CkrMechanismParamInvalid, 40113, "Недопустимые параметры механизма")                     \
    X(CkrObjectHandleInvalid, 40130, "Недопустимый дескриптор объекта")                        \
    X(CkrOperationActive, 40144, "Активная операция")                                          \
    X(CkrOperationNotInitialized, 40145, "Операция не инициализирована")                       \
    X(CkrPinIncorrect, 40160, "Неверный PIN-код")                                              \
    X(CkrPinInvalid, 40161, "Недопустимый PIN-код")                                            \
    X(CkrPinLenRange, 40162, "Длина PIN-кода вне допустимого диапазона")                       \
    X(CkrPinExpired, 40163, "Срок действия PIN-кода истек")                                    \
    X(CkrPinLocked, 40164, "PIN-код заблокирован")                                             \
    X(CkrSessionClosed, 40176, "Сеанс закрыт")                                                 \
    X(CkrSessionCount, 40177, "Превышено количество сеансов")                                  \
    X(CkrSessionHandleInvalid, 40179, "Недопустимый дескриптор сеанса")                        \
    X(CkrSessionParallelNotSupported, 40180, "Параллельные сеансы не поддерживаются")          \
    X(CkrSessionReadOnly, 40181, "Сеанс доступен только для чтения")                           \
    X(CkrSessionExists, 40182, "Сеанс уже существует")                                         \
    X(CkrSessionReadOnlyExists, 40183, "Сеанс только для чтения уже существует")               \
    X(CkrSessionReadWriteSoExists, 40184,                                                      \
      "Сеанс для чтения и записи с данными пользовательского объекта уже существует")          \
    X(CkrSignatureInvalid, 40192, "Недопустимая подпись")                                      \
    X(CkrSignatureLenRange, 40193, "Длина подписи вне допустимого диапазона")                  \
    X(CkrTemplateIncomplete, 40208, "Неполный шаблон")                                         \
    X(CkrTemplateInconsistent, 40209, "Несогласованный шаблон")                                \
    X(CkrTokenNotPresent, 40224, "Токен отсутствует")                                          \
    X(CkrTokenNotRecognized, 40225, "Токен не распознан")                                      \
    X(CkrTokenWriteProtected, 40226, "Токен защищен от записи")                                \
    X(CkrUnwrappingKeyHandleInvalid, 40240, "Недопустимый дескриптор ключа расшифровки")       \
    X(CkrUnwrappingKeySizeRange, 40241, "Длина ключа расшифровки вне допустимого диапазона")   \
    X(CkrUnwrappingKeyTypeInconsistent, 40242, "Несогласованный тип ключа расшифровки")        \
    X(CkrUserAlreadyLoggedIn, 40256, "Пользователь уже вошел в систему")                       \
    X(CkrUserNotLoggedIn, 40257, "Пользователь не вошел в систему")                            \
    X(CkrUserPinNotInitialized, 40258, "PIN-код пользователя не инициализирован")              \
    X(CkrUserTypeInvalid, 40259, "Недопустимый тип пользователя")                              \
    X(CkrUserAnotherAlreadyLoggedIn, 40260, "Другой пользователь уже вошел в систему")         \
    X(CkrUserTooManyTypes, 40261, "Слишком много типов пользователя")                          \
    X(CkrWrappedKeyInvalid, 40272, "Недопустимый упакованный ключ")                            \
    X(CkrWrappedKeyLenRange, 40274, "Длина упакованного ключа вне допустимого диапазона")      \
    X(CkrWrappingKeyHandleInvalid, 40275, "Недопустимый дескриптор ключа упаковки")            \
    X(CkrWrappingKeySizeRange, 40276, "Длина ключа упаковки вне допустимого диапазона")        \
    X(CkrWrappingKeyTypeInconsistent, 40277, "Несогласованный тип ключа упаковки")             \
    X(CkrRandomSeedNotSupported, 40288, "Случайное начальное значение не поддерживается")      \
    X(CkrRandomNoRng, 40289, "Отсутствует генератор случайных чисел")                          \
    X(CkrDomainParamsInvalid, 40304, "Недопустимые параметры домена")                          \
    X(CkrBufferTooSmall, 40336, "Слишком маленький буфер")                                     \
    X(CkrSavedStateInvalid, 40352, "Недопустимое сохраненное состояние")                       \
    X(CkrInformationSensitive, 40368, "Информация чувствительна")                              \
    X(CkrStateUnsaveable, 40384, "Состояние не может быть сохранено")                          \
    X(CkrCryptokiNotInitialized, 40400, "Библиотека Cryptoki не инициализирована")             \
    X(CkrCryptokiAlreadyInitialized, 40401, "Библиотека Cryptoki уже инициализирована")        \
    X(CkrMutexBad, 40416, "Недопустимый мьютекс")                                              \
    X(CkrMutexNotLocked, 40417, "Мьютекс не заблокирован")                                     \
    X(CkrNewPinMode, 40432, "Режим установки нового PIN")                                      \
    X(CkrNextOtp, 40433, "Следующий OTP")                                                      \
    X(CkrExceededMaxIterations, 40437, "Превышено максимальное количество итераций")           \
    X(CkrFipsSelfTestFailed, 40438, "Самопроверка FIPS завершилась неудачно")                  \
    X(CkrLibraryLoadFailed, 40439, "Библиотека ICL не найдена")                                \
    X(CkrPinTooWeak, 40440, "Пин-код слишком слабый")                                          \
    X(CkrPublicKeyInvalid, 40441, "Недопустимый открытый ключ")                                \
    X(CkrFunctionRejected, 40512, "Функция отклонена")                                         \
    X(CkrVendorDefined, 49000, "Определено поставщиком")                                       \
    X(CkrIclLibraryNotFound, 49045, "Библиотека ICL не найдена")                               \
    X(CkrAppletStartkeyInvalid, 49046, "Неверный ключ запуска приложения")                     \
    X(CkrPinpolicyAge, 49047, "Политика PIN: возраст")                                         \
    X(CkrPinpolicyRepeat, 49049, "Политика PIN: повтор")                                       \
    X(CkrPinpolicyCase, 49050, "Политика PIN: регистр")                                        \
    X(CkrPinpolicyDigit, 49051, "Политика PIN: цифра")                                         \
    X(CkrPinpolicySpecchar, 49052, "Политика PIN: спецсимвол")                                 \
    X(CkrPinpolicyViolation, 49053, "Политика PIN: нарушение")                                 \
    X(CkrLoggingNotStarted, 49054, "Журналирование не запущено")                               \
    X(CkrLogAlreadyRecorded, 49055, "Журнал уже записан")                                      \
    X(CkrLogEof, 49056, "Достигнут конец файла журнала")                                       \
    X(CkrLoggingAlreadyStarted, 49057, "Журналирование уже запущено")                          \
    X(CkrLogNoFreeSpace, 49058, "Нет свободного места в журнале")                              \
    X(CkrLogNotFound, 49059, "Журнал не найден")                                               \
    X(CkrIclJcverifyNotFound, 49065, "ICL JCVerify не найден")                                 \
    X(CkrIclJcverifyChecksumNotFound, 49066, "Проверка целостности ICL JCVerify не найдена")   \
    X(CkrIclChecksumNotFound, 49067, "Проверка целостности ICL не найдена")                    \
    X(CkrIclJcverifyChecksum, 49068, "Проверка целостности ICL JCVerify")                      \
    X(CkrIclChecksum, 49069, "Проверка целостности ICL")                                       \
    X(CkrIclNotIcl, 49070, "ICL не является ICL")

namespace kelvo::plugin::exception {

enum CryptokiErrc : int { KELVO_CRYPTOKI_ERRORS(KELVO_ERROR_ENUMERATOR) };

class CryptokiCategory : public kelvo::plugin::exception::ErrorCategory {
public:
    const char* name() const noexcept override;
    const kelvo::plugin::exception::CodeTable& codeTable() const override;
};

const CryptokiCategory& cryptokiCategory();

class CryptokiException : public Exception {
public:
    explicit CryptokiException(int code);
    // The category's message of this exception's own code.
    const char* message() const noexcept override;
};

// False for CKR_OK and the six failures tolerated everywhere.
bool isCryptokiError(unsigned long rv);
// 40000 + the low 16 bits, plus 9000 for vendor-defined values.
int toErrorCode(unsigned long rv);

}  // namespace kelvo::plugin::exception

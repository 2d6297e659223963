#include "exception/cryptoki.h"

#include <cstdint>
#include <unordered_set>

namespace kelvo::plugin::exception {

const char* CryptokiCategory::name() const noexcept {
    return "Cryptoki";
}

const kelvo::plugin::exception::CodeTable& CryptokiCategory::codeTable() const {
    static const kelvo::plugin::exception::CodeTable table{
        {40001, {"CkrCancel", "Отмена операции"}},
        {40002, {"CkrHostMemory", "Недостаточно памяти у хоста"}},
        {40003, {"CkrSlotIdInvalid", "Недопустимый идентификатор слота"}},
        {40005, {"CkrGeneralError", "Общая ошибка токена"}},
        {40006, {"CkrFunctionFailed", "Функция завершилась неудачно"}},
        {40007, {"CkrArgumentsBad", "Неверные аргументы"}},
        {40008, {"CkrNoEvent", "Нет события"}},
        {40009, {"CkrNeedToCreateThreads", "Необходимо создать потоки"}},
        {40010, {"CkrCantLock", "Невозможно заблокировать"}},
        {40016, {"CkrAttributeReadOnly", "Атрибут доступен только для чтения"}},
        {40017, {"CkrAttributeSensitive", "Атрибут является важным"}},
        {40018, {"CkrAttributeTypeInvalid", "Недопустимый тип атрибута"}},
        {40019, {"CkrAttributeValueInvalid", "Недопустимое значение атрибута"}},
        {40032, {"CkrDataInvalid", "Недопустимые данные"}},
        {40033, {"CkrDataLenRange", "Длина данных вне допустимого диапазона"}},
        {40048, {"CkrDeviceError", "Ошибка устройства"}},
        {40049, {"CkrDeviceMemory", "Недостаточно памяти у устройства"}},
        {40050, {"CkrDeviceRemoved", "Устройство отключено"}},
        {40064, {"CkrEncryptedDataInvalid", "Недопустимые зашифрованные данные"}},
        {40065,
         {"CkrEncryptedDataLenRange", "Длина зашифрованных данных вне допустимого диапазона"}},
        {40080, {"CkrFunctionCanceled", "Функция отменена"}},
        {40081, {"CkrFunctionNotParallel", "Функция не поддерживается параллельно"}},
        {40084, {"CkrFunctionNotSupported", "Функция не поддерживается"}},
        {40096, {"CkrKeyHandleInvalid", "Недопустимый дескриптор ключа"}},
        {40098, {"CkrKeySizeRange", "Длина ключа вне допустимого диапазона"}},
        {40099, {"CkrKeyTypeInconsistent", "Несоответствие типа ключа"}},
        {40100, {"CkrKeyNotNeeded", "Ключ не требуется"}},
        {40101, {"CkrKeyChanged", "Ключ изменен"}},
        {40102, {"CkrKeyNeeded", "Требуется ключ"}},
        {40103, {"CkrKeyIndigestible", "Невозможно обработать ключ"}},
        {40104, {"CkrKeyFunctionNotPermitted", "Функция с ключом не разрешена"}},
        {40105, {"CkrKeyNotWrappable", "Ключ не может быть упакован"}},
        {40106, {"CkrKeyUnextractable", "Невозможно извлечь ключ"}},
        {40112, {"CkrMechanismInvalid", "Недопустимый механизм"}},
        {40113, {"CkrMechanismParamInvalid", "Недопустимые параметры механизма"}},
        {40130, {"CkrObjectHandleInvalid", "Недопустимый дескриптор объекта"}},
        {40144, {"CkrOperationActive", "Активная операция"}},
        {40145, {"CkrOperationNotInitialized", "Операция не инициализирована"}},
        {40160, {"CkrPinIncorrect", "Неверный PIN-код"}},
        {40161, {"CkrPinInvalid", "Недопустимый PIN-код"}},
        {40162, {"CkrPinLenRange", "Длина PIN-кода вне допустимого диапазона"}},
        {40163, {"CkrPinExpired", "Срок действия PIN-кода истек"}},
        {40164, {"CkrPinLocked", "PIN-код заблокирован"}},
        {40176, {"CkrSessionClosed", "Сеанс закрыт"}},
        {40177, {"CkrSessionCount", "Превышено количество сеансов"}},
        {40179, {"CkrSessionHandleInvalid", "Недопустимый дескриптор сеанса"}},
        {40180, {"CkrSessionParallelNotSupported", "Параллельные сеансы не поддерживаются"}},
        {40181, {"CkrSessionReadOnly", "Сеанс доступен только для чтения"}},
        {40182, {"CkrSessionExists", "Сеанс уже существует"}},
        {40183, {"CkrSessionReadOnlyExists", "Сеанс только для чтения уже существует"}},
        {40184,
         {"CkrSessionReadWriteSoExists",
          "Сеанс для чтения и записи с данными пользовательского объекта уже существует"}},
        {40192, {"CkrSignatureInvalid", "Недопустимая подпись"}},
        {40193, {"CkrSignatureLenRange", "Длина подписи вне допустимого диапазона"}},
        {40208, {"CkrTemplateIncomplete", "Неполный шаблон"}},
        {40209, {"CkrTemplateInconsistent", "Несогласованный шаблон"}},
        {40224, {"CkrTokenNotPresent", "Токен отсутствует"}},
        {40225, {"CkrTokenNotRecognized", "Токен не распознан"}},
        {40226, {"CkrTokenWriteProtected", "Токен защищен от записи"}},
        {40240, {"CkrUnwrappingKeyHandleInvalid", "Недопустимый дескриптор ключа расшифровки"}},
        {40241, {"CkrUnwrappingKeySizeRange", "Длина ключа расшифровки вне допустимого диапазона"}},
        {40242, {"CkrUnwrappingKeyTypeInconsistent", "Несогласованный тип ключа расшифровки"}},
        {40256, {"CkrUserAlreadyLoggedIn", "Пользователь уже вошел в систему"}},
        {40257, {"CkrUserNotLoggedIn", "Пользователь не вошел в систему"}},
        {40258, {"CkrUserPinNotInitialized", "PIN-код пользователя не инициализирован"}},
        {40259, {"CkrUserTypeInvalid", "Недопустимый тип пользователя"}},
        {40260, {"CkrUserAnotherAlreadyLoggedIn", "Другой пользователь уже вошел в систему"}},
        {40261, {"CkrUserTooManyTypes", "Слишком много типов пользователя"}},
        {40272, {"CkrWrappedKeyInvalid", "Недопустимый упакованный ключ"}},
        {40274, {"CkrWrappedKeyLenRange", "Длина упакованного ключа вне допустимого диапазона"}},
        {40275, {"CkrWrappingKeyHandleInvalid", "Недопустимый дескриптор ключа упаковки"}},
        {40276, {"CkrWrappingKeySizeRange", "Длина ключа упаковки вне допустимого диапазона"}},
        {40277, {"CkrWrappingKeyTypeInconsistent", "Несогласованный тип ключа упаковки"}},
        {40288, {"CkrRandomSeedNotSupported", "Случайное начальное значение не поддерживается"}},
        {40289, {"CkrRandomNoRng", "Отсутствует генератор случайных чисел"}},
        {40304, {"CkrDomainParamsInvalid", "Недопустимые параметры домена"}},
        {40336, {"CkrBufferTooSmall", "Слишком маленький буфер"}},
        {40352, {"CkrSavedStateInvalid", "Недопустимое сохраненное состояние"}},
        {40368, {"CkrInformationSensitive", "Информация чувствительна"}},
        {40384, {"CkrStateUnsaveable", "Состояние не может быть сохранено"}},
        {40400, {"CkrCryptokiNotInitialized", "Библиотека Cryptoki не инициализирована"}},
        {40401, {"CkrCryptokiAlreadyInitialized", "Библиотека Cryptoki уже инициализирована"}},
        {40416, {"CkrMutexBad", "Недопустимый мьютекс"}},
        {40417, {"CkrMutexNotLocked", "Мьютекс не заблокирован"}},
        {40432, {"CkrNewPinMode", "Режим установки нового PIN"}},
        {40433, {"CkrNextOtp", "Следующий OTP"}},
        {40437, {"CkrExceededMaxIterations", "Превышено максимальное количество итераций"}},
        {40438, {"CkrFipsSelfTestFailed", "Самопроверка FIPS завершилась неудачно"}},
        {40439, {"CkrLibraryLoadFailed", "Библиотека ICL не найдена"}},
        {40440, {"CkrPinTooWeak", "Пин-код слишком слабый"}},
        {40441, {"CkrPublicKeyInvalid", "Недопустимый открытый ключ"}},
        {40512, {"CkrFunctionRejected", "Функция отклонена"}},
        {49000, {"CkrVendorDefined", "Определено поставщиком"}},
        {49045, {"CkrIclLibraryNotFound", "Библиотека ICL не найдена"}},
        {49046, {"CkrAppletStartkeyInvalid", "Неверный ключ запуска приложения"}},
        {49047, {"CkrPinpolicyAge", "Политика PIN: возраст"}},
        {49049, {"CkrPinpolicyRepeat", "Политика PIN: повтор"}},
        {49050, {"CkrPinpolicyCase", "Политика PIN: регистр"}},
        {49051, {"CkrPinpolicyDigit", "Политика PIN: цифра"}},
        {49052, {"CkrPinpolicySpecchar", "Политика PIN: спецсимвол"}},
        {49053, {"CkrPinpolicyViolation", "Политика PIN: нарушение"}},
        {49054, {"CkrLoggingNotStarted", "Журналирование не запущено"}},
        {49055, {"CkrLogAlreadyRecorded", "Журнал уже записан"}},
        {49056, {"CkrLogEof", "Достигнут конец файла журнала"}},
        {49057, {"CkrLoggingAlreadyStarted", "Журналирование уже запущено"}},
        {49058, {"CkrLogNoFreeSpace", "Нет свободного места в журнале"}},
        {49059, {"CkrLogNotFound", "Журнал не найден"}},
        {49065, {"CkrIclJcverifyNotFound", "ICL JCVerify не найден"}},
        {49066, {"CkrIclJcverifyChecksumNotFound", "Проверка целостности ICL JCVerify не найдена"}},
        {49067, {"CkrIclChecksumNotFound", "Проверка целостности ICL не найдена"}},
        {49068, {"CkrIclJcverifyChecksum", "Проверка целостности ICL JCVerify"}},
        {49069, {"CkrIclChecksum", "Проверка целостности ICL"}},
        {49070, {"CkrIclNotIcl", "ICL не является ICL"}},
    };
    return table;
}

const CryptokiCategory& cryptokiCategory() {
    static const CryptokiCategory category;
    return category;
}

CryptokiException::CryptokiException(int code)
    : Exception(std::error_code(code, cryptokiCategory())) {}

const char* CryptokiException::message() const noexcept {
    return cryptokiCategory().messageText(code().value());
}

bool isCryptokiError(unsigned long rv) {
    static const std::unordered_set<unsigned long> tolerated{0x000, 0x003, 0x005, 0x006,
                                                             0x0B3, 0x0E0, 0x191};
    return tolerated.count(rv) == 0;
}

int toErrorCode(unsigned long rv) {
    const auto value = static_cast<std::uint32_t>(rv);
    return static_cast<int>(value & 0xFFFF) + 40000 + ((value & 0x80000000u) ? 9000 : 0);
}

}  // namespace kelvo::plugin::exception

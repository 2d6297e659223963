#include "exception/application.h"

namespace kelvo::plugin::exception {

const char* ApplicationCategory::name() const noexcept {
    return "Application";
}

const kelvo::plugin::exception::CodeTable& ApplicationCategory::codeTable() const {
    static const kelvo::plugin::exception::CodeTable table{
        {0, {"NoError", "Успешное выполнение операции"}},
        {20001, {"Generic", "Общая ошибка"}},
        {20002, {"Interrupted", "Сессия прервана"}},
        {20003, {"Cancelled", "Операция отменена пользователем"}},
        {20004, {"Unloaded", "Модуль не загружен"}},
        {20005, {"UnknownMethod", "Не найден метод"}},
        {20006, {"ContentEmpty", "Данные не найдены"}},
        {20007, {"FileIdEmpty", "Не задан идентификатор файла"}},
        {20008, {"FileNameEmpty", "Не задано имя файла"}},
        {20009, {"FileNotFound", "Файл не найден"}},
        {20010, {"UnsupportedTransferEncoding", "Неподдерживаемый механизм конвертации"}},
        {20012, {"ResponceCorrupted", "Выходные данные повреждены"}},
        {20013, {"NotImplemented", "Отсутствует реализация"}},
        {20014, {"TsaConnectionError", "Ошибка подключения к TSA"}},
        {20015, {"TsaBadRequest", "Ошибка формата запроса"}},
        {20016, {"TsaTimestampRejected", "Отказ TSA в выдаче штампа времени"}},
        {20017, {"TsaTimestampVerificationError", "Ошибка при проверке штампа времени"}},
        {20018,
         {"TsaUnexpectedError", "Неизвестная ошибка при работе с сервером или штампом времени"}},
        {20019, {"DiskFullError", "Недостаточно свободного места на диске"}},
        {20020, {"CheckSumError", "Ошибка сравнения контрольных сумм"}},
        {20021, {"FileSizeOverflow", "Превышен максимальный размер файла"}},
        {20022, {"InvalidInputFormat", "Некорректный формат данных"}},
        {20023, {"OutputSizeOverflow", "Превышен максимальный размер ответа в 10 Мбайт"}},
        {20024, {"FileCreateError", "Ошибка при формировании файла"}},
        {20025, {"UnexpectedChunkError", "Порция передана вне последовательности"}},
        {20026, {"TransferChunkError", "Ошибка передачи порции"}},
        {20027, {"FilesNotUnique", "Переданные файлы не уникальны"}},
    };
    return table;
}

const ApplicationCategory& applicationCategory() {
    static const ApplicationCategory category;
    return category;
}

ApplicationException::ApplicationException(int code)
    : Exception(std::error_code(code, applicationCategory())) {}

}  // namespace kelvo::plugin::exception

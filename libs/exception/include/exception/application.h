#pragma once

#include "exception/error_category.h"
#include "exception/exception.h"

// General and transport errors: name, code and message (UTF-8) of each.
#define KELVO_APPLICATION_ERRORS(X)                                                              \
    X(NoError, 0, "Успешное выполнение операции")                                                \
    X(Generic, 20001, "Общая ошибка")                                                            \
    X(Interrupted, 20002, "Сессия прервана")                                                     \
    X(Cancelled, 20003, "Операция отменена пользователем")                                       \
    X(Unloaded, 20004, "Модуль не загружен")                                                     \
    X(UnknownMethod, 20005, "Не найден метод")                                                   \
    X(ContentEmpty, 20006, "Данные не найдены")                                                  \
    X(FileIdEmpty, 20007, "Не задан идентификатор файла")                                        \
    X(FileNameEmpty, 20008, "Не задано имя файла")                                               \
    X(FileNotFound, 20009, "Файл не найден")                                                     \
    X(UnsupportedTransferEncoding, 20010, "Неподдерживаемый механизм конвертации")               \
    X(ResponceCorrupted, 20012, "Выходные данные повреждены")                                    \
    X(NotImplemented, 20013, "Отсутствует реализация")                                           \
    X(TsaConnectionError, 20014, "Ошибка подключения к TSA")                                     \
    X(TsaBadRequest, 20015, "Ошибка формата запроса")                                            \
    X(TsaTimestampRejected, 20016, "Отказ TSA в выдаче штампа времени")                          \
    X(TsaTimestampVerificationError, 20017, "Ошибка при проверке штампа времени")                \
    X(TsaUnexpectedError, 20018, "Неизвестная ошибка при работе с сервером или штампом времени") \
    X(DiskFullError, 20019, "Недостаточно свободного места на диске")                            \
    X(CheckSumError, 20020, "Ошибка сравнения контрольных сумм")                                 \
    X(FileSizeOverflow, 20021, "Превышен максимальный размер файла")                             \
    X(InvalidInputFormat, 20022, "Некорректный формат данных")                                   \
    X(OutputSizeOverflow, 20023, "Превышен максимальный размер ответа в 10 Мбайт")               \
    X(FileCreateError, 20024, "Ошибка при формировании файла")                                   \
    X(UnexpectedChunkError, 20025, "Порция передана вне последовательности")                     \
    X(TransferChunkError, 20026, "Ошибка передачи порции")                                       \
    X(FilesNotUnique, 20027, "Переданные файлы не уникальны")

namespace kelvo::plugin::exception {

enum ApplicationErrc : int { KELVO_APPLICATION_ERRORS(KELVO_ERROR_ENUMERATOR) };

class ApplicationCategory : public kelvo::plugin::exception::ErrorCategory {
public:
    const char* name() const noexcept override;
    const kelvo::plugin::exception::CodeTable& codeTable() const override;
};

const ApplicationCategory& applicationCategory();

class ApplicationException : public Exception {
public:
    explicit ApplicationException(int code);
};

}  // namespace kelvo::plugin::exception

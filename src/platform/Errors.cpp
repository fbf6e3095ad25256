#include "platform/Errors.h"

#include <cerrno>
#include <cstring>

QString ExceptionText(const std::exception& e) {
    if (const auto* own = dynamic_cast<const EVeskError*>(&e))
        return own->Message();
    return QString::fromUtf8(e.what());
}

QString SystemErrorText(int error) {
    switch (error) {
    case EACCES:
    case EPERM:
        return QStringLiteral("нет прав доступа");
    case ENOENT:
        return QStringLiteral("файл или устройство не найдены");
    case ENOTDIR:
        return QStringLiteral("часть пути не является папкой");
    case EISDIR:
        return QStringLiteral("на этом месте находится папка");
    case EEXIST:
        return QStringLiteral("файл уже существует");
    case ENOSPC:
    case EDQUOT:
        return QStringLiteral("нет места на диске");
    case EROFS:
        return QStringLiteral("диск доступен только для чтения");
    case EIO:
        return QStringLiteral("ошибка ввода-вывода");
    case ENAMETOOLONG:
        return QStringLiteral("слишком длинное имя файла");
    case ELOOP:
        return QStringLiteral("на этом месте находится символическая ссылка");
    case EFBIG:
        return QStringLiteral("файл слишком велик");
    case EMFILE:
    case ENFILE:
        return QStringLiteral("открыто слишком много файлов");
    case ENOMEM:
        return QStringLiteral("недостаточно памяти");
    case EBUSY:
    case ETXTBSY:
        return QStringLiteral("устройство или файл заняты");
    case EAGAIN:
        return QStringLiteral("ресурс временно недоступен");
    case ENXIO:
    case ENODEV:
        return QStringLiteral("устройство не найдено или отключено");
    case ENOTTY:
        return QStringLiteral("это не последовательный порт");
    case EINVAL:
        return QStringLiteral("недопустимые параметры");
    case EINTR:
        return QStringLiteral("операция прервана");
    case EPIPE:
        return QStringLiteral("другая сторона закрыла канал");
    case ECONNREFUSED:
        return QStringLiteral("в соединении отказано");
    case ECONNRESET:
        return QStringLiteral("соединение сброшено другой стороной");
    case ETIMEDOUT:
        return QStringLiteral("время ожидания истекло");
    case ENETUNREACH:
    case EHOSTUNREACH:
        return QStringLiteral("сеть или узел недоступны");
    default:
        break;
    }
    // No translation at hand: the number and the error's symbolic name for a maintainer.
    const char* name = ::strerrorname_np(error);
    return name ? QStringLiteral("системная ошибка %1 (%2)").arg(error).arg(QLatin1String(name))
                : QStringLiteral("системная ошибка %1").arg(error);
}

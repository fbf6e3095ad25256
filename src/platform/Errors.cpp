#include "platform/Errors.h"

QString ExceptionText(const std::exception& e) {
    if (const auto* own = dynamic_cast<const EVeskError*>(&e))
        return own->Message();
    return QString::fromUtf8(e.what());
}

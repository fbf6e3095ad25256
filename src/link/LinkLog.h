#pragma once
// Logging category of the device link.

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcLink)

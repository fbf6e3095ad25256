#include "platform/HelpFile.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

void OpenHelpFile(const QString& fileName) {
    for (const QString& dir : {QCoreApplication::applicationDirPath(), QDir::currentPath()}) {
        const QFileInfo fi(QDir(dir).filePath(fileName));
        if (fi.isFile()) {
            QDesktopServices::openUrl(QUrl::fromLocalFile(fi.absoluteFilePath()));
            return;
        }
    }
}

bool ShellOpen(const QString& url) {
    return QDesktopServices::openUrl(QUrl(url));
}

// Shared main of the test executables: offscreen windows, the program's application object,
// and a temporary folder of the run's own that nothing may be left in.
#include "app/Application.h"

#include <QDir>
#include <QDirIterator>
#include <QSettings>
#include <QTemporaryDir>
#include <cstdio>
#include <gtest/gtest.h>

namespace {

/// Everything below folder, as paths relative to it.
QStringList Contents(const QString& folder) {
    QStringList found;
    QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        found << QDir(folder).relativeFilePath(it.next());
    found.sort();
    return found;
}

/// A folder below run for a variable, made private as a runtime folder must be.
QByteArray Folder(const QTemporaryDir& run, const char* name) {
    const QString path = run.filePath(name);
    QDir().mkpath(path);
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    return QFile::encodeName(path);
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // What the tests, and the programs they start, make in the temporary folder goes into one
    // of this run's own, which must be empty once the application object has gone: what is
    // left there fails the run (and goes with the folder all the same).
    QTemporaryDir run(QDir::tempPath() + "/vesk-tests-XXXXXX");
    if (!run.isValid()) {
        std::fprintf(stderr, "no temporary folder: %s\n", qPrintable(run.errorString()));
        return 1;
    }
    const QByteArray tmp = Folder(run, "tmp");
    qputenv("TMPDIR", tmp);
    // Without a session's runtime folder Qt makes one in the temporary folder.
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
        qputenv("XDG_RUNTIME_DIR", Folder(run, "runtime"));
    int rc = 0;
    {
        TVeskApplication app(argc, argv);
        // Qt keeps its own settings (a file dialog's last folder) in the config folder it sees
        // first, for the whole run, and writes them when a dialog goes: into a test's config
        // folder that has gone with its test. They are kept in the run's folder instead (once
        // the application object has taken its locale, which this would read too early).
        const QString settings = QFile::decodeName(Folder(run, "settings"));
        for (const QSettings::Format format : {QSettings::NativeFormat, QSettings::IniFormat})
            QSettings::setPath(format, QSettings::UserScope, settings);
        ::testing::InitGoogleTest(&argc, argv);
        rc = RUN_ALL_TESTS();
    }
    if (const QStringList left = Contents(QFile::decodeName(tmp)); !left.isEmpty()) {
        std::fprintf(stderr, "Left in the temporary folder:\n  %s\n", qPrintable(left.join("\n  ")));
        rc = rc ? rc : 1;
    }
    return rc;
}

// Shared main of the test executables: offscreen windows, the program's application object,
// and a temporary folder of the run's own that nothing may be left in.
#include "app/Application.h"

#include <QDir>
#include <QSettings>
#include <QTemporaryDir>
#include <cstdio>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // What the tests, and the programs they start, make in the temporary folder goes into one
    // of this run's own, which must be empty once the application object has gone: what is
    // left there fails the run (and goes with the folder all the same).
    QTemporaryDir run(QDir::tempPath() + "/vesk-tests-XXXXXX");
    const QDir tmp(run.filePath("tmp"));
    // Private, as a runtime folder must be; Qt makes one in the temporary folder when the
    // session names none.
    const auto make = [&](const char* name) {
        return run.isValid() && QDir(run.path()).mkpath(name) &&
               QFile::setPermissions(run.filePath(name),
                                     QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    };
    if (!make("tmp") || !make("runtime") || !make("settings")) {
        std::fprintf(stderr, "no temporary folder in %s\n", qPrintable(QDir::tempPath()));
        return 1;
    }
    qputenv("TMPDIR", QFile::encodeName(tmp.path()));
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(run.filePath("runtime")));
    int rc = 0;
    {
        TVeskApplication app(argc, argv);
        // Qt keeps its own settings (a file dialog's last folder) in the config folder it sees
        // first, for the whole run, and writes them when a dialog goes: into a test's config
        // folder that has gone with its test. They are kept in the run's folder instead (once
        // the application object has taken its locale, which this would read too early).
        for (const QSettings::Format format : {QSettings::NativeFormat, QSettings::IniFormat})
            QSettings::setPath(format, QSettings::UserScope, run.filePath("settings"));
        ::testing::InitGoogleTest(&argc, argv);
        rc = RUN_ALL_TESTS();
    }
    if (const QStringList left =
            tmp.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
        !left.isEmpty()) {
        std::fprintf(stderr, "Left in the temporary folder: %s\n", qPrintable(left.join(", ")));
        rc = rc ? rc : 1;
    }
    return rc;
}

// The operator's program of the test station.
#include "app/Application.h"
#include "app/TMainForm.h"
#include "platform/StallProbe.h"

#include <cstdio>

int main(int argc, char** argv) {
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        platform.isEmpty()) {
        std::fprintf(stderr, "Нет графического дисплея: запустите программу в сеансе рабочего стола "
                             "или так: xvfb-run -a ./build/vesk\n");
        return 2;
    }
    TVeskApplication app(argc, argv);
    // A signal while a start-up dialog is open ends the run like any other.
    InstallEndOfRun();
    InitApplication();
    CreateForms();
    int rc = 0;
    if (!EndOfRunRequested()) {
        ShowMainForm();
        StartStallProbe();
        rc = app.exec();
    }
    FinishRun();
    DestroyForms();
    return rc;
}

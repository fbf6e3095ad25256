#include "runs/TestState.h"

#include "platform/Clock.h"

#include <utility>

bool ResultShown = false;
QDateTime ResultShownAt;
double VswrMv = VswrNotMeasured;
double VswrGmv = VswrNotMeasured;
QString VswrPacked;
bool VswrFromDb = false;
QString VswrTextMv;
QString VswrTextGmv;
QString ParamBlock2[3];
bool EndWaitRequest = false;
QString TestDirection;
int SelectedTest = 0;
bool NumberIsTrain = false;
QString LastResultHex;
bool PeriodicByTrain = false;
uint8_t PeriodicChannel = 0;

namespace {
// A function-local object: the main window installs its closer during static start-up.
std::function<void()>& PanelCloser() {
    static std::function<void()> closer;
    return closer;
}
} // namespace

std::function<void()> SetResultPanelCloser(std::function<void()> closer) {
    return std::exchange(PanelCloser(), std::move(closer));
}

void CloseShownResultOnBusy() {
    if (!ResultShown || !ResultShownAt.isValid())
        return;
    if (ResultShownAt.msecsTo(Clock().Now()) > 1000 && PanelCloser())
        PanelCloser()();
}

void ResetTestState() {
    ResultShown = false;
    ResultShownAt = QDateTime();
    VswrMv = VswrGmv = VswrNotMeasured;
    VswrPacked.clear();
    VswrFromDb = false;
    VswrTextMv.clear();
    VswrTextGmv.clear();
    for (auto& p : ParamBlock2)
        p.clear();
    EndWaitRequest = false;
    TestDirection.clear();
    SelectedTest = 0;
    NumberIsTrain = false;
    LastResultHex.clear();
    PeriodicByTrain = false;
    PeriodicChannel = 0;
}

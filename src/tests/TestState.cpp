#include "tests/TestState.h"

#include "platform/Clock.h"

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
std::function<void()> panelCloser;
} // namespace

void SetResultPanelCloser(std::function<void()> closer) {
    panelCloser = std::move(closer);
}

void CloseShownResultOnBusy() {
    if (!ResultShown || !ResultShownAt.isValid())
        return;
    if (ResultShownAt.msecsTo(Clock().Now()) > 1000 && panelCloser)
        panelCloser();
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

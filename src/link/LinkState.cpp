#include "link/LinkState.h"

#include "link/Receiver.h"
#include "link/RxPump.h"
#include "link/Sound.h"
#include "link/Transport.h"
#include "state/LinkView.h"

namespace {

// A sound command or a frame of the old line must not act on the bytes of the next one.
// A decoder that pumps events may be in the middle of a byte: the reset waits for it.
void ResetLine() {
    AfterThisByte([] {
        ResetFrameAssembler();
        EndSoundTransfer();
    });
}
} // namespace

void LinkOpened() {
    DeliverPendingBytes();
    ResetLine();
}

void LinkGone() {
    ResetLine();
}

void LineLost() {
    LinkGone();
    LinkView().SetStatusText(0, QString::fromUtf8(LineLostText));
    LinkView().ShowStationUnknown();
}

bool LineOpen() {
    return TcpSelected ? TcpConnected : ComPortOpen();
}

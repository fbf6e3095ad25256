#include "platform/KeyRelease.h"

#include "platform/Clock.h"

#include <algorithm>

void TKeyRelease::Released() {
    if (pending_)
        return; // the first release of a pair counts from its own time
    pending_ = true;
    at_ = Clock().MonotonicMs();
}

TKeyRelease::TPress TKeyRelease::Pressed() {
    if (!pending_)
        return TPress::Fresh;
    pending_ = false;
    return Clock().MonotonicMs() - at_ <= RepeatGapMs ? TPress::Repeat : TPress::AfterRelease;
}

bool TKeyRelease::ReleaseDue() {
    if (!pending_ || Clock().MonotonicMs() - at_ <= RepeatGapMs)
        return false;
    pending_ = false;
    return true;
}

int TKeyRelease::MsToDue() const {
    return int(std::clamp<qint64>(at_ + RepeatGapMs + 1 - Clock().MonotonicMs(), 1, RepeatGapMs + 1));
}

#include "state/LinkView.h"

namespace {
ILinkView nullView;
ILinkView* currentView = &nullView;
} // namespace

ILinkView& LinkView() {
    return *currentView;
}

void SetLinkView(ILinkView* view) {
    currentView = view ? view : &nullView;
}

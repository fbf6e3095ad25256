#include "state/MainView.h"

#include <QCoreApplication>
#include <QEvent>
#include <QPointer>

namespace {
TNullMainView nullView;
IMainView* currentView = &nullView;
QPointer<QObject> receiver;
} // namespace

IMainView& MainView() {
    return *currentView;
}

void SetMainView(IMainView* view) {
    currentView = view ? view : &nullView;
}

void PostMainFormMessage(int message) {
    if (receiver)
        QCoreApplication::postEvent(receiver, new QEvent(QEvent::Type(QEvent::User + message)));
}

void SetMainFormReceiver(QObject* r) {
    receiver = r;
}

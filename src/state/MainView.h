#pragma once
// What code without windows (decoders, test runner logic) may ask of the main window.
// The main window implements it; tests and benchmarks install a recording or null view.

#include <QString>
#include <cstdint>

class IMainView {
public:
    virtual ~IMainView() = default;
    virtual void AddMessageRow(const QString& text, bool withChannel) = 0;
    virtual void ClearMessageGrid() = 0;
    virtual void EnableTestControls(bool flag) = 0;
    virtual void EnableLinkMenus(bool flag) = 0;
    virtual void UpdateServiceMenus(bool flag) = 0;
    virtual void ResetResultPanel() = 0;
    virtual void ClearMeasurements() = 0;
    virtual void Err_kan(uint8_t kan, int kind) = 0;
    virtual void ShowPSHs() {}
};

/// A view that does nothing (no window yet, benchmarks).
class TNullMainView : public IMainView {
public:
    void AddMessageRow(const QString&, bool) override {}
    void ClearMessageGrid() override {}
    void EnableTestControls(bool) override {}
    void EnableLinkMenus(bool) override {}
    void UpdateServiceMenus(bool) override {}
    void ResetResultPanel() override {}
    void ClearMeasurements() override {}
    void Err_kan(uint8_t, int) override {}
};

/// The current view; never null (a null view until the main window installs itself).
IMainView& MainView();
void SetMainView(IMainView* view);

class QObject;
/// Posts one of the main window's private messages (WM_DEVICE_TEST1, ...) to the
/// window thread; dropped when no main window exists.
void PostMainFormMessage(int message);
/// The object that receives posted messages (the main window).
void SetMainFormReceiver(QObject* receiver);

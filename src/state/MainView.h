#pragma once
// What code without windows (decoders, test runner logic) and the windows of the other
// folders may ask of the main window.
// The main window implements it; tests and benchmarks install a recording or null view.

#include <QPoint>
#include <QString>
#include <cstdint>
#include <optional>

class QObject;

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

    // What the other windows ask of the main window; nothing happens without one.
    /// A channel chosen in a channel list (sender: the list) becomes the current channel.
    virtual void ComboChange(QObject* /*sender*/) {}
    /// Appends a row to the journal of events and test 1 (tests1.DB).
    virtual void WriteToTable1(const QString& /*event*/, const QString& /*code*/, const QString& /*word*/) {}
    /// The main window's centre on the screen, for windows placed over it.
    virtual std::optional<QPoint> Centre() const { return std::nullopt; }
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

/// Posts one of the main window's private messages (WM_DEVICE_TEST1, ...) to the
/// window thread; dropped when no main window exists.
void PostMainFormMessage(int message);
/// The object that receives posted messages (the main window).
void SetMainFormReceiver(QObject* receiver);

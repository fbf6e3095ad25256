#pragma once
// The started program with the simulated station on its serial port, the journal in the
// test's folder and the shared parameter set at its start-up values.

#include "Script.h"
#include "Station.h"
#include "runs/TestRunSupport.h"

#include "link/Transport.h"
#include "params/ParamSet.h"
#include "params/TFParam.h"

#include <QKeyEvent>

class TParamsFixture : public TTestRunFixture {
protected:
    void SetUp() override {
        TTestRunFixture::SetUp();
        ASSERT_TRUE(ComPortOpen());
        // The start-up reset is on the line before a test's own bytes.
        ASSERT_TRUE(station_.WaitFor(vesksim::FromHex("D0"), std::chrono::seconds(5)));
        PumpUntil([] { return false; }, 30);
        station_.Clear();
        SetStartupDefaults();
        ParamBlock2[0] = ParamBlock2[1] = ParamBlock2[2] = QString();
        for (auto& p : PshSettings)
            p = TPshSetting{};
        PshUiReady = true;
        ParamsDirty = 0;
        DataErrorFlags = 0;
    }
    void TearDown() override {
        for (QWidget* w : {static_cast<QWidget*>(FParam)})
            if (w)
                w->hide();
        TTestRunFixture::TearDown();
    }
    /// Everything the station got since the last call, as spaced hex, once count bytes
    /// have arrived (and a moment more, so that extra bytes show too).
    QString Got(size_t count) {
        const bool arrived = station_.WaitForCount(count, std::chrono::seconds(5));
        PumpUntil([] { return false; }, 30);
        const QString hex = QString::fromStdString(vesksim::ToHex(station_.Received()));
        station_.Clear();
        return arrived ? hex : "only " + hex;
    }
    /// Nothing reaches the station within a short while.
    bool NothingSent() {
        PumpUntil([] { return false; }, 60);
        return station_.Received().empty();
    }
    /// The station sends bytes; returns once the program has decoded them.
    void FromStation(const char* hex, const std::function<bool()>& decoded) {
        station_.Send(vesksim::FromHex(hex));
        ASSERT_TRUE(PumpUntil(decoded)) << hex;
    }
    /// Types text into a widget key by key, as the operator would.
    static void Type(QWidget* w, const QString& text) {
        for (QChar c : text) {
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
            QCoreApplication::sendEvent(w, &press);
        }
    }
    static void Key(QWidget* w, QEvent::Type type, int key, bool autoRepeat = false) {
        QKeyEvent e(type, key, Qt::NoModifier, QString(), autoRepeat);
        QCoreApplication::sendEvent(w, &e);
    }
    /// The operator picks an item of a combo.
    static void Choose(QComboBox* combo, int item) {
        combo->setCurrentIndex(item);
        emit combo->activated(item);
    }
};

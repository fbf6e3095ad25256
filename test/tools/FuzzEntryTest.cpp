// The fuzzed entry runs for hours without an application object: what it gathers for the
// operator is dropped with each input, so a long run holds flat memory.
#include "FuzzTarget.h"
#include "runs/JournalWriters.h"

#include <QRegularExpression>
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

namespace {

// The number of lost results the gathered notices name.
int LostNamed() {
    int lost = 0;
    for (const QString& text : TakeUntoldNotices())
        lost += QRegularExpression("журнал \\((\\d+)\\)").match(text).captured(1).toInt();
    return lost;
}

TEST(FuzzEntry, WhatItGathersForTheOperatorDoesNotPileUp) {
    // Test 2 running, then results enough to fill its queue (10) and the backlog (1000):
    // the last 90 are lost, each a failure gathered for the operator.
    std::vector<uint8_t> input{0x02};
    for (int i = 0; i < 1100; ++i)
        input.insert(input.end(), {0xE2, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x82, 0xE3});
    VeskFuzzOneInput(input.data(), input.size());
    EXPECT_EQ(LostNamed(), 90);
    for (int i = 0; i < 50; ++i)
        VeskFuzzOneInput(input.data(), input.size());
    EXPECT_EQ(LostNamed(), 90) << "only the last input's failures are kept";
}

} // namespace

// No application object, as under libFuzzer; the lost results are not logged one by one.
int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("QT_LOGGING_RULES", "vesk.link.frames.warning=false", 1);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

#pragma once
// A burst of station results as a station reports each: busy, factory numbers, the result
// frame (codes counting up, tests 2 and 3 in turn), free.
#include "Station.h"

#include <QString>

inline vesksim::TBytes ResultBurst(int count) {
    vesksim::TBytes all;
    for (int i = 0; i < count; ++i) {
        all.push_back(0xC9);
        vesksim::TBytes s = vesksim::Frame(0xF8, {1, 0, 1, 2, uint8_t(i / 10 % 10), uint8_t(i % 10), 0, 0});
        const int check = (10 + 12 + i % 100) % 100;
        s[7] = uint8_t(0x80 + check / 10);
        s[8] = uint8_t(0x80 + check % 10);
        all.insert(all.end(), s.begin(), s.end());
        const vesksim::TBytes r =
            vesksim::ResultFrame(QString("%1").arg(i, 7, 10, QChar('0')).toStdString(), 2 + i % 2);
        all.insert(all.end(), r.begin(), r.end());
        all.push_back(0xC0);
    }
    return all;
}

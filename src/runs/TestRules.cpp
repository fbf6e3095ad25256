#include "runs/TestRules.h"

namespace {
int SecondCode(const QString& word) {
    return word.size() >= 2 ? word[1].unicode() : 0;
}
} // namespace

QString ReplaceNonDigits(const QString& s) {
    QString r = s;
    for (QChar& c : r)
        if (c < u'0' || c > u'9')
            c = u'0';
    return r;
}

QString PadLeftZeros(const QString& s, int width) {
    return s.size() >= width ? s : QString(width - s.size(), u'0') + s;
}

TChannelBand ChannelBand(int channel) {
    if (channel == 1 || channel == 2)
        return TChannelBand::Gmv;
    if (channel >= 3 && channel <= 6)
        return TChannelBand::Mv;
    return TChannelBand::None;
}

bool MvBlocked(const QString& configWord) {
    return SecondCode(configWord) & 2;
}

bool GmvBlocked(const QString& configWord) {
    return SecondCode(configWord) & 4;
}

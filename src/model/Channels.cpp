#include "model/P25Class.h"

#include <cstdio>

// Until the identifier tables exist every channel has no known frequency.
double P25Class::ChannelFrequency(int) const
{
    return 0.0;
}

std::string P25Class::ChannelText(int channel) const
{
    char text[48];
    std::snprintf(text, sizeof text, "%d-%04d(%3.05f)", channel >> 12 & 0xF, channel & 0xFFF, ChannelFrequency(channel));
    return text;
}

#include "scanner/CommandTemplates.h"

#include <cmath>
#include <cstdio>
#include <limits>
#include <numeric>

namespace {

enum Source { ActiveSource, QuietSource, SpacingSource, NoSource };

struct Token
{
    const char* Text;
    Source From;
    double Factor;
    // nullptr for the fixed texts carried in Fixed.
    const char* Format;
    const char* Fixed = nullptr;
};

// Replaced in this order; a token's value never holds a "$", so no value starts a token.
constexpr Token Tokens[] = {
    {"$AF-########$", ActiveSource, 10000, "%8.0f"},
    {"$AF-0#######$", ActiveSource, 10000, "%08.0f"},
    {"$AF-#########$", ActiveSource, 10000, "%9.0f"},
    {"$AF-0########$", ActiveSource, 10000, "%09.0f"},
    {"$AF-###.####$", ActiveSource, 1, "%0.4f"},
    {"$AF-0##.####$", ActiveSource, 1, "%03.4f"},
    {"$AF-####.####$", ActiveSource, 1, "%0.4f"},
    {"$AF-0###.####$", ActiveSource, 1, "%04.4f"},
    {"$AF-####.#####$", ActiveSource, 1, "%0.5f"},
    {"$AF-0##.#####$", ActiveSource, 1, "%03.5f"},
    {"$AF-0###.#####$", ActiveSource, 1, "%04.5f"},
    {"$QF-########$", QuietSource, 10000, "%0.0f"},
    {"$QF-0#######$", QuietSource, 10000, "%08.0f"},
    {"$QF-###.####$", QuietSource, 1, "%0.4f"},
    {"$QF-0##.####$", QuietSource, 1, "%03.4f"},
    {"$QF-####.####$", QuietSource, 1, "%0.4f"},
    {"$QF-0###.####$", QuietSource, 1, "%04.4f"},
    {"$QF-####.#####$", QuietSource, 1, "%0.5f"},
    {"$QF-0##.#####$", QuietSource, 1, "%03.5f"},
    {"$QF-0###.#####$", QuietSource, 1, "%04.5f"},
    {"$SP-MHZ$", SpacingSource, 1, "%f"},
    {"$SP-MHZ4$", SpacingSource, 1, "%0.4f"},
    {"$SP-MHZ5$", SpacingSource, 1, "%0.5f"},
    {"$SP-KHZ$", SpacingSource, 1000, "%f"},
    {"$SP-KHZ2$", SpacingSource, 1000, "%0.2f"},
    {"$SP-KHZ3$", SpacingSource, 1000, "%0.3f"},
    {"$SP-KHZ4$", SpacingSource, 1000, "%0.4f"},
    {"$SP-KHZ5$", SpacingSource, 1000, "%0.5f"},
    {"$SP-KHZ*10$", SpacingSource, 10000, "%f"},
    {"$SP-KHZ*100$", SpacingSource, 100000, "%f"},
    {"$UNIDENFREQ$", ActiveSource, 10000, "%08.0f"},
    {"$UNIDENQUIET$", QuietSource, 10000, "%08.0f"},
    {"$STANDARDFREQ$", ActiveSource, 1, "%0.4f"},
    {"$STANDARDQUIET$", QuietSource, 1, "%0.4f"},
    {"$STANDARDSPACING$", SpacingSource, 1, "%0.4f"},
    {"$UNIDENSPACING$", SpacingSource, 1000, "%f"},
    {"$STANDARDSPACINGKHZ$", SpacingSource, 1000, "%0.4f"},
    {"$CR$", NoSource, 0, nullptr, "\r"},
    {"$LF$", NoSource, 0, nullptr, "\n"},
};

std::string FormatNumber(const char* format, double value)
{
    // Wide enough for any double in these formats: 309 digits before the point.
    char text[400];
    const int n = std::snprintf(text, sizeof text, format, value);
    std::string result(text, n > 0 ? std::min<size_t>(static_cast<size_t>(n), sizeof text - 1) : 0);
    if (std::string_view(format) == "%f" && result.find('.') != std::string::npos) {
        while (!result.empty() && result.back() == '0')
            result.pop_back();
        if (!result.empty() && result.back() == '.')
            result.pop_back();
    }
    return result;
}

std::string TokenValue(const Token& token, const TEMPLATEVALUES& values)
{
    switch (token.From) {
    case ActiveSource: return FormatNumber(token.Format, values.Active * token.Factor);
    case QuietSource: return FormatNumber(token.Format, values.Quiet * token.Factor);
    case SpacingSource: return FormatNumber(token.Format, values.Spacing * token.Factor);
    case NoSource: break;
    }
    return token.Fixed;
}

// Replaces the first occurrence again and again, each search starting from the front, as
// a rescan would. A new occurrence can only end after a value it overlaps (values hold no
// "$", tokens end in one), so it starts within the last size-1 characters already written,
// and only those need a second look; the work stays linear in the text.
std::string ReplaceToken(const std::string& text, std::string_view token, std::string_view value)
{
    if (text.find(token) == std::string::npos)
        return text;
    std::string done;
    size_t next = 0;
    for (;;) {
        const size_t tail = std::min(done.size(), token.size() - 1);
        const std::string joint = done.substr(done.size() - tail) + text.substr(next, token.size() - 1);
        const size_t early = joint.find(token);
        if (early != std::string::npos && early < tail) {
            const size_t written = tail - early;
            done.resize(done.size() - written);
            next += token.size() - written;
            done += value;
            continue;
        }
        const size_t at = text.find(token, next);
        if (at == std::string::npos)
            break;
        done.append(text, next, at - next);
        done += value;
        next = at + token.size();
    }
    done.append(text, next);
    return done;
}

// Hz as an unsigned 32-bit value, truncated toward zero; out-of-range input is clamped.
uint32_t FrequencyHz(double megahertz)
{
    const double hz = std::trunc(megahertz * 1000000.0);
    if (!(hz > 0.0))
        return 0;
    if (hz >= static_cast<double>(std::numeric_limits<uint32_t>::max()))
        return std::numeric_limits<uint32_t>::max();
    return static_cast<uint32_t>(hz);
}

template <size_t Size>
void PutChecksum(std::array<uint8_t, Size>& frame)
{
    frame[Size - 1] = static_cast<uint8_t>(std::accumulate(frame.begin() + 1, frame.end() - 1, 0u) & 0xFF);
}

constexpr uint8_t Stx = 0x02;
constexpr uint8_t Etx = 0x03;
constexpr uint8_t TuneCommand = 'T';
constexpr uint8_t KeyCommand = 'K';
constexpr uint8_t ScanKey = 0x0F;
// The receive mode byte of the tune frame.
constexpr uint8_t TuneMode = 0x02;

}

std::string ExpandTemplate(std::string_view text, const TEMPLATEVALUES& values)
{
    std::string result(text);
    for (const Token& token : Tokens)
        if (result.find(token.Text) != std::string::npos)
            result = ReplaceToken(result, token.Text, TokenValue(token, values));
    return result;
}

std::array<uint8_t, TuneFrameSize> TuneFrame(double megahertz, bool byteSwap)
{
    const uint32_t hz = FrequencyHz(megahertz);
    std::array<uint8_t, TuneFrameSize> frame{Stx, TuneCommand, 0, 0, 0, 0, TuneMode, Etx, 0};
    for (int i = 0; i < 4; ++i) {
        const int shift = byteSwap ? 24 - 8 * i : 8 * i;
        frame[2 + i] = static_cast<uint8_t>(hz >> shift);
    }
    PutChecksum(frame);
    return frame;
}

std::array<uint8_t, ResumeFrameSize> ResumeFrame()
{
    std::array<uint8_t, ResumeFrameSize> frame{Stx, KeyCommand, ScanKey, Etx, 0};
    PutChecksum(frame);
    return frame;
}

#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

// The template language of scanner profiles, and the fixed frames of the binary mode.

// The values a template can name, all in MHz.
struct TEMPLATEVALUES
{
    double Active = 0.0;  // frequency of the last tuning
    double Quiet = 0.0;   // the quiet frequency
    double Spacing = 0.0; // channel spacing of the last tuning
};

// Replaces every known "$...$" token by its value; any other text, an unknown token or a
// lone "$" included, passes unchanged.
std::string ExpandTemplate(std::string_view text, const TEMPLATEVALUES& values);

inline constexpr int TuneFrameSize = 9;
inline constexpr int ResumeFrameSize = 5;

// STX 'T', the frequency in Hz as four bytes (least significant first, or most significant
// first with byteSwap), 0x02, ETX, checksum.
std::array<uint8_t, TuneFrameSize> TuneFrame(double megahertz, bool byteSwap);
// STX 'K', the scan key, ETX, checksum.
std::array<uint8_t, ResumeFrameSize> ResumeFrame();

#pragma once
#include <cstdint>
#include <string>

#include "platform/TextFormat.h"

// Message texts are printf-formatted; labels carry their own leading blank.

// The service options of a grant: "Emrg" (bit 7) wins over "Enc" (bit 6).
inline const char* NotesText(uint8_t options)
{
    if (options & 0x80)
        return "Emrg";
    if (options & 0x40)
        return "Enc";
    return "";
}

// The notes of an encrypted emergency say only "Emrg", so its talkgroup is marked
// encrypted by the handler rather than by the channel operation.
inline bool IsEncryptedEmergency(uint8_t options)
{
    return (options & 0xC0) == 0xC0;
}

// The 8 bits of a byte as "0"/"1", most significant first.
inline std::string BitsText(uint8_t byte)
{
    std::string text(8, '0');
    for (int i = 0; i < 8; ++i)
        if (byte & 0x80 >> i)
            text[i] = '1';
    return text;
}

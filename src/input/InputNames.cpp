#include "input/InputNames.h"
#include "platform/Text.h"

namespace {

constexpr const char* KindNames[CaptureKindCount] = {"anritsu",        "psr500dump",   "psr800dump",
                                                     "homepatroldump", "zembrantdump", "bcd396xtdump"};
constexpr const char* ScannerNames[ScannerTypeCount] = {"pro96", "psr500", "bcd396xt", "anritsus412d", "psr800"};
constexpr const char* ScannerTexts[ScannerTypeCount] = {
    "Pro-96/Pro-2096", "PSR-500/PSR-600/Pro-106/Pro-197", "Uniden BCD396XT", "Anritsu S412D Analyzer",
    "PSR-800/WS1080/WS1088/WS1095/WS1098"};

// The index of text among names or texts, or its value as an index; -1 when none.
template <typename TextOf>
int Choice(std::string_view text, const char* const* names, int count, TextOf textOf)
{
    for (int i = 0; i < count; ++i)
        if (EqualsIgnoringCase(text, names[i]) || EqualsIgnoringCase(text, textOf(i)))
            return i;
    if (text.size() == 1 && text[0] >= '0' && text[0] < '0' + count)
        return text[0] - '0';
    return -1;
}

}

const char* CaptureKindName(CaptureKind kind)
{
    const int i = static_cast<int>(kind);
    return i >= 0 && i < CaptureKindCount ? KindNames[i] : "";
}

bool ParseCaptureKind(std::string_view text, CaptureKind& kind)
{
    const int i = Choice(text, KindNames, CaptureKindCount,
                         [](int k) { return CaptureKindText(static_cast<CaptureKind>(k)); });
    if (i < 0)
        return false;
    kind = static_cast<CaptureKind>(i);
    return true;
}

const char* ScannerTypeName(int type)
{
    return type >= 0 && type < ScannerTypeCount ? ScannerNames[type] : "";
}

const char* ScannerTypeText(int type)
{
    return type >= 0 && type < ScannerTypeCount ? ScannerTexts[type] : "";
}

bool ParseScannerType(std::string_view text, int& type)
{
    const int i = Choice(text, ScannerNames, ScannerTypeCount, [](int k) { return ScannerTexts[k]; });
    if (i < 0)
        return false;
    type = i;
    return true;
}

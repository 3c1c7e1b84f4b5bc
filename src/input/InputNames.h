#pragma once
#include <string>
#include <string_view>

#include "input/CaptureReplay.h"

// Names of the capture kinds and scanner types for command lines: a short name
// ("zembrantdump", "pro96"), the dialog text, or the index are all accepted.

const char* CaptureKindName(CaptureKind kind);
bool ParseCaptureKind(std::string_view text, CaptureKind& kind);

constexpr int ScannerTypeCount = 5;
const char* ScannerTypeName(int type);
// The list text: "Pro-96/Pro-2096" and so on.
const char* ScannerTypeText(int type);
bool ParseScannerType(std::string_view text, int& type);

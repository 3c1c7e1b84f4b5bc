#include "view/WindowRules.h"

#include <algorithm>
#include <climits>

#include "platform/TextFormat.h"
#include "persistence/Config.h"
#include "platform/Text.h"
#include "view/FieldNumbers.h"

namespace {

constexpr int LowestHigh = 10;
constexpr int HighestThreshold = 99;
constexpr int LowestLow = 1;
constexpr int FullBar = 100;

// Window heights (panels) and widths (compact fields) above which each one shows.
constexpr int DecodePanelHeight = 524;
constexpr int SitePanelHeight = 429;
constexpr int SystemPanelHeight = 259;
constexpr int StatusFieldWidth = 859;
constexpr int RidsFieldWidth = 749;
constexpr int TgidsFieldWidth = 649;
constexpr int DecodeFieldWidth = 529;

// One axis of FitIntoWorkArea, relative to the work area's origin.
void FitAxis(int& start, int& length, int areaStart, int areaLength)
{
    int offset = start - areaStart;
    if (length > areaLength) {
        length = areaLength;
        offset = 0;
    }
    if (offset < 0 || static_cast<long>(offset) + length > areaLength)
        offset = 0;
    start = areaStart + offset;
}

std::optional<int> ReadThreshold(std::string_view text, int low, int high)
{
    const auto value = ParseDecimal(text);
    if (!value || *value < low || *value > high)
        return std::nullopt;
    return static_cast<int>(*value);
}

// The argument after position i when an option may take it.
const std::string* OptionValue(const std::vector<std::string>& args, size_t i)
{
    if (i + 1 >= args.size() || args[i + 1].empty() || args[i + 1][0] == '-')
        return nullptr;
    return &args[i + 1];
}

std::string WithSlash(std::string folder)
{
    if (folder.empty() || folder.back() != '/')
        folder += '/';
    return folder;
}

}

WindowBounds FitIntoWorkArea(const WindowBounds& bounds, const WindowBounds& workArea)
{
    WindowBounds fitted = bounds;
    FitAxis(fitted.Left, fitted.Width, workArea.Left, workArea.Width);
    FitAxis(fitted.Top, fitted.Height, workArea.Top, workArea.Height);
    return fitted;
}

StatusVisibility StatusLayout(bool hideSystemInfo, int windowWidth, int windowHeight)
{
    StatusVisibility shown;
    if (!hideSystemInfo) {
        shown.DecodePanel = windowHeight > DecodePanelHeight;
        shown.SitePanel = windowHeight > SitePanelHeight;
        shown.SystemPanel = windowHeight > SystemPanelHeight;
        return shown;
    }
    shown.SystemField = true;
    shown.SiteField = true;
    shown.StatusField = windowWidth > StatusFieldWidth;
    shown.RidsField = windowWidth > RidsFieldWidth;
    shown.TgidsField = windowWidth > TgidsFieldWidth;
    shown.DecodeField = windowWidth > DecodeFieldWidth;
    return shown;
}

ActivityExtras ActivityLayout(bool showGrantLog, bool showPatchList)
{
    return {showPatchList, showGrantLog, showGrantLog || showPatchList};
}

int TabWidthCap(std::vector<int> widths, int available, int minimum)
{
    std::sort(widths.begin(), widths.end());
    long left = available;
    for (size_t i = 0; i < widths.size(); ++i) {
        const long share = left / static_cast<long>(widths.size() - i);
        if (widths[i] > share)
            return std::max(static_cast<int>(share), minimum);
        left -= widths[i];
    }
    return INT_MAX;
}

bool IsTabVisible(const CONFIG& config, WindowTab tab)
{
    switch (tab) {
    case WindowTab::SystemActivity:
        return true;
    case WindowTab::AffiliationLog:
    case WindowTab::AffiliationList:
        return config.AffiliationsVisible;
    case WindowTab::SiteInformation:
        return config.TowerInfoVisible;
    case WindowTab::Patches:
        return config.PatchesVisible;
    case WindowTab::OtherEvents:
        return config.OtherInfoVisible;
    case WindowTab::GrantTrace:
        return config.GrantsVisible;
    case WindowTab::UnknownPackets:
        return config.UnknownsVisible;
    case WindowTab::PacketDump:
        return config.PktDumpVisible;
    case WindowTab::RawDataDump:
        return config.PsrDumpVisible;
    }
    return true;
}

bool AcceptsHighThreshold(int value)
{
    return value >= LowestHigh && value <= HighestThreshold;
}

bool AcceptsLowThreshold(int value, int high)
{
    return value >= LowestLow && value <= high && value <= HighestThreshold;
}

std::optional<int> ReadHighThreshold(std::string_view text)
{
    return ReadThreshold(text, LowestHigh, HighestThreshold);
}

std::optional<int> ReadLowThreshold(std::string_view text, int high)
{
    return ReadThreshold(text, LowestLow, std::min(high, HighestThreshold));
}

ReceiveRate ReceiveRateFigures(long blocksExpected, long blocksReceived)
{
    ReceiveRate figures;
    if (blocksExpected > 0) {
        const double rate = static_cast<double>(blocksReceived) * 100.0 / static_cast<double>(blocksExpected) + 0.5;
        figures.Rate = static_cast<int>(std::clamp(rate, 0.0, static_cast<double>(INT_MAX)));
    }
    figures.RateText = Format("%3d%% (%ld out of %ld)", figures.Rate, blocksReceived, blocksExpected);
    figures.DecodeText = Format("%3d%%", figures.Rate);
    figures.Bar = std::clamp(figures.Rate, 0, FullBar);
    return figures;
}

std::string BufferText(int freePercent)
{
    return Format("%3d%%", freePercent);
}

void EventStatusLine::Second(const std::vector<std::string>& notices, uint64_t dropped)
{
    if (!notices.empty()) {
        m_notice.clear();
        for (const std::string& notice : notices)
            m_notice += (m_notice.empty() ? "" : "; ") + notice;
        m_secondsLeft = EventNoticeSeconds;
    } else if (m_secondsLeft > 0 && --m_secondsLeft == 0) {
        m_notice.clear();
    }
    m_dropped = dropped > 0 ? "Events dropped: " + std::to_string(dropped) : std::string();
}

std::string HoldPromptText(int lastFollowedTalkgroup)
{
    return lastFollowedTalkgroup == -1 ? std::string() : Format("%ld", static_cast<long>(lastFollowedTalkgroup));
}

std::optional<int> HoldTalkgroupFrom(std::string_view text)
{
    const auto value = LeadingNumber(text);
    if (!value || *value < 0 || *value > INT_MAX)
        return std::nullopt;
    return static_cast<int>(*value);
}

CommandLine ParseCommandLine(const std::vector<std::string>& args, const std::string& executableFolder,
                             const std::string& defaultDataFolder, const std::string& configFileName)
{
    CommandLine line;
    line.DataFolder = defaultDataFolder;
    std::string configName;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string* value = OptionValue(args, i);
        if (args[i] == "-d") {
            line.DataFolder = value ? *value : executableFolder;
            line.DefaultDataFolder = false;
        } else if (args[i] == "-c") {
            if (value)
                configName = *value;
        } else if (EqualsIgnoringCase(args[i], "-DECODE")) {
            ++line.DecodeClicks;
            continue;
        } else {
            continue;
        }
        if (value)
            ++i;
    }
    line.DataFolder = WithSlash(line.DataFolder);
    if (configName.empty())
        line.ConfigFile = line.DataFolder + configFileName;
    else if (configName.find('/') == std::string::npos)
        line.ConfigFile = line.DataFolder + configName;
    else
        line.ConfigFile = configName;
    return line;
}

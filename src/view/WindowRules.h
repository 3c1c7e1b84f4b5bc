#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct CONFIG;

// The main window's decisions that are not pixels: where it may stand, which status
// fields show at which size, what the threshold and hold fields accept, the decode
// figures' texts and the command line.

struct WindowBounds
{
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;

    friend bool operator==(const WindowBounds&, const WindowBounds&) = default;
};

// A window wider than the work area is narrowed to it at its left edge; one that starts
// left of it or reaches past its right edge moves to the left edge. The same for height
// and top. Positions are in the desktop's coordinates, the work area's origin included.
WindowBounds FitIntoWorkArea(const WindowBounds& bounds, const WindowBounds& workArea);

// Which status panels (HideSystemInfo off) or compact status-line fields (on) show.
struct StatusVisibility
{
    bool SystemPanel = false;
    bool SitePanel = false;
    bool DecodePanel = false;
    bool SystemField = false;
    bool SiteField = false;
    bool DecodeField = false;
    bool TgidsField = false;
    bool RidsField = false;
    bool StatusField = false;

    friend bool operator==(const StatusVisibility&, const StatusVisibility&) = default;
};

StatusVisibility StatusLayout(bool hideSystemInfo, int windowWidth, int windowHeight);

// What the activity tab shows under the activity list.
struct ActivityExtras
{
    bool PatchList = false;
    bool RecentGrants = false;
    // The threshold box stands at the right of the lower area, else in a row along the bottom.
    bool ThresholdsBesideLists = false;

    friend bool operator==(const ActivityExtras&, const ActivityExtras&) = default;
};

ActivityExtras ActivityLayout(bool showGrantLog, bool showPatchList);

// The widest a tab may be so that tabs of these full widths fit into available: the widest
// tabs give up their width first, the narrow ones keep theirs. INT_MAX when all fit; never
// below minimum.
int TabWidthCap(std::vector<int> widths, int available, int minimum);

// The tabs in their order; the first is always shown.
enum class WindowTab
{
    SystemActivity,
    AffiliationLog,
    AffiliationList,
    SiteInformation,
    Patches,
    OtherEvents,
    GrantTrace,
    UnknownPackets,
    PacketDump,
    RawDataDump,
};

bool IsTabVisible(const CONFIG& config, WindowTab tab);

// The monitor priority thresholds: High takes 10..99, Low 1..High.
bool AcceptsHighThreshold(int value);
bool AcceptsLowThreshold(int value, int high);
// A typed threshold when its field is left: the value to store, none to show the spin
// position again.
std::optional<int> ReadHighThreshold(std::string_view text);
std::optional<int> ReadLowThreshold(std::string_view text, int high);

// The one-second decode figures.
struct ReceiveRate
{
    int Rate = 0;
    std::string RateText;   // "Receive Rate (%):", "%3d%% (%ld out of %ld)"
    std::string DecodeText; // status-line "Decode:", "%3d%%"
    int Bar = 0;            // limited to 0..100; the texts are not
};

ReceiveRate ReceiveRateFigures(long blocksExpected, long blocksReceived);
// "Buffer Available:", "%3d%%" of the queue's free percentage.
std::string BufferText(int freePercent);

// The status line's word on the live events, fed each second. A notice of the event
// outputs stays for EventNoticeSeconds or until the next one, so that a lost broker is
// read, not flashed; the notices of one second show together.
class EventStatusLine
{
public:
    static constexpr int EventNoticeSeconds = 30;

    void Second(const std::vector<std::string>& notices, uint64_t dropped);
    const std::string& NoticeText() const { return m_notice; }
    // "Events dropped: N"; empty while none were.
    const std::string& DroppedText() const { return m_dropped; }

private:
    std::string m_notice;
    int m_secondsLeft = 0;
    std::string m_dropped;
};

// The hold prompt's field: the last followed talkgroup ("%ld"), empty when none (-1).
std::string HoldPromptText(int lastFollowedTalkgroup);
// The talkgroup to hold from the prompt's text or an activity row's "TlkGrp" cell: its
// leading decimal number. None without one, or for a negative number (-1 is "no hold").
std::optional<int> HoldTalkgroupFrom(std::string_view text);

// What the command line chose.
struct CommandLine
{
    std::string DataFolder; // ends in "/"
    std::string ConfigFile;
    // "-DECODE" each acts as one click on the start/stop button at the first activation.
    int DecodeClicks = 0;
    // The data folder is the default one, which the window creates when absent.
    bool DefaultDataFolder = true;
};

// args without the program name. "-d" takes the next argument unless it begins with "-",
// else the executable's folder; "-c" takes the next argument the same way, a name without
// "/" lying in the data folder; "-DECODE" in any case. Other arguments are ignored.
CommandLine ParseCommandLine(const std::vector<std::string>& args, const std::string& executableFolder,
                             const std::string& defaultDataFolder, const std::string& configFileName);

#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct CONFIG;

// The configuration dialog's rules: what "Ok" corrects, the two serial port lists, the
// list choices that fall back to a default, the bar colours and the proxy choice.

inline constexpr std::array<const char*, 6> UnidenSpeedChoices = {"4800", "9600", "19200", "38400", "57600", "115200"};
inline constexpr char UnidenSpeedFallback[] = "115200";
inline constexpr std::array<const char*, 8> ControlSpeedChoices = {"1200",  "2400",  "9600",  "14400",
                                                                   "19200", "38400", "57600", "115200"};
inline constexpr std::array<const char*, 11> GrantLogMaxChoices = {"10", "20", "30", "40",  "50", "60",
                                                                   "70", "80", "100", "150", "200"};
inline constexpr char GrantLogMaxFallback[] = "20";
inline constexpr std::array<const char*, 7> DecodeBarColorNames = {"Windows Default", "Black", "Red",  "Green",
                                                                   "Yellow",          "Blue",  "White"};
inline constexpr int UnidenScannerType = 2;

// After the controls are copied back: backup days limited to 1..365; a control port that
// is the decode port switches the second scanner off; the broker's host loses surrounding blanks.
void ApplyConfigOkRules(CONFIG& config);
int LimitBackupDays(long days);

// A serial port list as the dialog shows it.
struct PortList
{
    std::vector<std::string> Names;  // what the setting stores
    std::vector<std::string> Labels; // what the list shows, one per name
    int Selected = -1; // -1 only for an empty list
    bool RescanVisible = true;
    bool RescanEnabled = true;
    // The control list only: an empty list clears and disables "Enable control of Second Scanner".
    bool ControlAllowed = true;
    // Whether an entry stands for the current port (Selected is the first entry otherwise).
    bool HoldsCurrent = false;
};

// probedPorts: the numbers of the ports present (the serial port enumeration up to
// highPort); unused while showAllPorts lists "COM1".."COM<highPort>" unprobed.
PortList DecodePortList(bool showAllPorts, int highPort, const std::vector<int>& probedPorts,
                        std::string_view currentPort);
// The same without the port chosen in the decode list (from probed ports only); its
// "Rescan" stays visible, disabled while all ports are listed. Selection ignores case.
PortList ControlPortList(bool showAllPorts, int highPort, const std::vector<int>& probedPorts,
                         std::string_view decodePort, std::string_view currentPort);

// A serial device present, as the serial port enumeration reports it.
struct SerialDevice
{
    std::string Device;      // "/dev/ttyUSB0"
    std::string Description; // may be empty
};

// The same lists over the devices present, in their enumeration order: the first highPort
// of them by device path, labelled with their description. A stored port is found by its
// path, as "COMn" (the n-th device, as the serial port reads that name) or as a bare /dev
// name ("ttyUSB0"); the control list leaves out the device the decode port names.
PortList DecodeDeviceList(bool showAllPorts, int highPort, const std::vector<SerialDevice>& present,
                          std::string_view currentPort);
PortList ControlDeviceList(bool showAllPorts, int highPort, const std::vector<SerialDevice>& present,
                           std::string_view decodePort, std::string_view currentPort);

// The list with the stored port put first when no entry stands for it, so that "Ok" keeps a
// port that was not probed (a pseudo-terminal, an unplugged adapter) instead of the first one.
PortList KeepStoredPort(PortList list, std::string_view storedPort);
// The port "Ok" stores from a port list's text: an entry's name when the text is its label,
// else the typed text trimmed, else (nothing typed) the stored port.
std::string ChosenPort(const PortList& list, std::string_view text, std::string_view storedPort);

// What "Ok" stores for one setting: the stored value while its control still reads what it
// showed, even where the control could not show it (a speed not in a list, a number outside
// a spin's range, a colour's unused high byte).
template <typename T>
T OkValue(const T& stored, const T& shown, const T& read)
{
    return read == shown ? stored : read;
}

// The index of value in a fixed choice list, else of the fallback.
template <size_t N>
int ChoiceIndex(const std::array<const char*, N>& choices, std::string_view value, std::string_view fallback)
{
    int fallbackIndex = 0;
    for (size_t i = 0; i < N; ++i) {
        if (value == choices[i])
            return static_cast<int>(i);
        if (fallback == choices[i])
            fallbackIndex = static_cast<int>(i);
    }
    return fallbackIndex;
}
int UnidenSpeedIndex(int speed);
int GrantLogMaxIndex(int rows);

// The receive-rate bar's colour for Global/DecodeBarColor; none for the system's own.
std::optional<uint32_t> DecodeBarColor(int index);

// The proxy radio buttons in their order ("Automatic", "No Proxy", "Manual Configuration")
// against Proxy/Type (0 automatic, 1 manual, 2 none); an unknown type shows "Automatic".
int ProxyTypeOfChoice(int choice);
int ProxyChoiceOfType(int proxyType);
bool ProxyFieldsEnabled(int choice);

// The events page. A refusal of "Ok" names the field it is about, so that the dialog can
// turn to it; the broker's settings are only checked while publishing is on.
enum class MqttField { None, Host, TopicPrefix, CaFile };
struct MqttRefusal
{
    MqttField Field = MqttField::None;
    std::string Message;
};
MqttRefusal CheckMqttSettings(const CONFIG& config);
// The fields but the switch take input while publishing is on; the CA file only with TLS.
struct MqttEnabling
{
    bool Fields = false;
    bool CaFile = false;
};
MqttEnabling MqttFieldsEnabled(bool publish, bool tls);
// The client ID an empty field stands for, as the MQTT output makes it.
std::string DefaultMqttClientId(std::string_view hostName);
// The hint under the fields, with the typed prefix in place of PREFIX.
std::string MqttTopicHint(std::string_view prefix);

// Small handlers: the latency label "%3d ms", the quiet frequency "%03.5f", the grant
// filter level field (1..99, else the up-down position), the Uniden speed list's state.
std::string LatencyText(int milliseconds);
std::string QuietFrequencyText(double megahertz);
int GrantFilterLevelValue(std::string_view text, int upDownPosition);
// The typed backup days limited to 1..365; text that is no number keeps current.
int BackupDaysValue(std::string_view text, int current);
// The typed quiet frequency; text that is no decimal number keeps current.
double QuietFrequencyValue(std::string_view text, double current);
bool UnidenSpeedEnabled(int scannerType);

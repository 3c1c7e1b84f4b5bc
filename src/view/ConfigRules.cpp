#include "view/ConfigRules.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "platform/TextFormat.h"
#include "persistence/Config.h"
#include "platform/Text.h"
#include "view/FieldNumbers.h"

namespace {

constexpr int MinBackupDays = 1;
constexpr int MaxBackupDays = 365;
// Config reads HighPort as 16..255; a list never goes past this, whatever it is given.
constexpr int MaxPortNumber = 255;

enum ProxyChoice { AutomaticChoice, NoProxyChoice, ManualChoice };
constexpr std::array<int, 3> ProxyTypes = {0, 2, 1};

constexpr std::array<uint32_t, 6> BarColors = {0x000000, 0x0000FF, 0x00FF00, 0x00FFFF, 0xFF0000, 0xFFFFFF};

std::string PortName(int number)
{
    return "COM" + std::to_string(number);
}

std::vector<std::string> PortNames(bool showAllPorts, int highPort, const std::vector<int>& probedPorts,
                                   std::string_view leftOut)
{
    std::vector<std::string> names;
    const int highest = std::min(highPort, MaxPortNumber);
    if (showAllPorts) {
        for (int n = 1; n <= highest; ++n)
            names.push_back(PortName(n));
        return names;
    }
    for (int n : probedPorts) {
        std::string name = PortName(n);
        if (n >= 1 && n <= highest && name != leftOut &&
            std::find(names.begin(), names.end(), name) == names.end())
            names.push_back(std::move(name));
    }
    return names;
}

template <typename Same>
int SelectedIndex(const std::vector<std::string>& names, std::string_view current, Same same)
{
    if (names.empty())
        return -1;
    const auto found = std::find_if(names.begin(), names.end(), [&](const std::string& n) { return same(n, current); });
    return found == names.end() ? 0 : static_cast<int>(found - names.begin());
}

bool HoldsName(const std::vector<std::string>& names, std::string_view name)
{
    return std::any_of(names.begin(), names.end(), [name](const std::string& n) { return EqualsIgnoringCase(n, name); });
}

// The index in present of the device a stored port name stands for, or -1.
int FindDevice(const std::vector<SerialDevice>& present, std::string_view name)
{
    for (size_t i = 0; i < present.size(); ++i)
        if (EqualsIgnoringCase(present[i].Device, name))
            return static_cast<int>(i);
    const std::string_view digits = name.substr(std::min<size_t>(3, name.size()));
    if (StartsWithIgnoringCase(name, "COM") && !digits.empty() &&
        std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        const auto number = ParseDecimal(digits);
        return number && *number >= 1 && *number <= static_cast<long>(present.size()) ? static_cast<int>(*number - 1)
                                                                                       : -1;
    }
    if (name.empty() || name.find('/') != std::string_view::npos)
        return -1;
    for (size_t i = 0; i < present.size(); ++i) {
        const std::string& device = present[i].Device;
        const size_t slash = device.rfind('/');
        if (std::string_view(device).substr(slash == std::string::npos ? 0 : slash + 1) == name)
            return static_cast<int>(i);
    }
    return -1;
}

PortList DeviceList(bool showAllPorts, int highPort, const std::vector<SerialDevice>& present, int leftOut,
                    std::string_view currentPort)
{
    PortList list;
    if (showAllPorts) {
        list.Names = PortNames(true, highPort, {}, {});
        list.Labels = list.Names;
        list.Selected = SelectedIndex(list.Names, currentPort, EqualsIgnoringCase);
        list.HoldsCurrent = HoldsName(list.Names, currentPort);
        return list;
    }
    const int current = FindDevice(present, currentPort);
    const size_t count = std::min(present.size(), static_cast<size_t>(std::clamp(highPort, 0, MaxPortNumber)));
    for (size_t i = 0; i < count; ++i) {
        if (static_cast<int>(i) == leftOut)
            continue;
        if (static_cast<int>(i) == current) {
            list.Selected = static_cast<int>(list.Names.size());
            list.HoldsCurrent = true;
        }
        list.Names.push_back(present[i].Device);
        list.Labels.push_back(present[i].Description.empty() ? present[i].Device
                                                              : present[i].Device + " (" + present[i].Description + ")");
    }
    if (list.Selected < 0 && !list.Names.empty())
        list.Selected = 0;
    return list;
}

}

int LimitBackupDays(long days)
{
    return static_cast<int>(std::clamp<long>(days, MinBackupDays, MaxBackupDays));
}

void ApplyConfigOkRules(CONFIG& config)
{
    config.BackupDays = LimitBackupDays(config.BackupDays);
    if (EqualsIgnoringCase(config.ControlPort, config.CommPort))
        config.ScanControlEnabled = false;
    config.MqttHost = std::string(Trimmed(config.MqttHost, " \t"));
}

PortList DecodePortList(bool showAllPorts, int highPort, const std::vector<int>& probedPorts,
                        std::string_view currentPort)
{
    PortList list;
    list.Names = PortNames(showAllPorts, highPort, probedPorts, {});
    list.Labels = list.Names;
    list.Selected = SelectedIndex(list.Names, currentPort, [](std::string_view a, std::string_view b) { return a == b; });
    list.HoldsCurrent = std::find(list.Names.begin(), list.Names.end(), currentPort) != list.Names.end();
    list.RescanVisible = !showAllPorts;
    return list;
}

PortList ControlPortList(bool showAllPorts, int highPort, const std::vector<int>& probedPorts,
                         std::string_view decodePort, std::string_view currentPort)
{
    PortList list;
    list.Names = PortNames(showAllPorts, highPort, probedPorts, decodePort);
    list.Labels = list.Names;
    list.Selected = SelectedIndex(list.Names, currentPort, EqualsIgnoringCase);
    list.HoldsCurrent = HoldsName(list.Names, currentPort);
    list.RescanEnabled = !showAllPorts;
    list.ControlAllowed = !list.Names.empty();
    return list;
}

PortList DecodeDeviceList(bool showAllPorts, int highPort, const std::vector<SerialDevice>& present,
                          std::string_view currentPort)
{
    PortList list = DeviceList(showAllPorts, highPort, present, -1, currentPort);
    list.RescanVisible = !showAllPorts;
    return list;
}

PortList ControlDeviceList(bool showAllPorts, int highPort, const std::vector<SerialDevice>& present,
                           std::string_view decodePort, std::string_view currentPort)
{
    PortList list = DeviceList(showAllPorts, highPort, present, FindDevice(present, decodePort), currentPort);
    list.RescanEnabled = !showAllPorts;
    list.ControlAllowed = !list.Names.empty();
    return list;
}

PortList KeepStoredPort(PortList list, std::string_view storedPort)
{
    if (list.HoldsCurrent || Trimmed(storedPort, " \t").empty())
        return list;
    list.Names.insert(list.Names.begin(), std::string(storedPort));
    list.Labels.insert(list.Labels.begin(), std::string(storedPort));
    list.Selected = 0;
    list.HoldsCurrent = true;
    list.ControlAllowed = true;
    return list;
}

std::string ChosenPort(const PortList& list, std::string_view text, std::string_view storedPort)
{
    for (size_t i = 0; i < list.Labels.size() && i < list.Names.size(); ++i)
        if (list.Labels[i] == text)
            return list.Names[i];
    const std::string_view typed = Trimmed(text, " \t");
    return std::string(typed.empty() ? storedPort : typed);
}

int UnidenSpeedIndex(int speed)
{
    return ChoiceIndex(UnidenSpeedChoices, std::to_string(speed), UnidenSpeedFallback);
}

int GrantLogMaxIndex(int rows)
{
    return ChoiceIndex(GrantLogMaxChoices, std::to_string(rows), GrantLogMaxFallback);
}

std::optional<uint32_t> DecodeBarColor(int index)
{
    if (index < 1 || index > static_cast<int>(BarColors.size()))
        return std::nullopt;
    return BarColors[static_cast<size_t>(index) - 1];
}

int ProxyTypeOfChoice(int choice)
{
    return choice >= 0 && choice < static_cast<int>(ProxyTypes.size()) ? ProxyTypes[static_cast<size_t>(choice)] : 0;
}

int ProxyChoiceOfType(int proxyType)
{
    const auto found = std::find(ProxyTypes.begin(), ProxyTypes.end(), proxyType);
    return found == ProxyTypes.end() ? AutomaticChoice : static_cast<int>(found - ProxyTypes.begin());
}

bool ProxyFieldsEnabled(int choice)
{
    return choice == ManualChoice;
}

std::string LatencyText(int milliseconds)
{
    return Format("%3d ms", milliseconds);
}

std::string QuietFrequencyText(double megahertz)
{
    return Format("%03.5f", megahertz);
}

int GrantFilterLevelValue(std::string_view text, int upDownPosition)
{
    const auto value = ParseDecimal(text);
    return value && *value >= 1 && *value <= 99 ? static_cast<int>(*value) : upDownPosition;
}

int BackupDaysValue(std::string_view text, int current)
{
    const auto days = ParseDecimal(text);
    return LimitBackupDays(days ? *days : current);
}

double QuietFrequencyValue(std::string_view text, double current)
{
    return ParseDecimalFraction(text).value_or(current);
}

bool UnidenSpeedEnabled(int scannerType)
{
    return scannerType == UnidenScannerType;
}

MqttRefusal CheckMqttSettings(const CONFIG& config)
{
    if (!config.MqttEnabled)
        return {};
    const std::string_view host = Trimmed(config.MqttHost, " \t");
    if (host.empty())
        return {MqttField::Host, "Host: enter the name or address of the MQTT broker."};
    if (host.find_first_of(" \t") != std::string_view::npos)
        return {MqttField::Host, "Host: the name of the MQTT broker cannot contain spaces."};
    const std::string& prefix = config.MqttTopicPrefix;
    if (prefix.empty())
        return {MqttField::TopicPrefix, "Topic prefix: enter the first level of the topics, such as zembrant."};
    if (prefix.find_first_of("+#") != std::string::npos)
        return {MqttField::TopicPrefix, "Topic prefix: + and # are MQTT wildcards and cannot be part of a topic."};
    if (prefix.front() == '/' || prefix.back() == '/')
        return {MqttField::TopicPrefix, "Topic prefix: it cannot start or end with /."};
    std::error_code error;
    if (config.MqttTls && !config.MqttCaFile.empty() && !std::filesystem::is_regular_file(config.MqttCaFile, error))
        return {MqttField::CaFile, "CA file: there is no file " + config.MqttCaFile + "."};
    return {};
}

MqttEnabling MqttFieldsEnabled(bool publish, bool tls)
{
    return {publish, publish && tls};
}

std::string DefaultMqttClientId(std::string_view hostName)
{
    return hostName.empty() ? std::string("zembrant") : "zembrant-" + std::string(hostName);
}

std::string MqttTopicHint(std::string_view prefix)
{
    const std::string shown = prefix.empty() ? std::string("PREFIX") : std::string(prefix);
    return "Events are published under " + shown + "/<sysid>/<rfss>-<site>/<type>; watch them with mosquitto_sub -t '" +
           shown + "/#' -v";
}

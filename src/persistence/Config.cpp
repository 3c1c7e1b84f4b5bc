#include "persistence/Config.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>

#include "platform/Files.h"
#include "platform/IniFile.h"
#include "platform/Text.h"

namespace {

constexpr char ColumnKeyPrefix[] = "Column";
constexpr int MinFontSize = 4;
constexpr int MaxFontSize = 72;
constexpr int DefaultColumnWidth = 50;
constexpr int MaxColumnWidth = 2000;
constexpr char DevelopmentAppKey[] = "19465073";
constexpr int32_t MinTGTimeOut = 5;
// "\xC2\xA4" is the sign "¤" in UTF-8.
constexpr char EscapedPasswordMark[] = "\xC2\xA4";
// Minutes, the range the configuration dialog offers.
constexpr int32_t MinAutoSaveInterval = 1;
constexpr int32_t MaxAutoSaveInterval = 60;

bool ReadYesNo(const IniFile& ini, std::string_view section, std::string_view key, bool defaultValue)
{
    return ParseYesNo(ini.ReadString(section, key, FormatYesNo(defaultValue)));
}

uint32_t ReadColor(const IniFile& ini, std::string_view section, std::string_view key, uint32_t defaultValue)
{
    return ini.ValueExists(section, key) ? ParseColor(ini.ReadString(section, key, "")) : defaultValue;
}

std::string ReadPassword(const IniFile& ini, std::string_view section)
{
    const std::string stored = ini.ReadString(section, "Password", "");
    return stored.empty() ? stored : UnscramblePassword(stored);
}

FONTSPEC ReadFont(const IniFile& ini, std::string_view section, const FONTSPEC& defaultFont)
{
    FONTSPEC font;
    font.Name = ini.ReadString(section, "Font", defaultFont.Name);
    font.Size = ini.ReadInteger(section, "Size", defaultFont.Size);
    // What a font chooser offers; a hand-edited size beyond it makes a list unreadable.
    if (font.Size < MinFontSize || font.Size > MaxFontSize)
        font.Size = defaultFont.Size;
    font.Bold = ReadYesNo(ini, section, "Bold", defaultFont.Bold);
    return font;
}

void WriteYesNo(IniFile& ini, std::string_view section, std::string_view key, bool value)
{
    ini.WriteString(section, key, FormatYesNo(value));
}

void WriteColor(IniFile& ini, std::string_view section, std::string_view key, uint32_t color)
{
    ini.WriteString(section, key, FormatColor(color));
}

void WriteFont(IniFile& ini, std::string_view section, const FONTSPEC& font)
{
    ini.WriteString(section, "Font", font.Name);
    ini.WriteInteger(section, "Size", font.Size);
    WriteYesNo(ini, section, "Bold", font.Bold);
}

// "Column%d" with a number below MaxColumns, else -1.
int ColumnNumber(std::string_view key)
{
    const std::string_view prefix = ColumnKeyPrefix;
    if (key.size() <= prefix.size() || key.size() > prefix.size() + 2 || !StartsWithIgnoringCase(key, prefix))
        return -1;
    int number = -1;
    const auto digits = key.substr(prefix.size());
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    if (error != std::errc() || end != digits.data() + digits.size() || number >= MaxColumns)
        return -1;
    return number;
}

void ReadScreenSizes(const IniFile& ini, CONFIG& config, EXTRASETTINGS& extra)
{
    config.Maximized = ReadYesNo(ini, "Global", "Maximized", false);
    if (!config.Maximized) {
        config.Left = ini.ReadInteger("Global", "Left", config.Left);
        config.Top = ini.ReadInteger("Global", "Top", config.Top);
        config.Width = ini.ReadInteger("Global", "Width", config.Width);
        config.Height = ini.ReadInteger("Global", "Height", config.Height);
    }
    for (size_t s = 0; s < ScreenSectionNames.size(); ++s)
        for (const std::string& key : ini.ReadSection(ScreenSectionNames[s]))
            if (const int column = ColumnNumber(key); column >= 0)
                if (const int width = ini.ReadInteger(ScreenSectionNames[s], key, DefaultColumnWidth);
                    width >= 0 && width <= MaxColumnWidth)
                    extra.ColumnWidths[s][column] = width;
}

void ReadListSections(const IniFile& ini, CONFIG& c, EXTRASETTINGS& extra)
{
    const FONTSPEC builtIn;
    for (int s = 0; s < ListSectionCount; ++s)
        extra.ListFonts[s] = c.UseGlobalFont ? extra.ProgramFont : ReadFont(ini, ListSectionNames[s], builtIn);

    c.ShowGrantLog = ReadYesNo(ini, "Activity", "ShowGrantLog", c.ShowGrantLog);
    c.GrantLogMax = std::min(ini.ReadInteger("Activity", "GrantLogMax", c.GrantLogMax), 200);
    c.ShowPatchList = ReadYesNo(ini, "Activity", "ShowPatchList", c.ShowPatchList);
    c.HideSystemInfo = ReadYesNo(ini, "Activity", "HideSystemInfo", c.HideSystemInfo);
    c.ActivityColorMode = ini.ReadInteger("Activity", "ColorMode", c.ActivityColorMode);
    c.DefaultText = ReadColor(ini, "Activity", "DefaultText", c.DefaultText);
    c.DefaultBackground = ReadColor(ini, "Activity", "DefaultBackground", c.DefaultBackground);
    c.ControlText = ReadColor(ini, "Activity", "ControlText", c.ControlText);
    c.ControlBackground = ReadColor(ini, "Activity", "ControlBackground", c.ControlBackground);
    c.SaveHits = ReadYesNo(ini, "Activity", "SaveHits", c.SaveHits);

    c.AffiliationsVisible = ReadYesNo(ini, "Affiliations", "Visible", c.AffiliationsVisible);
    c.AffiliationsAutoSave = ReadYesNo(ini, "Affiliations", "AutoSave", c.AffiliationsAutoSave);
    c.LogDenied = ReadYesNo(ini, "Affiliations", "LogDenied", c.LogDenied);
    c.AffiliationsUseTGColors = ReadYesNo(ini, "Affiliations", "UseTGColors", c.AffiliationsUseTGColors);
    extra.FilterRegistrations = ReadYesNo(ini, "Affiliations", "FilterRegistrations", extra.FilterRegistrations);

    c.TowerInfoVisible = ReadYesNo(ini, "TowerInfo", "Visible", c.TowerInfoVisible);
    c.PatchesVisible = ReadYesNo(ini, "Patches", "Visible", c.PatchesVisible);
    c.PatchesAutoSave = ReadYesNo(ini, "Patches", "AutoSave", c.PatchesAutoSave);
    c.OtherInfoVisible = ReadYesNo(ini, "OtherInfo", "Visible", c.OtherInfoVisible);
    c.OtherInfoAutoSave = ReadYesNo(ini, "OtherInfo", "AutoSave", c.OtherInfoAutoSave);

    c.GrantsVisible = ReadYesNo(ini, "Grants", "Visible", c.GrantsVisible);
    c.GrantsAutoSave = ReadYesNo(ini, "Grants", "AutoSave", c.GrantsAutoSave);
    c.GrantsUseTGColors = ReadYesNo(ini, "Grants", "UseTGColors", c.GrantsUseTGColors);
    c.GrantsUseFilter = ReadYesNo(ini, "Grants", "UseFilter", c.GrantsUseFilter);
    c.GrantsFilterLevel = ini.ReadInteger("Grants", "FilterLevel", c.GrantsFilterLevel);
    c.GrantsFilterOther = ReadYesNo(ini, "Grants", "FilterOther", c.GrantsFilterOther);
    c.GrantsColorMode = ini.ReadInteger("Grants", "ColorMode", c.GrantsColorMode);

    c.UnknownsVisible = ReadYesNo(ini, "Unknowns", "Visible", c.UnknownsVisible);
    c.UnknownsAutoSave = ReadYesNo(ini, "Unknowns", "AutoSave", c.UnknownsAutoSave);
    c.PktDumpVisible = ReadYesNo(ini, "PktDump", "Visible", c.PktDumpVisible);
    c.PktDumpAutoSave = ReadYesNo(ini, "PktDump", "AutoSave", c.PktDumpAutoSave);
    c.PsrDumpVisible = ReadYesNo(ini, "PSRDUMP", "Visible", c.PsrDumpVisible);
    c.PsrDumpAutoSave = ReadYesNo(ini, "PSRDUMP", "AutoSave", c.PsrDumpAutoSave);
}

void ReadDirectoryAndProxy(IniFile& ini, CONFIG& c)
{
    c.RRWebEnabled = ReadYesNo(ini, "RRWebService", "Enabled", c.RRWebEnabled);
    c.RRUserName = ini.ReadString("RRWebService", "UserName", c.RRUserName);
    c.RRPassword = ReadPassword(ini, "RRWebService");
    c.WebTimeOut = ini.ReadInteger("RRWebService", "WebTimeOut", c.WebTimeOut);
    if (ini.ValueExists("RRWebService", "WebWSDL") || ini.ValueExists("RRWebService", "CDROMWSDL")) {
        ini.DeleteKey("RRWebService", "WebWSDL");
        ini.DeleteKey("RRWebService", "CDROMWSDL");
        std::string ignored;
        ini.UpdateFile(ignored);
    }
    if (ReadYesNo(ini, "RRWebService", "UseDevelKey", false))
        c.AppKey = DevelopmentAppKey;

    c.ProxyType = ini.ReadInteger("Proxy", "Type", c.ProxyType);
    c.ProxyAddress = ini.ReadString("Proxy", "Address", c.ProxyAddress);
    c.ProxyPort = ini.ReadInteger("Proxy", "Port", c.ProxyPort);
    c.ProxyLoginRequired = ReadYesNo(ini, "Proxy", "LoginRequired", c.ProxyLoginRequired);
    c.ProxyUserName = ini.ReadString("Proxy", "UserName", c.ProxyUserName);
    c.ProxyPassword = ReadPassword(ini, "Proxy");
}

void ReadEvents(const IniFile& ini, CONFIG& c)
{
    c.MqttEnabled = ReadYesNo(ini, "Events", "MqttEnabled", c.MqttEnabled);
    c.MqttHost = ini.ReadString("Events", "Host", c.MqttHost);
    const int port = ini.ReadInteger("Events", "Port", c.MqttPort);
    if (port >= 1 && port <= 65535)
        c.MqttPort = port;
    c.MqttTls = ReadYesNo(ini, "Events", "Tls", c.MqttTls);
    c.MqttCaFile = ini.ReadString("Events", "CaFile", c.MqttCaFile);
    c.MqttUserName = ini.ReadString("Events", "UserName", c.MqttUserName);
    c.MqttPassword = ReadPassword(ini, "Events");
    c.MqttTopicPrefix = ini.ReadString("Events", "TopicPrefix", c.MqttTopicPrefix);
    c.MqttClientId = ini.ReadString("Events", "ClientId", c.MqttClientId);
    c.HistoryEnabled = ReadYesNo(ini, "History", "Enabled", c.HistoryEnabled);
    const int days = ini.ReadInteger("History", "Days", c.HistoryDays);
    if (days >= 1 && days <= MaxHistoryDays)
        c.HistoryDays = days;
}

}

std::string DefaultDataFolder()
{
    return DocumentsFolder() + "Zembrant/";
}

void LoadConfiguration(CONFIG& config, EXTRASETTINGS& extra)
{
    CONFIG c;
    c.ConfigFile = config.ConfigFile;
    c.DataFolder = config.DataFolder;
    c.ServiceAddress = config.ServiceAddress;
    c.Left = config.Left;
    c.Top = config.Top;
    c.Width = config.Width;
    c.Height = config.Height;
    extra = EXTRASETTINGS{};
    IniFile ini(c.ConfigFile);
    if (!ini.ReadError().empty())
        extra.Warnings.push_back(ini.ReadError());

    if (ini.SectionExists("Protection"))
        c.LogProtectionData = ReadYesNo(ini, "Protection", "LogProtectionData", false);

    c.SaveScreenSizes = ReadYesNo(ini, "Global", "SaveScreenSizes", c.SaveScreenSizes);
    c.Confirmations = ReadYesNo(ini, "Global", "Confirmations", c.Confirmations);
    if (c.SaveScreenSizes)
        ReadScreenSizes(ini, c, extra);

    c.CommPort = ini.ReadString("Communications", "Port", c.CommPort);
    c.Latency = ini.ReadInteger("Communications", "Latency", c.Latency);
    c.ScannerType = ini.ReadInteger("Communications", "ScannerType", c.ScannerType);
    c.UnidenSpeed = ini.ReadInteger("Communications", "UnidenSpeed", c.UnidenSpeed);
    c.ShowAllPorts = ReadYesNo(ini, "Communications", "ShowAllPorts", c.ShowAllPorts);
    c.HighPort = std::clamp(ini.ReadInteger("Communications", "HighPort", c.HighPort), 16, 255);

    c.ScanControlEnabled = ReadYesNo(ini, "ScanControl", "Enabled", c.ScanControlEnabled);
    c.ControlPort = ini.ReadString("ScanControl", "Port", c.ControlPort);
    c.TuneData = ReadYesNo(ini, "ScanControl", "TuneData", c.TuneData);
    c.ScannerProfile = ini.ReadString("ScanControl", "Profile", c.ScannerProfile);
    c.PrivatePriority = ini.ReadInteger("ScanControl", "PrivatePriority", c.PrivatePriority);
    c.QuietFrequency = ini.ReadFloat("ScanControl", "QuietFrequency", c.QuietFrequency);
    c.ControlPortSpeed = ini.ReadInteger("ScanControl", "PortSpeed", c.ControlPortSpeed);
    c.MonitorThresholdHigh = ini.ReadInteger("ScanControl", "MonitorThresholdHigh", c.MonitorThresholdHigh);
    c.MonitorThresholdLow = ini.ReadInteger("ScanControl", "MonitorThresholdLow", c.MonitorThresholdLow);
    // The window's fields: High 10..99, Low 1..High.
    c.MonitorThresholdHigh = std::clamp(c.MonitorThresholdHigh, 10, 99);
    c.MonitorThresholdLow = std::clamp(c.MonitorThresholdLow, 1, c.MonitorThresholdHigh);

    c.AutoSaveEnabled = ReadYesNo(ini, "AutoSave", "Enabled", c.AutoSaveEnabled);
    c.AutoSaveInterval =
        std::clamp(ini.ReadInteger("AutoSave", "Interval", c.AutoSaveInterval), MinAutoSaveInterval, MaxAutoSaveInterval);
    c.DataSaveOnDecodeStop = ReadYesNo(ini, "AutoSave", "DataSaveOnDecodeStop", c.DataSaveOnDecodeStop);
    c.DataSaveOnExit = ReadYesNo(ini, "AutoSave", "DataSaveOnExit", c.DataSaveOnExit);
    c.LogSaveOnDecodeStop = ReadYesNo(ini, "AutoSave", "LogSaveOnDecodeStop", c.LogSaveOnDecodeStop);
    c.LogSaveOnExit = ReadYesNo(ini, "AutoSave", "LogSaveOnExit", c.LogSaveOnExit);

    c.BackupEnabled = ReadYesNo(ini, "Backup", "Enabled", c.BackupEnabled);
    c.BackupDays = std::clamp(ini.ReadInteger("Backup", "Days", c.BackupDays), 1, 365);
    c.BackupCheckTime = std::clamp(ini.ReadInteger("Backup", "CheckTime", c.BackupCheckTime), 60, 1440);
    c.LastBackup = ini.ReadInt64("Backup", "LastBackup", c.LastBackup);
    c.BackupPath = ini.ReadString("Backup", "BackupPath", c.BackupPath);
    c.BackupAddDate = ReadYesNo(ini, "Backup", "AddDate", c.BackupAddDate);

    c.UseGlobalFont = ReadYesNo(ini, "Global", "UseGlobalFont", c.UseGlobalFont);
    extra.ProgramFont = ReadFont(ini, "Global", extra.ProgramFont);
    c.EvenText = ReadColor(ini, "Global", "EvenText", c.EvenText);
    c.EvenBackground = ReadColor(ini, "Global", "EvenBackground", c.EvenBackground);
    c.OddText = ReadColor(ini, "Global", "OddText", c.OddText);
    c.OddBackground = ReadColor(ini, "Global", "OddBackground", c.OddBackground);
    c.IncludeDate = ReadYesNo(ini, "Global", "IncludeDate", c.IncludeDate);
    c.DecodeBarColor = ini.ReadInteger("Global", "DecodeBarColor", c.DecodeBarColor);
    if (c.DecodeBarColor < 0 || c.DecodeBarColor > 6)
        c.DecodeBarColor = 0;
    if (ini.ValueExists("Global", "TGTimeOut"))
        extra.TGTimeOut = std::max(ini.ReadInteger("Global", "TGTimeOut", extra.TGTimeOut), MinTGTimeOut);

    ReadListSections(ini, c, extra);
    ReadDirectoryAndProxy(ini, c);
    ReadEvents(ini, c);

    if (ini.SectionExists("CustomColors"))
        for (char letter = 'A'; letter <= 'P'; ++letter) {
            const std::string key = std::string("Color") + letter;
            extra.CustomColors.push_back(key + "=" + ini.ReadString("CustomColors", key, "FFFFFFFF"));
        }
    config = std::move(c);
}

bool SaveConfiguration(const CONFIG& c, const EXTRASETTINGS& extra, std::string& error)
{
    IniFile ini(c.ConfigFile);

    ini.WriteString("Communications", "Port", c.CommPort);
    ini.WriteInteger("Communications", "Latency", c.Latency);
    ini.WriteInteger("Communications", "ScannerType", c.ScannerType);
    ini.WriteInteger("Communications", "UnidenSpeed", c.UnidenSpeed);

    WriteYesNo(ini, "ScanControl", "Enabled", c.ScanControlEnabled);
    ini.WriteString("ScanControl", "Port", c.ControlPort);
    WriteYesNo(ini, "ScanControl", "TuneData", c.TuneData);
    ini.WriteInteger("ScanControl", "PrivatePriority", c.PrivatePriority);
    ini.WriteString("ScanControl", "Profile", c.ScannerProfile);
    ini.WriteFloat("ScanControl", "QuietFrequency", c.QuietFrequency);
    ini.WriteInteger("ScanControl", "PortSpeed", c.ControlPortSpeed);
    ini.WriteInteger("ScanControl", "MonitorThresholdHigh", c.MonitorThresholdHigh);
    ini.WriteInteger("ScanControl", "MonitorThresholdLow", c.MonitorThresholdLow);

    WriteYesNo(ini, "AutoSave", "Enabled", c.AutoSaveEnabled);
    ini.WriteInteger("AutoSave", "Interval", c.AutoSaveInterval);
    WriteYesNo(ini, "AutoSave", "DataSaveOnDecodeStop", c.DataSaveOnDecodeStop);
    WriteYesNo(ini, "AutoSave", "DataSaveOnExit", c.DataSaveOnExit);
    WriteYesNo(ini, "AutoSave", "LogSaveOnDecodeStop", c.LogSaveOnDecodeStop);
    WriteYesNo(ini, "AutoSave", "LogSaveOnExit", c.LogSaveOnExit);

    WriteYesNo(ini, "Backup", "Enabled", c.BackupEnabled);
    ini.WriteInteger("Backup", "Days", c.BackupDays);
    ini.WriteInteger("Backup", "CheckTime", c.BackupCheckTime);
    ini.WriteInteger("Backup", "LastBackup", c.LastBackup);
    ini.WriteString("Backup", "BackupPath", c.BackupPath);
    WriteYesNo(ini, "Backup", "AddDate", c.BackupAddDate);

    WriteYesNo(ini, "Global", "UseGlobalFont", c.UseGlobalFont);
    WriteFont(ini, "Global", extra.ProgramFont);
    WriteYesNo(ini, "Global", "IncludeDate", c.IncludeDate);
    WriteColor(ini, "Global", "EvenText", c.EvenText);
    WriteColor(ini, "Global", "EvenBackground", c.EvenBackground);
    WriteColor(ini, "Global", "OddText", c.OddText);
    WriteColor(ini, "Global", "OddBackground", c.OddBackground);
    WriteYesNo(ini, "Global", "SaveScreenSizes", c.SaveScreenSizes);
    WriteYesNo(ini, "Global", "Confirmations", c.Confirmations);
    if (c.SaveScreenSizes) {
        WriteYesNo(ini, "Global", "Maximized", c.Maximized);
        if (!c.Maximized) {
            ini.WriteInteger("Global", "Left", c.Left);
            ini.WriteInteger("Global", "Top", c.Top);
            ini.WriteInteger("Global", "Width", c.Width);
            ini.WriteInteger("Global", "Height", c.Height);
        }
    }
    ini.WriteInteger("Global", "DecodeBarColor", c.DecodeBarColor);

    WriteFont(ini, "Activity", extra.ListFonts[ActivityLists]);
    WriteColor(ini, "Activity", "DefaultText", c.DefaultText);
    WriteColor(ini, "Activity", "DefaultBackground", c.DefaultBackground);
    WriteColor(ini, "Activity", "ControlText", c.ControlText);
    WriteColor(ini, "Activity", "ControlBackground", c.ControlBackground);
    WriteYesNo(ini, "Activity", "ShowGrantLog", c.ShowGrantLog);
    WriteYesNo(ini, "Activity", "ShowPatchList", c.ShowPatchList);
    ini.WriteInteger("Activity", "GrantLogMax", c.GrantLogMax);
    WriteYesNo(ini, "Activity", "HideSystemInfo", c.HideSystemInfo);
    ini.WriteInteger("Activity", "ColorMode", c.ActivityColorMode);
    WriteYesNo(ini, "Activity", "SaveHits", c.SaveHits);

    WriteYesNo(ini, "Affiliations", "Visible", c.AffiliationsVisible);
    WriteFont(ini, "Affiliations", extra.ListFonts[AffiliationLists]);
    WriteYesNo(ini, "Affiliations", "AutoSave", c.AffiliationsAutoSave);
    WriteYesNo(ini, "Affiliations", "LogDenied", c.LogDenied);
    WriteYesNo(ini, "Affiliations", "UseTGColors", c.AffiliationsUseTGColors);
    WriteYesNo(ini, "Affiliations", "FilterRegistrations", extra.FilterRegistrations);

    WriteYesNo(ini, "TowerInfo", "Visible", c.TowerInfoVisible);
    WriteFont(ini, "TowerInfo", extra.ListFonts[TowerInfoLists]);

    WriteYesNo(ini, "Patches", "Visible", c.PatchesVisible);
    WriteFont(ini, "Patches", extra.ListFonts[PatchLists]);
    WriteYesNo(ini, "Patches", "AutoSave", c.PatchesAutoSave);

    WriteYesNo(ini, "OtherInfo", "Visible", c.OtherInfoVisible);
    WriteFont(ini, "OtherInfo", extra.ListFonts[OtherInfoLists]);
    WriteYesNo(ini, "OtherInfo", "AutoSave", c.OtherInfoAutoSave);

    WriteYesNo(ini, "Grants", "Visible", c.GrantsVisible);
    WriteFont(ini, "Grants", extra.ListFonts[GrantLists]);
    WriteYesNo(ini, "Grants", "AutoSave", c.GrantsAutoSave);
    WriteYesNo(ini, "Grants", "UseTGColors", c.GrantsUseTGColors);
    WriteYesNo(ini, "Grants", "UseFilter", c.GrantsUseFilter);
    ini.WriteInteger("Grants", "FilterLevel", c.GrantsFilterLevel);
    WriteYesNo(ini, "Grants", "FilterOther", c.GrantsFilterOther);
    ini.WriteInteger("Grants", "ColorMode", c.GrantsColorMode);

    const struct
    {
        ListSection section;
        bool visible;
        bool autoSave;
    } dumps[] = {{UnknownLists, c.UnknownsVisible, c.UnknownsAutoSave},
                 {PktDumpLists, c.PktDumpVisible, c.PktDumpAutoSave},
                 {PsrDumpLists, c.PsrDumpVisible, c.PsrDumpAutoSave}};
    for (const auto& dump : dumps) {
        const char* name = ListSectionNames[dump.section];
        WriteYesNo(ini, name, "Visible", dump.visible);
        WriteFont(ini, name, extra.ListFonts[dump.section]);
        WriteYesNo(ini, name, "AutoSave", dump.autoSave);
    }

    for (size_t s = 0; s < ScreenSectionNames.size(); ++s) {
        if (!c.SaveScreenSizes) {
            ini.EraseSection(ScreenSectionNames[s]);
            continue;
        }
        for (const auto& [column, width] : extra.ColumnWidths[s])
            ini.WriteInteger(ScreenSectionNames[s], ColumnKeyPrefix + std::to_string(column), width);
    }

    WriteYesNo(ini, "RRWebService", "Enabled", c.RRWebEnabled);
    ini.WriteString("RRWebService", "UserName", c.RRUserName);
    ini.WriteString("RRWebService", "Password", ScramblePassword(c.RRPassword));
    ini.WriteInteger("RRWebService", "WebTimeOut", c.WebTimeOut);

    ini.WriteInteger("Proxy", "Type", c.ProxyType);
    ini.WriteString("Proxy", "Address", c.ProxyAddress);
    ini.WriteInteger("Proxy", "Port", c.ProxyPort);
    WriteYesNo(ini, "Proxy", "LoginRequired", c.ProxyLoginRequired);
    ini.WriteString("Proxy", "UserName", c.ProxyUserName);
    ini.WriteString("Proxy", "Password", ScramblePassword(c.ProxyPassword));

    WriteYesNo(ini, "Events", "MqttEnabled", c.MqttEnabled);
    ini.WriteString("Events", "Host", c.MqttHost);
    ini.WriteInteger("Events", "Port", c.MqttPort);
    WriteYesNo(ini, "Events", "Tls", c.MqttTls);
    ini.WriteString("Events", "CaFile", c.MqttCaFile);
    ini.WriteString("Events", "UserName", c.MqttUserName);
    ini.WriteString("Events", "Password", ScramblePassword(c.MqttPassword));
    ini.WriteString("Events", "TopicPrefix", c.MqttTopicPrefix);
    ini.WriteString("Events", "ClientId", c.MqttClientId);

    WriteYesNo(ini, "History", "Enabled", c.HistoryEnabled);
    ini.WriteInteger("History", "Days", c.HistoryDays);

    ini.EraseSection("CustomColors");
    for (const std::string& entry : extra.CustomColors)
        if (const auto equals = entry.find('='); equals != std::string::npos && equals > 0)
            ini.WriteString("CustomColors", std::string_view(entry).substr(0, equals),
                            std::string_view(entry).substr(equals + 1));

    return ini.UpdateFile(error);
}

bool ParseYesNo(std::string_view text)
{
    constexpr std::string_view yes = "yes";
    return std::equal(text.begin(), text.end(), yes.begin(), yes.end(),
                      [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; });
}

std::string FormatYesNo(bool value)
{
    return value ? "Yes" : "No";
}

uint32_t ParseColor(std::string_view text)
{
    const auto pair = [text](size_t at) -> uint32_t {
        uint32_t value = 0;
        const auto [end, error] = std::from_chars(text.data() + at, text.data() + at + 2, value, 16);
        return (error == std::errc() && end == text.data() + at + 2) ? value : 0;
    };
    if (text.size() == 7 && text.front() == '#')
        return pair(1) | (pair(3) << 8) | (pair(5) << 16);
    int64_t value = 0;
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return 0;
    return static_cast<uint32_t>(value);
}

std::string FormatColor(uint32_t color)
{
    char text[8];
    std::snprintf(text, sizeof text, "#%02X%02X%02X", color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF);
    return text;
}

std::string ScramblePassword(std::string_view password)
{
    password = password.substr(0, std::min(password.size(), static_cast<size_t>(MaxPasswordLength)));
    // The shuffle and shift below only carry the characters 33..126. A password with any
    // other byte is shuffled in an escaped form behind a mark that starts with a byte from
    // 0xA2 up, which the old form never holds, so a stored old form keeps its meaning.
    const bool plain = std::all_of(password.begin(), password.end(), [](char c) { return c >= 33 && c <= 126; });
    std::string text;
    for (const char c : password) {
        if (plain || (c >= 33 && c <= 126 && c != '%'))
            text += c;
        else {
            char escape[4];
            std::snprintf(escape, sizeof escape, "%%%02X", static_cast<unsigned char>(c));
            text += escape;
        }
    }
    const size_t n = text.size();
    std::string stored(n, '\0');
    for (size_t i = 0; i < n; ++i) {
        const size_t to = (i % 2 == 1) ? (i - 1) / 2 : n - 1 - i / 2;
        unsigned int c = (static_cast<unsigned char>(text[i]) + 17u) % 256u;
        if (c > 126)
            c -= 94;
        stored[to] = static_cast<char>(c);
    }
    return plain ? stored : EscapedPasswordMark + stored;
}

std::string UnscramblePassword(std::string_view stored)
{
    const bool escaped = stored.starts_with(EscapedPasswordMark);
    stored = escaped ? stored.substr(std::string_view(EscapedPasswordMark).size())
                     : stored.substr(0, std::min(stored.size(), static_cast<size_t>(MaxPasswordLength)));
    const size_t n = stored.size();
    std::string text(n, '\0');
    for (size_t i = 0; i < n; ++i) {
        const size_t from = (i % 2 == 1) ? (i - 1) / 2 : n - 1 - i / 2;
        unsigned int c = (static_cast<unsigned char>(stored[from]) + 256u - 17u) % 256u;
        if (c < 33)
            c += 94;
        text[i] = static_cast<char>(c);
    }
    if (!escaped)
        return text;
    std::string password;
    for (size_t i = 0; i < n && password.size() < static_cast<size_t>(MaxPasswordLength); ++i) {
        unsigned int byte = 0;
        if (text[i] == '%' && i + 2 < n && std::from_chars(&text[i + 1], &text[i + 3], byte, 16).ptr == &text[i + 3]) {
            password += static_cast<char>(byte);
            i += 2;
        } else {
            password += text[i];
        }
    }
    return password;
}

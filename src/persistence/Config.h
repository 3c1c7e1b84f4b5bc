#pragma once
#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

// The program settings and their INI file. The main window owns one CONFIG and one
// EXTRASETTINGS; it loads them once at start, applies the fonts, bounds and column
// widths to its widgets, and hands back the widgets' current values when it saves.

inline constexpr char ConfigFileName[] = "Zembrant.ini";
inline constexpr int MaxPasswordLength = 255;
// A hundred years: past it a number is a typing slip.
inline constexpr int MaxHistoryDays = 36500;
// "Column%d" keys beyond this are taken for damage and ignored.
inline constexpr int MaxColumns = 64;

struct FONTSPEC
{
    std::string Name = "Tahoma";
    int32_t Size = 8;
    bool Bold = false;

    friend bool operator==(const FONTSPEC&, const FONTSPEC&) = default;
};

// Colours are 0x00BBGGRR: red in the low byte.
struct CONFIG
{
    std::string CommPort = "COM1";
    int32_t Latency = 10;
    int32_t ScannerType = 0;
    int32_t UnidenSpeed = 115200;
    bool ShowAllPorts = false;
    int32_t HighPort = 255;
    std::string ConfigFile;
    bool AutoSaveEnabled = true;
    int32_t AutoSaveInterval = 10;
    bool BackupEnabled = false;
    int32_t BackupDays = 7;
    int32_t BackupCheckTime = 60;
    // Seconds since 1970; 64 bits so that it outlives January 2038.
    int64_t LastBackup = 0;
    bool BackupAddDate = false;
    std::string BackupPath;
    std::string DataFolder;
    bool DataSaveOnDecodeStop = false;
    bool DataSaveOnExit = false;
    bool LogSaveOnDecodeStop = false;
    bool LogSaveOnExit = false;
    bool ScanControlEnabled = false;
    std::string ControlPort = "COM2";
    int32_t PrivatePriority = 0;
    std::string ScannerProfile = "BC250D.Scanner";
    bool TuneData = false;
    double QuietFrequency = 866.0;
    int32_t ControlPortSpeed = 9600;
    int32_t MonitorThresholdHigh = 99;
    int32_t MonitorThresholdLow = 1;
    bool HideSystemInfo = false;
    bool ShowPatchList = false;
    bool ShowGrantLog = false;
    bool SaveHits = false;
    int32_t GrantLogMax = 20;
    int32_t ActivityColorMode = 1;
    int32_t DecodeBarColor = 0;
    bool LogDenied = false;
    bool AffiliationsAutoSave = false;
    bool AffiliationsUseTGColors = false;
    bool AffiliationsVisible = true;
    bool GrantsVisible = false;
    bool GrantsAutoSave = false;
    bool GrantsUseTGColors = false;
    bool GrantsUseFilter = false;
    int32_t GrantsFilterLevel = 99;
    bool GrantsFilterOther = false;
    int32_t GrantsColorMode = 1;
    bool TowerInfoVisible = true;
    bool OtherInfoVisible = false;
    bool OtherInfoAutoSave = false;
    bool UnknownsVisible = false;
    bool UnknownsAutoSave = false;
    bool PktDumpVisible = false;
    bool PktDumpAutoSave = false;
    bool LogProtectionData = false;
    bool PsrDumpVisible = false;
    bool PsrDumpAutoSave = false;
    bool PatchesAutoSave = false;
    bool PatchesVisible = true;
    bool IncludeDate = false;
    bool UseGlobalFont = true;
    bool SaveScreenSizes = false;
    bool Maximized = false;
    bool WindowResized = false;
    bool Confirmations = false;
    uint32_t DefaultText = 0x000000;
    uint32_t DefaultBackground = 0xFFFFFF;
    uint32_t ControlText = 0x00FF00;
    uint32_t ControlBackground = 0xFFFFFF;
    uint32_t EvenText = 0x000000;
    uint32_t EvenBackground = 0xFFFFFF;
    uint32_t OddText = 0x000000;
    uint32_t OddBackground = 0xCCFFCC;
    bool RRWebEnabled = false;
    std::string RRUserName;
    std::string RRPassword;
    std::string AppKey = "57302846";
    // Filled in by the directory service client; not stored.
    std::string ServiceAddress;
    int32_t WebTimeOut = 60;
    int32_t ProxyType = 0;
    std::string ProxyAddress;
    int32_t ProxyPort = 80;
    bool ProxyLoginRequired = false;
    std::string ProxyUserName;
    std::string ProxyPassword;
    // [Events]: the MQTT broker the live events are published to.
    bool MqttEnabled = false;
    std::string MqttHost = "localhost";
    int32_t MqttPort = 1883;
    bool MqttTls = false;
    std::string MqttCaFile;
    std::string MqttUserName;
    std::string MqttPassword;
    std::string MqttTopicPrefix = "zembrant";
    // Empty: "zembrant-" and the host name.
    std::string MqttClientId;

    // The history database of each system folder; rows older than HistoryDays (counted
    // back from the newest row) are deleted once a day.
    bool HistoryEnabled = true;
    int32_t HistoryDays = 365;
    // The window's designed bounds until the window sets its own.
    int32_t Left = 0;
    int32_t Top = 0;
    int32_t Width = 1024;
    int32_t Height = 720;

    friend bool operator==(const CONFIG&, const CONFIG&) = default;
};

// The sections that hold the fonts (and visibility) of the main window's lists.
enum ListSection { ActivityLists, AffiliationLists, TowerInfoLists, PatchLists, OtherInfoLists, GrantLists,
                   UnknownLists, PktDumpLists, PsrDumpLists, ListSectionCount };
inline constexpr std::array<const char*, ListSectionCount> ListSectionNames = {
    "Activity", "Affiliations", "TowerInfo", "Patches", "OtherInfo", "Grants", "Unknowns", "PktDump", "PSRDUMP"};

// The sections that hold column widths, one per list.
inline constexpr std::array<const char*, 13> ScreenSectionNames = {
    "ActivityScreen",   "NeighborScreen",       "IdentifierScreen", "TowerAffiliationScreen",
    "PatchListScreen",  "TowerAffiliationLog",  "UnknownPacketsScreen", "GrantScreen",
    "OtherEventsScreen", "PatchLogScreen",      "TowerInformationScreen", "PacketDumpScreen",
    "ActivityGrantScreen"};

// Settings stored beside CONFIG's keys.
struct EXTRASETTINGS
{
    // Used by every list while CONFIG::UseGlobalFont is on.
    FONTSPEC ProgramFont;
    // The font each list section shows (the program font while UseGlobalFont is on).
    std::array<FONTSPEC, ListSectionCount> ListFonts;
    bool FilterRegistrations = false;
    // Activity time-out in 100 ms ticks; read only, never written.
    int32_t TGTimeOut = 17;
    // Per screen section: column number -> width. A load fills only the columns whose
    // key exists; a save writes every column given.
    std::array<std::map<int, int32_t>, ScreenSectionNames.size()> ColumnWidths;
    // The colour picker's custom colours, each "ColorA=FFFFFFFF".
    std::vector<std::string> CustomColors;
    // Set by a load: the file was there but could not be read (its message).
    std::vector<std::string> Warnings;

    friend bool operator==(const EXTRASETTINGS&, const EXTRASETTINGS&) = default;
};

// The default data directory: "Zembrant" in the user's documents folder, ending in "/".
std::string DefaultDataFolder();

// Resets every stored setting to its built-in value and reads config.ConfigFile (a
// missing or damaged file gives the defaults). ConfigFile, DataFolder and the window
// bounds keep the caller's values unless the file holds saved bounds.
void LoadConfiguration(CONFIG& config, EXTRASETTINGS& extra);
// Writes every stored key into config.ConfigFile, keeping keys it does not know. False
// with the file and the reason when the file cannot be written; the old file stays.
bool SaveConfiguration(const CONFIG& config, const EXTRASETTINGS& extra, std::string& error);

bool ParseYesNo(std::string_view text);
std::string FormatYesNo(bool value);
uint32_t ParseColor(std::string_view text);
std::string FormatColor(uint32_t color);

// The stored form of a password, of its first MaxPasswordLength bytes. A password of the
// characters 33..126 keeps the form older versions wrote; any other comes back unchanged
// through a marked form older versions never wrote.
std::string ScramblePassword(std::string_view password);
std::string UnscramblePassword(std::string_view stored);

#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "directory/SoapAnswer.h"

// What the directory service answered at a system's last import, kept in its system folder
// as Directory.json for the comparison with the air; nothing else reads it, so no load of
// the folder depends on it.
inline constexpr char DirectoryFileName[] = "Directory.json";

struct DirectoryFrequency
{
    double Frequency = 0.0;
    // "control", "alternate", or the service's own letter when it is neither (empty: voice).
    std::string Use;
};

struct DirectorySite
{
    // The tower the import names: rfss 0 in the answer means the site number carries it.
    int Rfss = 0;
    int Site = 0;
    std::string Description;
    std::vector<DirectoryFrequency> Frequencies;
};

struct DirectoryTalkgroup
{
    int Id = 0;
    std::string AlphaTag;
    std::string Description;
    std::string Mode;
    // The service's category number, 0 when none.
    int Category = 0;
    std::vector<std::string> Tags;
};

struct DirectoryRecord
{
    // 0: no import yet.
    int SysId = 0;
    // The service's system number and name.
    int Sid = 0;
    std::string Name;
    // -1 when the answers carry none.
    int Wacn = -1;
    int64_t Imported = 0;
    // An import that skipped a part keeps the one of an earlier import of the same system.
    bool HasSites = false;
    std::vector<DirectorySite> Sites;
    bool HasTalkgroups = false;
    std::vector<DirectoryTalkgroup> Talkgroups;
};

DirectorySite DirectorySiteOf(const TrsSite& site);
DirectoryTalkgroup DirectoryTalkgroupOf(const Talkgroup& talkgroup);

std::string DirectoryRecordJson(const DirectoryRecord& record);
// False with what is wrong; record is left empty then.
bool ParseDirectoryRecord(std::string_view json, DirectoryRecord& record, std::string& error);

// systemFolder ends in "/". Written whole or not at all.
bool SaveDirectoryRecord(const std::string& systemFolder, const DirectoryRecord& record, std::string& error);
// A folder without the file: true and an empty record (SysId 0). A damaged file: false with
// the file and what is wrong.
bool LoadDirectoryRecord(const std::string& systemFolder, DirectoryRecord& record, std::string& error);

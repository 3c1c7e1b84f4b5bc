#include "directory/DirectoryRecord.h"

#include <cstdio>
#include <nlohmann/json.hpp>

#include "platform/Files.h"

namespace {

using Json = nlohmann::ordered_json;

constexpr int FormatVersion = 1;
constexpr int HighestSystemId = 0xFFF;
constexpr int HighestWacn = 0xFFFFF;

std::string UseName(const std::string& letter)
{
    if (letter == "c" || letter == "C")
        return "control";
    if (letter == "a" || letter == "A")
        return "alternate";
    return letter;
}

std::string Hex(int value, int digits)
{
    char text[16];
    std::snprintf(text, sizeof text, "%0*X", digits, static_cast<unsigned int>(value));
    return text;
}

// The readers of a parsed file: each names the field it found wrong.
struct Reader
{
    std::string& Error;

    bool Wrong(const std::string& what)
    {
        Error = what;
        return false;
    }

    bool Text(const Json& object, const char* name, std::string& out, bool required = false)
    {
        const auto found = object.find(name);
        if (found == object.end())
            return !required || Wrong("\"" + std::string(name) + "\" is missing");
        if (!found->is_string())
            return Wrong("\"" + std::string(name) + "\" is not a text");
        out = found->get<std::string>();
        return true;
    }

    bool Int(const Json& object, const char* name, int& out, int low, int high, bool required = false)
    {
        const auto found = object.find(name);
        if (found == object.end())
            return !required || Wrong("\"" + std::string(name) + "\" is missing");
        if (!found->is_number_integer() || found->get<int64_t>() < low || found->get<int64_t>() > high)
            return Wrong("\"" + std::string(name) + "\" is not a whole number from " + std::to_string(low) + " to " +
                         std::to_string(high));
        out = static_cast<int>(found->get<int64_t>());
        return true;
    }

    bool HexNumber(const Json& object, const char* name, int& out, int high, bool required = false)
    {
        std::string text;
        if (!Text(object, name, text, required))
            return false;
        if (text.empty() && !required)
            return true;
        size_t used = 0;
        long value = -1;
        try {
            value = std::stol(text, &used, 16);
        } catch (const std::exception&) {
            used = 0;
        }
        if (used != text.size() || value < 0 || value > high)
            return Wrong("\"" + std::string(name) + "\" is not a hexadecimal number up to " + Hex(high, 0));
        out = static_cast<int>(value);
        return true;
    }

    // A list that may be null: the import did not ask for it.
    bool List(const Json& object, const char* name, bool& present, const Json*& list)
    {
        const auto found = object.find(name);
        present = found != object.end() && !found->is_null();
        if (present && !found->is_array())
            return Wrong("\"" + std::string(name) + "\" is not a list");
        list = present ? &*found : nullptr;
        return true;
    }

    bool Site(const Json& item, DirectorySite& site)
    {
        if (!item.is_object())
            return Wrong("a site is not an object");
        const Json* frequencies = nullptr;
        bool present = false;
        if (!Int(item, "rfss", site.Rfss, 0, 0xFFFF, true) || !Int(item, "site", site.Site, 0, 0xFFFF, true) ||
            !Text(item, "description", site.Description) || !List(item, "frequencies", present, frequencies))
            return false;
        for (const Json& f : present ? *frequencies : Json::array()) {
            DirectoryFrequency frequency;
            const auto mhz = f.is_object() ? f.find("frequency") : f.end();
            if (!f.is_object() || mhz == f.end() || !mhz->is_number() || mhz->get<double>() <= 0.0)
                return Wrong("a frequency of site " + std::to_string(site.Rfss) + "-" + std::to_string(site.Site) +
                             " has no \"frequency\" in MHz");
            frequency.Frequency = mhz->get<double>();
            if (!Text(f, "use", frequency.Use))
                return false;
            site.Frequencies.push_back(std::move(frequency));
        }
        return true;
    }

    bool Talkgroup(const Json& item, DirectoryTalkgroup& talkgroup)
    {
        if (!item.is_object())
            return Wrong("a talkgroup is not an object");
        const Json* tags = nullptr;
        bool present = false;
        if (!Int(item, "id", talkgroup.Id, 0, 0xFFFF, true) || !Text(item, "alphaTag", talkgroup.AlphaTag) ||
            !Text(item, "description", talkgroup.Description) || !Text(item, "mode", talkgroup.Mode) ||
            !Int(item, "category", talkgroup.Category, 0, INT32_MAX) || !List(item, "tags", present, tags))
            return false;
        for (const Json& tag : present ? *tags : Json::array()) {
            if (!tag.is_string())
                return Wrong("a tag of talkgroup " + std::to_string(talkgroup.Id) + " is not a text");
            talkgroup.Tags.push_back(tag.get<std::string>());
        }
        return true;
    }

    bool Record(const Json& root, DirectoryRecord& record)
    {
        if (!root.is_object())
            return Wrong("it is not a JSON object");
        int version = 0;
        if (!Int(root, "format", version, 1, INT32_MAX, true))
            return false;
        if (version != FormatVersion)
            return Wrong("format " + std::to_string(version) + " is newer than this program reads");
        const auto system = root.find("system");
        if (system == root.end() || !system->is_object())
            return Wrong("\"system\" is missing");
        int64_t imported = 0;
        if (const auto at = system->find("imported"); at != system->end()) {
            if (!at->is_number_integer())
                return Wrong("\"imported\" is not a time");
            imported = at->get<int64_t>();
        }
        record.Imported = imported;
        if (!HexNumber(*system, "sysid", record.SysId, HighestSystemId, true) ||
            !HexNumber(*system, "wacn", record.Wacn, HighestWacn) || !Int(*system, "sid", record.Sid, 0, INT32_MAX) ||
            !Text(*system, "name", record.Name))
            return false;
        if (record.SysId == 0)
            return Wrong("\"sysid\" is 0");
        const Json* sites = nullptr;
        const Json* talkgroups = nullptr;
        if (!List(root, "sites", record.HasSites, sites) || !List(root, "talkgroups", record.HasTalkgroups, talkgroups))
            return false;
        for (const Json& item : record.HasSites ? *sites : Json::array())
            if (!Site(item, record.Sites.emplace_back()))
                return false;
        for (const Json& item : record.HasTalkgroups ? *talkgroups : Json::array())
            if (!Talkgroup(item, record.Talkgroups.emplace_back()))
                return false;
        return true;
    }
};

}

DirectorySite DirectorySiteOf(const TrsSite& site)
{
    DirectorySite out;
    out.Rfss = site.rfss != 0 ? site.rfss : site.siteNumber / 100;
    out.Site = site.rfss != 0 ? site.siteNumber : site.siteNumber % 100;
    out.Description = site.siteDescr;
    for (const TrsSiteFreq& f : site.siteFreqs)
        if (f.freq > 0.0)
            out.Frequencies.push_back({f.freq, UseName(f.use)});
    return out;
}

DirectoryTalkgroup DirectoryTalkgroupOf(const Talkgroup& talkgroup)
{
    return {talkgroup.tgDec, talkgroup.tgAlpha, talkgroup.tgDescr, talkgroup.tgMode, talkgroup.tgCid, talkgroup.tags};
}

std::string DirectoryRecordJson(const DirectoryRecord& record)
{
    Json system = {{"name", record.Name}, {"sysid", Hex(record.SysId, 3)}};
    if (record.Wacn >= 0)
        system["wacn"] = Hex(record.Wacn, 5);
    system["sid"] = record.Sid;
    system["imported"] = record.Imported;
    Json root = {{"format", FormatVersion}, {"system", system}};
    Json sites = Json::array();
    for (const DirectorySite& site : record.Sites) {
        Json frequencies = Json::array();
        for (const DirectoryFrequency& f : site.Frequencies)
            frequencies.push_back({{"frequency", f.Frequency}, {"use", f.Use}});
        sites.push_back({{"rfss", site.Rfss},
                         {"site", site.Site},
                         {"description", site.Description},
                         {"frequencies", frequencies}});
    }
    root["sites"] = record.HasSites ? sites : Json();
    Json talkgroups = Json::array();
    for (const DirectoryTalkgroup& t : record.Talkgroups) {
        Json item = {{"id", t.Id}, {"alphaTag", t.AlphaTag}, {"description", t.Description}, {"mode", t.Mode}};
        if (t.Category != 0)
            item["category"] = t.Category;
        if (!t.Tags.empty())
            item["tags"] = t.Tags;
        talkgroups.push_back(std::move(item));
    }
    root["talkgroups"] = record.HasTalkgroups ? talkgroups : Json();
    return root.dump(1, '\t', false, Json::error_handler_t::replace) + "\n";
}

bool ParseDirectoryRecord(std::string_view json, DirectoryRecord& record, std::string& error)
{
    record = {};
    const Json root = Json::parse(json, nullptr, false);
    if (root.is_discarded()) {
        error = "it is not valid JSON";
        return false;
    }
    Reader reader{error};
    bool read = false;
    try {
        read = reader.Record(root, record);
    } catch (const std::exception& e) {
        error = e.what();
    }
    if (!read)
        record = {};
    return read;
}

bool SaveDirectoryRecord(const std::string& systemFolder, const DirectoryRecord& record, std::string& error)
{
    if (!CreateDirectories(systemFolder)) {
        error = "Cannot create the folder " + systemFolder;
        return false;
    }
    return WriteFileAtomically(systemFolder + DirectoryFileName, DirectoryRecordJson(record), error);
}

bool LoadDirectoryRecord(const std::string& systemFolder, DirectoryRecord& record, std::string& error)
{
    record = {};
    const std::string path = systemFolder + DirectoryFileName;
    std::string text;
    switch (ReadRegularFile(path, text, error)) {
    case ReadOutcome::Missing: return true;
    case ReadOutcome::Refused: return false;
    case ReadOutcome::Read: break;
    }
    std::string what;
    if (ParseDirectoryRecord(text, record, what))
        return true;
    error = path + " cannot be read: " + what + ". Import the system again to replace it.";
    return false;
}

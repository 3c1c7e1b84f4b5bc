#include "directory/VersionList.h"

#include <charconv>
#include <vector>

#include "platform/Text.h"

namespace {

constexpr int VersionLineFields = 3;

// Every run of blanks and tabs starts a new field, so a leading or trailing run adds an
// empty one.
std::vector<std::string_view> Fields(std::string_view line)
{
    std::vector<std::string_view> fields;
    size_t start = 0;
    while (true) {
        const size_t run = line.find_first_of(" \t", start);
        fields.push_back(line.substr(start, run == std::string_view::npos ? std::string_view::npos : run - start));
        if (run == std::string_view::npos)
            return fields;
        start = line.find_first_not_of(" \t", run);
        if (start == std::string_view::npos) {
            fields.emplace_back();
            return fields;
        }
    }
}

// Four numbers "%d.%d.%d.%d" as the C library reads them (a sign allowed, the rest of the
// field ignored), combined in 32-bit arithmetic as the comparison does.
bool ReadVersion(std::string_view field, uint32_t& mostSignificant, uint32_t& leastSignificant)
{
    int64_t numbers[4] = {};
    const char* at = field.data();
    const char* end = field.data() + field.size();
    for (int i = 0; i < 4; ++i) {
        if (i > 0 && (at == end || *at++ != '.'))
            return false;
        if (at != end && *at == '+')
            ++at;
        const auto [next, result] = std::from_chars(at, end, numbers[i]);
        if (result != std::errc())
            return false;
        at = next;
    }
    mostSignificant = static_cast<uint32_t>(static_cast<uint64_t>(numbers[0]) * 65536u + static_cast<uint64_t>(numbers[1]));
    leastSignificant = static_cast<uint32_t>(static_cast<uint64_t>(numbers[2]) * 65536u + static_cast<uint64_t>(numbers[3]));
    return true;
}

}

std::string ProgramFileName(std::string_view executablePath)
{
    const size_t slash = executablePath.find_last_of("/\\");
    return std::string(slash == std::string_view::npos ? executablePath : executablePath.substr(slash + 1));
}

std::string UpdateUserAgent(std::string_view fileName, const VersionInfo& version)
{
    std::string_view base = fileName;
    if (base.size() > 4 && EqualsIgnoringCase(base.substr(base.size() - 4), ".exe"))
        base.remove_suffix(4);
    return UserAgent(base, version);
}

bool IsNewerVersionListed(std::string_view list, std::string_view fileName, const VersionInfo& version)
{
    while (!list.empty()) {
        const size_t end = list.find('\n');
        std::string line(list.substr(0, end));
        list.remove_prefix(end == std::string_view::npos ? list.size() : end + 1);
        std::erase(line, '\r');
        const std::vector<std::string_view> fields = Fields(line);
        uint32_t ms = 0;
        uint32_t ls = 0;
        if (fields.size() != VersionLineFields || !EqualsIgnoringCase(fields[0], fileName) ||
            !ReadVersion(fields[1], ms, ls))
            continue;
        if (ms > version.MostSignificant() || (ms == version.MostSignificant() && ls > version.LeastSignificant()))
            return true;
    }
    return false;
}

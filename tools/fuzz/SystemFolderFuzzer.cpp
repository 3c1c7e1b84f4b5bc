// libFuzzer entry for the system folder readers, with a round-trip property: what a load
// and a save make of any folder, a second load and save make again byte for byte.
// The input is four files: three little-endian 16-bit lengths (each taken modulo what is
// left), then System.ini, TalkGroups.txt and Radios.txt, and the rest is the tower file.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "model/P25Class.h"
#include "persistence/SystemFiles.h"
#include "platform/Files.h"
#include "support/TemporaryFolder.h"

namespace {

constexpr int SysId = 0x1A4;
constexpr int OtherSysId = 0x1A5;
const char* const Files[] = {SystemIniName, TalkgroupFileName, RadioFileName, "Tower001003.txt"};

struct Side
{
    std::string Data;
    std::unique_ptr<P25Class> Model;

    ~Side()
    {
        std::error_code ignored;
        if (!Data.empty())
            std::filesystem::remove_all(Data, ignored);
    }
};

// A folder on tmpfs when there is one: every save syncs its files.
std::string ScratchFolder()
{
    const bool shm = std::filesystem::exists("/dev/shm");
    std::string name = (shm ? std::string("/dev/shm") : std::filesystem::temp_directory_path().string())
        + "/zembrant-fuzz-XXXXXX";
    if (!mkdtemp(name.data()))
        std::abort();
    return name + "/";
}

Side& Make(Side& side, ManualClock& clock)
{
    side.Data = ScratchFolder();
    side.Model = std::make_unique<P25Class>(clock);
    side.Model->SetDataFolder(side.Data);
    side.Model->SetSaveHitCounts(true);
    return side;
}

// Loads the folder of side afresh (a change of system empties the model first), saves it
// and returns the four files the save wrote.
std::array<std::string, 4> LoadAndSave(Side& side)
{
    P25Class& model = *side.Model;
    model.SetSystemAndSite(OtherSysId, 1, 0x70, 3);
    model.SetSystemAndSite(SysId, 1, 0x70, 3);
    std::string error;
    model.SaveSystemFolder(error);
    model.TakeFileWarnings();
    std::array<std::string, 4> saved;
    const std::string folder = SystemFolderPath(side.Data, SysId);
    for (size_t i = 0; i < saved.size(); ++i)
        ReadFileText(folder + Files[i], saved[i]);
    return saved;
}

void Fill(const std::string& data, const std::array<std::string_view, 4>& files)
{
    const std::string folder = SystemFolderPath(data, SysId);
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    std::filesystem::create_directories(folder, ignored);
    for (size_t i = 0; i < files.size(); ++i)
        if (!files[i].empty())
            WriteText(folder + Files[i], std::string(files[i]));
}

}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static ManualClock clock{1700000000};
    static Side first;
    static Side second;
    if (!first.Model) {
        Make(first, clock);
        Make(second, clock);
    }
    if (size < 6)
        return 0;
    std::string_view rest(reinterpret_cast<const char*>(data) + 6, size - 6);
    std::array<std::string_view, 4> files;
    for (size_t i = 0; i < 3; ++i) {
        const size_t length = (data[2 * i] | data[2 * i + 1] << 8) % (rest.size() + 1);
        files[i] = rest.substr(0, length);
        rest.remove_prefix(length);
    }
    files[3] = rest;

    Fill(first.Data, files);
    const std::array<std::string, 4> once = LoadAndSave(first);
    Fill(second.Data, {once[0], once[1], once[2], once[3]});
    const std::array<std::string, 4> twice = LoadAndSave(second);
    for (size_t i = 0; i < once.size(); ++i) {
        if (once[i] != twice[i]) {
            // The first line that differs.
            size_t at = 0;
            while (at < once[i].size() && at < twice[i].size() && once[i][at] == twice[i][at])
                ++at;
            const size_t line = once[i].rfind('\n', at == 0 ? 0 : at - 1);
            const size_t from = line == std::string::npos ? 0 : line + 1;
            std::fprintf(stderr, "%s differs after a second load and save:\n--- first\n%.200s\n--- second\n%.200s\n",
                         Files[i], once[i].c_str() + from, twice[i].c_str() + std::min(from, twice[i].size()));
            std::abort();
        }
    }
    return 0;
}

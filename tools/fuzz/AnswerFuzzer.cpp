// libFuzzer entry for the directory service's answer decoder: the input is an answer as
// the service would send it; every result reader runs over what decodes.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "directory/SoapAnswer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::shared_ptr<const SoapValue> result;
    DirectoryError error;
    if (!DecodeAnswer(std::string_view(reinterpret_cast<const char*>(data), size), result, error))
        return 0;
    std::vector<TrsListDef> systems;
    std::vector<TrsSite> sites;
    std::vector<Talkgroup> talkgroups;
    ReadTrsList(*result, systems, error);
    ReadTrsSites(*result, sites, error);
    ReadTalkgroups(*result, talkgroups, error);
    return 0;
}

#include "directory/DirectorySettings.h"

#include "persistence/Config.h"
#include "platform/IniFile.h"
#include "platform/Text.h"

namespace {

constexpr char DevelopmentAppKey[] = "19465073";
constexpr int32_t MinWebTimeOut = 45;
constexpr int32_t MillisecondsPerSecond = 1000;

}

DIRECTORYSETTINGS ReadDirectorySettings(const std::string& path)
{
    const IniFile ini(path);
    DIRECTORYSETTINGS s;
    s.Namespace = ini.ReadString("RRWebService", "Namespace", s.Namespace);
    s.Endpoint = ini.ReadString("RRWebService", "Endpoint", s.Endpoint);
    s.ApiVersion = ini.ReadInteger("RRWebService", "ApiVersion", s.ApiVersion);
    s.SubscriptionPage = ini.ReadString("RRWebService", "SubscriptionPage", s.SubscriptionPage);
    if (ParseYesNo(ini.ReadString("RRWebService", "UseDevelKey", "No")))
        s.AppKey = DevelopmentAppKey;
    s.AppKey = ini.ReadString("RRWebService", "AppKey", s.AppKey);
    s.CaFile = ini.ReadString("RRWebService", "CaFile", s.CaFile);
    s.VersionListUrl = ini.ReadString("Update", "VersionListUrl", s.VersionListUrl);
    s.DownloadPage = ini.ReadString("Update", "DownloadPage", s.DownloadPage);
    return s;
}

int32_t RaiseWebTimeOut(CONFIG& config)
{
    if (config.WebTimeOut < MinWebTimeOut)
        config.WebTimeOut = MinWebTimeOut;
    return config.WebTimeOut > INT32_MAX / MillisecondsPerSecond ? INT32_MAX : config.WebTimeOut * MillisecondsPerSecond;
}

bool IsUsableEndpoint(const std::string& address)
{
    for (const std::string_view scheme : {"http://", "https://"}) {
        if (StartsWithIgnoringCase(address, scheme)) {
            const std::string_view rest = std::string_view(address).substr(scheme.size());
            const auto hostEnd = rest.find_first_of("/?#");
            return hostEnd != 0 && !rest.empty() && rest.find_first_of(" \t\r\n") == std::string_view::npos;
        }
    }
    return false;
}

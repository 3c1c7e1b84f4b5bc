#pragma once
#include <cstdint>
#include <string>

struct CONFIG;

// Addresses and keys of the directory service and the update check. They are read only:
// the program never writes them, so the compiled defaults hold unless a user (or a test)
// puts a key into the configuration file.
struct DIRECTORYSETTINGS
{
    std::string Namespace = "http://api.radioreference.com/soap2";
    std::string Endpoint = "https://api.radioreference.com/soap2/index.php";
    int32_t ApiVersion = 9;
    std::string SubscriptionPage = "https://www.radioreference.com/apps/subscription";
    // RRWebService/UseDevelKey Yes selects the development key unless AppKey is set.
    std::string AppKey = "57302846";
    // An extra CA file (PEM) the transport trusts beside the system's certificates.
    std::string CaFile;
    // Empty: this build has no update address.
    std::string VersionListUrl;
    std::string DownloadPage;
};

// Reads the keys from the configuration file at path; a missing file or key gives the default.
DIRECTORYSETTINGS ReadDirectorySettings(const std::string& path);

// The time-out of a whole service call in milliseconds. A setting under 45 seconds is
// raised to 45 in config too, so that the next save keeps the raised value.
int32_t RaiseWebTimeOut(CONFIG& config);

// An endpoint the transport can post to: "http://" or "https://" followed by a host.
bool IsUsableEndpoint(const std::string& address);

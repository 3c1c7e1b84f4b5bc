#pragma once
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "directory/DirectoryClient.h"

struct CONFIG;
struct DIRECTORYSETTINGS;

// How the transport reaches a server.
struct TRANSPORTSETTINGS
{
    // Where Post sends its calls.
    std::string Endpoint;
    std::string UserAgent;
    // The longest an exchange may take, from connecting to the answer's last byte, however
    // the server sends it.
    int32_t TimeOutMs = 45000;
    // Proxy/Type: 0 the system's proxy settings, 1 the manual proxy below, 2 none.
    int32_t ProxyType = 0;
    std::string ProxyAddress;
    int32_t ProxyPort = 80;
    std::string ProxyUserName;
    std::string ProxyPassword;
    // Extra CA certificates (PEM) trusted beside the system's; certificates are always checked.
    std::string CaFile;
    // A larger answer is cut off and fails: a talkgroup list of a big system stays far below.
    int64_t MaxAnswerBytes = int64_t{16} << 20;
    // Set by the caller to give up at once (the window closing); checked every 50 ms.
    const std::atomic<bool>* Cancel = nullptr;
};

// The directory service's transport from the configuration. The time-out is
// raised in config as the import demands, so that the next save keeps it.
TRANSPORTSETTINGS DirectoryTransport(CONFIG& config, const DIRECTORYSETTINGS& settings);
// The update check's: the same proxy and CA file, its own user agent (UpdateUserAgent), no
// endpoint (Get takes the version list's address) and the default time-out.
TRANSPORTSETTINGS UpdateTransport(const CONFIG& config, const DIRECTORYSETTINGS& settings, std::string userAgent);

// The application object Qt Network needs, for a program without one (zembrant-cli):
// created for the scope's life unless one exists. Nothing of it is shown.
class NetworkApplication
{
public:
    NetworkApplication();
    ~NetworkApplication();
    NetworkApplication(const NetworkApplication&) = delete;
    NetworkApplication& operator=(const NetworkApplication&) = delete;

private:
    struct Application;
    std::unique_ptr<Application> m_application;
};

// HTTP with Qt Network, one blocking exchange at a time. Each call runs its own network
// manager and event loop on the calling thread, so it works from the window's worker
// thread and from a program whose main thread runs no loop; a QCoreApplication must exist.
// Redirects are never followed.
class HttpExchange : public DirectoryExchange
{
public:
    explicit HttpExchange(TRANSPORTSETTINGS settings);

    std::chrono::milliseconds TimeOut() const override;
    bool Post(const std::string& soapAction, const std::string& body, const Deadline& deadline, HttpAnswer& answer,
              std::string& error) override;
    // Any answer with a status is true, whatever the status: the caller judges it. Ends
    // within the time-out.
    bool Get(const std::string& address, HttpAnswer& answer, std::string& error);

    const TRANSPORTSETTINGS& Settings() const { return m_settings; }

private:
    bool Exchange(const std::string& address, const std::string* body, const std::string& soapAction,
                  const Deadline& deadline, HttpAnswer& answer, std::string& error);

    TRANSPORTSETTINGS m_settings;
};

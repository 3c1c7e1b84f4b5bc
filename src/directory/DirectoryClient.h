#pragma once
#include <chrono>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "directory/Deadline.h"
#include "directory/SoapAnswer.h"
#include "directory/SoapEnvelope.h"

// The text a transport gives when it cannot reach the server at all (refused, no route,
// unknown host): the import tells the user about it in its own words.
inline constexpr char ConnectionFailedText[] = "A connection with the server could not be established";

struct HttpAnswer
{
    int Status = 0;
    std::string Body;
};

// One HTTP exchange with the service, made by the front end's network code. The transport
// knows the endpoint, the user agent, the proxy, the time-out and the size limit; it posts
// body as "text/xml; charset=utf-8" with the given SOAPAction header and follows no
// redirect. False with the transport's text when no complete answer came before deadline.
class DirectoryExchange
{
public:
    virtual ~DirectoryExchange() = default;
    // The longest one call may take, from connecting to the end of reading its answer.
    virtual std::chrono::milliseconds TimeOut() const = 0;
    virtual bool Post(const std::string& soapAction, const std::string& body, const Deadline& deadline,
                      HttpAnswer& answer, std::string& error) = 0;
};

// The three calls the import makes. An answer that is a SOAP fault is a Fault whatever its
// HTTP status; any other answer outside 2xx is a Transport error. Each call, its answer's
// decoding and reading included, ends within the exchange's time-out.
class DirectoryClient
{
public:
    DirectoryClient(DirectoryExchange& exchange, std::string ns, AuthInfo auth);

    bool GetTrsBySysid(const std::string& sysid, std::vector<TrsListDef>& systems, DirectoryError& error);
    bool GetTrsSites(int sid, std::vector<TrsSite>& sites, DirectoryError& error);
    bool GetTrsTalkgroups(int sid, int tgCid, int tgTag, int tgDec, std::vector<Talkgroup>& talkgroups,
                          DirectoryError& error);

private:
    bool Call(std::string_view operation, const std::string& body, std::shared_ptr<const SoapValue>& result,
              READLIMITS& limits, DirectoryError& error);

    DirectoryExchange& m_exchange;
    std::string m_namespace;
    AuthInfo m_auth;
};

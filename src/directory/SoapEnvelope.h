#pragma once
#include <cstddef>
#include <string>
#include <string_view>

// The service's authInfo structure, sent as the last part of every call.
struct AuthInfo
{
    std::string username;
    std::string password;
    std::string appKey;
    std::string version;
    std::string style = "rpc";
};

// SOAP 1.1 requests, RPC style with encoded parts, declared and written as UTF-8. ns is the
// service's namespace URI.
std::string GetTrsBySysidRequest(std::string_view ns, std::string_view sysid, const AuthInfo& auth);
std::string GetTrsSitesRequest(std::string_view ns, int sid, const AuthInfo& auth);
std::string GetTrsTalkgroupsRequest(std::string_view ns, int sid, int tgCid, int tgTag, int tgDec, const AuthInfo& auth);

// The SOAPAction header of an operation, quotes included.
std::string SoapAction(std::string_view ns, std::string_view operation);

// text as XML character data or attribute value: markup characters and line ends as
// references, characters XML cannot carry left out, broken UTF-8 as U+FFFD.
std::string XmlEscaped(std::string_view text);

// text with broken UTF-8 as U+FFFD, cut to at most maxBytes without splitting a character.
std::string ValidUtf8(std::string_view text, size_t maxBytes = std::string_view::npos);

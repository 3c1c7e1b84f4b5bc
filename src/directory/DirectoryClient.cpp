#include "directory/DirectoryClient.h"

DirectoryClient::DirectoryClient(DirectoryExchange& exchange, std::string ns, AuthInfo auth)
    : m_exchange(exchange), m_namespace(std::move(ns)), m_auth(std::move(auth))
{
}

bool DirectoryClient::Call(std::string_view operation, const std::string& body,
                           std::shared_ptr<const SoapValue>& result, READLIMITS& limits, DirectoryError& error)
{
    const Deadline deadline(m_exchange.TimeOut());
    HttpAnswer answer;
    std::string transportError;
    if (!m_exchange.Post(SoapAction(m_namespace, operation), body, deadline, answer, transportError)) {
        error = {DirectoryErrorKind::Transport, transportError};
        return false;
    }
    const bool decoded = DecodeAnswer(answer.Body, result, error, deadline);
    if (error.Kind == DirectoryErrorKind::Fault)
        return false;
    if (answer.Status < 200 || answer.Status > 299) {
        error = {DirectoryErrorKind::Transport, "The server answered with HTTP status " + std::to_string(answer.Status)};
        return false;
    }
    limits = ReadLimits(answer.Body.size(), deadline);
    return decoded;
}

bool DirectoryClient::GetTrsBySysid(const std::string& sysid, std::vector<TrsListDef>& systems, DirectoryError& error)
{
    std::shared_ptr<const SoapValue> result;
    READLIMITS limits;
    return Call("getTrsBySysid", GetTrsBySysidRequest(m_namespace, sysid, m_auth), result, limits, error) &&
           ReadTrsList(*result, systems, error, limits);
}

bool DirectoryClient::GetTrsSites(int sid, std::vector<TrsSite>& sites, DirectoryError& error)
{
    std::shared_ptr<const SoapValue> result;
    READLIMITS limits;
    return Call("getTrsSites", GetTrsSitesRequest(m_namespace, sid, m_auth), result, limits, error) &&
           ReadTrsSites(*result, sites, error, limits);
}

bool DirectoryClient::GetTrsTalkgroups(int sid, int tgCid, int tgTag, int tgDec, std::vector<Talkgroup>& talkgroups,
                                       DirectoryError& error)
{
    std::shared_ptr<const SoapValue> result;
    READLIMITS limits;
    return Call("getTrsTalkgroups", GetTrsTalkgroupsRequest(m_namespace, sid, tgCid, tgTag, tgDec, m_auth), result,
                limits, error) &&
           ReadTalkgroups(*result, talkgroups, error, limits);
}

#include "directory/SoapEnvelope.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace {

constexpr char Replacement[] = "\xEF\xBF\xBD";

// The length of the well-formed UTF-8 sequence at the start of text, or 0.
size_t Utf8Length(std::string_view text)
{
    const auto b0 = static_cast<unsigned char>(text[0]);
    size_t length = 0;
    uint32_t code = 0;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        length = 2;
        code = b0 & 0x1Fu;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        length = 3;
        code = b0 & 0x0Fu;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        length = 4;
        code = b0 & 0x07u;
    } else {
        return 0;
    }
    if (text.size() < length)
        return 0;
    for (size_t i = 1; i < length; ++i) {
        const auto b = static_cast<unsigned char>(text[i]);
        if ((b & 0xC0u) != 0x80u)
            return 0;
        code = (code << 6) | (b & 0x3Fu);
    }
    const bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    const bool notCharacter = code == 0xFFFE || code == 0xFFFF || code > 0x10FFFF;
    return overlong || surrogate || notCharacter ? 0 : length;
}

struct Part
{
    const char* Name;
    const char* Type;
    std::string Value;
};

std::string Request(std::string_view ns, std::string_view operation, const std::vector<Part>& parts,
                    const AuthInfo& auth)
{
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<SOAP-ENV:Envelope"
                      " xmlns:SOAP-ENV=\"http://schemas.xmlsoap.org/soap/envelope/\""
                      " xmlns:SOAP-ENC=\"http://schemas.xmlsoap.org/soap/encoding/\""
                      " xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\""
                      " xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\""
                      " xmlns:ns1=\"";
    xml += XmlEscaped(ns);
    xml += "\" SOAP-ENV:encodingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\">\n<SOAP-ENV:Body>\n<ns1:";
    xml += operation;
    xml += ">\n";
    auto add = [&xml](const Part& part) {
        xml += std::string("<") + part.Name + " xsi:type=\"" + part.Type + "\">" + XmlEscaped(part.Value) + "</" +
               part.Name + ">\n";
    };
    for (const Part& part : parts)
        add(part);
    xml += "<authInfo xsi:type=\"ns1:authInfo\">\n";
    for (const Part& part : {Part{"username", "xsd:string", auth.username}, Part{"password", "xsd:string", auth.password},
                             Part{"appKey", "xsd:string", auth.appKey}, Part{"version", "xsd:string", auth.version},
                             Part{"style", "xsd:string", auth.style}})
        add(part);
    xml += "</authInfo>\n</ns1:";
    xml += operation;
    xml += ">\n</SOAP-ENV:Body>\n</SOAP-ENV:Envelope>\n";
    return xml;
}

}

std::string XmlEscaped(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    while (!text.empty()) {
        const char c = text[0];
        size_t used = 1;
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&apos;"; break;
        // References keep line ends and tabs from the parser's normalisation.
        case '\t': out += "&#9;"; break;
        case '\n': out += "&#10;"; break;
        case '\r': out += "&#13;"; break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                // XML 1.0 has no form at all for the other control characters.
            } else if (static_cast<unsigned char>(c) < 0x80) {
                out += c;
            } else if ((used = Utf8Length(text)) != 0) {
                out += text.substr(0, used);
            } else {
                out += Replacement;
                used = 1;
            }
        }
        text.remove_prefix(used);
    }
    return out;
}

std::string ValidUtf8(std::string_view text, size_t maxBytes)
{
    std::string out;
    out.reserve(std::min(text.size(), maxBytes));
    while (!text.empty()) {
        size_t used = 1;
        std::string_view piece = text.substr(0, 1);
        if (static_cast<unsigned char>(text[0]) >= 0x80) {
            used = Utf8Length(text);
            piece = used != 0 ? text.substr(0, used) : std::string_view(Replacement);
            used = std::max(used, size_t{1});
        }
        if (piece.size() > maxBytes - out.size())
            break;
        out += piece;
        text.remove_prefix(used);
    }
    return out;
}

std::string SoapAction(std::string_view ns, std::string_view operation)
{
    return "\"" + std::string(ns) + "#" + std::string(operation) + "\"";
}

std::string GetTrsBySysidRequest(std::string_view ns, std::string_view sysid, const AuthInfo& auth)
{
    return Request(ns, "getTrsBySysid", {{"sysid", "xsd:string", std::string(sysid)}}, auth);
}

std::string GetTrsSitesRequest(std::string_view ns, int sid, const AuthInfo& auth)
{
    return Request(ns, "getTrsSites", {{"sid", "xsd:int", std::to_string(sid)}}, auth);
}

std::string GetTrsTalkgroupsRequest(std::string_view ns, int sid, int tgCid, int tgTag, int tgDec, const AuthInfo& auth)
{
    return Request(ns, "getTrsTalkgroups",
                   {{"sid", "xsd:int", std::to_string(sid)},
                    {"tgCid", "xsd:int", std::to_string(tgCid)},
                    {"tgTag", "xsd:int", std::to_string(tgTag)},
                    {"tgDec", "xsd:int", std::to_string(tgDec)}},
                   auth);
}

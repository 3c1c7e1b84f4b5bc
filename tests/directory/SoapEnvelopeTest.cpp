#include "directory/SoapEnvelope.h"

#include <gtest/gtest.h>

namespace {

const std::string Head = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                         "<SOAP-ENV:Envelope"
                         " xmlns:SOAP-ENV=\"http://schemas.xmlsoap.org/soap/envelope/\""
                         " xmlns:SOAP-ENC=\"http://schemas.xmlsoap.org/soap/encoding/\""
                         " xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\""
                         " xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\""
                         " xmlns:ns1=\"http://api.radioreference.com/soap2\""
                         " SOAP-ENV:encodingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\">\n"
                         "<SOAP-ENV:Body>\n";
const std::string Ns = "http://api.radioreference.com/soap2";

std::string Auth(const std::string& user, const std::string& password)
{
    return "<authInfo xsi:type=\"ns1:authInfo\">\n"
           "<username xsi:type=\"xsd:string\">" + user + "</username>\n"
           "<password xsi:type=\"xsd:string\">" + password + "</password>\n"
           "<appKey xsi:type=\"xsd:string\">57302846</appKey>\n"
           "<version xsi:type=\"xsd:string\">9</version>\n"
           "<style xsi:type=\"xsd:string\">rpc</style>\n"
           "</authInfo>\n";
}

}

TEST(SoapEnvelope, EachCallWithItsPartsAndAuthInfoLast)
{
    const AuthInfo auth{"scanner", "abc123", "57302846", "9", "rpc"};
    EXPECT_EQ(GetTrsBySysidRequest(Ns, "3A1", auth),
              Head + "<ns1:getTrsBySysid>\n<sysid xsi:type=\"xsd:string\">3A1</sysid>\n" + Auth("scanner", "abc123") +
                  "</ns1:getTrsBySysid>\n</SOAP-ENV:Body>\n</SOAP-ENV:Envelope>\n");
    EXPECT_EQ(GetTrsSitesRequest(Ns, 2901, auth),
              Head + "<ns1:getTrsSites>\n<sid xsi:type=\"xsd:int\">2901</sid>\n" + Auth("scanner", "abc123") +
                  "</ns1:getTrsSites>\n</SOAP-ENV:Body>\n</SOAP-ENV:Envelope>\n");
    EXPECT_EQ(GetTrsTalkgroupsRequest(Ns, 2901, 0, 0, 0, auth),
              Head + "<ns1:getTrsTalkgroups>\n<sid xsi:type=\"xsd:int\">2901</sid>\n"
                     "<tgCid xsi:type=\"xsd:int\">0</tgCid>\n<tgTag xsi:type=\"xsd:int\">0</tgTag>\n"
                     "<tgDec xsi:type=\"xsd:int\">0</tgDec>\n" +
                  Auth("scanner", "abc123") + "</ns1:getTrsTalkgroups>\n</SOAP-ENV:Body>\n</SOAP-ENV:Envelope>\n");
    EXPECT_EQ(SoapAction(Ns, "getTrsSites"), "\"http://api.radioreference.com/soap2#getTrsSites\"");
}

TEST(SoapEnvelope, TextIsEscapedAndStaysUtf8)
{
    const AuthInfo auth{"J\xC3\xB6rg & Co", "<a\"b'c>&", "57302846", "9", "rpc"};
    EXPECT_EQ(GetTrsSitesRequest(Ns, -1, auth),
              Head + "<ns1:getTrsSites>\n<sid xsi:type=\"xsd:int\">-1</sid>\n" +
                  Auth("J\xC3\xB6rg &amp; Co", "&lt;a&quot;b&apos;c&gt;&amp;") +
                  "</ns1:getTrsSites>\n</SOAP-ENV:Body>\n</SOAP-ENV:Envelope>\n");

    const struct
    {
        std::string Text;
        std::string Escaped;
    } cases[] = {
        {"\xE2\x82\xAC \xF0\x9F\x93\xBB", "\xE2\x82\xAC \xF0\x9F\x93\xBB"}, // euro sign, 4-byte emoji
        {"a\tb\r\nc", "a&#9;b&#13;&#10;c"},
        {std::string("a\0b\x1F", 4), "ab"},
        {"\xC3(", "\xEF\xBF\xBD("},          // cut sequence
        {"\xC0\xAF", "\xEF\xBF\xBD\xEF\xBF\xBD"}, // overlong "/"
        {"\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"}, // surrogate
        {"\xF0\x9F\x93", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"}, // cut at the end
    };
    for (const auto& c : cases)
        EXPECT_EQ(XmlEscaped(c.Text), c.Escaped) << c.Text;
}

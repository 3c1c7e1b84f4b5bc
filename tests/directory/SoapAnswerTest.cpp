#include "directory/SoapAnswer.h"

#include <gtest/gtest.h>

#include "directory/Answers.h"

namespace {

bool Sites(const std::string& xml, std::vector<TrsSite>& sites, DirectoryError& error)
{
    std::shared_ptr<const SoapValue> result;
    return DecodeAnswer(xml, result, error) && ReadTrsSites(*result, sites, error);
}

std::string Described(const std::vector<TrsSite>& sites)
{
    std::string text;
    for (const TrsSite& s : sites)
        text += std::to_string(s.rfss) + "/" + std::to_string(s.siteNumber) + " " + s.siteDescr + ";";
    return text;
}

}

TEST(SoapAnswer, ReadsEachFormOfTheResult)
{
    const struct
    {
        std::string Xml;
        std::string Sites;
    } cases[] = {
        {Answer("getTrsSites", Site(1, "North", 2) + Site(1005, "Gr\xC3\xBCnwald &amp; <![CDATA[<East>]]>", 0)),
         "2/1 North;0/1005 Gr\xC3\xBCnwald & <East>;"},
        // Broken UTF-8 as U+FFFD, byte by byte.
        {Answer("getTrsSites", Site(4, "Gr\xFCn \xC3(\xE2\x82", 1)),
         "1/4 Gr\xEF\xBF\xBDn \xEF\xBF\xBD(\xEF\xBF\xBD\xEF\xBF\xBD;"},
        // Items in multiRef elements beside the response, as Axis writes them.
        {Answer("getTrsSites", "<item href=\"#id0\"/><item href=\"#id1\"/>",
                "<multiRef id=\"id0\" SOAP-ENC:root=\"0\"><siteNumber href=\"#id2\"/><siteDescr>A</siteDescr></multiRef>"
                "<multiRef id=\"id1\" SOAP-ENC:root=\"0\"><siteNumber href=\"#id2\"/><rfss>3</rfss></multiRef>"
                "<multiRef id=\"id2\" SOAP-ENC:root=\"0\" xsi:type=\"xsd:int\">12</multiRef>"),
         "0/12 A;3/12 ;"},
        // An item defined inline once and referred to again.
        {Answer("getTrsSites", "<item id=\"s\"><siteNumber> +7 </siteNumber><siteDescr>Hill</siteDescr></item>"
                               "<item href=\"#s\"/>"),
         "0/7 Hill;0/7 Hill;"},
        // Nil values keep the defaults; nil items are left out; fields the import does not
        // know are ignored, whatever they hold.
        {Answer("getTrsSites", "<item><siteNumber xsi:nil=\"true\"/><siteDescr xsi:nil=\"1\"/><rfss>4</rfss>"
                               "<newField><deep><deeper>x</deeper></deep></newField></item><item xsi:nil=\"true\"/>"),
         "4/0 ;"},
        {Envelope("<ns1:getTrsSitesResponse><return xsi:type=\"SOAP-ENC:Array\" "
                  "SOAP-ENC:arrayType=\"ns1:TrsSite[0]\"/></ns1:getTrsSitesResponse>"),
         ""},
        {Envelope("<ns1:getTrsSitesResponse><return xsi:nil=\"true\"/></ns1:getTrsSitesResponse>"), ""},
        {Envelope("<ns1:getTrsSitesResponse><return href=\"#a\"/></ns1:getTrsSitesResponse>"
                  "<multiRef id=\"a\">" + Site(3, " ", 1) + "</multiRef>"),
         "1/3  ;"},
    };
    for (const auto& c : cases) {
        std::vector<TrsSite> sites;
        DirectoryError error;
        EXPECT_TRUE(Sites(c.Xml, sites, error)) << error.Text << "\n" << c.Xml;
        EXPECT_EQ(Described(sites), c.Sites) << c.Xml;
    }
}

TEST(SoapAnswer, ReportsFaultsAndBrokenAnswers)
{
    using enum DirectoryErrorKind;
    std::string deep = "<item href=\"#r0\"/>";
    for (int i = 0; i < 40; ++i)
        deep += "<multiRef id=\"r" + std::to_string(i) + "\" href=\"#r" + std::to_string(i + 1) + "\"/>";
    std::string nested;
    for (int i = 0; i < 40; ++i)
        nested = "<n>" + nested + "</n>";
    const struct
    {
        std::string Xml;
        DirectoryErrorKind Kind;
        std::string Text;
    } cases[] = {
        {::Fault("Invalid Username or Password"), Fault, "Invalid Username or Password"},
        {::Fault("Error: Not a premium subscriber. <![CDATA[(expired)]]>"), Fault,
         "Error: Not a premium subscriber. (expired)"},
        {Envelope("<ns1:r><return></ns1:r>"), Parse, "The answer is not well-formed XML: Start-end tags mismatch at offset 422"},
        {"", Parse, "The answer is not well-formed XML: No document element found at offset 0"},
        {"<html><body>Bad Gateway</body></html>", Parse, "The answer is not a SOAP envelope"},
        {Envelope("<ns1:getTrsSitesResponse/>"), Parse, "The answer holds no result"},
        {Answer("getTrsSites", "<item><siteNumber>12a</siteNumber></item>"), Conversion,
         "'12a' is not a valid integer value for siteNumber"},
        {Answer("getTrsSites", "<item><rfss>99999999999</rfss></item>"), Conversion,
         "'99999999999' is not a valid integer value for rfss"},
        {Answer("getTrsSites", "<item><rfss>" + std::string(50, '9') + "</rfss></item>"), Conversion,
         "'" + std::string(40, '9') + "...' is not a valid integer value for rfss"},
        {Answer("getTrsSites", "<item><rfss></rfss></item>"), Conversion, "'' is not a valid integer value for rfss"},
        {Answer("getTrsSites", "<item><siteDescr><b>x</b></siteDescr></item>"), Conversion,
         "The field siteDescr is not a simple value"},
        {Answer("getTrsSites", "text"), Conversion, "The result is not an array"},
        {Answer("getTrsSites", "<item><siteFreqs><item><freq>851,0125</freq></item></siteFreqs></item>"), Conversion,
         "'851,0125' is not a valid decimal value for freq"},
        {Answer("getTrsSites", "<item><siteFreqs>851.0125</siteFreqs></item>"), Conversion,
         "A list of the result is not an array"},
        {Answer("getTrsSites", "<item>x</item>"), Conversion, "An item of the result is not a structure"},
        {Answer("getTrsSites", "<item href=\"#gone\"/>"), Parse,
         "The answer refers to a missing element: \"#gone\""},
        {Answer("getTrsSites", "<item href=\"http://example.com/a.xml\"/>"), Parse,
         "The answer refers outside itself: \"http://example.com/a.xml\""},
        {Answer("getTrsSites", "<item href=\"#a\"/>", "<multiRef id=\"a\"><x href=\"#b\"/></multiRef>"
                                                     "<multiRef id=\"b\"><y href=\"#a\"/></multiRef>"),
         Parse, "The answer refers to itself through \"a\""},
        {Answer("getTrsSites", "<item id=\"a\" href=\"#a\"/>"), Parse, "The answer refers to itself through \"a\""},
        {Answer("getTrsSites", "<item id=\"a\"/><item id=\"a\"/>"), Parse, "The answer holds the id \"a\" twice"},
        {Answer("getTrsSites", deep), Parse, "The answer is nested too deeply"},
        {Answer("getTrsSites", nested), Parse, "The answer is nested too deeply"},
        // Each shared value alone is within the limit, but each one holds the one before.
        {Answer("getTrsSites", "<a id=\"a\">" + nested.substr(0, 20 * 3) + nested.substr(nested.size() - 20 * 4) +
                                   "</a><b id=\"b\">" + nested.substr(0, 20 * 3) + "<x href=\"#a\"/>" +
                                   nested.substr(nested.size() - 20 * 4) + "</b>"),
         Parse, "The answer is nested too deeply"},
    };
    for (const auto& c : cases) {
        std::vector<TrsSite> sites;
        DirectoryError error;
        EXPECT_FALSE(Sites(c.Xml, sites, error)) << c.Xml;
        EXPECT_EQ(error.Kind, c.Kind) << c.Xml;
        EXPECT_EQ(error.Text, c.Text) << c.Xml;
    }
}

TEST(SoapAnswer, SharedReferencesAreDecodedOnce)
{
    // Each level refers fifty times to the next: expanded as a tree, eight levels would
    // hold 50^8 leaves.
    std::string refs;
    for (int level = 0; level < 8; ++level) {
        refs += "<multiRef id=\"r" + std::to_string(level) + "\">";
        for (int i = 0; i < 50; ++i)
            refs += "<a href=\"#r" + std::to_string(level + 1) + "\"/>";
        refs += "</multiRef>";
    }
    refs += "<multiRef id=\"r8\">leaf</multiRef>";
    std::vector<TrsSite> sites;
    DirectoryError error;
    EXPECT_TRUE(Sites(Answer("getTrsSites", "<item><x href=\"#r0\"/><rfss>1</rfss></item>", refs), sites, error));
    EXPECT_EQ(Described(sites), "1/0 ;");
}

// A value shared by many items is copied into each record: the copies have a limit, and so
// has the time, in the decoding as in the reading.
TEST(SoapAnswer, ReadingStaysWithinItsLimits)
{
    using enum DirectoryErrorKind;
    std::string items;
    for (int i = 0; i < 1000; ++i)
        items += "<item href=\"#s\"/>";
    const std::string xml = Answer("getTrsSites", items,
                                   "<multiRef id=\"s\"><siteNumber>3</siteNumber><siteDescr>" + std::string(300, 'x') +
                                       "</siteDescr></multiRef>");
    const struct
    {
        const char* Name;
        Deadline DecodeBy;
        READLIMITS Limits;
        DirectoryErrorKind Kind;
        std::string Text;
    } cases[] = {
        {"within", {}, {{}, 199000}, None, ""},
        {"too many copies", {}, {{}, 198999}, Conversion,
         "The answer refers to its shared values so often that its records would hold more than 198999 bytes"},
        {"decoded too late", Deadline(std::chrono::milliseconds(0)), {}, Parse,
         "Timed out after 0 ms reading the server's answer"},
        {"read too late", {}, {Deadline(std::chrono::milliseconds(0)), 199000}, Conversion,
         "Timed out after 0 ms reading the server's answer"},
    };
    for (const auto& c : cases) {
        std::shared_ptr<const SoapValue> result;
        std::vector<TrsSite> sites;
        DirectoryError error;
        const bool read = DecodeAnswer(xml, result, error, c.DecodeBy) && ReadTrsSites(*result, sites, error, c.Limits);
        EXPECT_EQ(read, c.Kind == None) << c.Name;
        EXPECT_EQ(error.Kind, c.Kind) << c.Name;
        EXPECT_EQ(error.Text, c.Text) << c.Name;
        EXPECT_EQ(sites.size(), read ? 1000u : sites.size()) << c.Name;
    }
}

#pragma once
#include <string>
#include <vector>

// Service answers as the directory service writes them.
inline std::string Envelope(const std::string& body)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<SOAP-ENV:Envelope xmlns:SOAP-ENV=\"http://schemas.xmlsoap.org/soap/envelope/\""
           " xmlns:ns1=\"http://api.radioreference.com/soap2\" xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\""
           " xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\""
           " xmlns:SOAP-ENC=\"http://schemas.xmlsoap.org/soap/encoding/\""
           " SOAP-ENV:encodingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\">"
           "<SOAP-ENV:Body>" + body + "</SOAP-ENV:Body></SOAP-ENV:Envelope>";
}

// An array result of operation; after stands beside the response (multiRef elements).
inline std::string Answer(const std::string& operation, const std::string& items, const std::string& after = "")
{
    return Envelope("<ns1:" + operation + "Response><return xsi:type=\"SOAP-ENC:Array\">" + items +
                    "</return></ns1:" + operation + "Response>" + after);
}

inline std::string Fault(const std::string& text)
{
    return Envelope("<SOAP-ENV:Fault><faultcode>SOAP-ENV:Server</faultcode><faultstring>" + text +
                    "</faultstring></SOAP-ENV:Fault>");
}

inline std::string System(int sid, const std::string& name, const std::string& city)
{
    return "<item xsi:type=\"ns1:TrsListDef\"><sid xsi:type=\"xsd:int\">" + std::to_string(sid) +
           "</sid><sName xsi:type=\"xsd:string\">" + name + "</sName><sType xsi:type=\"xsd:int\">8</sType>"
           "<sCity xsi:type=\"xsd:string\">" + city + "</sCity>"
           "<lastUpdated xsi:type=\"xsd:dateTime\">2026-01-02T03:04:05Z</lastUpdated></item>";
}

// A TrsSiteFreq item of a site's siteFreqs.
inline std::string Freq(const std::string& mhz, const std::string& use)
{
    return "<item xsi:type=\"ns1:TrsSiteFreq\"><lcn xsi:type=\"xsd:int\">0</lcn><freq xsi:type=\"xsd:decimal\">" + mhz +
           "</freq><use xsi:type=\"xsd:string\">" + use + "</use><colorCode xsi:type=\"xsd:int\">0</colorCode></item>";
}

inline std::string Site(int siteNumber, const std::string& description, int rfss,
                        const std::string& freqs = Freq("851.0125", "c"))
{
    return "<item xsi:type=\"ns1:TrsSite\"><siteId xsi:type=\"xsd:int\">7</siteId>"
           "<siteNumber xsi:type=\"xsd:int\">" + std::to_string(siteNumber) + "</siteNumber>"
           "<siteDescr xsi:type=\"xsd:string\">" + description + "</siteDescr>"
           "<rfss xsi:type=\"xsd:int\">" + std::to_string(rfss) + "</rfss>"
           "<siteFreqs xsi:type=\"SOAP-ENC:Array\">" + freqs + "</siteFreqs></item>";
}

// tags: the tagDescr of each tag.
inline std::string Group(int tgDec, const std::string& description, const std::string& alpha,
                         const std::string& mode = "D", int category = 0, const std::vector<std::string>& tags = {})
{
    std::string items;
    for (const std::string& tag : tags)
        items += "<item xsi:type=\"ns1:tag\"><tagId xsi:type=\"xsd:int\">1</tagId><tagDescr xsi:type=\"xsd:string\">" +
                 tag + "</tagDescr></item>";
    return "<item xsi:type=\"ns1:Talkgroup\"><tgDec xsi:type=\"xsd:int\">" + std::to_string(tgDec) +
           "</tgDec><tgDescr xsi:type=\"xsd:string\">" + description + "</tgDescr>"
           "<tgAlpha xsi:type=\"xsd:string\">" + alpha + "</tgAlpha><tgMode xsi:type=\"xsd:string\">" + mode +
           "</tgMode><tags xsi:type=\"SOAP-ENC:Array\">" + items + "</tags><tgCid xsi:type=\"xsd:int\">" +
           std::to_string(category) + "</tgCid></item>";
}

#pragma once
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// What went wrong in a service call, in the four kinds the import tells apart.
enum class DirectoryErrorKind { None, Fault, Transport, Parse, Conversion };

struct DirectoryError
{
    DirectoryErrorKind Kind = DirectoryErrorKind::None;
    // The fault string, the transport's text, or what the reader found.
    std::string Text;
};

// The parts of the service's result types that the import reads.
struct TrsListDef
{
    int sid = 0;
    std::string sName;
    std::string sCity;
};

struct TrsSite
{
    int siteNumber = 0;
    std::string siteDescr;
    int rfss = 0;
};

struct Talkgroup
{
    int tgDec = 0;
    std::string tgDescr;
    std::string tgAlpha;
};

// One SOAP-encoded value with its references resolved: a leaf (Text, or Nil), or a compound
// (a struct's fields or an array's items, by element name). A value referred to from
// several places is shared, never copied.
struct SoapValue
{
    bool Nil = false;
    std::string Text;
    std::vector<std::pair<std::string, std::shared_ptr<const SoapValue>>> Members;
    // Levels of values below this one.
    int Height = 0;

    bool IsCompound() const { return !Members.empty(); }
};

// Reads an answer envelope down to its "return" part. A service fault gives a Fault error
// with the fault string; anything that is not a well-formed answer a Parse error (a
// reference to a missing or outside target, a cycle, nesting deeper than the limit).
bool DecodeAnswer(std::string_view xml, std::shared_ptr<const SoapValue>& result, DirectoryError& error);

// Read the result array of each call; fields the import does not use are ignored. A field
// that does not hold its type gives a Conversion error.
bool ReadTrsList(const SoapValue& result, std::vector<TrsListDef>& systems, DirectoryError& error);
bool ReadTrsSites(const SoapValue& result, std::vector<TrsSite>& sites, DirectoryError& error);
bool ReadTalkgroups(const SoapValue& result, std::vector<Talkgroup>& talkgroups, DirectoryError& error);

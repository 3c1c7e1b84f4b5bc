#pragma once
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "directory/Deadline.h"

// What went wrong in a service call, in the four kinds the import tells apart.
enum class DirectoryErrorKind { None, Fault, Transport, Parse, Conversion };

struct DirectoryError
{
    DirectoryErrorKind Kind = DirectoryErrorKind::None;
    // The fault string, the transport's text, or what the reader found.
    std::string Text;
};

// The parts of the service's result types that the import reads. Their texts are valid
// UTF-8 (broken sequences as U+FFFD), cut to the length the model keeps.
struct TrsListDef
{
    int sid = 0;
    std::string sName;
    std::string sCity;
};

struct TrsSiteFreq
{
    double freq = 0.0;
    // The service's letter: "c" control, "a" alternate, empty for a voice channel.
    std::string use;
};

struct TrsSite
{
    int siteNumber = 0;
    std::string siteDescr;
    int rfss = 0;
    std::vector<TrsSiteFreq> siteFreqs;
};

struct Talkgroup
{
    int tgDec = 0;
    std::string tgDescr;
    std::string tgAlpha;
    // "D", "DE", "E", "TE", ...: an "E" says encrypted.
    std::string tgMode;
    int tgCid = 0;
    // The tagDescr of each tag.
    std::vector<std::string> tags;
};

// An answer's result with its references resolved: a value referred to from several
// places is decoded once and shared, never copied. Only the readers below look inside.
class SoapValue;

// What reading one answer may cost. It ends by the call's deadline, and because a value
// that several places refer to is copied into every record that reads it, the records may
// hold only so much text (an allowance from the answer's size).
struct READLIMITS
{
    Deadline Until;
    // The allowance of a small answer unless ReadLimits gives one.
    size_t MaxCopiedBytes = size_t{1} << 20;
};

// The limits of reading an answer of answerBytes that must be read by deadline.
READLIMITS ReadLimits(size_t answerBytes, const Deadline& deadline);

// Reads an answer envelope down to its "return" part. A service fault gives a Fault error
// with the fault string; anything that is not a well-formed answer a Parse error (a
// reference to a missing or outside target, a cycle, nesting deeper than the limit, or no
// end of the decoding by the deadline).
bool DecodeAnswer(std::string_view xml, std::shared_ptr<const SoapValue>& result, DirectoryError& error,
                  const Deadline& deadline = {});

// Read the result array of each call; fields the import does not use are ignored. A field
// that does not hold its type, or reading past the limits, gives a Conversion error.
bool ReadTrsList(const SoapValue& result, std::vector<TrsListDef>& systems, DirectoryError& error,
                 const READLIMITS& limits = {});
bool ReadTrsSites(const SoapValue& result, std::vector<TrsSite>& sites, DirectoryError& error,
                  const READLIMITS& limits = {});
bool ReadTalkgroups(const SoapValue& result, std::vector<Talkgroup>& talkgroups, DirectoryError& error,
                    const READLIMITS& limits = {});

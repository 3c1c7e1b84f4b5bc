#pragma once
#include <string>
#include <utility>
#include <vector>

#include "directory/SystemImport.h"

class P25Class;

// Talkgroup and radio names in and out as CSV files (UTF-8, comma-separated, fields with
// commas, quotes or line ends in double quotes, quotes doubled). Three layouts, told apart
// by the header line:
//   Zembrant   "Zembrant Talkgroup,Description,LastSeen,Priority,FirstSeen,EncSeen,
//              EmrgIgnore,Hits,TextColor,BackColor" or "Zembrant Radio,Description,
//              LastSeen,TextColor,BackColor": every field the tables hold
//   Talkgroup  "Decimal,Hex,Alpha Tag,Mode,Description,Tag,Category[,Priority]", the
//              layout directory exports and most trunking programs share (talkgroups only)
//   Plain      two columns, an ID and a name: "id,name", "Decimal,Alpha Tag", "RID,Name"...

enum class NamesTable { Talkgroups, Radios };
enum class NamesFormat { Auto, Zembrant, Talkgroup, Plain };

struct NamesImportReport
{
    int Added = 0;
    int Replaced = 0;
    // The choice kept what the table held, or the row holds what is there already.
    int Kept = 0;
    int Refused = 0;
    // Line of each refused row and why, in file order.
    std::vector<std::pair<int, std::string>> RefusedLines;
};

// Writes the table to path in format (Auto: Zembrant), replacing the file atomically. The
// tables are copied under their own locks, so any thread may call it while decoding runs.
// False with error naming the file and the reason.
bool ExportNames(P25Class& model, NamesTable table, NamesFormat format, const std::string& path,
                 std::string& error);

// Reads path in format (Auto: by its header), checks the whole file, then stores its rows
// under the choice, as the directory import does: New adds unknown IDs only, Default also
// replaces empty and decoder-given descriptions, All replaces every one. Rows that cannot
// be stored are refused one by one and reported. A file that cannot be read as a whole
// (missing, not UTF-8, binary, empty, a header without a needed column, a line over
// MaxNamesLineBytes) returns false with error and changes nothing.
// Each row is tested and stored under TGLOCK or RADIDLOCK, which the caller must not hold
// with any later lock: it may run on a worker thread beside the decoder, on the live model.
// The tables have no changed flags; the caller redraws its lists and saves the system
// folder as it does after an editor's "Apply".
bool ImportNames(P25Class& model, NamesTable table, NamesFormat format, TalkgroupImport choice,
                 const std::string& path, NamesImportReport& report, std::string& error);

// "Added 12, replaced 3, kept 40, refused 2 (lines 7, 19)."
std::string ReportText(const NamesImportReport& report);

#include "names/NamesCsv.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string_view>
#include <unordered_map>

#include "model/Locks.h"
#include "model/P25Class.h"
#include "names/CsvReader.h"
#include "persistence/Config.h"
#include "platform/Clock.h"
#include "platform/Files.h"
#include "platform/Text.h"

namespace {

constexpr int64_t HighestTalkgroup = 65535;
constexpr int64_t HighestRadio = INT32_MAX;
constexpr int64_t LowestPriority = 99;
constexpr uint8_t KeepPriority = 255;
// A report names this many refused lines and counts the rest.
constexpr size_t ListedLines = 20;
constexpr char LineEnd[] = "\r\n";

const std::vector<std::string_view> ZembrantTalkgroupColumns = {
    "Zembrant Talkgroup", "Description", "LastSeen", "Priority",  "FirstSeen",
    "EncSeen",            "EmrgIgnore",  "Hits",     "TextColor", "BackColor"};
const std::vector<std::string_view> ZembrantRadioColumns = {"Zembrant Radio", "Description", "LastSeen", "TextColor",
                                                            "BackColor"};
constexpr char TalkgroupLayoutHeader[] = "Decimal,Hex,Alpha Tag,Mode,Description,Tag,Category,Priority";
constexpr char PlainHeader[] = "id,name";
// The header words of a plain list: an ID column, then a name column.
constexpr std::string_view IdWords[] = {"id", "tgid", "rid", "decimal", "talkgroup", "radio", "radio id", "unit id"};
constexpr std::string_view NameWords[] = {"name", "alpha tag", "description", "alias", "tag"};

// Where the columns a format reads are; -1 for an optional one the header lacks.
struct Layout
{
    NamesFormat Format = NamesFormat::Auto;
    std::vector<int> Columns;
};

enum TalkgroupLayoutColumn { DecimalColumn, HexColumn, AlphaTagColumn, DescriptionColumn, PriorityColumn };

// One checked row. For radios only the fields a RADTAG has are used. Whole: a Zembrant row,
// which gives every field.
struct NameRow
{
    int Line = 0;
    bool Whole = false;
    bool HasPriority = false;
    TGTAG Record;
};

bool IsDefaultRadioName(std::string_view description)
{
    return description.empty() || description.starts_with("TG: ") || description.starts_with("DT: ");
}

std::string_view Word(std::string_view cell)
{
    return Trimmed(cell, " \t");
}

int FindColumn(const std::vector<std::string>& header, std::string_view name)
{
    for (size_t i = 0; i < header.size(); ++i)
        if (EqualsIgnoringCase(Word(header[i]), name))
            return static_cast<int>(i);
    return -1;
}

template <size_t N>
bool IsOneOf(std::string_view cell, const std::string_view (&words)[N])
{
    return std::any_of(std::begin(words), std::end(words),
                       [cell](std::string_view word) { return EqualsIgnoringCase(Word(cell), word); });
}

NamesFormat Recognised(const std::vector<std::string>& header)
{
    if (FindColumn(header, ZembrantTalkgroupColumns[0]) == 0 || FindColumn(header, ZembrantRadioColumns[0]) == 0)
        return NamesFormat::Zembrant;
    if (FindColumn(header, "Decimal") == 0 && FindColumn(header, "Hex") == 1)
        return NamesFormat::Talkgroup;
    if (header.size() == 2 && IsOneOf(header[0], IdWords) && IsOneOf(header[1], NameWords))
        return NamesFormat::Plain;
    return NamesFormat::Auto;
}

bool MissingColumn(std::string_view name, std::string& reason)
{
    reason = "the header has no column \"" + std::string(name) + "\"";
    return false;
}

bool MakeLayout(NamesTable table, NamesFormat format, const std::vector<std::string>& header, Layout& layout,
                std::string& reason)
{
    layout.Format = format == NamesFormat::Auto ? Recognised(header) : format;
    const bool talkgroups = table == NamesTable::Talkgroups;
    switch (layout.Format) {
    case NamesFormat::Auto:
        reason = "the first line is no header of a names file: it starts \"Zembrant Talkgroup\", \"Zembrant Radio\" "
                 "or \"Decimal,Hex\", or has two columns such as \"id,name\"";
        return false;
    case NamesFormat::Zembrant: {
        const auto& columns = talkgroups ? ZembrantTalkgroupColumns : ZembrantRadioColumns;
        const auto& others = talkgroups ? ZembrantRadioColumns : ZembrantTalkgroupColumns;
        if (FindColumn(header, others[0]) == 0) {
            reason = talkgroups ? "it holds radios, not talkgroups" : "it holds talkgroups, not radios";
            return false;
        }
        for (const std::string_view name : columns) {
            layout.Columns.push_back(FindColumn(header, name));
            if (layout.Columns.back() < 0)
                return MissingColumn(name, reason);
        }
        return true;
    }
    case NamesFormat::Talkgroup:
        if (!talkgroups) {
            reason = "the layout \"Decimal,Hex,Alpha Tag,...\" holds talkgroups, not radios";
            return false;
        }
        for (const std::string_view name : {"Decimal", "Hex", "Alpha Tag", "Description", "Priority"})
            layout.Columns.push_back(FindColumn(header, name));
        if (layout.Columns[DecimalColumn] < 0)
            return MissingColumn("Decimal", reason);
        if (layout.Columns[AlphaTagColumn] < 0)
            return MissingColumn("Alpha Tag", reason);
        return true;
    case NamesFormat::Plain:
        if (header.size() < 2) {
            reason = "the header has one column; an ID and a name are needed";
            return false;
        }
        layout.Columns = {0, 1};
        return true;
    }
    return false;
}

std::string_view Cell(const CsvRecord& record, int column)
{
    return column >= 0 && static_cast<size_t>(column) < record.Fields.size()
               ? std::string_view(record.Fields[static_cast<size_t>(column)])
               : std::string_view();
}

std::optional<int64_t> Number(std::string_view text, int64_t low, int64_t high, int base = 10)
{
    text = Word(text);
    int64_t value = 0;
    const auto [end, result] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (text.empty() || result != std::errc() || end != text.data() + text.size() || value < low || value > high)
        return std::nullopt;
    return value;
}

// Reads one numeric field of a row into out; false with the reason.
template <typename Field>
bool ReadNumber(std::string_view cell, std::string_view what, int64_t low, int64_t high, Field& out,
                std::string& reason)
{
    const auto value = Number(cell, low, high);
    if (!value) {
        reason = std::string(what) + " \"" + std::string(cell) + "\" is not a whole number from " +
                 std::to_string(low) + " to " + std::to_string(high);
        return false;
    }
    out = static_cast<Field>(*value);
    return true;
}

bool ReadId(std::string_view cell, NamesTable table, int32_t& id, std::string& reason)
{
    return table == NamesTable::Talkgroups ? ReadNumber(cell, "talkgroup", 1, HighestTalkgroup, id, reason)
                                           : ReadNumber(cell, "radio", 1, HighestRadio, id, reason);
}

// "#RRGGBB", as the system folder writes colours.
bool ReadColor(std::string_view cell, std::string_view what, uint32_t& out, std::string& reason)
{
    const std::string_view text = Word(cell);
    if (text.size() != 7 || text[0] != '#' ||
        !std::all_of(text.begin() + 1, text.end(), [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); })) {
        reason = std::string(what) + " \"" + std::string(cell) + "\" is no colour of the form #RRGGBB";
        return false;
    }
    out = ParseColor(text);
    return true;
}

bool ReadZembrantRow(const Layout& layout, NamesTable table, const CsvRecord& record, NameRow& row, std::string& reason)
{
    const auto cell = [&](size_t column) { return Cell(record, layout.Columns[column]); };
    TGTAG& r = row.Record;
    row.Whole = true;
    if (!ReadId(cell(0), table, r.Id, reason))
        return false;
    r.Description = ImportedName(cell(1));
    if (!ReadNumber(cell(2), "LastSeen", 0, LatestPrintableTime, r.LastSeen, reason))
        return false;
    if (table == NamesTable::Radios)
        return ReadColor(cell(3), "TextColor", r.TextColor, reason) && ReadColor(cell(4), "BackColor", r.BackColor, reason);
    return ReadNumber(cell(3), "Priority", 0, LowestPriority, r.Priority, reason) &&
           ReadNumber(cell(4), "FirstSeen", 0, LatestPrintableTime, r.FirstSeen, reason) &&
           ReadNumber(cell(5), "EncSeen", 0, 1, r.EncSeen, reason) &&
           ReadNumber(cell(6), "EmrgIgnore", 0, 1, r.EmrgIgnore, reason) &&
           ReadNumber(cell(7), "Hits", 0, INT32_MAX, r.Hits, reason) &&
           ReadColor(cell(8), "TextColor", r.TextColor, reason) && ReadColor(cell(9), "BackColor", r.BackColor, reason);
}

bool ReadTalkgroupLayoutRow(const Layout& layout, const CsvRecord& record, NameRow& row, std::string& reason)
{
    const auto cell = [&](int column) { return Cell(record, layout.Columns[static_cast<size_t>(column)]); };
    TGTAG& r = row.Record;
    if (!ReadId(cell(DecimalColumn), NamesTable::Talkgroups, r.Id, reason))
        return false;
    if (const std::string_view hex = Word(cell(HexColumn)); !hex.empty()) {
        const auto value = Number(hex, 0, HighestTalkgroup, 16);
        if (value != r.Id) {
            reason = "Hex \"" + std::string(hex) + "\" is not Decimal " + std::to_string(r.Id);
            return false;
        }
    }
    r.Description = ImportedName(cell(AlphaTagColumn), cell(DescriptionColumn));
    if (!Word(cell(PriorityColumn)).empty()) {
        if (!ReadNumber(cell(PriorityColumn), "priority", 0, LowestPriority, r.Priority, reason))
            return false;
        row.HasPriority = true;
    }
    return true;
}

bool ReadPlainRow(NamesTable table, const CsvRecord& record, NameRow& row, std::string& reason)
{
    const auto& fields = record.Fields;
    if (std::any_of(fields.begin() + std::min<ptrdiff_t>(2, std::ssize(fields)), fields.end(),
                    [](const std::string& field) { return !Word(field).empty(); })) {
        reason = "it has " + std::to_string(fields.size()) +
                 " fields, not an ID and a name: a name with a comma belongs in double quotes";
        return false;
    }
    if (!ReadId(Cell(record, 0), table, row.Record.Id, reason))
        return false;
    row.Record.Description = ImportedName(Cell(record, 1));
    return true;
}

bool ReadRow(const Layout& layout, NamesTable table, const CsvRecord& record, NameRow& row, std::string& reason)
{
    row.Line = record.Line;
    switch (layout.Format) {
    case NamesFormat::Zembrant: return ReadZembrantRow(layout, table, record, row, reason);
    case NamesFormat::Talkgroup:
        if (!ReadTalkgroupLayoutRow(layout, record, row, reason))
            return false;
        break;
    case NamesFormat::Plain:
        if (!ReadPlainRow(table, record, row, reason))
            return false;
        break;
    case NamesFormat::Auto: return false;
    }
    if (row.Record.Description.empty()) {
        reason = "it has no name";
        return false;
    }
    return true;
}

void Refuse(NamesImportReport& report, int line, std::string reason)
{
    ++report.Refused;
    report.RefusedLines.emplace_back(line, std::move(reason));
}

bool HoldsTalkgroup(const TGTAG& known, const NameRow& row)
{
    const TGTAG& r = row.Record;
    if (!row.Whole)
        return known.Description == r.Description && (!row.HasPriority || known.Priority == r.Priority);
    // EncSeen is only ever set: no import unsees an encrypted call.
    return known.Description == r.Description && known.LastSeen == r.LastSeen && known.Priority == r.Priority &&
           known.FirstSeen == r.FirstSeen && (known.EncSeen == r.EncSeen || !r.EncSeen) &&
           known.EmrgIgnore == r.EmrgIgnore && known.Hits == r.Hits && known.TextColor == r.TextColor &&
           known.BackColor == r.BackColor;
}

bool HoldsRadio(const RADTAG& known, const NameRow& row)
{
    const TGTAG& r = row.Record;
    return known.Description == r.Description &&
           (!row.Whole || (known.LastSeen == r.LastSeen && known.TextColor == r.TextColor &&
                           known.BackColor == r.BackColor));
}

// Tested and stored under TGLOCK, so that a grant between them cannot change what the
// choice saw.
void StoreTalkgroup(P25Class& model, const NameRow& row, TalkgroupImport choice, NamesImportReport& report)
{
    const TGTAG& r = row.Record;
    NamedLockGuard guard(Locks::TGLOCK);
    TGTAG known;
    const bool found = model.GetTalkgroup(r.Id, known);
    if ((found && HoldsTalkgroup(known, row)) ||
        !ImportTakesName(choice, found, !found || IsDefaultTalkgroupName(known.Description))) {
        ++report.Kept;
        return;
    }
    // A name alone keeps what the decoder learned of the talkgroup.
    if (row.Whole)
        model.SetTalkgroup(r.Id, r.Description, r.LastSeen, r.Priority, r.EmrgIgnore);
    else
        model.SetTalkgroup(r.Id, r.Description, found ? known.LastSeen : 0, row.HasPriority ? r.Priority : KeepPriority,
                           found ? known.EmrgIgnore : 0);
    if (!found && !model.GetTalkgroup(r.Id, known))
        return Refuse(report, row.Line, "the talkgroup table is full");
    if (row.Whole) {
        model.SetTalkgroupFirstSeen(r.Id, r.FirstSeen);
        model.SetTalkgroupHits(r.Id, r.Hits);
        model.SetTalkgroupColors(r.Id, r.TextColor, r.BackColor);
        if (r.EncSeen)
            model.MarkTalkgroupEncrypted(r.Id);
    }
    ++(found ? report.Replaced : report.Added);
}

void StoreRadio(P25Class& model, const NameRow& row, TalkgroupImport choice, NamesImportReport& report)
{
    const TGTAG& r = row.Record;
    NamedLockGuard guard(Locks::RADIDLOCK);
    RADTAG known;
    const bool found = model.GetRadio(r.Id, known);
    if ((found && HoldsRadio(known, row)) ||
        !ImportTakesName(choice, found, !found || IsDefaultRadioName(known.Description))) {
        ++report.Kept;
        return;
    }
    if (!model.SetRadio(r.Id, r.Description, row.Whole ? r.LastSeen : found ? known.LastSeen : 0))
        return Refuse(report, row.Line, "the radio table is full");
    if (row.Whole)
        model.SetRadioColors(r.Id, r.TextColor, r.BackColor);
    ++(found ? report.Replaced : report.Added);
}

template <typename... Fields>
void AppendRow(std::string& out, const Fields&... fields)
{
    bool first = true;
    ((out += first ? "" : ",", out += fields, first = false), ...);
    out += LineEnd;
}

std::string Hex(int id)
{
    // Lower case, as the directory lists talkgroups.
    char text[16];
    std::snprintf(text, sizeof text, "%x", static_cast<unsigned int>(id));
    return text;
}

std::string JoinedHeader(const std::vector<std::string_view>& columns)
{
    std::string header;
    for (const std::string_view column : columns)
        header += (header.empty() ? "" : ",") + std::string(column);
    return header;
}

std::string TalkgroupText(const std::vector<TGTAG>& talkgroups, NamesFormat format)
{
    using std::to_string;
    std::string out;
    if (format == NamesFormat::Zembrant)
        out = JoinedHeader(ZembrantTalkgroupColumns) + LineEnd;
    else
        out = std::string(format == NamesFormat::Plain ? PlainHeader : TalkgroupLayoutHeader) + LineEnd;
    for (const TGTAG& t : talkgroups) {
        const std::string name = CsvField(t.Description);
        if (format == NamesFormat::Zembrant)
            AppendRow(out, to_string(t.Id), name, to_string(t.LastSeen), to_string(t.Priority), to_string(t.FirstSeen),
                      to_string(t.EncSeen), to_string(t.EmrgIgnore), to_string(t.Hits), FormatColor(t.TextColor),
                      FormatColor(t.BackColor));
        else if (format == NamesFormat::Plain)
            AppendRow(out, to_string(t.Id), name);
        else
            AppendRow(out, to_string(t.Id), Hex(t.Id), name, t.EncSeen ? "DE" : "D", name, "", "", to_string(t.Priority));
    }
    return out;
}

std::string RadioText(const std::vector<RADTAG>& radios, NamesFormat format)
{
    using std::to_string;
    std::string out =
        (format == NamesFormat::Zembrant ? JoinedHeader(ZembrantRadioColumns) : std::string(PlainHeader)) + LineEnd;
    for (const RADTAG& r : radios) {
        if (format == NamesFormat::Zembrant)
            AppendRow(out, to_string(r.Id), CsvField(r.Description), to_string(r.LastSeen), FormatColor(r.TextColor),
                      FormatColor(r.BackColor));
        else
            AppendRow(out, to_string(r.Id), CsvField(r.Description));
    }
    return out;
}

}

bool ExportNames(P25Class& model, NamesTable table, NamesFormat format, const std::string& path, std::string& error)
{
    if (format == NamesFormat::Auto)
        format = NamesFormat::Zembrant;
    std::string text;
    if (table == NamesTable::Talkgroups) {
        std::vector<TGTAG> talkgroups;
        model.GetTalkgroups(talkgroups);
        text = TalkgroupText(talkgroups, format);
    } else if (format == NamesFormat::Talkgroup) {
        error = "the layout \"Decimal,Hex,Alpha Tag,...\" holds talkgroups, not radios";
        return false;
    } else {
        std::vector<RADTAG> radios;
        model.GetRadios(radios);
        text = RadioText(radios, format);
    }
    return WriteFileAtomically(path, text, error);
}

bool ImportNames(P25Class& model, NamesTable table, NamesFormat format, TalkgroupImport choice,
                 const std::string& path, NamesImportReport& report, std::string& error)
{
    report = {};
    std::vector<NameRow> rows;
    {
        std::vector<CsvRecord> records;
        if (!ReadCsvFile(path, records, error))
            return false;
        Layout layout;
        std::string reason;
        if (!MakeLayout(table, format, records[0].Fields, layout, reason)) {
            error = path + ": " + reason;
            return false;
        }
        rows.reserve(records.size() - 1);
        std::unordered_map<int32_t, int> lineOf;
        const char* kind = table == NamesTable::Talkgroups ? "talkgroup " : "radio ";
        for (size_t i = 1; i < records.size(); ++i) {
            NameRow row;
            if (!ReadRow(layout, table, records[i], row, reason)) {
                Refuse(report, records[i].Line, reason);
            } else if (const auto [at, added] = lineOf.emplace(row.Record.Id, row.Line); !added) {
                Refuse(report, row.Line, kind + std::to_string(row.Record.Id) + " is on line " +
                                             std::to_string(at->second) + " already");
            } else {
                rows.push_back(std::move(row));
            }
        }
    }
    for (const NameRow& row : rows) {
        if (table == NamesTable::Talkgroups)
            StoreTalkgroup(model, row, choice, report);
        else
            StoreRadio(model, row, choice, report);
    }
    std::stable_sort(report.RefusedLines.begin(), report.RefusedLines.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    return true;
}

std::string ReportText(const NamesImportReport& report)
{
    std::string text = "Added " + std::to_string(report.Added) + ", replaced " + std::to_string(report.Replaced) +
                       ", kept " + std::to_string(report.Kept) + ", refused " + std::to_string(report.Refused);
    const auto& lines = report.RefusedLines;
    if (!lines.empty()) {
        text += lines.size() == 1 ? " (line " : " (lines ";
        for (size_t i = 0; i < lines.size() && i < ListedLines; ++i)
            text += (i == 0 ? "" : ", ") + std::to_string(lines[i].first);
        if (lines.size() > ListedLines)
            text += " and " + std::to_string(lines.size() - ListedLines) + " more";
        text += ")";
    }
    return text + ".";
}

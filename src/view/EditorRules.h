#pragma once
#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/P25Class.h"

#include "view/RowColours.h"

// The talkgroup and radio ID editors' rules: what their number fields accept, what they
// load and what "Apply" stores.

constexpr int NewTalkgroupEditPriority = 50;

// What leaving an editor's number field does.
enum class FieldLeave
{
    Nothing, // empty (or, in the radio editor, no number)
    Load,    // a valid ID: load it
    Refocus, // an invalid ID: the focus returns to the field
};

struct FieldCheck
{
    FieldLeave Action = FieldLeave::Nothing;
    int Id = 0;
};

// Talkgroups are 1..65535; anything else typed returns the focus.
FieldCheck CheckTalkgroupField(std::string_view text);
// Radio IDs are above 0; text that is no number does nothing, 0 or below returns the focus.
FieldCheck CheckRadioField(std::string_view text);
// "Apply" is offered only while the field holds a valid ID.
bool CanApplyTalkgroup(std::string_view field);
bool CanApplyRadio(std::string_view field);
// The priority field when left: 0..99 moves the up-down control, anything else shows its position.
int PriorityFieldValue(std::string_view text, int upDownPosition);

struct TalkgroupEdit
{
    std::string Name;
    ColorPair Colors;
    int Priority = NewTalkgroupEditPriority;
    bool EmrgIgnore = false;
};

struct RadioEdit
{
    std::string Description;
    ColorPair Colors;
};

// The editor opened without a talkgroup: empty name, priority 50, the default colours.
TalkgroupEdit EmptyTalkgroupEdit(const ColorPair& defaults);
// The talkgroup's own colours when it has two different ones, else the defaults;
// priority 50 for an unknown talkgroup.
TalkgroupEdit LoadTalkgroupEdit(const P25Class& model, int talkgroup, const ColorPair& defaults);
// The radio's colours when it has its own, else the defaults.
RadioEdit LoadRadioEdit(P25Class& model, int radio, const ColorPair& defaults);

// The pair as stored: the defaults are kept as 0 and 0, which follow later default changes.
ColorPair StoredColors(const ColorPair& colors, const ColorPair& defaults);

// The add-range prompt on "Add Range": both fields as decimal numbers. A high below the
// low gives the message (Caption, Text); a field that is no number adds nothing, quietly.
struct AddRangeResult
{
    bool Add = false;
    long Low = 0;
    long High = 0;
    std::string Caption;
    std::string Text;
};

AddRangeResult ReadAddRange(std::string_view lowText, std::string_view highText);

// "Apply": stores the edit (last seen 0, so the ID is added when unknown and stamped now).
void ApplyTalkgroupEdit(P25Class& model, int talkgroup, const TalkgroupEdit& edit, const ColorPair& defaults);
void ApplyRadioEdit(P25Class& model, int radio, const RadioEdit& edit, const ColorPair& defaults);

// The identifier table editor. The user may enter a table for a site whose control channel
// does not announce all it uses; the site's own table replaces it when it comes.
using IdentifierTables = std::array<IDENTABLE, MaxIdentifierTables>;

// The list row of a table: "Table", "Base", "Spacing", "Bandwidth", "Slots", "Offset",
// "Status"; an empty table shows only its number.
std::vector<std::string> IdentifierTableRow(int identifier, const IDENTABLE& table);
// A table received on the control channel is not the user's to change.
bool CanEditIdentifierTable(const IDENTABLE& table);

// One table's fields as typed: frequencies in MHz.
struct IdentifierTableFields
{
    std::string Base;
    std::string Spacing;
    std::string Offset;
    std::string Bandwidth;
    std::string Slots;
};

IdentifierTableFields TableFields(const IDENTABLE& table);
// The manual table the fields describe; none while any field is out of its range.
std::optional<IDENTABLE> ReadTableFields(const IdentifierTableFields& fields);
// "Done": stores every table the user changed; false when the site's own table came first
// for any of them.
bool ApplyIdentifierTables(P25Class& model, const IdentifierTables& before, const IdentifierTables& edited);

#include "view/EditorRules.h"

#include <algorithm>
#include <climits>

#include "model/P25Class.h"
#include "platform/Text.h"
#include "platform/TextFormat.h"
#include "view/FieldNumbers.h"

namespace {

constexpr long MaxTalkgroup = 65535;
constexpr int MaxPriority = 99;

// Wide enough for every band a P25 system uses, narrow enough to catch a value typed in kHz.
constexpr double MaxBase = 10000.0;
constexpr double MaxSpacing = 1.0;
constexpr double MaxOffset = 1000.0;
constexpr double MaxBandwidth = 1.0;
constexpr long MaxSlots = 6;

}

FieldCheck CheckTalkgroupField(std::string_view text)
{
    if (Trimmed(text).empty())
        return {};
    const auto value = ParseDecimal(text);
    if (!value || *value < 1 || *value > MaxTalkgroup)
        return {FieldLeave::Refocus, 0};
    return {FieldLeave::Load, static_cast<int>(*value)};
}

FieldCheck CheckRadioField(std::string_view text)
{
    const auto value = ParseDecimal(text);
    if (!value || *value > INT_MAX)
        return {};
    if (*value <= 0)
        return {FieldLeave::Refocus, 0};
    return {FieldLeave::Load, static_cast<int>(*value)};
}

bool CanApplyTalkgroup(std::string_view field)
{
    return CheckTalkgroupField(field).Action == FieldLeave::Load;
}

bool CanApplyRadio(std::string_view field)
{
    return CheckRadioField(field).Action == FieldLeave::Load;
}

int PriorityFieldValue(std::string_view text, int upDownPosition)
{
    const auto value = ParseDecimal(text);
    return value && *value >= 0 && *value <= MaxPriority ? static_cast<int>(*value) : upDownPosition;
}

TalkgroupEdit EmptyTalkgroupEdit(const ColorPair& defaults)
{
    TalkgroupEdit edit;
    edit.Colors = defaults;
    return edit;
}

TalkgroupEdit LoadTalkgroupEdit(const P25Class& model, int talkgroup, const ColorPair& defaults)
{
    TalkgroupEdit edit;
    edit.Name = model.GetTalkgroupDescription(talkgroup);
    ColorPair own;
    model.GetTalkgroupColors(talkgroup, own.Text, own.Background);
    edit.Colors = own.Text != own.Background ? own : defaults;
    edit.Priority = model.GetTalkgroupPriority(talkgroup);
    edit.EmrgIgnore = model.GetTalkgroupEmrgIgnore(talkgroup) != 0;
    return edit;
}

RadioEdit LoadRadioEdit(P25Class& model, int radio, const ColorPair& defaults)
{
    RadioEdit edit;
    edit.Description = model.GetRadioDescription(radio);
    ColorPair own;
    edit.Colors = model.GetRadioColors(radio, own.Text, own.Background) ? own : defaults;
    return edit;
}

ColorPair StoredColors(const ColorPair& colors, const ColorPair& defaults)
{
    return colors == defaults ? ColorPair{} : colors;
}

AddRangeResult ReadAddRange(std::string_view lowText, std::string_view highText)
{
    AddRangeResult result;
    const auto low = ParseDecimal(lowText);
    const auto high = ParseDecimal(highText);
    if (!low || !high)
        return result;
    if (*high < *low) {
        result.Caption = "Range Error";
        result.Text = "The low value may not be higher than the high value";
        return result;
    }
    result.Add = true;
    result.Low = *low;
    result.High = *high;
    return result;
}

void ApplyTalkgroupEdit(P25Class& model, int talkgroup, const TalkgroupEdit& edit, const ColorPair& defaults)
{
    model.SetTalkgroup(talkgroup, edit.Name, 0, static_cast<uint8_t>(std::clamp(edit.Priority, 0, MaxPriority)), edit.EmrgIgnore ? 1 : 0);
    const ColorPair stored = StoredColors(edit.Colors, defaults);
    model.SetTalkgroupColors(talkgroup, stored.Text, stored.Background);
}

void ApplyRadioEdit(P25Class& model, int radio, const RadioEdit& edit, const ColorPair& defaults)
{
    model.SetRadio(radio, edit.Description, 0);
    const ColorPair stored = StoredColors(edit.Colors, defaults);
    model.SetRadioColors(radio, stored.Text, stored.Background);
}

std::vector<std::string> IdentifierTableRow(int identifier, const IDENTABLE& table)
{
    if (table.Base == 0.0)
        return {Format("%02d", identifier), "", "", "", "", "", ""};
    static const char* const sources[] = {"Assumed", "Manual", "Confirmed"};
    return {Format("%02d", identifier),        Format("%3.05f", table.Base),     Format("%3.05f", table.Spacing),
            Format("%3.05f", table.Bandwidth), Format("%d", table.Slots),        Format("%3.05f", table.TxOffset),
            table.Source <= SourceConfirmed ? sources[table.Source] : sources[SourceAssumed]};
}

bool CanEditIdentifierTable(const IDENTABLE& table)
{
    return table.Source != SourceConfirmed;
}

IdentifierTableFields TableFields(const IDENTABLE& table)
{
    if (table.Base == 0.0)
        return {"", "", "", "", "1"};
    return {Format("%.6f", table.Base), Format("%.6f", table.Spacing), Format("%.6f", table.TxOffset),
            Format("%.6f", table.Bandwidth), Format("%d", std::max<int>(table.Slots, 1))};
}

std::optional<IDENTABLE> ReadTableFields(const IdentifierTableFields& fields)
{
    const auto base = ParseDecimalFraction(fields.Base);
    const auto spacing = ParseDecimalFraction(fields.Spacing);
    const auto offset = ParseDecimalFraction(Trimmed(fields.Offset).empty() ? "0" : fields.Offset);
    const auto bandwidth = ParseDecimalFraction(Trimmed(fields.Bandwidth).empty() ? "0" : fields.Bandwidth);
    const auto slots = ParseDecimal(fields.Slots);
    if (!base || !spacing || !offset || !bandwidth || !slots)
        return std::nullopt;
    if (!(*base > 0.0 && *base < MaxBase) || !(*spacing > 0.0 && *spacing <= MaxSpacing)
        || !(*offset > -MaxOffset && *offset < MaxOffset) || !(*bandwidth >= 0.0 && *bandwidth <= MaxBandwidth)
        || *slots < 1 || *slots > MaxSlots)
        return std::nullopt;
    return IDENTABLE{*base, *offset, *spacing, *bandwidth, SourceManual, static_cast<uint8_t>(*slots)};
}

bool ApplyIdentifierTables(P25Class& model, const IdentifierTables& before, const IdentifierTables& edited)
{
    for (int i = 0; i < MaxIdentifierTables; ++i)
        if (edited[i] != before[i])
            model.SetManualIdentifierTable(i, edited[i]);
    IdentifierTables now{};
    model.CopyIdentifierTables(now.data(), MaxIdentifierTables);
    for (int i = 0; i < MaxIdentifierTables; ++i)
        if (edited[i] != before[i] && now[i].Source == SourceConfirmed)
            return false;
    return true;
}

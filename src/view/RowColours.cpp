#include "view/RowColours.h"

#include "model/P25Class.h"
#include "persistence/Config.h"
#include "view/FieldNumbers.h"

namespace {

bool IsOneColor(const ColorPair& colors)
{
    return colors.Text == colors.Background;
}

int IdOf(std::string_view cell)
{
    const long value = IntegerCell(cell);
    return value < 0 || value > 0xFFFFFF ? 0 : static_cast<int>(value);
}

RowColors Plain(const ColorPair& colors)
{
    return RowColors{colors, std::nullopt, -1};
}

// A call row by colour mode; mode 2 draws the radio cells in the radio's own colours,
// when it has some (radio 0 never has).
template <typename Row>
RowColors CallRowColors(const Row& row, int colorMode, int talkgroupColumn, int radioColumn,
                        const ColorPair& defaults, const ColorSource& source)
{
    const int talkgroup = IdOf(CellAt(row, talkgroupColumn));
    const int radio = IdOf(CellAt(row, radioColumn));
    RowColors colors = Plain(CallColors(colorMode, talkgroup, radio, source).value_or(defaults));
    ColorPair radioColors;
    if (colorMode == 2 && radio != 0 && source.RadioColors(radio, radioColors) && !IsOneColor(radioColors)) {
        colors.RadioCells = radioColors;
        colors.RadioColumn = radioColumn;
    }
    return colors;
}

// The affiliation lists: the radio's colours, the talkgroup's when the radio has none; a
// row without a talkgroup (only the log has them) in the defaults. A last look-up that
// found no colours at all (0 and 0) would hide the text; such a row keeps the defaults too.
template <typename Row>
RowColors AffiliationColors(const CONFIG& config, const Row& row, int position, int talkgroupColumn,
                            int radioColumn, const ColorSource& source)
{
    if (!config.AffiliationsUseTGColors)
        return Plain(OddEvenColors(config, position));
    const std::string_view talkgroup = CellAt(row, talkgroupColumn);
    ColorPair colors;
    if (!talkgroup.empty() && !source.RadioColors(IdOf(CellAt(row, radioColumn)), colors))
        source.TalkgroupColors(IdOf(talkgroup), colors);
    return Plain(IsOneColor(colors) ? DefaultTalkgroupColors(config) : colors);
}

bool IsTalkgroupGrant(std::string_view type)
{
    return type == "Group" || type == "Data" || type == "Group (Enc)" || type == "Group (Emrg)";
}

}

bool ModelColorSource::TalkgroupColors(int talkgroup, ColorPair& colors) const
{
    return m_model.GetTalkgroupColors(talkgroup, colors.Text, colors.Background);
}

bool ModelColorSource::RadioColors(int radio, ColorPair& colors) const
{
    return m_model.GetRadioColors(radio, colors.Text, colors.Background);
}

ColorPair OddEvenColors(const CONFIG& config, int position)
{
    return position % 2 == 0 ? ColorPair{config.EvenText, config.EvenBackground}
                             : ColorPair{config.OddText, config.OddBackground};
}

ColorPair DefaultTalkgroupColors(const CONFIG& config)
{
    return {config.DefaultText, config.DefaultBackground};
}

std::optional<ColorPair> CallColors(int colorMode, int talkgroup, int radio, const ColorSource& source)
{
    ColorPair colors;
    switch (colorMode) {
    case 0:
        source.RadioColors(radio, colors);
        if (IsOneColor(colors))
            source.TalkgroupColors(talkgroup, colors);
        break;
    case 1:
        source.TalkgroupColors(talkgroup, colors);
        if (IsOneColor(colors))
            source.RadioColors(radio, colors);
        break;
    case 2:
        source.TalkgroupColors(talkgroup, colors);
        break;
    default:
        return std::nullopt;
    }
    if (IsOneColor(colors))
        return std::nullopt;
    return colors;
}

RowColors ActivityRowColors(const CONFIG& config, const TextRow& row, const ColorSource& source)
{
    using namespace ActivityColumn;
    // The channel's usage is the "Type" cell, before any " (options)".
    const std::string_view type = CellAt(row, Type);
    if (type.substr(0, type.find(" (")) == "Control")
        return Plain({config.ControlText, config.ControlBackground});
    const ColorPair defaults = DefaultTalkgroupColors(config);
    if (type.empty())
        return Plain(defaults);
    return CallRowColors(row, config.ActivityColorMode, TlkGrp, RadioId, defaults, source);
}

RowColors GrantRowColors(const CONFIG& config, const LogRow& row, int position, const ColorSource& source)
{
    using namespace GrantColumn;
    if (!config.GrantsUseTGColors)
        return Plain(OddEvenColors(config, position));
    // The list's own colours: with talkgroup colours on, its background is the default one.
    const ColorPair defaults = DefaultTalkgroupColors(config);
    if (!IsTalkgroupGrant(CellAt(row, Type)))
        return Plain(defaults);
    return CallRowColors(row, config.GrantsColorMode, TgId, RadioId, defaults, source);
}

RowColors AffiliationRowColors(const CONFIG& config, const TextRow& row, int position, const ColorSource& source)
{
    return AffiliationColors(config, row, position, AffiliationColumn::TalkGroup, AffiliationColumn::RadioId, source);
}

RowColors AffiliationLogRowColors(const CONFIG& config, const LogRow& row, int position,
                                  const ColorSource& source)
{
    return AffiliationColors(config, row, position, AffiliationLogColumn::TgId, AffiliationLogColumn::RadioId,
                             source);
}

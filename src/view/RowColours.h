#pragma once
#include <cstdint>
#include <optional>

#include "view/ListColumns.h"

class P25Class;
struct CONFIG;

// The colours of the main window's rows. Colours are 0x00BBGGRR, as in CONFIG.

struct ColorPair
{
    uint32_t Text = 0;
    uint32_t Background = 0;

    friend bool operator==(const ColorPair&, const ColorPair&) = default;
};

// A row's colours; the two radio cells may differ from the rest of the row.
struct RowColors
{
    ColorPair Row;
    std::optional<ColorPair> RadioCells;
    // The "Radio ID" column; its description is the column after it.
    int RadioColumn = -1;

    ColorPair At(int column) const
    {
        return RadioCells && (column == RadioColumn || column == RadioColumn + 1) ? *RadioCells : Row;
    }
};

// The talkgroup and radio colour look-ups, answered as P25Class's GetTalkgroupColors and
// GetRadioColors answer them (the success flag and the pair).
class ColorSource
{
public:
    virtual ~ColorSource() = default;
    virtual bool TalkgroupColors(int talkgroup, ColorPair& colors) const = 0;
    virtual bool RadioColors(int radio, ColorPair& colors) const = 0;
};

class ModelColorSource : public ColorSource
{
public:
    explicit ModelColorSource(const P25Class& model) : m_model(model) {}
    bool TalkgroupColors(int talkgroup, ColorPair& colors) const override;
    bool RadioColors(int radio, ColorPair& colors) const override;

private:
    const P25Class& m_model;
};

// Rows 0, 2, 4 ... in the Even colours, the others in the Odd ones.
ColorPair OddEvenColors(const CONFIG& config, int position);
ColorPair DefaultTalkgroupColors(const CONFIG& config);

// The colours of a call by colour mode: 0 radio, then talkgroup when the radio's pair is
// one colour; 1 the other way round; 2 talkgroup alone; others no look-up. None when the
// pair finally obtained is one colour (or nothing was looked up): the row keeps its defaults.
std::optional<ColorPair> CallColors(int colorMode, int talkgroup, int radio, const ColorSource& source);

RowColors ActivityRowColors(const CONFIG& config, const TextRow& row, const ColorSource& source);
// The grant trace and the recent grants list (same columns); position is the row's place
// from the top, for the odd/even colours.
RowColors GrantRowColors(const CONFIG& config, const LogRow& row, int position, const ColorSource& source);
RowColors AffiliationRowColors(const CONFIG& config, const TextRow& row, int position, const ColorSource& source);
RowColors AffiliationLogRowColors(const CONFIG& config, const LogRow& row, int position,
                                  const ColorSource& source);

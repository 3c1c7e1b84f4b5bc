#include <gtest/gtest.h>

#include "model/P25Class.h"
#include "view/EditorRules.h"

namespace {

constexpr ColorPair Defaults{0x000000, 0xFFFFFF};
constexpr ColorPair Red{0x0000FF, 0x000000};

}

TEST(EditorFields, WhatLeavingTheNumberFieldDoes)
{
    const struct
    {
        const char* text;
        FieldCheck talkgroup;
        FieldCheck radio;
    } cases[] = {
        {"", {FieldLeave::Nothing, 0}, {FieldLeave::Nothing, 0}},
        {"  ", {FieldLeave::Nothing, 0}, {FieldLeave::Nothing, 0}},
        {"1", {FieldLeave::Load, 1}, {FieldLeave::Load, 1}},
        {" 65535", {FieldLeave::Load, 65535}, {FieldLeave::Load, 65535}},
        {"0", {FieldLeave::Refocus, 0}, {FieldLeave::Refocus, 0}},
        {"-4", {FieldLeave::Refocus, 0}, {FieldLeave::Refocus, 0}},
        {"70000", {FieldLeave::Refocus, 0}, {FieldLeave::Load, 70000}},
        {"12ab", {FieldLeave::Refocus, 0}, {FieldLeave::Nothing, 0}},
        {"99999999999", {FieldLeave::Refocus, 0}, {FieldLeave::Nothing, 0}},
    };
    for (const auto& c : cases) {
        const FieldCheck talkgroup = CheckTalkgroupField(c.text);
        const FieldCheck radio = CheckRadioField(c.text);
        EXPECT_EQ(talkgroup.Action, c.talkgroup.Action) << '"' << c.text << '"';
        EXPECT_EQ(talkgroup.Id, c.talkgroup.Id) << '"' << c.text << '"';
        EXPECT_EQ(radio.Action, c.radio.Action) << '"' << c.text << '"';
        EXPECT_EQ(radio.Id, c.radio.Id) << '"' << c.text << '"';
        EXPECT_EQ(CanApplyTalkgroup(c.text), c.talkgroup.Action == FieldLeave::Load);
        EXPECT_EQ(CanApplyRadio(c.text), c.radio.Action == FieldLeave::Load);
    }
}

TEST(EditorFields, PriorityOutsideItsRangeShowsTheUpDownPosition)
{
    EXPECT_EQ(PriorityFieldValue("0", 40), 0);
    EXPECT_EQ(PriorityFieldValue("99", 40), 99);
    EXPECT_EQ(PriorityFieldValue("100", 40), 40);
    EXPECT_EQ(PriorityFieldValue("-1", 40), 40);
    EXPECT_EQ(PriorityFieldValue("", 40), 40);
}

TEST(EditorLoads, TalkgroupAndRadio)
{
    P25Class model;
    model.SetDefaultColors(Defaults.Text, Defaults.Background);

    const TalkgroupEdit empty = EmptyTalkgroupEdit(Defaults);
    EXPECT_EQ(empty.Priority, 50);
    EXPECT_EQ(empty.Colors, Defaults);

    EXPECT_EQ(LoadTalkgroupEdit(model, 4000, Defaults).Priority, 50);

    model.SetTalkgroup(100, "Fire", 0, 7, 1);
    model.SetTalkgroupColors(100, Red.Text, Red.Background);
    const TalkgroupEdit known = LoadTalkgroupEdit(model, 100, Defaults);
    EXPECT_EQ(known.Name, "Fire");
    EXPECT_EQ(known.Priority, 7);
    EXPECT_TRUE(known.EmrgIgnore);
    EXPECT_EQ(known.Colors, Red);

    model.SetRadio(2001, "Engine 1", 0);
    EXPECT_EQ(LoadRadioEdit(model, 2001, Defaults).Colors, Defaults);
    model.SetRadioColors(2001, Red.Text, Red.Background);
    const RadioEdit radio = LoadRadioEdit(model, 2001, Defaults);
    EXPECT_EQ(radio.Description, "Engine 1");
    EXPECT_EQ(radio.Colors, Red);
}

TEST(EditorApply, TheDefaultPairIsStoredAsZeroAndZero)
{
    EXPECT_EQ(StoredColors(Defaults, Defaults), (ColorPair{0, 0}));
    EXPECT_EQ(StoredColors(Red, Defaults), Red);

    P25Class model;
    ApplyTalkgroupEdit(model, 300, {"Police", Defaults, 120, false}, Defaults);
    TGTAG talkgroup;
    ASSERT_TRUE(model.GetTalkgroup(300, talkgroup));
    EXPECT_EQ(talkgroup.Description, "Police");
    EXPECT_EQ(talkgroup.Priority, 99);
    EXPECT_EQ(talkgroup.TextColor, 0u);
    EXPECT_EQ(talkgroup.BackColor, 0u);
    EXPECT_NE(talkgroup.LastSeen, 0);

    ApplyRadioEdit(model, 2002, {"Medic 2", Red}, Defaults);
    RADTAG radio;
    ASSERT_TRUE(model.GetRadio(2002, radio));
    EXPECT_EQ(radio.Description, "Medic 2");
    EXPECT_EQ(radio.TextColor, Red.Text);
    EXPECT_EQ(radio.BackColor, Red.Background);
}

TEST(ReadAddRange, LowMayNotExceedHigh)
{
    const AddRangeResult ok = ReadAddRange("100", " 100");
    EXPECT_TRUE(ok.Add);
    EXPECT_EQ(ok.Low, 100);
    EXPECT_EQ(ok.High, 100);
    const AddRangeResult reversed = ReadAddRange("200", "100");
    EXPECT_FALSE(reversed.Add);
    EXPECT_EQ(reversed.Caption, "Range Error");
    EXPECT_EQ(reversed.Text, "The low value may not be higher than the high value");
    EXPECT_EQ(ReadAddRange("", "100").Text, "");
}

TEST(IdentifierTableEditor, RowsShowEveryStatusAndEmptyTablesOnlyTheirNumber)
{
    using Row = std::vector<std::string>;
    EXPECT_EQ(IdentifierTableRow(3, IDENTABLE{}), (Row{"03", "", "", "", "", "", ""}));
    EXPECT_EQ(IdentifierTableRow(0, IDENTABLE{851.00625, -45.0, 0.00625, 0.0125, SourceAssumed, 1}),
              (Row{"00", "851.00625", "0.00625", "0.01250", "1", "-45.00000", "Assumed"}));
    EXPECT_EQ(IdentifierTableRow(12, IDENTABLE{769.00625, 30.0, 0.0125, 0.0125, SourceManual, 2})[6], "Manual");
    EXPECT_EQ(IdentifierTableRow(12, IDENTABLE{769.00625, 30.0, 0.0125, 0.0125, SourceConfirmed, 2})[6], "Confirmed");
    EXPECT_EQ(IdentifierTableRow(12, IDENTABLE{769.00625, 30.0, 0.0125, 0.0125, 9, 2})[6], "Assumed");
}

TEST(IdentifierTableEditor, FieldsOutsideTheirRangesGiveNoTable)
{
    const IdentifierTableFields good{"851.00625", "0.00625", "-45", "0.0125", "1"};
    EXPECT_EQ(ReadTableFields(good), (IDENTABLE{851.00625, -45.0, 0.00625, 0.0125, SourceManual, 1}));
    EXPECT_EQ(ReadTableFields(TableFields(*ReadTableFields(good))), ReadTableFields(good));
    EXPECT_EQ(ReadTableFields({"769", "0.0125", "", "", "2"}), (IDENTABLE{769.0, 0.0, 0.0125, 0.0, SourceManual, 2}));
    const IdentifierTableFields bad[] = {
        {"", "0.00625", "0", "0", "1"},          {"0", "0.00625", "0", "0", "1"},
        {"851,5", "0.00625", "0", "0", "1"},     {"12500", "0.00625", "0", "0", "1"},
        {"851", "6.25", "0", "0", "1"},          {"851", "0", "0", "0", "1"},
        {"851", "0.00625", "x", "0", "1"},       {"851", "0.00625", "-1000", "0", "1"},
        {"851", "0.00625", "0", "12.5", "1"},    {"851", "0.00625", "0", "0", "0"},
        {"851", "0.00625", "0", "0", "7"},       {"851", "0.00625", "0", "0", ""},
    };
    for (const auto& fields : bad)
        EXPECT_FALSE(ReadTableFields(fields)) << fields.Base << " " << fields.Spacing << " " << fields.Offset << " "
                                              << fields.Bandwidth << " " << fields.Slots;
    EXPECT_EQ(TableFields(IDENTABLE{}).Slots, "1");
}

TEST(IdentifierTableEditor, DoneStoresOnlyChangedTablesAndLosesToTheSite)
{
    P25Class model;
    model.SetSystemAndSite(0x123, 1, 0x70, 2);
    IdentifierTables before{};
    model.CopyIdentifierTables(before.data(), MaxIdentifierTables);
    IdentifierTables edited = before;
    edited[4] = *ReadTableFields({"452.5", "0.0125", "5", "0.0125", "1"});
    EXPECT_TRUE(ApplyIdentifierTables(model, before, edited));
    IdentifierTables now{};
    model.CopyIdentifierTables(now.data(), MaxIdentifierTables);
    EXPECT_EQ(now[4], edited[4]);
    EXPECT_EQ(now[0].Base, 0.0); // a stored table ends the assumed ones

    // The site sends table 4 while the editor is open: its table stays.
    before = now;
    edited = now;
    edited[4].Base = 453.0;
    const IDENTABLE received{454.0, 5.0, 0.0125, 0.0125, SourceConfirmed, 1};
    model.SetIdentifierTable(4, received);
    EXPECT_FALSE(ApplyIdentifierTables(model, before, edited));
    EXPECT_FALSE(CanEditIdentifierTable(received));
    model.CopyIdentifierTables(now.data(), MaxIdentifierTables);
    EXPECT_EQ(now[4], received);
}

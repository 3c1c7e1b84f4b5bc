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

#include <gtest/gtest.h>

#include "persistence/Config.h"
#include "view/ConfigRules.h"

TEST(ApplyConfigOkRules, BackupDaysAndTheSharedPort)
{
    const struct
    {
        int days;
        const char* decodePort;
        const char* controlPort;
        int savedDays;
        bool controlEnabled;
    } cases[] = {
        {0, "COM1", "COM2", 1, true},
        {500, "COM1", "COM2", 365, true},
        {7, "COM3", "COM3", 7, false},
        {365, "COM3", "com3", 365, false},
    };
    for (const auto& c : cases) {
        CONFIG config;
        config.BackupDays = c.days;
        config.CommPort = c.decodePort;
        config.ControlPort = c.controlPort;
        config.ScanControlEnabled = true;
        ApplyConfigOkRules(config);
        EXPECT_EQ(config.BackupDays, c.savedDays);
        EXPECT_EQ(config.ScanControlEnabled, c.controlEnabled);
    }
    EXPECT_EQ(LimitBackupDays(-3), 1);
}

TEST(PortLists, ShowAllOrProbedWithTheDecodePortLeftOut)
{
    const PortList all = DecodePortList(true, 4, {7}, "COM3");
    EXPECT_EQ(all.Names, (std::vector<std::string>{"COM1", "COM2", "COM3", "COM4"}));
    EXPECT_EQ(all.Selected, 2);
    EXPECT_FALSE(all.RescanVisible);

    const PortList probed = DecodePortList(false, 16, {1, 5, 17}, "com5");
    EXPECT_EQ(probed.Names, (std::vector<std::string>{"COM1", "COM5"}));
    EXPECT_EQ(probed.Selected, 0); // the decode list compares as written
    EXPECT_TRUE(probed.RescanVisible);

    const PortList allControl = ControlPortList(true, 3, {}, "COM2", "com2");
    EXPECT_EQ(allControl.Names, (std::vector<std::string>{"COM1", "COM2", "COM3"}));
    EXPECT_EQ(allControl.Selected, 1);
    EXPECT_TRUE(allControl.RescanVisible);
    EXPECT_FALSE(allControl.RescanEnabled);
    EXPECT_TRUE(allControl.ControlAllowed);

    const PortList control = ControlPortList(false, 255, {1, 2, 6}, "COM2", "COM9");
    EXPECT_EQ(control.Names, (std::vector<std::string>{"COM1", "COM6"}));
    EXPECT_EQ(control.Selected, 0);
    EXPECT_TRUE(control.RescanEnabled);

    // One serial port: nothing left to control.
    const PortList single = ControlPortList(false, 255, {1}, "COM1", "COM2");
    EXPECT_TRUE(single.Names.empty());
    EXPECT_EQ(single.Selected, -1);
    EXPECT_FALSE(single.ControlAllowed);
}

TEST(ConfigChoices, FallbacksBarColoursAndProxy)
{
    EXPECT_EQ(UnidenSpeedIndex(4800), 0);
    EXPECT_EQ(UnidenSpeedIndex(12345), 5);
    EXPECT_STREQ(UnidenSpeedChoices[static_cast<size_t>(UnidenSpeedIndex(12345))], "115200");
    EXPECT_EQ(GrantLogMaxIndex(200), 10);
    EXPECT_STREQ(GrantLogMaxChoices[static_cast<size_t>(GrantLogMaxIndex(33))], "20");

    const std::optional<uint32_t> bars[] = {std::nullopt, 0x000000, 0x0000FF, 0x00FF00, 0x00FFFF, 0xFF0000, 0xFFFFFF};
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(DecodeBarColor(i), bars[i]) << i;
    EXPECT_EQ(DecodeBarColor(7), std::nullopt);

    // "Automatic", "No Proxy", "Manual Configuration" <-> 0, 2, 1.
    const int types[] = {0, 2, 1};
    for (int choice = 0; choice < 3; ++choice) {
        EXPECT_EQ(ProxyTypeOfChoice(choice), types[choice]);
        EXPECT_EQ(ProxyChoiceOfType(types[choice]), choice);
        EXPECT_EQ(ProxyFieldsEnabled(choice), choice == 2);
    }
    EXPECT_EQ(ProxyChoiceOfType(9), 0);

    EXPECT_EQ(LatencyText(5), "  5 ms");
    EXPECT_EQ(GrantFilterLevelValue("0", 90), 90);
}

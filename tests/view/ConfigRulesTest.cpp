#include <gtest/gtest.h>

#include "persistence/Config.h"
#include "view/ConfigRules.h"

#include "support/TemporaryFolder.h"

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

TEST(PortLists, DevicesFoundByPathComNumberOrDevName)
{
    const std::vector<SerialDevice> present = {
        {"/dev/ttyS0", ""}, {"/dev/ttyUSB0", "usb-FTDI_FT232R-if00"}, {"/dev/ttyUSB1", ""}};
    const struct
    {
        const char* current;
        int selected;
    } cases[] = {
        {"/dev/ttyUSB1", 2}, {"COM2", 1}, {"com3", 2}, {"ttyUSB0", 1}, {"COM4", 0},
        {"COM", 0},          {"COM2x", 0}, {"/dev/ttyACM0", 0}, {"", 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DecodeDeviceList(false, 255, present, c.current).Selected, c.selected) << c.current;

    const PortList decode = DecodeDeviceList(false, 2, present, "COM1");
    EXPECT_EQ(decode.Names, (std::vector<std::string>{"/dev/ttyS0", "/dev/ttyUSB0"}));
    EXPECT_EQ(decode.Labels, (std::vector<std::string>{"/dev/ttyS0", "/dev/ttyUSB0 (usb-FTDI_FT232R-if00)"}));
    EXPECT_TRUE(decode.RescanVisible);

    // "COM2" is the adapter: left out, and the stored control port on it falls back.
    const PortList control = ControlDeviceList(false, 255, present, "COM2", "/dev/ttyUSB0");
    EXPECT_EQ(control.Names, (std::vector<std::string>{"/dev/ttyS0", "/dev/ttyUSB1"}));
    EXPECT_EQ(control.Selected, 0);
    EXPECT_TRUE(control.ControlAllowed);

    const PortList single = ControlDeviceList(false, 255, {{"/dev/ttyUSB0", ""}}, "/dev/ttyUSB0", "COM2");
    EXPECT_TRUE(single.Names.empty());
    EXPECT_EQ(single.Selected, -1);
    EXPECT_FALSE(single.ControlAllowed);

    const PortList all = ControlDeviceList(true, 4, present, "COM2", "com2");
    EXPECT_EQ(all.Labels, (std::vector<std::string>{"COM1", "COM2", "COM3", "COM4"}));
    EXPECT_EQ(all.Selected, 1);
    EXPECT_FALSE(all.RescanEnabled);
}

TEST(ConfigChoices, TypedBackupDaysAndQuietFrequency)
{
    const struct
    {
        const char* text;
        int days;
    } cases[] = {{"0", 1}, {"500", 365}, {" 30 ", 30}, {"abc", 7}, {"", 7}, {"-5", 1}, {"99999999999999999999", 7}};
    for (const auto& c : cases)
        EXPECT_EQ(BackupDaysValue(c.text, 7), c.days) << c.text;
    EXPECT_DOUBLE_EQ(QuietFrequencyValue("851.0125", 866.0), 851.0125);
    EXPECT_DOUBLE_EQ(QuietFrequencyValue("851,5", 866.0), 866.0);
    EXPECT_EQ(QuietFrequencyText(866.0), "866.00000");
}

TEST(PortLists, TheStoredPortIsKeptAndATypedOneTaken)
{
    const std::vector<SerialDevice> present = {{"/dev/ttyS0", ""}, {"/dev/ttyUSB0", "FTDI"}};
    const struct
    {
        const char* stored;
        std::vector<std::string> names;
        int selected;
    } cases[] = {
        {"/dev/pts/3", {"/dev/pts/3", "/dev/ttyS0", "/dev/ttyUSB0"}, 0}, // never probed
        {"/dev/ttyUSB1", {"/dev/ttyUSB1", "/dev/ttyS0", "/dev/ttyUSB0"}, 0}, // unplugged
        {"COM2", {"/dev/ttyS0", "/dev/ttyUSB0"}, 1},
        {"", {"/dev/ttyS0", "/dev/ttyUSB0"}, 0},
    };
    for (const auto& c : cases) {
        const PortList list = KeepStoredPort(DecodeDeviceList(false, 255, present, c.stored), c.stored);
        EXPECT_EQ(list.Names, c.names) << c.stored;
        EXPECT_EQ(list.Selected, c.selected) << c.stored;
    }
    // The control list keeps its stored port too, even the one the decode list holds.
    const PortList control = KeepStoredPort(ControlDeviceList(false, 255, present, "COM2", "ttyUSB0"), "ttyUSB0");
    EXPECT_EQ(control.Names, (std::vector<std::string>{"ttyUSB0", "/dev/ttyS0"}));
    EXPECT_TRUE(control.ControlAllowed);
    EXPECT_TRUE(KeepStoredPort(ControlDeviceList(false, 255, {{"/dev/ttyS0", ""}}, "COM1", "/dev/pts/4"), "/dev/pts/4")
                    .ControlAllowed);

    const PortList decode = DecodeDeviceList(false, 255, present, "COM1");
    EXPECT_EQ(ChosenPort(decode, "/dev/ttyUSB0 (FTDI)", "COM1"), "/dev/ttyUSB0");
    EXPECT_EQ(ChosenPort(decode, " /dev/pts/7 ", "COM1"), "/dev/pts/7");
    EXPECT_EQ(ChosenPort(decode, "", "COM1"), "COM1");
}

TEST(OkValue, AnUntouchedControlKeepsTheStoredValue)
{
    EXPECT_EQ(OkValue(1234, 115200, 115200), 1234); // a speed the list cannot show
    EXPECT_EQ(OkValue(1234, 115200, 9600), 9600);
    EXPECT_EQ(OkValue(std::string("/dev/pts/3"), std::string("/dev/ttyS0"), std::string("/dev/ttyS0")), "/dev/pts/3");
}

TEST(CheckMqttSettings, HostPrefixAndCaFileWhilePublishing)
{
    TemporaryFolder folder;
    WriteText(folder / "ca.pem", "-----BEGIN CERTIFICATE-----\n");
    const struct
    {
        bool enabled;
        const char* host;
        const char* prefix;
        bool tls;
        std::string caFile;
        MqttField field;
        std::string message;
    } cases[] = {
        {true, "broker.lan", "zembrant", true, folder / "ca.pem", MqttField::None, ""},
        {true, " localhost ", "a/b", false, folder / "missing.pem", MqttField::None, ""}, // no TLS: unused
        {false, "", "#", true, folder / "missing.pem", MqttField::None, ""},
        {true, " ", "zembrant", false, "", MqttField::Host, "Host: enter the name or address of the MQTT broker."},
        {true, "my broker", "zembrant", false, "", MqttField::Host,
         "Host: the name of the MQTT broker cannot contain spaces."},
        {true, "localhost", "", false, "", MqttField::TopicPrefix,
         "Topic prefix: enter the first level of the topics, such as zembrant."},
        {true, "localhost", "p25/#", false, "", MqttField::TopicPrefix,
         "Topic prefix: + and # are MQTT wildcards and cannot be part of a topic."},
        {true, "localhost", "/p25", false, "", MqttField::TopicPrefix, "Topic prefix: it cannot start or end with /."},
        {true, "localhost", "p25/", false, "", MqttField::TopicPrefix, "Topic prefix: it cannot start or end with /."},
        {true, "localhost", "p25", true, folder / "missing.pem", MqttField::CaFile,
         "CA file: there is no file " + folder / "missing.pem" + "."},
        {true, "localhost", "p25", true, folder.Path(), MqttField::CaFile,
         "CA file: there is no file " + folder.Path() + "."},
    };
    for (const auto& c : cases) {
        CONFIG config;
        config.MqttEnabled = c.enabled;
        config.MqttHost = c.host;
        config.MqttTopicPrefix = c.prefix;
        config.MqttTls = c.tls;
        config.MqttCaFile = c.caFile;
        const MqttRefusal refusal = CheckMqttSettings(config);
        EXPECT_EQ(refusal.Field, c.field) << c.host << " " << c.prefix << " " << c.caFile;
        EXPECT_EQ(refusal.Message, c.message);
    }
    CONFIG config;
    config.MqttHost = "\tbroker.lan ";
    ApplyConfigOkRules(config);
    EXPECT_EQ(config.MqttHost, "broker.lan");
}

TEST(MqttFields, ClientIdAndHint)
{
    EXPECT_EQ(DefaultMqttClientId("shack"), "zembrant-shack");
    EXPECT_EQ(DefaultMqttClientId(""), "zembrant");
    EXPECT_EQ(MqttTopicHint("p25"), "Events are published under p25/<sysid>/<rfss>-<site>/<type>; "
                                    "watch them with mosquitto_sub -t 'p25/#' -v");
    EXPECT_EQ(MqttTopicHint(""), "Events are published under PREFIX/<sysid>/<rfss>-<site>/<type>; "
                                 "watch them with mosquitto_sub -t 'PREFIX/#' -v");
}

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "input/TCommPort.h"
#include "support/TestScanner.h"

namespace fs = std::filesystem;

namespace {

class TempTree
{
public:
    TempTree() : m_root(fs::temp_directory_path() / ("zembrant-ports-" + std::to_string(::getpid())))
    {
        fs::remove_all(m_root);
        fs::create_directories(m_root);
    }
    ~TempTree() { fs::remove_all(m_root); }

    const fs::path& Root() const { return m_root; }

    // A /sys/class/tty entry; withDevice puts a device behind it; uartType writes "type".
    void AddTty(const std::string& name, bool withDevice, int uartType = -1)
    {
        const fs::path entry = m_root / "sys/class/tty" / name;
        fs::create_directories(entry);
        if (withDevice)
            fs::create_directories(entry / "device");
        if (uartType >= 0)
            std::ofstream(entry / "type") << uartType << "\n";
    }

private:
    fs::path m_root;
};

}

TEST(TCommPort, OpenFailuresCarryTheirTexts)
{
    TCommPort port;
    port.SetPortName("/dev/zembrant-no-such-port");
    EXPECT_FALSE(port.Open());
    char text[TCommPort::ErrorTextSize];
    EXPECT_EQ(port.LastError(text), ENOENT);
    EXPECT_STREQ(text, "Port does not exist!");

    // Not a terminal at all: the settings step fails and says why.
    const fs::path file = fs::temp_directory_path() / "zembrant-not-a-port";
    std::ofstream(file) << "x";
    port.SetPortName(file.string());
    EXPECT_FALSE(port.Open());
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(port.ErrorText(), "Error Code 25 (Inappropriate ioctl for device)");
    fs::remove(file);
}

TEST(TCommPort, SecondOpenerIsRefusedUntilTheFirstCloses)
{
    TestScanner scanner;
    TCommPort first;
    TCommPort second;
    first.SetPortName(scanner.SlavePath());
    second.SetPortName(scanner.SlavePath());
    // A pseudo-terminal has no modem lines; that must not stop the open.
    ASSERT_TRUE(first.Open()) << first.ErrorText();
    EXPECT_FALSE(first.RaiseDtr());
    EXPECT_FALSE(second.Open());
    EXPECT_EQ(second.ErrorText(), "Access Denied: Port is already in use!");

    EXPECT_FALSE(first.Open());
    EXPECT_TRUE(first.IsOpen());
    EXPECT_EQ(first.FindFirstPort(16), -2);

    first.Close();
    EXPECT_TRUE(second.Open()) << second.ErrorText();
}

TEST(TCommPort, SettingsAreKeptWhileClosedAndRefusedChangesAreUndone)
{
    TestScanner scanner;
    TCommPort port;
    port.SetPortName(scanner.SlavePath());
    EXPECT_TRUE(port.SetBaudRate(115200));
    EXPECT_TRUE(port.SetBaudRate(12345)); // closed: only stored
    EXPECT_FALSE(port.Open());            // and refused when applied
    EXPECT_TRUE(port.SetBaudRate(115200));
    ASSERT_TRUE(port.Open()) << port.ErrorText();
    EXPECT_FALSE(port.SetBaudRate(12345));
    EXPECT_FALSE(port.SetByteSize(9));
    EXPECT_TRUE(port.SetStopBits(2));
    port.SetPortName("/dev/other");
    EXPECT_EQ(port.PortName(), scanner.SlavePath());
}

TEST(TCommPort, ReadReturnsWhatCameAndWritesReachTheOtherSide)
{
    TestScanner scanner;
    TCommPort port;
    port.SetPortName(scanner.SlavePath());
    ASSERT_TRUE(port.Open());

    ASSERT_TRUE(scanner.Write(std::vector<uint8_t>{1, 2, 3, 4}));
    EXPECT_EQ(port.WaitForBytes(1000), 4);
    uint8_t buffer[10];
    std::fill(std::begin(buffer), std::end(buffer), 0xEE);
    EXPECT_EQ(port.Read(buffer, 10), 4);
    EXPECT_EQ(buffer[3], 4);
    EXPECT_EQ(buffer[4], 0);
    EXPECT_EQ(port.BytesWaiting(), 0);

    scanner.Write("abc");
    EXPECT_EQ(port.WaitForBytes(1000), 3);
    EXPECT_TRUE(port.PurgeInput());
    EXPECT_EQ(port.BytesWaiting(), 0);
    EXPECT_EQ(port.ReadByte(), 0);

    const uint8_t poll[] = {0x02, 0x39, 0x44, 0x03, 0x80};
    EXPECT_EQ(port.Write(poll, 5), 5);
    EXPECT_TRUE(port.WriteByte(0x06));
    EXPECT_EQ(port.WriteText("OK"), 2);
    EXPECT_EQ(scanner.ReadSent(1000), (std::vector<uint8_t>{0x02, 0x39, 0x44, 0x03, 0x80, 0x06, 'O', 'K'}));
}

TEST(TCommPort, HangUpEndsThePortInsteadOfLookingIdle)
{
    TestScanner scanner;
    TCommPort port;
    port.SetPortName(scanner.SlavePath());
    ASSERT_TRUE(port.Open());
    scanner.HangUp();
    EXPECT_EQ(port.BytesWaiting(), -1);
    // The far end closed the line: said so, not taken for a missing port.
    EXPECT_EQ(port.ErrorText(), "the scanner's port was closed (hang-up)");
    uint8_t buffer[4];
    EXPECT_EQ(port.Read(buffer, 4), 0);
}

TEST(TCommPort, ClosedPortDoesNothing)
{
    TCommPort port;
    uint8_t buffer[4];
    EXPECT_EQ(port.Read(buffer, 4), 0);
    EXPECT_EQ(port.Write(buffer, 4), 0);
    EXPECT_FALSE(port.WriteByte(1));
    EXPECT_EQ(port.BytesWaiting(), 0);
    EXPECT_FALSE(port.PurgeInput());
    EXPECT_FALSE(port.FlushOutput());
    EXPECT_FALSE(port.RaiseDtr());
}

TEST(TCommPort, EnumerationListsRealDevicesInNumberOrder)
{
    TempTree tree;
    tree.AddTty("ttyS0", true, 4);
    tree.AddTty("ttyS1", true, 0); // a UART slot without a chip
    tree.AddTty("ttyUSB10", true);
    tree.AddTty("ttyUSB2", true);
    tree.AddTty("tty0", false);    // a console, nothing behind it
    fs::create_directories(tree.Root() / "dev/serial/by-id");
    fs::create_symlink("../../ttyUSB2", tree.Root() / "dev/serial/by-id/usb-GRE_PSR-500-if00");

    const auto ports = TCommPort::ListPorts(tree.Root().string());
    ASSERT_EQ(ports.size(), 3u);
    EXPECT_EQ(ports[0].Device, (tree.Root() / "dev/ttyS0").string());
    EXPECT_EQ(ports[1].Device, (tree.Root() / "dev/ttyUSB2").string());
    EXPECT_EQ(ports[1].Description, "usb-GRE_PSR-500-if00");
    EXPECT_EQ(ports[2].Device, (tree.Root() / "dev/ttyUSB10").string());

    TCommPort port;
    port.SetEnumerationRoot(tree.Root().string());
    EXPECT_EQ(port.FindFirstPort(16), 1);
    EXPECT_EQ(port.PortName(), ports[0].Device);
    EXPECT_EQ(port.FindNextPort(16), 2);
    EXPECT_EQ(port.FindNextPort(16), 3);
    EXPECT_EQ(port.FindNextPort(16), -1);
    EXPECT_EQ(port.FindFirstPort(1), 1);
    EXPECT_EQ(port.FindNextPort(1), -1);

    // COMn is the n-th port of the list; beyond it the port does not exist.
    port.SetPortName("com2");
    EXPECT_EQ(port.DevicePath(), ports[1].Device);
    port.SetPortName("COM4");
    EXPECT_FALSE(port.Open());
    EXPECT_EQ(port.ErrorText(), "Port does not exist!");
    port.SetPortName("ttyUSB2");
    EXPECT_EQ(port.DevicePath(), ports[1].Device);
}

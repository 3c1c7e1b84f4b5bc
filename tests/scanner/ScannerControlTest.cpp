#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "platform/Files.h"
#include "scanner/ScannerControl.h"
#include "support/TemporaryFolder.h"
#include "support/TestScanner.h"

namespace {

constexpr int ReadWaitMs = 300;
// Long enough to be sure nothing more is coming.
constexpr int SilenceMs = 100;

const char TextProfile[] =
    "[Scanner]\r\n"
    "Description=Test scanner\r\n"
    "[Commands]\r\n"
    "Init=INIT $SP-KHZ$ $AF-0#######$$CR$\r\n"
    "Scan=SCAN$CR$\r\n"
    "Manual=MAN$CR$\r\n"
    "Quiet=Q$UNIDENQUIET$$CR$\r\n"
    "Active=A12 $UNIDENFREQ$ $SP-KHZ$$CR$\r\n"
    "Active5=A5 $STANDARDFREQ$$CR$\r\n"
    "Active6.25=A6 $STANDARDFREQ$ $SP-KHZ*100$$CR$\r\n"
    "Active7.5=A7$CR$\r\n"
    "Active10=A10$CR$\r\n"
    "Active25=A25 $AF-0#######$,$QF-###.####$,$SP-KHZ$$CR$$LF$\r\n"
    "Active50=A50$CR$\r\n"
    "Active100=\r\n";

std::string Text(const std::vector<uint8_t>& bytes)
{
    return std::string(bytes.begin(), bytes.end());
}

class ScannerControlTest : public ::testing::Test
{
protected:
    std::unique_ptr<ScannerControl> Open(const std::string& profile, double quiet = 866.0, int speed = 9600)
    {
        WriteText(folder / "Test.scanner", profile);
        return std::make_unique<ScannerControl>(scanner.SlavePath(), "Test.scanner", quiet, speed, folder.Path());
    }
    std::string Sent() { return Text(scanner.ReadSent(ReadWaitMs)); }
    std::string Silence() { return Text(scanner.ReadSent(SilenceMs)); }

    TemporaryFolder folder;
    TestScanner scanner;
};

// Bytes the controller's side of the line still holds unread.
int UnreadAtController(const std::string& slavePath)
{
    const int fd = ::open(slavePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    int waiting = -1;
    if (fd >= 0) {
        ::ioctl(fd, FIONREAD, &waiting);
        ::close(fd);
    }
    return waiting;
}

}

TEST_F(ScannerControlTest, TextSessionSendsEachCommandOnceAndExactly)
{
    auto control = Open(TextProfile);
    ASSERT_TRUE(control->IsActive());

    control->StartScanner();
    EXPECT_EQ(Sent(), "INIT 12.5 00000000\r");
    control->GoQuiet();
    EXPECT_EQ(Sent(), "Q08660000\r");
    control->GoQuiet();
    EXPECT_EQ(Silence(), "");

    control->TuneTo(0.0125, 851.0125);
    EXPECT_EQ(Sent(), "A12 08510125 12.5\r");
    control->TuneTo(0.0125, 851.0125);
    control->TuneTo(0.025, 851.0125);
    EXPECT_EQ(Silence(), "");

    control->TuneTo(0.025, 852.5);
    EXPECT_EQ(Sent(), "A25 08525000,866.0000,25\r\n");
    control->GoQuiet();
    EXPECT_EQ(Sent(), "Q08660000\r");

    control->ResumeScan();
    EXPECT_EQ(Sent(), "SCAN\r");
    EXPECT_EQ(control->LastFrequency(), 0.0);
    // After a scan command the same frequency goes out again.
    control->TuneTo(0.025, 852.5);
    EXPECT_EQ(Sent(), "A25 08525000,866.0000,25\r\n");
    control.reset();
    EXPECT_EQ(Silence(), "");
}

TEST_F(ScannerControlTest, SpacingChoosesItsTemplateExactly)
{
    const struct
    {
        double Spacing;
        const char* Expected;
    } cases[] = {
        {0.005, "A5 851.0125\r"},
        // 50 steps of 0.000125, as an identifier table computes it.
        {50 * 0.000125, "A6 851.0125 625\r"},
        {0.0075, "A7\r"},
        {0.01, "A10\r"},
        {0.0125, "A12 08510125 12.5\r"},
        {0.025, "A25 08510125,866.0000,25\r\n"},
        {0.05, "A50\r"},
        // Not in the list: the 12.5 kHz template, with the spacing as given.
        {0.015, "A12 08510125 15\r"},
        {0.0, "A12 08510125 0\r"},
    };
    auto control = Open(TextProfile);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Spacing);
        control->GoQuiet();
        Sent();
        control->TuneTo(c.Spacing, 851.0125);
        EXPECT_EQ(Sent(), c.Expected);
    }
}

TEST_F(ScannerControlTest, EmptyTemplatesSendNothingAndRememberNothing)
{
    // "Active100=" is empty and overrides Active; Init, Scan and Quiet are missing.
    auto control = Open("[Commands]\r\nActive=T$STANDARDFREQ$$CR$\r\nActive100=\r\n");
    ASSERT_TRUE(control->IsActive());
    control->StartScanner();
    control->GoQuiet();
    control->TuneTo(0.1, 851.0125);
    control->ResumeScan();
    EXPECT_EQ(Silence(), "");
    // The skipped tuning was not taken as sent.
    control->TuneTo(0.0125, 851.0125);
    EXPECT_EQ(Sent(), "T851.0125\r");
}

TEST_F(ScannerControlTest, QuietFrequencyZeroMeansScanning)
{
    auto control = Open(TextProfile, 0.0);
    control->GoQuiet();
    EXPECT_EQ(Sent(), "SCAN\r");
    control->GoQuiet();
    EXPECT_EQ(Silence(), "");
}

TEST_F(ScannerControlTest, DrainsTheScannersAnswer)
{
    auto control = Open(TextProfile);
    // Left over from before: the purge drops it.
    scanner.Write(std::string("STALE\r"));
    std::thread answer([this] {
        if (!scanner.ReadSent(ReadWaitMs * 3).empty())
            scanner.Write(std::string("OK\r"));
    });
    control->TuneTo(0.0125, 851.0125);
    answer.join();
    EXPECT_EQ(UnreadAtController(scanner.SlavePath()), 0);
}

TEST_F(ScannerControlTest, ChattyScannerCannotHoldTheCommand)
{
    auto control = Open(TextProfile);
    std::atomic<bool> stop{false};
    std::atomic<bool> stoppedOnItsOwn{false};
    std::thread chatter([&] {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!stop && std::chrono::steady_clock::now() < end) {
            scanner.Write(std::string("NOISE NOISE NOISE\r"));
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        stoppedOnItsOwn = !stop;
    });
    control->TuneTo(0.0125, 851.0125);
    stop = true;
    chatter.join();
    EXPECT_FALSE(stoppedOnItsOwn);
}

TEST_F(ScannerControlTest, BinaryModeSendsFrames)
{
    auto control = Open("[Commands]\r\nGRECommands=Y\r\nActive=IGNORED$CR$\r\n", 851.0125);
    ASSERT_TRUE(control->IsBinaryMode());
    EXPECT_EQ(control->Command(CommandActive12_5), "");
    control->StartScanner();
    EXPECT_EQ(Silence(), "");

    control->GoQuiet();
    EXPECT_EQ(scanner.ReadSent(ReadWaitMs),
              (std::vector<uint8_t>{0x02, 0x54, 0x94, 0x6B, 0xB9, 0x32, 0x02, 0x03, 0x43}));
    control->TuneTo(0.0125, 851.0125);
    EXPECT_EQ(Silence(), "");
    control->TuneTo(0.0125, 851.025);
    EXPECT_EQ(scanner.ReadSent(ReadWaitMs),
              (std::vector<uint8_t>{0x02, 0x54, 0x68, 0x9C, 0xB9, 0x32, 0x02, 0x03, 0x48}));
    control->ResumeScan();
    EXPECT_EQ(scanner.ReadSent(ReadWaitMs), (std::vector<uint8_t>{0x02, 0x4B, 0x0F, 0x03, 0x5D}));
}

TEST_F(ScannerControlTest, BinaryModeByteSwapAndQuietZero)
{
    auto control = Open("[Commands]\r\nGRECommands=yes\r\nByteSwap=y\r\n", 0.0);
    ASSERT_TRUE(control->IsByteSwap());
    control->TuneTo(0.0125, 851.0125);
    EXPECT_EQ(scanner.ReadSent(ReadWaitMs),
              (std::vector<uint8_t>{0x02, 0x54, 0x32, 0xB9, 0x6B, 0x94, 0x02, 0x03, 0x43}));
    control->GoQuiet();
    EXPECT_EQ(scanner.ReadSent(ReadWaitMs), (std::vector<uint8_t>{0x02, 0x4B, 0x0F, 0x03, 0x5D}));
    control->GoQuiet();
    EXPECT_EQ(Silence(), "");
}

TEST_F(ScannerControlTest, InactiveControllerSendsNothingAtAll)
{
    // No profile file anywhere.
    ScannerControl missing(scanner.SlavePath(), "NoSuch.scanner", 866.0, 9600, folder.Path());
    // A profile, but a port that does not open.
    WriteText(folder / "Test.scanner", TextProfile);
    ScannerControl noPort("/dev/zembrant-no-such-port", "Test.scanner", 866.0, 9600, folder.Path());
    // A profile name that is a folder.
    CreateDirectories(folder / "Folder.scanner");
    ScannerControl folderName(scanner.SlavePath(), "Folder.scanner", 866.0, 9600, folder.Path());

    for (ScannerControl* control : {&missing, &noPort, &folderName}) {
        EXPECT_FALSE(control->IsActive());
        control->StartScanner();
        control->GoQuiet();
        control->TuneTo(0.0125, 851.0125);
        control->ResumeScan();
        EXPECT_FALSE(control->SendCommand("RAW\r"));
    }
    EXPECT_EQ(missing.ProfilePath(), "");
    EXPECT_EQ(Silence(), "");
}

TEST_F(ScannerControlTest, ProfileSetsTheLine)
{
    {
        auto control = Open("[Scanner]\r\nPortBits=7\r\nPortParity=e\r\nPortStop=2\r\n", 866.0, 0);
        ASSERT_TRUE(control->IsActive());
        EXPECT_EQ(control->PortSpeed(), 9600);
        // A pseudo-terminal keeps 8 bits without parity whatever it is told, so those two
        // are checked on the controller; stop bits and speed on the line itself.
        EXPECT_EQ(control->DataBits(), 7);
        EXPECT_EQ(control->Parity(), "E");
        termios line{};
        ASSERT_TRUE(scanner.LineSettings(line));
        EXPECT_TRUE(line.c_cflag & CSTOPB);
        EXPECT_EQ(cfgetospeed(&line), static_cast<speed_t>(B9600));
    }
    {
        auto control = Open("[Scanner]\r\nForceSpeed=19200\r\nPortParity=O\r\nPortStop=3\r\n", 866.0, 4800);
        ASSERT_TRUE(control->IsActive());
        EXPECT_EQ(control->DataBits(), 8);
        EXPECT_EQ(control->Parity(), "O");
        termios line{};
        ASSERT_TRUE(scanner.LineSettings(line));
        EXPECT_FALSE(line.c_cflag & CSTOPB);
        EXPECT_EQ(cfgetospeed(&line), static_cast<speed_t>(B19200));
    }
}

TEST_F(ScannerControlTest, MalformedProfileGivesDefaultsAndSendsTextUnchanged)
{
    auto control = Open("\x01\x02garbage\r\n[Scanner\r\nPortBits=lots\r\n[Scanner]\r\nPortBits=99\r\n"
                        "PortStop=two\r\nForceSpeed=fast\r\n[Commands]\r\nGRECommands\r\n"
                        "Active=RF$UNIDENFREQ $ $CR$\r\nQuiet=$\r\n",
                        866.0, 4800);
    ASSERT_TRUE(control->IsActive());
    EXPECT_EQ(control->DataBits(), 8);
    EXPECT_EQ(control->StopBits(), 1);
    EXPECT_EQ(control->PortSpeed(), 4800);
    EXPECT_FALSE(control->IsBinaryMode());
    control->GoQuiet();
    EXPECT_EQ(Sent(), "$");
    control->TuneTo(0.0125, 851.0125);
    EXPECT_EQ(Sent(), "RF$UNIDENFREQ $ \r");
}

TEST_F(ScannerControlTest, FrequenciesNoScannerTakesAreNotSent)
{
    const struct
    {
        double Quiet;
        const char* Notice;
    } cases[] = {
        {1e308, "the quiet frequency 1e+308 MHz is not sent: a scanner takes 1 to 3000 MHz"},
        {-5.0, "the quiet frequency -5 MHz is not sent: a scanner takes 1 to 3000 MHz"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Quiet);
        auto control = Open(TextProfile, c.Quiet);
        std::vector<std::string> notices;
        control->onNotice = [&notices](const std::string& text) { notices.push_back(text); };
        control->GoQuiet();
        control->GoQuiet();
        control->TuneTo(0.0125, 0.0);
        control->TuneTo(0.0125, 1e10);
        EXPECT_EQ(Silence(), "");
        control->TuneTo(0.0125, 851.0125);
        EXPECT_EQ(Sent(), "A12 08510125 12.5\r");
        EXPECT_EQ(notices, (std::vector<std::string>{c.Notice, "the channel frequency 0 MHz is not sent: a scanner "
                                                               "takes 1 to 3000 MHz"}));
    }
}

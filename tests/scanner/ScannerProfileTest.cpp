#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Files.h"
#include "scanner/CommandTemplates.h"
#include "scanner/ScannerProfile.h"
#include "support/TemporaryFolder.h"

namespace {

const std::string Shipped = std::string(ZEMBRANT_PROFILES) + "/";

}

TEST(ScannerProfile, ReadsEveryKey)
{
    TemporaryFolder folder;
    WriteText(folder / "Full.scanner", "; a comment\r\n"
                                       "[Scanner]\r\nDescription=My scanner\r\nPortBits=7\r\nPortParity=o\r\n"
                                       "PortStop=2\r\nForceSpeed=19200\r\n"
                                       "[Commands]\r\nInit=I\r\nScan=S\r\nManual=M\r\nQuiet=Q\r\nActive=A\r\n"
                                       "Active5=A5\r\nactive6.25=A6\r\nActive100=A100\r\nByteSwap=Yes\r\n");
    const SCANPROFILE profile = ReadScannerProfile(folder / "Full.scanner");
    EXPECT_EQ(profile.Description, "My scanner");
    EXPECT_EQ(profile.PortBits, 7);
    EXPECT_EQ(profile.PortParity, "O");
    EXPECT_EQ(profile.PortStop, 2);
    EXPECT_TRUE(profile.HasForceSpeed);
    EXPECT_EQ(profile.ForceSpeed, 19200);
    EXPECT_FALSE(profile.BinaryMode);
    // Without GRECommands the byte order is not read at all.
    EXPECT_FALSE(profile.ByteSwap);
    const std::array<std::string, ScannerCommandCount> commands = {"I", "S", "M", "Q", "A5", "A6",
                                                                    "A", "A", "A", "A", "A", "A100"};
    EXPECT_EQ(profile.Commands, commands);
}

TEST(ScannerProfile, YesNoAndBinaryForms)
{
    for (const char* yes : {"yes", "YES", "Yes", "y", "Y"})
        EXPECT_TRUE(IsProfileYes(yes)) << yes;
    for (const char* no : {"", "no", "n", "yess", "1", "true", "ye"})
        EXPECT_FALSE(IsProfileYes(no)) << no;

    TemporaryFolder folder;
    WriteText(folder / "Binary.scanner", "[Commands]\nGRECommands=Y\nByteSwap=y\nActive=A\nInit=I\n");
    SCANPROFILE profile = ReadScannerProfile(folder / "Binary.scanner");
    EXPECT_TRUE(profile.BinaryMode);
    EXPECT_TRUE(profile.ByteSwap);
    EXPECT_EQ(profile.Commands, (std::array<std::string, ScannerCommandCount>{}));

    // GRECommands present but not yes: text mode, templates read.
    WriteText(folder / "Text.scanner", "[Commands]\nGRECommands=No\nByteSwap=Yes\nActive=A\n");
    profile = ReadScannerProfile(folder / "Text.scanner");
    EXPECT_FALSE(profile.BinaryMode);
    EXPECT_EQ(profile.Commands[CommandActive25], "A");
}

TEST(ScannerProfile, MissingOrDamagedFilesGiveTheDefaults)
{
    TemporaryFolder folder;
    const SCANPROFILE defaults;
    WriteText(folder / "Empty.scanner", "");
    constexpr char junk[] = "\0\xff\xfe[[[]]]=\n=\n[Scanner]]\nPortBits\n";
    WriteText(folder / "Junk.scanner", std::string(junk, sizeof junk - 1));
    WriteText(folder / "Garbage.scanner", "[Scanner]\nPortBits=99\nPortStop=x\nForceSpeed=-5\nPortParity=\n");
    for (const char* name : {"Missing.scanner", "Empty.scanner", "Junk.scanner", "Garbage.scanner"}) {
        SCOPED_TRACE(name);
        const SCANPROFILE profile = ReadScannerProfile(folder / name);
        EXPECT_EQ(profile.PortBits, defaults.PortBits);
        EXPECT_EQ(profile.PortStop, defaults.PortStop);
        EXPECT_FALSE(profile.HasForceSpeed);
        EXPECT_FALSE(profile.BinaryMode);
        EXPECT_EQ(profile.Commands, defaults.Commands);
    }
}

TEST(ScannerProfile, UserFolderComesBeforeTheExecutablesFolder)
{
    TemporaryFolder folder;
    // The test program has the shipped profiles beside it.
    EXPECT_EQ(FindScannerProfile(DefaultScannerProfile, folder.Path()), ExecutableFolder() + DefaultScannerProfile);
    EXPECT_EQ(FindScannerProfile(DefaultScannerProfile, ""), ExecutableFolder() + DefaultScannerProfile);

    WriteText(folder / DefaultScannerProfile, "[Scanner]\nDescription=mine\n");
    WriteText(folder / "Mine.Scanner", "");
    WriteText(folder / "notes.txt", "");
    CreateDirectories(folder / "Folder.scanner");
    EXPECT_EQ(FindScannerProfile(DefaultScannerProfile, folder.Path()), folder / DefaultScannerProfile);
    EXPECT_EQ(FindScannerProfile("Folder.scanner", folder.Path()), "");
    EXPECT_EQ(FindScannerProfile("", folder.Path()), "");
    EXPECT_EQ(ListScannerProfiles(folder.Path()),
              (std::vector<std::string>{"AR8200.Scanner", "BC250D.Scanner", "Mine.Scanner", "PSR500-Binary.Scanner"}));
}

TEST(ScannerProfile, ShippedProfilesReadAsIntended)
{
    const TEMPLATEVALUES values{851.0125, 866.0, 0.0125};

    const SCANPROFILE uniden = ReadScannerProfile(Shipped + DefaultScannerProfile);
    EXPECT_FALSE(uniden.BinaryMode);
    EXPECT_EQ(ExpandTemplate(uniden.Commands[CommandActive12_5], values), "RF08510125\r");
    EXPECT_EQ(ExpandTemplate(uniden.Commands[CommandActive6_25], values), "RF08510125\r");
    EXPECT_EQ(ExpandTemplate(uniden.Commands[CommandQuiet], values), "RF08660000\r");

    const SCANPROFILE gre = ReadScannerProfile(Shipped + "PSR500-Binary.Scanner");
    EXPECT_TRUE(gre.BinaryMode);
    EXPECT_FALSE(gre.ByteSwap);

    const SCANPROFILE aor = ReadScannerProfile(Shipped + "AR8200.Scanner");
    EXPECT_EQ(aor.PortStop, 2);
    EXPECT_EQ(ExpandTemplate(aor.Commands[CommandActive25], values), "RF851.01250\r");
    EXPECT_EQ(ExpandTemplate(aor.Commands[CommandScan], values), "MS\r");
}

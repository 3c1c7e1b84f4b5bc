#include "directory/VersionList.h"

#include <gtest/gtest.h>

TEST(VersionList, FindsANewerVersionOfThisProgram)
{
    const VersionInfo version{2, 1, 0, 7};
    const struct
    {
        std::string List;
        bool Newer;
    } cases[] = {
        {"zembrant 2.1.0.8 setup.zip\n", true},
        {"zembrant\t2.1.0.8\tsetup.zip\r\n", true},
        {"zembrant 2.1.0.7 setup.zip\n", false},
        {"zembrant 2.1.0.6 x\n", false},
        {"zembrant 2.1.1.0 x", true},
        {"zembrant 3.0.0.0 x", true},
        {"zembrant 2.2.0.0 x", true},
        {"zembrant 1.9.9.9 x", false},
        {"ZEMBRANT 2.1.0.8 setup.zip\n", true},
        {"zembrant 2.1.0.8 setup.zip \n", false},
        {" zembrant 2.1.0.8 setup.zip\n", false},
        {"zembrant  2.1.0.8 \t setup.zip\n", true},
        {"zembrant 2.1.0.8\n", false},
        {"zembrant 2.1.0 setup.zip\n", false},
        {"zembrant 2.1.0.8abc setup.zip\n", true},
        {"zemb 2.1.0.8 setup.zip\n", false},
        {"zembrant.exe 2.1.0.8 setup.zip\n", false},
        {"zembrant 2.1.0.5 old\nother 9.9.9.9 x\n\nzembrant 2.1.0.9 new\n", true},
        {"zembrant 2.1.\r0.8 setup.zip", true},
        {"", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsNewerVersionListed(c.List, "zembrant", version), c.Newer) << c.List;
}

TEST(VersionList, NamesAndUserAgent)
{
    const VersionInfo version{2, 1, 0, 7};
    EXPECT_EQ(ProgramFileName("/usr/local/bin/zembrant"), "zembrant");
    EXPECT_EQ(ProgramFileName("C:\\Programs\\Zembrant.exe"), "Zembrant.exe");
    EXPECT_EQ(UpdateUserAgent("zembrant", version), "zembrant/2.1.0B7");
    EXPECT_EQ(UpdateUserAgent("Zembrant.EXE", version), "Zembrant/2.1.0B7");
    EXPECT_EQ(UpdateUserAgent(".exe", version), ".exe/2.1.0B7");
    EXPECT_TRUE(IsNewerVersionListed("Zembrant.exe 2.1.0.8 z", "zembrant.EXE", version));
}

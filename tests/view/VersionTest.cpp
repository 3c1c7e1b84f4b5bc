#include <gtest/gtest.h>

#include "platform/Version.h"

TEST(Version, TextsAndComparedParts)
{
    const VersionInfo version{1, 2, 3, 4};
    EXPECT_EQ(AboutVersionText(version), "Version: 1.2.3 Build 4");
    EXPECT_EQ(UserAgent("Zembrant", version), "Zembrant/1.2.3B4");
    EXPECT_EQ(version.MostSignificant(), 0x00010002u);
    EXPECT_EQ(version.LeastSignificant(), 0x00030004u);

    const VersionInfo program = ProgramVersion();
    EXPECT_EQ(std::to_string(program.Major) + "." + std::to_string(program.Minor) + "." +
                  std::to_string(program.Release),
              ZEMBRANT_VERSION);
    EXPECT_LT(program.Minor, 256);
    EXPECT_LT(program.Build, 256);
}

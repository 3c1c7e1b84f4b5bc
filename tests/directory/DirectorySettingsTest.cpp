#include "directory/DirectorySettings.h"

#include <gtest/gtest.h>

#include "persistence/Config.h"
#include "support/TemporaryFolder.h"

TEST(DirectorySettings, CompiledDefaultsUntilAKeySaysOtherwise)
{
    TemporaryFolder folder;
    const DIRECTORYSETTINGS defaults = ReadDirectorySettings(folder / "Missing.ini");
    EXPECT_EQ(defaults.Namespace, "http://api.radioreference.com/soap2");
    EXPECT_EQ(defaults.Endpoint, "https://api.radioreference.com/soap2/index.php");
    EXPECT_EQ(defaults.ApiVersion, 9);
    EXPECT_EQ(defaults.AppKey, "57302846");
    EXPECT_EQ(defaults.CaFile, "");
    EXPECT_EQ(defaults.VersionListUrl, "");
    EXPECT_EQ(defaults.DownloadPage, "");

    WriteText(folder / "Zembrant.ini", "[RRWebService]\r\nEndpoint=https://127.0.0.1:8443/soap2/index.php\r\n"
                                       "ApiVersion=10\r\nUseDevelKey=Yes\r\nCaFile=/tmp/ca.pem\r\n"
                                       "[Update]\r\nVersionListUrl=http://127.0.0.1/CurrentVersions.txt\r\n");
    const DIRECTORYSETTINGS s = ReadDirectorySettings(folder / "Zembrant.ini");
    EXPECT_EQ(s.Endpoint, "https://127.0.0.1:8443/soap2/index.php");
    EXPECT_EQ(s.ApiVersion, 10);
    EXPECT_EQ(s.AppKey, "19465073");
    EXPECT_EQ(s.CaFile, "/tmp/ca.pem");
    EXPECT_EQ(s.VersionListUrl, "http://127.0.0.1/CurrentVersions.txt");
    WriteText(folder / "Zembrant.ini", "[RRWebService]\r\nUseDevelKey=Yes\r\nAppKey=12345678\r\n");
    EXPECT_EQ(ReadDirectorySettings(folder / "Zembrant.ini").AppKey, "12345678");
}

TEST(DirectorySettings, TimeOutIsRaisedToFortyFiveSeconds)
{
    const struct
    {
        int32_t Setting;
        int32_t Raised;
        int32_t Milliseconds;
    } cases[] = {{60, 60, 60000}, {45, 45, 45000}, {44, 45, 45000}, {-3, 45, 45000}, {INT32_MAX, INT32_MAX, INT32_MAX}};
    for (const auto& c : cases) {
        CONFIG config;
        config.WebTimeOut = c.Setting;
        EXPECT_EQ(RaiseWebTimeOut(config), c.Milliseconds) << c.Setting;
        EXPECT_EQ(config.WebTimeOut, c.Raised) << c.Setting;
    }
}

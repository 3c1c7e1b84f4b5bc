#include "directory/DirectoryRecord.h"

#include <gtest/gtest.h>

#include "platform/Files.h"
#include "support/TemporaryFolder.h"

TEST(DirectoryRecord, DamagedFilesSayWhatIsWrong)
{
    const TemporaryFolder folder;
    const std::string path = folder / DirectoryFileName;
    DirectoryRecord record;
    std::string error;
    ASSERT_TRUE(LoadDirectoryRecord(folder.Path(), record, error));
    EXPECT_EQ(record.SysId, 0);

    const struct
    {
        std::string Json;
        std::string Wrong;
    } cases[] = {
        {"{\"format\": 1, \"system\": {\"sysid\": \"3A", "it is not valid JSON"},
        {"[]", "it is not a JSON object"},
        {"{\"format\": 2, \"system\": {\"sysid\": \"3A1\"}}", "format 2 is newer than this program reads"},
        {"{\"format\": 1}", "\"system\" is missing"},
        {"{\"format\": 1, \"system\": {\"sysid\": \"XYZ\"}}", "\"sysid\" is not a hexadecimal number up to FFF"},
        {"{\"format\": 1, \"system\": {\"sysid\": \"000\"}}", "\"sysid\" is 0"},
        {"{\"format\": 1, \"system\": {\"sysid\": \"3A1\", \"name\": 7}}", "\"name\" is not a text"},
        {"{\"format\": 1, \"system\": {\"sysid\": \"3A1\"}, \"sites\": {}}", "\"sites\" is not a list"},
        {"{\"format\": 1, \"system\": {\"sysid\": \"3A1\"}, \"sites\": [{\"rfss\": 1}]}", "\"site\" is missing"},
        {"{\"format\": 1, \"system\": {\"sysid\": \"3A1\"}, \"sites\": [{\"rfss\": 1, \"site\": 2, "
         "\"frequencies\": [{\"use\": \"control\"}]}]}",
         "a frequency of site 1-2 has no \"frequency\" in MHz"},
        {"{\"format\": 1, \"system\": {\"sysid\": \"3A1\"}, \"talkgroups\": [{\"id\": 70000}]}",
         "\"id\" is not a whole number from 0 to 65535"},
        {"{\"format\": 1, \"system\": {\"sysid\": \"3A1\"}, \"talkgroups\": [{\"id\": 5, \"tags\": [1]}]}",
         "a tag of talkgroup 5 is not a text"},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(WriteFileAtomically(path, c.Json, error)) << error;
        record.SysId = 7;
        EXPECT_FALSE(LoadDirectoryRecord(folder.Path(), record, error)) << c.Json;
        EXPECT_EQ(error, path + " cannot be read: " + c.Wrong + ". Import the system again to replace it.");
        EXPECT_EQ(record.SysId, 0);
    }

    // Parts the import did not ask for are null; what the file does not name keeps its default.
    ASSERT_TRUE(WriteFileAtomically(path, "{\"format\": 1, \"system\": {\"sysid\": \"3a1\", \"wacn\": \"BEE00\"}, "
                                          "\"sites\": null, \"talkgroups\": [{\"id\": 5}]}", error));
    ASSERT_TRUE(LoadDirectoryRecord(folder.Path(), record, error)) << error;
    EXPECT_EQ(record.SysId, 0x3A1);
    EXPECT_EQ(record.Wacn, 0xBEE00);
    EXPECT_FALSE(record.HasSites);
    ASSERT_TRUE(record.HasTalkgroups);
    EXPECT_EQ(record.Talkgroups[0].Id, 5);
    EXPECT_EQ(record.Talkgroups[0].Mode, "");
}

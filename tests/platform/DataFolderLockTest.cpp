#include <gtest/gtest.h>

#include <string>

#include <unistd.h>

#include "platform/DataFolderLock.h"
#include "support/TemporaryFolder.h"

TEST(DataFolderLock, SecondTakerIsToldTheOwnerUntilTheLockIsGone)
{
    TemporaryFolder folder;
    std::string error;
    {
        DataFolderLock first;
        ASSERT_EQ(first.Take(folder.Path(), error), DataFolderLock::Outcome::Taken) << error;
        EXPECT_TRUE(DataFolderLock::IsHeldFor(folder.Path()));
        DataFolderLock second;
        EXPECT_EQ(second.Take(folder.Path(), error), DataFolderLock::Outcome::InUse);
        EXPECT_EQ(error, "Zembrant is already using the data folder " + folder.Path() + " (process " +
                             std::to_string(getpid()) + ")");
        EXPECT_FALSE(second.IsHeld());
        EXPECT_TRUE(DataFolderLock::IsHeldFor(folder.Path()));
    }
    EXPECT_FALSE(DataFolderLock::IsHeldFor(folder.Path()));
    DataFolderLock again;
    EXPECT_EQ(again.Take(folder.Path(), error), DataFolderLock::Outcome::Taken) << error;
}

TEST(DataFolderLock, OwnerThatCannotBeReadIsLeftOut)
{
    TemporaryFolder folder;
    DataFolderLock first;
    std::string error;
    ASSERT_EQ(first.Take(folder.Path(), error), DataFolderLock::Outcome::Taken) << error;
    for (const char* text : {"", "owner\n", "12abc"}) {
        WriteText(folder / DataFolderLock::LockFileName, text);
        DataFolderLock second;
        EXPECT_EQ(second.Take(folder.Path(), error), DataFolderLock::Outcome::InUse) << text;
        EXPECT_EQ(error, "Zembrant is already using the data folder " + folder.Path()) << text;
    }
}

#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <thread>

#include "model/P25Class.h"

// Two decoding writers and a screen reader on one model: every snapshot keeps each
// talkgroup on one channel at most, and the thread sanitizer build checks the locking.
TEST(ModelThreads, WritersAndReaderKeepTheChannelTableConsistent)
{
    ManualClock clock(1720000000);
    P25Class model(clock);
    model.SetGrantsVisible(true);
    std::atomic<bool> stop{false};

    const auto writer = [&](int seed) {
        for (int i = 0; i < 4000; ++i) {
            const int talkgroup = 1 + (i * 7 + seed) % 300;
            const int channel = 0x1000 + (i * 13 + seed) % 60;
            model.AddTalkgroup(talkgroup);
            model.AddRadio(100000 + i % 500, talkgroup);
            model.GroupVoiceGrant(channel, 0, i % 5 ? "" : "Enc", 100000 + i % 500, talkgroup);
            model.GroupVoiceGrantUpdate(channel + 1, 0, talkgroup + 1);
            model.SetControlChannel(0x1000, 0);
            model.LogQueued(talkgroup, seed);
            if (i % 500 == 0)
                model.SetIdentifierTable(2, {769.00625, 30.0, 0.0125, 0.0125, 2, static_cast<uint8_t>(1 + i % 2)});
            clock.AdvanceTicks(1);
        }
    };
    const auto reader = [&] {
        FreqInfo channels[MaxChannels];
        GRANTLOG grants[GrantLogCapacity];
        IDENTABLE tables[MaxIdentifierTables];
        std::vector<TGTAG> talkgroups;
        std::vector<RADTAG> radios;
        int rounds = 0;
        while (!stop || rounds < 5) {
            const int n = model.GetChannels(channels, MaxChannels);
            std::set<int> seen;
            for (int i = 0; i < n; ++i) {
                if (channels[i].Talkgroup != 0) {
                    EXPECT_TRUE(seen.insert(channels[i].Talkgroup).second);
                }
            }
            model.TakeGrantLog(grants, GrantLogCapacity);
            model.ExpireChannelActivity();
            model.GetIdentifierTables(tables, MaxIdentifierTables);
            if (++rounds % 20 == 0) {
                model.GetTalkgroups(talkgroups);
                model.GetRadios(radios);
                model.GetTalkgroupPriority(5);
            }
        }
    };

    std::thread screen(reader);
    std::thread a(writer, 1), b(writer, 2);
    a.join();
    b.join();
    stop = true;
    screen.join();
    FreqInfo channels[MaxChannels];
    EXPECT_EQ(model.GetChannels(channels, MaxChannels), MaxChannels);
    EXPECT_EQ(model.TalkgroupCount(), 300);
}

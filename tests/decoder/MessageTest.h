#pragma once
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "model/P25Class.h"
#include "support/Blocks.h"

// One field of a message: width bytes from byte At, big-endian.
struct Field
{
    int At;
    int Width;
    uint32_t Value;
};

// A block built from its fields, with the CRC.
inline TsbkBlock Message(int opcode, int mfid, std::initializer_list<Field> fields = {})
{
    TsbkBlock block = MakeTsbk(opcode, mfid);
    for (const Field& field : fields)
        PutField(block, field.At, field.Width, field.Value);
    return block;
}

// A row of a message table: the block, its dump text, and whether the other-events log
// takes the same text.
struct MessageRow
{
    TsbkBlock Block;
    std::string Text;
    bool Event;
};

// An identified site with every log switch on and the queues drained.
class MessageTest : public ::testing::Test
{
protected:
    // Each test starts at its own second: the queued-grant memory is process-wide.
    static int64_t NextStart()
    {
        static int64_t start = 1700000000;
        return start += 100;
    }

    ManualClock clock{NextStart()};
    P25Class model{clock};

    void SetUp() override
    {
        model.SetUnknownsVisible(true);
        model.SetPktDumpVisible(true);
        model.SetOtherInfoVisible(true);
        model.SetGrantsVisible(true);
        model.SetSystemAndSite(0x123, 1, 0x70, 2);
        // 1-nnnn: 851.0 MHz in steps of 12.5 kHz.
        model.SetIdentifierTable(1, {851.0, -45.0, 0.0125, 0.0125, 2, 1});
        // The event log drops a repeat of its last block, process-wide.
        TsbkBlock sentinel{};
        sentinel.fill(0xEE);
        model.LogEvent(sentinel.data(), "");
        Drain();
    }

    void Drain()
    {
        Dump();
        Events();
        Unknowns();
        Grants();
        Affiliations();
    }

    std::vector<std::string> Dump()
    {
        std::vector<ALLPKT> records(PacketDumpCapacity);
        records.resize(model.TakePacketDump(records.data(), PacketDumpCapacity));
        return Texts(records);
    }

    std::vector<std::string> Events()
    {
        std::vector<EVENTLOG> records(EventLogCapacity);
        records.resize(model.TakeEventLog(records.data(), EventLogCapacity));
        return Texts(records);
    }

    int Unknowns()
    {
        std::vector<UNKTSBK> records(UnknownPacketCapacity);
        return model.TakeUnknownPackets(records.data(), UnknownPacketCapacity);
    }

    std::vector<GRANTLOG> Grants()
    {
        std::vector<GRANTLOG> records(GrantLogCapacity);
        records.resize(model.TakeGrantLog(records.data(), GrantLogCapacity));
        return records;
    }

    std::vector<AFFLOG> Affiliations()
    {
        std::vector<AFFLOG> records(AffiliationLogCapacity);
        records.resize(model.TakeAffiliationLog(records.data(), AffiliationLogCapacity));
        return records;
    }

    std::vector<AFFREC> AffiliationList()
    {
        std::vector<AFFREC> records(MaxAffiliations);
        records.resize(model.GetAffiliations(records.data(), MaxAffiliations));
        return records;
    }

    std::vector<FreqInfo> Channels()
    {
        std::vector<FreqInfo> records(MaxChannels);
        records.resize(model.GetChannels(records.data(), MaxChannels));
        return records;
    }

    // Decodes every row and checks its texts, each row on its own.
    void ExpectTexts(const std::vector<MessageRow>& rows)
    {
        for (const MessageRow& row : rows) {
            SCOPED_TRACE(row.Text);
            EXPECT_TRUE(model.DecodeTsbk(row.Block.data()));
            EXPECT_EQ(Dump(), std::vector<std::string>{row.Text});
            EXPECT_EQ(Events(), row.Event ? std::vector<std::string>{row.Text} : std::vector<std::string>{});
            EXPECT_EQ(Unknowns(), 0);
        }
    }

private:
    template <typename Record>
    static std::vector<std::string> Texts(const std::vector<Record>& records)
    {
        std::vector<std::string> texts;
        for (const Record& record : records)
            texts.push_back(record.Text);
        return texts;
    }
};

#pragma once
#include <initializer_list>
#include <string>
#include <vector>

#include "model/P25Class.h"
#include "support/Blocks.h"
#include "support/TemporaryFolder.h"

// One field of a message: width bytes from byte At, big-endian.
struct Field
{
    int At;
    int Width;
    uint32_t Value;
};

// A block built from its fields, with the CRC.
inline TsbkBlock MakeMessage(int opcode, std::initializer_list<Field> fields, int mfid = 0x00)
{
    TsbkBlock block = MakeTsbk(opcode, mfid);
    for (const Field& field : fields)
        PutField(block, field.At, field.Width, field.Value);
    return block;
}

// A model on an identified site (system 0x123, RFSS 1, site 2) with every log switched on
// and two channel plans of its own: table 1 at 851 MHz in 12.5 kHz steps with a -45 MHz
// input, table 2 a two-slot TDMA plan at 769 MHz in 6.25 kHz steps with a +30 MHz input.
class DecodedSite
{
public:
    static constexpr int SysId = 0x123;
    static constexpr int Rfss = 1;
    static constexpr int Site = 2;

    TemporaryFolder folder;
    ManualClock clock{1700000000};
    P25Class model{clock};

    DecodedSite()
    {
        model.SetDataFolder(folder.Path());
        SetLogs(true);
        model.SetSystemAndSite(SysId, Rfss, 0x70, Site);
        model.SetIdentifierTable(1, {851.0, -45.0, 0.0125, 0.0125, 2, 1});
        model.SetIdentifierTable(2, {769.0, 30.0, 0.00625, 0.0125, 2, 2});
        // The other-events log drops a block equal to the last one it took, whichever model
        // took it; a block no test sends clears that memory.
        model.LogEvent(MakeTsbk(0x3F, 0xFF, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}).data(), "");
        Dump();
        Events();
        Grants();
        Unknowns();
    }

    void SetLogs(bool on)
    {
        model.SetPktDumpVisible(on);
        model.SetOtherInfoVisible(on);
        model.SetGrantsVisible(on);
        model.SetUnknownsVisible(on);
        model.SetLogProtectionData(on);
    }

    bool Decode(const TsbkBlock& block) { return model.DecodeTsbk(block.data()); }

    std::vector<std::string> Dump() { return Texts(&P25Class::TakePacketDump, PacketDumpCapacity); }
    std::vector<std::string> Events()
    {
        // Taking the event log needs its switch; the queue itself is what the test looks at.
        const bool visible = model.IsOtherInfoVisible();
        model.SetOtherInfoVisible(true);
        auto texts = Texts(&P25Class::TakeEventLog, EventLogCapacity);
        model.SetOtherInfoVisible(visible);
        return texts;
    }
    std::vector<std::string> Unknowns() { return Texts(&P25Class::TakeUnknownPackets, UnknownPacketCapacity); }

    std::vector<GRANTLOG> Grants()
    {
        const bool visible = model.IsGrantsVisible();
        model.SetGrantsVisible(true);
        std::vector<GRANTLOG> list(GrantLogCapacity);
        list.resize(model.TakeGrantLog(list.data(), GrantLogCapacity));
        model.SetGrantsVisible(visible);
        return list;
    }

    // The channel row, or a row with Channel -1 when the channel is not in the table.
    FreqInfo Row(int channel)
    {
        FreqInfo rows[MaxChannels];
        const int n = model.GetChannels(rows, MaxChannels);
        for (int i = 0; i < n; ++i)
            if (rows[i].Channel == channel)
                return rows[i];
        FreqInfo missing;
        missing.Channel = -1;
        return missing;
    }

    int ChannelCount()
    {
        FreqInfo rows[MaxChannels];
        return model.GetChannels(rows, MaxChannels);
    }

    std::vector<NEIGHBORREC> Neighbors()
    {
        std::vector<NEIGHBORREC> list(MaxNeighbors);
        list.resize(model.GetNeighbors(list.data(), MaxNeighbors));
        return list;
    }

    SYSINFO SystemInfo()
    {
        SYSINFO info;
        model.GetSystemInfo(info);
        return info;
    }

    IDENTABLE Table(int identifier)
    {
        IDENTABLE tables[MaxIdentifierTables];
        model.GetIdentifierTables(tables, MaxIdentifierTables);
        return tables[identifier];
    }

private:
    std::vector<std::string> Texts(int (P25Class::*take)(BLOCKLOG*, int), int capacity)
    {
        std::vector<BLOCKLOG> records(capacity);
        records.resize((model.*take)(records.data(), capacity));
        std::vector<std::string> texts;
        for (const auto& record : records)
            if (record.Time != 0) // not the marker a reset leaves
                texts.push_back(record.Text);
        return texts;
    }
};

#include <gtest/gtest.h>

#include <thread>

#include "TemporaryFolder.h"
#include "history/HistoryWriter.h"
#include "model/P25Class.h"
#include "persistence/SystemFiles.h"
#include "platform/Files.h"

namespace {

constexpr int64_t T0 = 1764576000;
constexpr auto Patience = std::chrono::seconds(10);

TAPEVENT Tap(TAPEVENT::Kind kind, char code = 0, int sysId = 0x1A2)
{
    TAPEVENT event = TAPEVENT::Of(kind, code);
    event.Time = T0;
    event.Site = {sysId, 6, 5};
    return event;
}

TAPEVENT Affiliation(int64_t time, int radio, int sysId = 0x1A2)
{
    TAPEVENT event = Tap(TAPEVENT::Kind::Affiliation, 'A', sysId);
    event.Time = time;
    event.Usage = "affiliation";
    event.Radio = radio;
    event.Talkgroup = 100;
    event.Text = "Affiliate";
    return event;
}

std::vector<HistoryRow> Rows(const std::string& dataFolder, int sysId, const HistoryQuery& query = {})
{
    HistoryStore store;
    std::string error;
    std::vector<HistoryRow> rows;
    EXPECT_TRUE(store.Open(HistoryStore::PathFor(dataFolder, sysId), error, HistoryStore::Mode::Read)) << error;
    EXPECT_TRUE(store.Query(query, rows, error)) << error;
    return rows;
}

}

// A row in one line: kind type channel frequency talkgroup radio target flags | text | packet.
std::string Described(const HistoryRow& r)
{
    char text[400];
    std::snprintf(text, sizeof text, "%d %s %X %.4f %d(%s) %d(%s) %d(%s)%s%s%s | %s | %s", static_cast<int>(r.Kind),
                  r.Type.c_str(), static_cast<unsigned>(r.Channel), r.Frequency, r.Talkgroup,
                  r.TalkgroupName.c_str(), r.Radio, r.RadioName.c_str(), r.Target, r.TargetName.c_str(),
                  r.Encrypted ? " encrypted" : "", r.Emergency ? " emergency" : "", r.Accepted ? "" : " refused",
                  r.Text.c_str(), r.Packet.c_str());
    return text;
}

TEST(MakeHistoryRow, EachRecordAsItsTableKeepsIt)
{
    using K = TAPEVENT::Kind;
    const auto tap = [](K kind, char code, const char* usage, int talkgroup, int radio, int target,
                        const char* text = "") {
        TAPEVENT e = Tap(kind, code);
        e.Usage = usage;
        e.Talkgroup = talkgroup;
        e.Radio = radio;
        e.Target = target;
        e.Text = text;
        return e;
    };
    TAPEVENT grant = tap(K::Grant, 0, "group", 100, 5001, 0);
    grant.ServiceOptions = 0xC0;
    grant.Channel = 0x1123;
    grant.Frequency = 851.0125;
    TAPEVENT station = tap(K::Grant, 0, "station id", -1, 0, 0, "WQAB123");
    station.Channel = 0x1001;
    // No channel, no frequency: a frequency without its channel would be a stale one.
    TAPEVENT data = tap(K::Grant, 0, "data", -1, 5001, 0);
    data.Frequency = 851.0;
    TAPEVENT event = tap(K::Event, 0, "", -1, 0, 0, "Status Update");
    event.Block = {0x2D, 0x00, 0xAB, 1, 2, 3, 4, 5, 6, 7, 0xFE, 0x0F};
    TAPEVENT services = Tap(K::System, TAPEVENT::NewServices);
    services.System.RfssId = 6;
    services.System.SiteId = 5;
    services.System.ServiceClass = 0x10;
    TAPEVENT table = Tap(K::IdentifierTable);
    table.Identifier = 1;
    table.Table = {.Base = 851.00625, .TxOffset = -45.0, .Spacing = 0.00625, .Bandwidth = 0.0125};
    TAPEVENT neighbor = Tap(K::Neighbor);
    neighbor.Neighbor = {.SysId = 0xC94, .RfssId = 6, .SiteId = 3, .Channel = 0x1123, .Frequency = 852.0125,
                         .Description = ""};

    const std::pair<TAPEVENT, const char*> cases[] = {
        {grant, "0 Group 1123 851.0125 100(Fire) 5001(Engine) 0() encrypted emergency |  | "},
        {tap(K::Grant, 0, "private", -1, 5001, 5002), "0 Private FFFFFFFF 0.0000 -1() 5001(Engine) 5002(Other) |  | "},
        {tap(K::Grant, 0, "phone", -1, 5001, 0), "0 Phone FFFFFFFF 0.0000 -1() 5001(Engine) 0() |  | "},
        {data, "0 Data FFFFFFFF 0.0000 -1() 5001(Engine) 0() |  | "},
        {station, "0 Station ID 1001 0.0000 -1() 0() 0() | WQAB123 | "},
        {tap(K::Queued, 0, "", -1, 5001, 0, "Data Grant"),
         "0 Queued FFFFFFFF 0.0000 -1() 5001(Engine) 0() | Data Grant | "},
        {tap(K::CallAlert, 0, "", -1, 5001, 5002), "0 Alert FFFFFFFF 0.0000 -1() 5001(Engine) 5002(Other) |  | "},
        {tap(K::Affiliation, 'D', "affiliation", 0, 5001, 0, "Refused"),
         "1 affiliation FFFFFFFF 0.0000 -1() 5001(Engine) 0() refused | Refused | "},
        {tap(K::Affiliation, 'U', "deregistration", 100, 5001, 0, "Unaffiliate"),
         "1 deregistration FFFFFFFF 0.0000 100(Fire) 5001(Engine) 0() | Unaffiliate | "},
        {tap(K::Patch, 'R', "", 100, 0, 300), "2 removed FFFFFFFF 0.0000 100(Fire) 0() 300(Other) |  | "},
        {event, "3 event FFFFFFFF 0.0000 -1() 0() 0() | Status Update | 2D 00 AB 01 02 03 04 05 06 07 FE 0F "},
        {services, "3 system FFFFFFFF 0.0000 -1() 0() 0() | Site 6-5 services: Data | "},
        {table, "3 identifier_table FFFFFFFF 0.0000 -1() 0() 0() | Identifier table 1: base 851.00625 spacing "
                "0.00625 offset -45.00000 bandwidth 0.01250 slots 1 | "},
        {neighbor, "3 neighbor FFFFFFFF 0.0000 -1() 0() 0() | Neighbor C94 6-3 channel 01-0291 852.01250 | "},
    };
    for (const auto& [record, expected] : cases) {
        const std::optional<HistoryRow> row = MakeHistoryRow(record, {"Fire", "Engine", "Other"});
        ASSERT_TRUE(row) << expected;
        EXPECT_EQ(Described(*row), expected);
        EXPECT_EQ(row->Time, T0);
        EXPECT_EQ(std::pair(row->Rfss, row->Site), std::pair(6, 5));
    }
    // The states the feed tells alone (all tables, the whole list) are no rows.
    EXPECT_FALSE(MakeHistoryRow(Tap(K::IdentifierTable), {}));
    EXPECT_FALSE(MakeHistoryRow(Tap(K::Neighbor), {}));
}

TEST(HistoryWriter, RowsGoToTheirSystemsOnceTheSystemIsKnown)
{
    TemporaryFolder data;
    HistoryWriter writer(data.Path(), 30);
    writer.Record(Affiliation(T0, 1, 0), {});
    writer.Record(Affiliation(T0 + 1, 2, 0x1A2), {});
    writer.Record(Affiliation(T0 + 2, 3, 0xC94), {});
    ASSERT_TRUE(writer.Sync(Patience));
    EXPECT_EQ(writer.Written(), 3u);
    EXPECT_EQ(writer.Dropped(), 0u);
    EXPECT_TRUE(writer.TakeNotices().empty());

    std::vector<HistoryRow> rows = Rows(data.Path(), 0x1A2);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].Radio, 2);
    EXPECT_EQ(rows[1].Radio, 1);
    EXPECT_EQ(Rows(data.Path(), 0xC94).size(), 1u);
}

TEST(HistoryWriter, PrunesOnOpenByTheRecordsClock)
{
    TemporaryFolder data;
    {
        ASSERT_TRUE(CreateDirectories(SystemFolderPath(data.Path(), 0x1A2)));
        HistoryStore store;
        std::string error;
        ASSERT_TRUE(store.Open(HistoryStore::PathFor(data.Path(), 0x1A2), error)) << error;
        HistoryRow old;
        old.Kind = HistoryKind::Event;
        old.Time = T0 - 10 * 86400;
        HistoryRow recent = old;
        recent.Time = T0;
        ASSERT_TRUE(store.Insert({old, recent}, error)) << error;
    }
    HistoryWriter writer(data.Path(), 5);
    writer.Record(Affiliation(T0 + 1, 7), {});
    ASSERT_TRUE(writer.Sync(Patience));
    const std::vector<HistoryRow> rows = Rows(data.Path(), 0x1A2);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1].Time, T0);
}

TEST(HistoryWriter, ABrokenDatabaseIsToldOnceAndDecodingGoesOn)
{
    TemporaryFolder data;
    const std::string path = HistoryStore::PathFor(data.Path(), 0x1A2);
    WriteText(path, std::string(4096, 'x'));
    HistoryWriter writer(data.Path(), 30);
    writer.Record(Affiliation(T0, 1), {});
    EXPECT_FALSE(writer.Sync(Patience));
    writer.Record(Affiliation(T0 + 1, 2), {});
    writer.Record(Affiliation(T0 + 1, 3, 0xC94), {});
    EXPECT_FALSE(writer.Sync(Patience));
    EXPECT_EQ(writer.TakeNotices(),
              std::vector<std::string>{"History: cannot open " + path + ": file is not a database"});
    EXPECT_EQ(writer.Dropped(), 2u);
    EXPECT_EQ(writer.Written(), 1u);
}

// A replay hands rows over faster than they are written and waits for room: none is lost.
TEST(HistoryWriter, PacedProducerLosesNothing)
{
    constexpr int RowCount = 150000;
    constexpr int Drain = 20000;
    TemporaryFolder data;
    HistoryWriter writer(data.Path(), 0);
    std::jthread producer([&] {
        for (int i = 0; i < RowCount; ++i) {
            writer.Record(Affiliation(T0 + i / 100, i % 5000 + 1), {"", "Radio", ""});
            if (i % Drain == Drain - 1) {
                writer.Flush();
                writer.WaitForRoom();
            }
        }
    });
    producer.join();
    ASSERT_TRUE(writer.Sync(std::chrono::seconds(60)));
    EXPECT_EQ(writer.Written(), uint64_t{RowCount});
    EXPECT_EQ(writer.Dropped(), 0u);
    EXPECT_EQ(Rows(data.Path(), 0x1A2, {.Radio = 42}).size(), size_t{RowCount / 5000});
}

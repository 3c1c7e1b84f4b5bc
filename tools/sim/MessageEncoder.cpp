#include "sim/MessageEncoder.h"

#include <algorithm>
#include <cmath>

namespace MessageEncoder {

namespace {

constexpr int HeaderOpcode = 0x37;
constexpr int TrunkingSap = 0xFD;
constexpr int CrcBytes = 4;
constexpr double BaseStep = 0.000005;
constexpr double SpacingStep = 0.000125;
constexpr double WideOffsetStep = 0.25;
constexpr int MotorolaCallSignOffset = 43;
constexpr int HarrisCallSignOffset = 46;

int Steps(double value, double step)
{
    return static_cast<int>(std::lround(std::fabs(value) / step));
}

// Bytes 2-9 from one 64-bit word, most significant byte first.
TsbkBlock FromWord(int opcode, int mfid, uint64_t word)
{
    TsbkBlock block{};
    block[0] = static_cast<uint8_t>(opcode);
    block[1] = static_cast<uint8_t>(mfid);
    for (int i = 9; i >= 2; --i, word >>= 8)
        block[i] = static_cast<uint8_t>(word);
    SealTsbk(block);
    return block;
}

void Put(uint8_t* bytes, int n, int width, uint32_t value)
{
    for (int i = width - 1; i >= 0; --i, value >>= 8)
        bytes[n + i] = static_cast<uint8_t>(value);
}

// Two channel/talkgroup pairs in bytes 2-9.
TsbkBlock TwoPairs(int opcode, int mfid, int channelA, int groupA, int channelB, int groupB)
{
    return Tsbk(opcode, mfid,
                {channelA >> 8, channelA, groupA >> 8, groupA, channelB >> 8, channelB, groupB >> 8, groupB});
}

// Options, channel 3-4, group or timer 5-6, radio 7-9.
TsbkBlock ChannelGroupRadio(int opcode, int mfid, int options, int channel, int group, int radio)
{
    return Tsbk(opcode, mfid, {options, channel >> 8, channel, group >> 8, group, radio >> 16, radio >> 8, radio});
}

// Channel 2-3, target 4-6, source 7-9.
TsbkBlock ChannelTwoRadios(int opcode, int channel, int target, int source)
{
    return Tsbk(opcode, 0x00, {channel >> 8, channel, target >> 16, target >> 8, target, source >> 16, source >> 8, source});
}

// First byte 2, second byte 3, radios 4-6 and 7-9.
TsbkBlock TwoRadios(int opcode, int byte2, int byte3, int radio4, int radio7)
{
    return Tsbk(opcode, 0x00, {byte2, byte3, radio4 >> 16, radio4 >> 8, radio4, radio7 >> 16, radio7 >> 8, radio7});
}

// Identifier word: iden 4 bits, then a 4- or 9-bit field, a signed offset, 10-bit spacing, base.
uint64_t IdentifierWord(int iden, int field, int fieldBits, bool positive, int offset, int offsetBits, int spacing,
                        double base)
{
    uint64_t word = static_cast<uint64_t>(iden & 0xF);
    word = word << fieldBits | static_cast<uint64_t>(field & ((1 << fieldBits) - 1));
    word = word << 1 | (positive ? 1u : 0u);
    word = word << offsetBits | static_cast<uint64_t>(offset & ((1 << offsetBits) - 1));
    word = word << 10 | static_cast<uint64_t>(spacing & 0x3FF);
    return word << 32 | static_cast<uint32_t>(std::llround(base / BaseStep));
}

}

void SealTsbk(TsbkBlock& block)
{
    const uint16_t crc = Crc16(block.data(), 10);
    block[10] = static_cast<uint8_t>(crc >> 8);
    block[11] = static_cast<uint8_t>(crc);
}

TsbkBlock Tsbk(int opcode, int mfid, std::initializer_list<int> args)
{
    TsbkBlock block{};
    block[0] = static_cast<uint8_t>(opcode);
    block[1] = static_cast<uint8_t>(mfid);
    int at = 2;
    for (int arg : args) {
        if (at > 9)
            break;
        block[at++] = static_cast<uint8_t>(arg);
    }
    SealTsbk(block);
    return block;
}

TsbkBlock GroupVoiceGrant(int options, int channel, int talkgroup, int source)
{
    return ChannelGroupRadio(0x00, 0x00, options, channel, talkgroup, source);
}

TsbkBlock GroupVoiceGrantUpdate(int channelA, int talkgroupA, int channelB, int talkgroupB)
{
    return TwoPairs(0x02, 0x00, channelA, talkgroupA, channelB, talkgroupB);
}

TsbkBlock ExplicitGroupVoiceGrantUpdate(int options, int rxChannel, int txChannel, int talkgroup)
{
    return Tsbk(0x03, 0x00,
                {options, 0, rxChannel >> 8, rxChannel, txChannel >> 8, txChannel, talkgroup >> 8, talkgroup});
}

TsbkBlock UnitToUnitVoiceGrant(int channel, int target, int source)
{
    return ChannelTwoRadios(0x04, channel, target, source);
}

TsbkBlock UnitToUnitVoiceGrantUpdate(int channel, int target, int source)
{
    return ChannelTwoRadios(0x06, channel, target, source);
}

TsbkBlock TelephoneVoiceGrant(int options, int channel, int callTimer, int radio)
{
    return ChannelGroupRadio(0x08, 0x00, options, channel, callTimer, radio);
}

TsbkBlock TelephoneVoiceGrantUpdate(int options, int channel, int callTimer, int radio)
{
    return ChannelGroupRadio(0x09, 0x00, options, channel, callTimer, radio);
}

TsbkBlock PrivateDataGrant(int channel, int target, int source)
{
    return ChannelTwoRadios(0x10, channel, target, source);
}

TsbkBlock GroupDataChannelGrant(int options, int channel, int talkgroup, int radio)
{
    return ChannelGroupRadio(0x11, 0x00, options, channel, talkgroup, radio);
}

TsbkBlock GroupDataChannelAnnouncement(int channelA, int talkgroupA, int channelB, int talkgroupB)
{
    return TwoPairs(0x12, 0x00, channelA, talkgroupA, channelB, talkgroupB);
}

TsbkBlock DataChannelGrantExplicit(int rxChannel, int txChannel, int radio)
{
    return ChannelGroupRadio(0x14, 0x00, 0, rxChannel, txChannel, radio);
}

TsbkBlock DataChannelAnnouncementExplicit(int status, int rxChannel, int txChannel, int group)
{
    return Tsbk(0x16, 0x00, {0, status, rxChannel >> 8, rxChannel, txChannel >> 8, txChannel, group >> 8, group});
}

TsbkBlock GroupAffiliationResponse(bool global, Result result, int announceGroup, int talkgroup, int radio)
{
    return Tsbk(0x28, 0x00,
                {(global ? 0x80 : 0) | static_cast<int>(result), announceGroup >> 8, announceGroup, talkgroup >> 8,
                 talkgroup, radio >> 16, radio >> 8, radio});
}

TsbkBlock UnitRegistrationResponse(Result result, int sysId, int sourceId, int workingId)
{
    return TwoRadios(0x2C, static_cast<int>(result) << 4 | (sysId >> 8 & 0xF), sysId, sourceId, workingId);
}

TsbkBlock DeregistrationResponse(int wacn, int sysId, int radio)
{
    const uint32_t word = static_cast<uint32_t>(wacn) << 12 | static_cast<uint32_t>(sysId & 0xFFF);
    TsbkBlock block = Tsbk(0x2F, 0x00);
    Put(block.data(), 3, 4, word);
    Put(block.data(), 7, 3, static_cast<uint32_t>(radio));
    SealTsbk(block);
    return block;
}

TsbkBlock LocationRegistrationResponse(Result result, int talkgroup, int rfss, int site, int radio)
{
    return Tsbk(0x2B, 0x00,
                {static_cast<int>(result), talkgroup >> 8, talkgroup, rfss, site, radio >> 16, radio >> 8, radio});
}

TsbkBlock CallAlert(int target, int source)
{
    return TwoRadios(0x1F, 0, 0, target, source);
}

TsbkBlock UnitStatusUpdate(int status, int target, int source)
{
    return TwoRadios(0x18, status, 0, target, source);
}

TsbkBlock AcknowledgeResponse(int serviceType, int target, int source)
{
    return TwoRadios(0x20, 0x80 | (serviceType & 0x3F), 0, target, source);
}

TsbkBlock DenyResponse(int serviceType, int reason, int target, int source)
{
    return TwoRadios(0x27, serviceType & 0x3F, reason, target, source);
}

TsbkBlock QueuedResponse(int serviceType, int reason, int target, int source)
{
    return TwoRadios(0x21, serviceType & 0x3F, reason, source, target);
}

TsbkBlock RfssStatus(int sysId, int rfss, int site, int channel, int serviceClass, int status)
{
    return Tsbk(0x3A, 0x00,
                {0, status << 4 | (sysId >> 8 & 0xF), sysId, rfss, site, channel >> 8, channel, serviceClass});
}

TsbkBlock NetworkStatus(int wacn, int sysId, int channel, int serviceClass)
{
    TsbkBlock block = Tsbk(0x3B, 0x00);
    Put(block.data(), 3, 4, static_cast<uint32_t>(wacn) << 12 | static_cast<uint32_t>(sysId & 0xFFF));
    Put(block.data(), 7, 2, static_cast<uint32_t>(channel));
    block[9] = static_cast<uint8_t>(serviceClass);
    SealTsbk(block);
    return block;
}

TsbkBlock AdjacentStatus(int sysId, int rfss, int site, int channel, int serviceClass, int status)
{
    return Tsbk(0x3C, 0x00,
                {0, status << 4 | (sysId >> 8 & 0xF), sysId, rfss, site, channel >> 8, channel, serviceClass});
}

TsbkBlock SecondaryControlChannel(int rfss, int site, int channel1, int class1, int channel2, int class2)
{
    return Tsbk(0x39, 0x00, {rfss, site, channel1 >> 8, channel1, class1, channel2 >> 8, channel2, class2});
}

TsbkBlock SystemServiceBroadcast(int available, int supported)
{
    return Tsbk(0x38, 0x00,
                {0, available >> 16, available >> 8, available, supported >> 16, supported >> 8, supported, 0});
}

TsbkBlock IdentifierUpdate(int iden, double bandwidth, double txOffset, double spacing, double base)
{
    return FromWord(0x3D, 0x00,
                    IdentifierWord(iden, Steps(bandwidth, SpacingStep), 9, txOffset >= 0,
                                   Steps(txOffset, WideOffsetStep), 8, Steps(spacing, SpacingStep), base));
}

TsbkBlock IdentifierUpdateVhfUhf(int iden, int bandwidthCode, double txOffset, double spacing, double base)
{
    return FromWord(0x34, 0x00,
                    IdentifierWord(iden, bandwidthCode, 4, txOffset >= 0, Steps(txOffset, spacing), 13,
                                   Steps(spacing, SpacingStep), base));
}

TsbkBlock IdentifierUpdateTdma(int iden, int channelType, double txOffset, double spacing, double base)
{
    return FromWord(0x33, 0x00,
                    IdentifierWord(iden, channelType, 4, txOffset >= 0, Steps(txOffset, spacing), 13,
                                   Steps(spacing, SpacingStep), base));
}

TsbkBlock MotorolaPatchAdd(int supergroup, int member1, int member2, int member3)
{
    return TwoPairs(0x00, Motorola, supergroup, member1, member2, member3);
}

TsbkBlock MotorolaPatchRelease(int supergroup, int member1, int member2, int member3)
{
    return TwoPairs(0x01, Motorola, supergroup, member1, member2, member3);
}

TsbkBlock MotorolaPatchedGroupVoiceGrant(int options, int channel, int talkgroup, int source)
{
    return ChannelGroupRadio(0x02, Motorola, options, channel, talkgroup, source);
}

TsbkBlock MotorolaPatchedGroupVoiceGrantUpdate(int channelA, int talkgroupA, int channelB, int talkgroupB)
{
    return TwoPairs(0x03, Motorola, channelA, talkgroupA, channelB, talkgroupB);
}

void PutCallSign(TsbkBlock& block, const std::string& callSign, int offset)
{
    uint32_t halves[2] = {0, 0};
    for (int i = 0; i < 8; ++i) {
        int value = i < static_cast<int>(callSign.size()) ? static_cast<unsigned char>(callSign[i]) - offset : 0;
        if (value < 0 || value > 0x3F)
            value = 0;
        halves[i / 4] = halves[i / 4] << 6 | static_cast<uint32_t>(value);
    }
    Put(block.data(), 2, 3, halves[0]);
    Put(block.data(), 5, 3, halves[1]);
    SealTsbk(block);
}

TsbkBlock MotorolaBaseStationId(const std::string& callSign, int channel)
{
    TsbkBlock block = Tsbk(0x0B, Motorola, {0, 0, 0, 0, 0, 0, channel >> 8, channel});
    PutCallSign(block, callSign, MotorolaCallSignOffset);
    return block;
}

TsbkBlock MotorolaScanMarker(int value1, int value2)
{
    return Tsbk(0x09, Motorola, {value1, value2});
}

TsbkBlock HarrisCallSign(const std::string& callSign, int channel)
{
    TsbkBlock block = Tsbk(0x33, Harris, {0, 0, 0, 0, 0, 0, channel >> 8, channel});
    PutCallSign(block, callSign, HarrisCallSignOffset);
    return block;
}

TsbkBlock HarrisEmergencyAlert(int talkgroup, int radio)
{
    return ChannelGroupRadio(0x22, Harris, 0, 0, talkgroup, radio);
}

Packet MakePacket(const PacketHeader& header, std::vector<uint8_t> data)
{
    const size_t blocks = std::max<size_t>(1, (data.size() + CrcBytes + TsbkSize - 1) / TsbkSize);
    data.resize(blocks * TsbkSize, 0);
    const uint32_t crc = PacketCrc32(data.data(), static_cast<int>(data.size()) - CrcBytes);
    Put(data.data(), static_cast<int>(data.size()) - CrcBytes, CrcBytes, crc);

    Packet packet(1 + blocks);
    TsbkBlock& first = packet[0];
    first[0] = HeaderOpcode;
    first[1] = TrunkingSap;
    first[2] = static_cast<uint8_t>(header.Mfid);
    Put(first.data(), 3, 3, static_cast<uint32_t>(header.Address));
    first[6] = static_cast<uint8_t>(0x80 | blocks);
    first[7] = static_cast<uint8_t>(header.Opcode & 0x3F);
    first[8] = static_cast<uint8_t>(header.Byte8);
    first[9] = static_cast<uint8_t>(header.Byte9);
    SealTsbk(first);
    for (size_t i = 0; i < blocks; ++i)
        std::copy_n(data.begin() + static_cast<long>(i * TsbkSize), TsbkSize, packet[1 + i].begin());
    return packet;
}

namespace {

// WACN and system ID split between the header (bytes 8-9) and block 1 (bytes 0-1).
void PutSplitIdentity(PacketHeader& header, std::vector<uint8_t>& data, int wacn, int sysId)
{
    header.Byte8 = wacn >> 8 & 0xFF;
    header.Byte9 = wacn & 0xFF;
    data[0] = static_cast<uint8_t>((wacn >> 16 & 0xF) << 4 | (sysId >> 8 & 0xF));
    data[1] = static_cast<uint8_t>(sysId);
}

int StatusAndSystem(int status, int sysId)
{
    return (status << 4 | (sysId >> 8 & 0xF)) << 8 | (sysId & 0xFF);
}

}

Packet PacketGroupVoiceGrant(int options, int source, int channel, int inputChannel, int talkgroup)
{
    std::vector<uint8_t> data(8, 0);
    Put(data.data(), 2, 2, static_cast<uint32_t>(channel));
    Put(data.data(), 4, 2, static_cast<uint32_t>(inputChannel));
    Put(data.data(), 6, 2, static_cast<uint32_t>(talkgroup));
    return MakePacket({0x00, source, 0x00, options, 0}, data);
}

Packet PacketUnitToUnitVoiceGrant(int wacn, int sysId, int source, int target, int channel, int inputChannel)
{
    std::vector<uint8_t> data(14, 0);
    Put(data.data(), 0, 4, static_cast<uint32_t>(wacn) << 12 | static_cast<uint32_t>(sysId & 0xFFF));
    Put(data.data(), 4, 3, static_cast<uint32_t>(source));
    Put(data.data(), 7, 3, static_cast<uint32_t>(target));
    Put(data.data(), 10, 2, static_cast<uint32_t>(channel));
    Put(data.data(), 12, 2, static_cast<uint32_t>(inputChannel));
    return MakePacket({0x00, target, 0x04, 0, 0}, data);
}

Packet PacketTelephoneVoiceGrant(int options, int radio, int channel, int inputChannel, int callTimer)
{
    std::vector<uint8_t> data(6, 0);
    Put(data.data(), 0, 2, static_cast<uint32_t>(channel));
    Put(data.data(), 2, 2, static_cast<uint32_t>(inputChannel));
    Put(data.data(), 4, 2, static_cast<uint32_t>(callTimer));
    return MakePacket({0x00, radio, 0x08, options, 0}, data);
}

Packet PacketGroupAffiliationResponse(int wacn, int sysId, int target, int source, int talkgroup, int announceGroup,
                                      Result result)
{
    PacketHeader header{0x00, target, 0x28, 0, 0};
    std::vector<uint8_t> data(14, 0);
    PutSplitIdentity(header, data, wacn, sysId);
    Put(data.data(), 2, 3, static_cast<uint32_t>(source));
    Put(data.data(), 5, 3, static_cast<uint32_t>(wacn) << 4 | static_cast<uint32_t>(sysId >> 8 & 0xF));
    data[8] = static_cast<uint8_t>(sysId);
    Put(data.data(), 9, 2, static_cast<uint32_t>(talkgroup));
    Put(data.data(), 11, 2, static_cast<uint32_t>(announceGroup));
    data[13] = static_cast<uint8_t>(result);
    return MakePacket(header, data);
}

Packet PacketUnitRegistrationResponse(int wacn, int sysId, int target, int workingId, Result result)
{
    PacketHeader header{0x00, target, 0x2C, 0, 0};
    std::vector<uint8_t> data(6, 0);
    PutSplitIdentity(header, data, wacn, sysId);
    Put(data.data(), 2, 3, static_cast<uint32_t>(workingId));
    data[5] = static_cast<uint8_t>(result);
    return MakePacket(header, data);
}

Packet PacketRfssStatus(int sysId, int rfss, int site, int channel, int inputChannel, int serviceClass, int status)
{
    std::vector<uint8_t> data(7, 0);
    data[0] = static_cast<uint8_t>(rfss);
    data[1] = static_cast<uint8_t>(site);
    Put(data.data(), 2, 2, static_cast<uint32_t>(channel));
    Put(data.data(), 4, 2, static_cast<uint32_t>(inputChannel));
    data[6] = static_cast<uint8_t>(serviceClass);
    return MakePacket({0x00, StatusAndSystem(status, sysId), 0x3A, 0, 0}, data);
}

Packet PacketNetworkStatus(int wacn, int sysId, int channel, int inputChannel, int serviceClass)
{
    std::vector<uint8_t> data(8, 0);
    Put(data.data(), 0, 3, static_cast<uint32_t>(wacn) << 4);
    Put(data.data(), 3, 2, static_cast<uint32_t>(channel));
    Put(data.data(), 5, 2, static_cast<uint32_t>(inputChannel));
    data[7] = static_cast<uint8_t>(serviceClass);
    return MakePacket({0x00, sysId & 0xFFF, 0x3B, 0, 0}, data);
}

Packet PacketAdjacentStatus(int sysId, int rfss, int site, int channel, int inputChannel, int serviceClass, int status)
{
    std::vector<uint8_t> data(6, 0);
    Put(data.data(), 0, 2, static_cast<uint32_t>(channel));
    Put(data.data(), 2, 2, static_cast<uint32_t>(inputChannel));
    data[5] = static_cast<uint8_t>(serviceClass);
    return MakePacket({0x00, StatusAndSystem(status, sysId), 0x3C, rfss, site}, data);
}

bool IsPacketValid(const Packet& packet)
{
    if (packet.size() < 2 || !IsTsbkCrcValid(packet[0].data()) || Opcode(packet[0].data()) != HeaderOpcode ||
        static_cast<size_t>(packet[0][6] & 0x7F) != packet.size() - 1)
        return false;
    std::vector<uint8_t> data;
    for (size_t i = 1; i < packet.size(); ++i)
        data.insert(data.end(), packet[i].begin(), packet[i].end());
    const int length = static_cast<int>(data.size()) - CrcBytes;
    return PacketCrc32(data.data(), length) == Get32(data.data(), length);
}

}

#pragma once
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "decoder/Tsbk.h"

// Builds control channel blocks from their fields, as a site would send them: each
// single block with its CRC-16, each multi-block packet with its header's CRC-16 and the
// packet CRC-32 at the end of its last data block. Used by zembrant-sim and by tests.
namespace MessageEncoder {

// Service options of the grants that carry them (byte 2, or header byte 8 of a packet).
constexpr int Emergency = 0x80;
constexpr int Encrypted = 0x40;

// Affiliation and registration results.
enum class Result
{
    Accept = 0,
    Fail = 1,
    Deny = 2,
    Refuse = 3,
};

// Writes bytes 10-11.
void SealTsbk(TsbkBlock& block);
// A block of opcode, MFID and argument bytes 2-9 (zero-filled), sealed.
TsbkBlock Tsbk(int opcode, int mfid, std::initializer_list<int> args = {});

// Grants.
TsbkBlock GroupVoiceGrant(int options, int channel, int talkgroup, int source);
TsbkBlock GroupVoiceGrantUpdate(int channelA, int talkgroupA, int channelB, int talkgroupB);
TsbkBlock ExplicitGroupVoiceGrantUpdate(int options, int rxChannel, int txChannel, int talkgroup);
TsbkBlock UnitToUnitVoiceGrant(int channel, int target, int source);
TsbkBlock UnitToUnitVoiceGrantUpdate(int channel, int target, int source);
TsbkBlock TelephoneVoiceGrant(int options, int channel, int callTimer, int radio);
TsbkBlock TelephoneVoiceGrantUpdate(int options, int channel, int callTimer, int radio);
TsbkBlock PrivateDataGrant(int channel, int target, int source);
TsbkBlock GroupDataChannelGrant(int options, int channel, int talkgroup, int radio);
TsbkBlock GroupDataChannelAnnouncement(int channelA, int talkgroupA, int channelB, int talkgroupB);
TsbkBlock DataChannelGrantExplicit(int rxChannel, int txChannel, int radio);
TsbkBlock DataChannelAnnouncementExplicit(int status, int rxChannel, int txChannel, int group);

// Unit responses, registrations and requests.
TsbkBlock GroupAffiliationResponse(bool global, Result result, int announceGroup, int talkgroup, int radio);
TsbkBlock UnitRegistrationResponse(Result result, int sysId, int sourceId, int workingId);
TsbkBlock DeregistrationResponse(int wacn, int sysId, int radio);
TsbkBlock LocationRegistrationResponse(Result result, int talkgroup, int rfss, int site, int radio);
TsbkBlock CallAlert(int target, int source);
TsbkBlock UnitStatusUpdate(int status, int target, int source);
TsbkBlock AcknowledgeResponse(int serviceType, int target, int source);
TsbkBlock DenyResponse(int serviceType, int reason, int target, int source);
TsbkBlock QueuedResponse(int serviceType, int reason, int target, int source);

// Control channel broadcasts. Frequencies in MHz; the base is sent in 5 Hz steps.
TsbkBlock RfssStatus(int sysId, int rfss, int site, int channel, int serviceClass, int status = 0x1);
TsbkBlock NetworkStatus(int wacn, int sysId, int channel, int serviceClass);
TsbkBlock AdjacentStatus(int sysId, int rfss, int site, int channel, int serviceClass, int status = 0x1);
TsbkBlock SecondaryControlChannel(int rfss, int site, int channel1, int class1, int channel2, int class2);
TsbkBlock SystemServiceBroadcast(int available, int supported);
// 800 MHz style: bandwidth in 125 Hz steps, offset in 250 kHz steps, spacing in 125 Hz steps.
TsbkBlock IdentifierUpdate(int iden, double bandwidth, double txOffset, double spacing, double base);
// VHF/UHF: bandwidth code (x 2.5 kHz), offset in multiples of the spacing.
TsbkBlock IdentifierUpdateVhfUhf(int iden, int bandwidthCode, double txOffset, double spacing, double base);
// TDMA: channel type 0-5 (slots and bandwidth follow from it).
TsbkBlock IdentifierUpdateTdma(int iden, int channelType, double txOffset, double spacing, double base);

// Manufacturer-specific messages.
constexpr int Motorola = 0x90;
constexpr int Harris = 0xA4;
TsbkBlock MotorolaPatchAdd(int supergroup, int member1, int member2, int member3);
TsbkBlock MotorolaPatchRelease(int supergroup, int member1, int member2, int member3);
TsbkBlock MotorolaPatchedGroupVoiceGrant(int options, int channel, int talkgroup, int source);
TsbkBlock MotorolaPatchedGroupVoiceGrantUpdate(int channelA, int talkgroupA, int channelB, int talkgroupB);
// Base station identification: up to 8 characters from ',' to 'j' (upper case, digits).
TsbkBlock MotorolaBaseStationId(const std::string& callSign, int channel);
TsbkBlock MotorolaScanMarker(int value1, int value2);
TsbkBlock HarrisCallSign(const std::string& callSign, int channel);
TsbkBlock HarrisEmergencyAlert(int talkgroup, int radio);
// 6-bit packing, first character in the top bits of bytes 2-4, then bytes 5-7.
void PutCallSign(TsbkBlock& block, const std::string& callSign, int offset);

// Multi-block packets: the header (opcode 0x37) followed by the data blocks.
using Packet = std::vector<TsbkBlock>;
struct PacketHeader
{
    int Mfid = 0x00;
    int Address = 0; // header bytes 3-5
    int Opcode = 0;
    int Byte8 = 0;
    int Byte9 = 0;
};
// data: the data bytes, 12 per block (the last 4 of the last block are the CRC-32).
Packet MakePacket(const PacketHeader& header, std::vector<uint8_t> data);

Packet PacketGroupVoiceGrant(int options, int source, int channel, int inputChannel, int talkgroup);
Packet PacketUnitToUnitVoiceGrant(int wacn, int sysId, int source, int target, int channel, int inputChannel);
Packet PacketTelephoneVoiceGrant(int options, int radio, int channel, int inputChannel, int callTimer);
Packet PacketGroupAffiliationResponse(int wacn, int sysId, int target, int source, int talkgroup, int announceGroup,
                                      Result result);
Packet PacketUnitRegistrationResponse(int wacn, int sysId, int target, int workingId, Result result);
Packet PacketRfssStatus(int sysId, int rfss, int site, int channel, int inputChannel, int serviceClass,
                        int status = 0x1);
Packet PacketNetworkStatus(int wacn, int sysId, int channel, int inputChannel, int serviceClass);
Packet PacketAdjacentStatus(int sysId, int rfss, int site, int channel, int inputChannel, int serviceClass,
                            int status = 0x1);

// True when the blocks form a packet whose header CRC-16 and packet CRC-32 hold.
bool IsPacketValid(const Packet& packet);

}

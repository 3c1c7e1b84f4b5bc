#pragma once
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "events/EventOutput.h"

struct CONFIG;

// Where and how the events reach a broker.
struct MqttSettings
{
    std::string Host = "localhost";
    int Port = 1883;
    bool Tls = false;
    // TLS without a CA file trusts the system's certificates.
    std::string CaFile;
    std::string UserName;
    std::string Password;
    std::string TopicPrefix = "zembrant";
    // Empty: "zembrant-" and the host name.
    std::string ClientId;

    static MqttSettings From(const CONFIG& config);
    friend bool operator==(const MqttSettings&, const MqttSettings&) = default;
};

// "mqtt://[USER[:PASSWORD]@]HOST[:PORT][/PREFIX]", or "mqtts://" for TLS (port 8883 unless
// given). Fields the address leaves out keep the values settings already holds. False with
// a message that names what is wrong.
bool ParseMqttAddress(std::string_view address, MqttSettings& settings, std::string& error);

// Publishes the events to an MQTT broker through libmosquitto. Topics are
// PREFIX/<Source>/<Type> (PREFIX/<Type> while Source is empty); retained states go at
// QoS 1 with the retain flag, the stream at QoS 0. PREFIX/status/<client id> says
// "online" (retained) and the broker's last will says "offline".
//
// Publish never waits: events wait in a queue of QueueCapacity, the oldest given up (and
// counted) when it is full, while the client's own thread connects, reconnects with
// back-off and sends. A lost or regained broker and a refused login are told once each
// through TakeNotices.
class MqttOutput : public EventOutput
{
public:
    static constexpr size_t QueueCapacity = 10000;

    explicit MqttOutput(const MqttSettings& settings);
    // Says "offline" and disconnects without waiting for what is still queued.
    ~MqttOutput() override;
    MqttOutput(const MqttOutput&) = delete;
    MqttOutput& operator=(const MqttOutput&) = delete;

    void Publish(const EventLine& line) override;
    void WaitForRoom() override;
    uint64_t Dropped() const override;
    std::vector<std::string> TakeNotices() override;

    bool IsConnected() const;
    // Waits until the queue is sent or the time is up (the CLI at the end of a replay);
    // true when nothing is left. Never called on a window's thread.
    bool Drain(std::chrono::milliseconds timeout);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

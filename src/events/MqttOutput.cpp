#include "events/MqttOutput.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <stop_token>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <unordered_map>
#include <utility>

#include <mosquitto.h>
#include <mqtt_protocol.h>

#include "persistence/Config.h"
#include "platform/Text.h"

namespace {

constexpr int PlainPort = 1883;
constexpr int TlsPort = 8883;
constexpr int KeepAliveSeconds = 60;
// Messages handed to the library and not yet written (QoS 0) or acknowledged (QoS 1):
// the rest wait in our own queue, where a full queue is counted.
constexpr size_t SendWindow = 1000;
// A replay that outran a connected broker waits this long at most for room in the queue.
constexpr auto RoomPatience = std::chrono::seconds(5);
constexpr std::chrono::seconds FirstRetry{1};
constexpr std::chrono::seconds LongestRetry{30};
// A connection attempt that neither succeeds nor fails (a host that drops the packets)
// is told after this.
constexpr std::chrono::seconds AnswerPatience{10};
// Each of the two waits when closing: "offline" acknowledged, then the disconnection.
constexpr std::chrono::seconds ClosePatience{1};
constexpr const char* SystemCertificates = "/etc/ssl/certs";
constexpr std::string_view OnlineStatus = R"({"v":1,"status":"online"})";
constexpr std::string_view OfflineStatus = R"({"v":1,"status":"offline"})";

using Clock = std::chrono::steady_clock;

bool PercentDecode(std::string_view text, std::string& out)
{
    out.clear();
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        unsigned byte = 0;
        const char* digits = text.data() + i + 1;
        if (i + 2 >= text.size() || std::from_chars(digits, digits + 2, byte, 16).ptr != digits + 2)
            return false;
        out += static_cast<char>(byte);
        i += 2;
    }
    return true;
}

bool ReadPort(std::string_view text, int& port)
{
    int value = 0;
    const auto [end, failure] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || failure != std::errc() || end != text.data() + text.size() || value < 1 || value > 65535)
        return false;
    port = value;
    return true;
}

// Library texts start with a capital and end with a full stop; notices go into a line.
std::string AsClause(std::string text)
{
    if (!text.empty() && text.back() == '.')
        text.pop_back();
    if (!text.empty())
        text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
    return text;
}

std::string ReasonOf(int rc, int error)
{
    if (rc == MOSQ_ERR_ERRNO && error != 0)
        return AsClause(std::error_code(error, std::generic_category()).message());
    return AsClause(mosquitto_strerror(rc));
}

// "Connection Refused: not authorised." gives "not authorised".
std::string RefusalOf(int rc)
{
    const std::string text = mosquitto_connack_string(rc);
    const size_t colon = text.find(": ");
    return AsClause(colon == std::string::npos ? text : text.substr(colon + 2));
}

std::string DefaultClientId()
{
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0 || name[0] == '\0')
        return "zembrant";
    return std::string("zembrant-") + name;
}

void InitLibrary()
{
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

}

MqttSettings MqttSettings::From(const CONFIG& config)
{
    MqttSettings settings;
    settings.Host = config.MqttHost;
    settings.Port = config.MqttPort;
    settings.Tls = config.MqttTls;
    settings.CaFile = config.MqttCaFile;
    settings.UserName = config.MqttUserName;
    settings.Password = config.MqttPassword;
    settings.TopicPrefix = config.MqttTopicPrefix;
    settings.ClientId = config.MqttClientId;
    return settings;
}

bool ParseMqttAddress(std::string_view address, MqttSettings& settings, std::string& error)
{
    const size_t schemeEnd = address.find("://");
    const std::string_view scheme = schemeEnd == std::string_view::npos ? "" : address.substr(0, schemeEnd);
    const bool tls = EqualsIgnoringCase(scheme, "mqtts");
    if (!tls && !EqualsIgnoringCase(scheme, "mqtt")) {
        error = "The MQTT address must start with mqtt:// or mqtts://";
        return false;
    }
    MqttSettings parsed = settings;
    parsed.Tls = tls;
    parsed.Port = tls ? TlsPort : PlainPort;

    std::string_view rest = address.substr(schemeEnd + 3);
    const size_t pathStart = rest.find('/');
    std::string_view authority = rest.substr(0, pathStart);
    if (pathStart != std::string_view::npos) {
        std::string_view prefix = rest.substr(pathStart + 1);
        while (!prefix.empty() && prefix.back() == '/')
            prefix.remove_suffix(1);
        if (prefix.find_first_of("+#") != std::string_view::npos) {
            error = "The MQTT topic prefix \"" + std::string(prefix) + "\" holds a wildcard (+ or #)";
            return false;
        }
        if (!prefix.empty())
            parsed.TopicPrefix = prefix;
    }

    // The last @, as a password typed without its escapes may hold one.
    const size_t at = authority.rfind('@');
    if (at != std::string_view::npos) {
        const std::string_view login = authority.substr(0, at);
        const size_t colon = login.find(':');
        if (!PercentDecode(login.substr(0, colon), parsed.UserName)
            || !PercentDecode(colon == std::string_view::npos ? "" : login.substr(colon + 1), parsed.Password)) {
            error = "The MQTT address has a broken %-escape in its user name or password";
            return false;
        }
        authority.remove_prefix(at + 1);
    }

    std::string_view host = authority;
    std::optional<std::string_view> port;
    if (authority.starts_with('[')) {
        const size_t close = authority.find(']');
        const std::string_view after = close == std::string_view::npos ? "" : authority.substr(close + 1);
        if (close == std::string_view::npos || (!after.empty() && !after.starts_with(':'))) {
            error = "The MQTT address has a broken [IPv6] host";
            return false;
        }
        host = authority.substr(1, close - 1);
        if (!after.empty())
            port = after.substr(1);
    } else if (const size_t colon = authority.find(':'); colon != std::string_view::npos) {
        host = authority.substr(0, colon);
        port = authority.substr(colon + 1);
    }
    if (host.empty()) {
        error = "The MQTT address names no host";
        return false;
    }
    if (port && !ReadPort(*port, parsed.Port)) {
        error = "The MQTT port \"" + std::string(*port) + "\" is not a port number (1 to 65535)";
        return false;
    }
    parsed.Host = host;
    settings = parsed;
    return true;
}

struct MqttOutput::Impl
{
    explicit Impl(const MqttSettings& settings);
    ~Impl();

    void Execute(std::stop_token stop);
    bool Connect(std::stop_token stop);
    bool CanSend() const { return m_connected && !m_stalled && !m_queue.empty() && m_unacked.size() < SendWindow; }
    bool IsIdle() const { return m_queue.empty() && m_unacked.empty(); }
    void SendFirst(std::unique_lock<std::mutex>& lock);
    int PublishNow(const std::string& topic, std::string_view payload, int qos, bool retain, uint64_t generation,
                   std::unique_lock<std::mutex>& lock);
    std::string TopicOf(const EventLine& line) const;
    void Close();
    void GiveUp(std::string notice);

    void Connected(int rc);
    void Disconnected(int rc, int error);
    void Published(int mid);
    void TlsFailed(std::string_view text);

    MqttSettings m_settings;
    // "HOST:PORT" as the notices name the broker.
    std::string m_broker;
    std::string m_statusTopic;
    mosquitto* m_client = nullptr;

    mutable std::mutex m_mutex;
    std::condition_variable_any m_changed;
    std::deque<EventLine> m_queue;
    // QoS by message id, of what the library holds for us.
    std::unordered_map<int, int> m_unacked;
    // An acknowledgement may overtake the return of the publish call that sent it.
    std::vector<int> m_earlyAcks;
    bool m_publishing = false;
    // Counts the disconnections: QoS 0 messages handed over before one are gone.
    uint64_t m_generation = 0;
    uint64_t m_dropped = 0;
    uint64_t m_droppedAtLoss = 0;
    std::vector<std::string> m_notices;
    bool m_loopStarted = false;
    bool m_connected = false;
    // The library said "no connection" before it reported the disconnection.
    bool m_stalled = false;
    bool m_everConnected = false;
    bool m_unreachableTold = false;
    bool m_gaveUp = false;
    bool m_closing = false;
    bool m_closed = false;
    std::jthread m_sender;
};

MqttOutput::Impl::Impl(const MqttSettings& settings) : m_settings(settings)
{
    const bool ipv6 = m_settings.Host.find(':') != std::string::npos;
    m_broker = (ipv6 ? "[" + m_settings.Host + "]" : m_settings.Host) + ":" + std::to_string(m_settings.Port);
    while (!m_settings.TopicPrefix.empty() && m_settings.TopicPrefix.back() == '/')
        m_settings.TopicPrefix.pop_back();
    if (m_settings.ClientId.empty())
        m_settings.ClientId = DefaultClientId();
    m_statusTopic = (m_settings.TopicPrefix.empty() ? "" : m_settings.TopicPrefix + "/") + "status/"
                    + m_settings.ClientId;

    InitLibrary();
    m_client = mosquitto_new(m_settings.ClientId.c_str(), true, this);
    if (!m_client) {
        GiveUp("cannot make an MQTT client for the broker " + m_broker);
        return;
    }
    // Events are small and many: each goes out at once rather than waiting for an ACK.
    mosquitto_int_option(m_client, MOSQ_OPT_TCP_NODELAY, 1);
    mosquitto_connect_callback_set(m_client, [](mosquitto*, void* self, int rc) {
        static_cast<Impl*>(self)->Connected(rc);
    });
    mosquitto_disconnect_callback_set(m_client, [](mosquitto*, void* self, int rc) {
        const int error = errno;
        static_cast<Impl*>(self)->Disconnected(rc, error);
    });
    mosquitto_publish_callback_set(m_client, [](mosquitto*, void* self, int mid) {
        static_cast<Impl*>(self)->Published(mid);
    });
    mosquitto_will_set(m_client, m_statusTopic.c_str(), static_cast<int>(OfflineStatus.size()), OfflineStatus.data(),
                       1, true);
    if (!m_settings.UserName.empty())
        mosquitto_username_pw_set(m_client, m_settings.UserName.c_str(), m_settings.Password.c_str());
    if (m_settings.Tls) {
        const bool ownCa = !m_settings.CaFile.empty();
        const int rc = mosquitto_tls_set(m_client, ownCa ? m_settings.CaFile.c_str() : nullptr,
                                         ownCa ? nullptr : SystemCertificates, nullptr, nullptr, nullptr);
        if (rc != MOSQ_ERR_SUCCESS) {
            // The library only says "invalid arguments" for a CA file it cannot read.
            const bool readable = !ownCa || access(m_settings.CaFile.c_str(), R_OK) == 0;
            const int error = errno;
            GiveUp("cannot use TLS with the MQTT broker " + m_broker
                   + (ownCa ? " and the CA file " + m_settings.CaFile : "") + ": "
                   + (readable ? ReasonOf(rc, 0) : ReasonOf(MOSQ_ERR_ERRNO, error)));
            return;
        }
        // A failed handshake ends the library's loop without a callback; only its log says why.
        mosquitto_log_callback_set(m_client, [](mosquitto*, void* self, int level, const char* text) {
            if (level == MOSQ_LOG_ERR && std::string_view(text).starts_with("OpenSSL Error"))
                static_cast<Impl*>(self)->TlsFailed(text);
        });
    }
    mosquitto_reconnect_delay_set(m_client, static_cast<unsigned>(FirstRetry.count()),
                                  static_cast<unsigned>(LongestRetry.count()), true);
    m_sender = std::jthread([this](std::stop_token stop) { Execute(stop); });
}

MqttOutput::Impl::~Impl()
{
    if (m_sender.joinable()) {
        m_sender.request_stop();
        m_sender.join();
    }
    if (m_client) {
        Close();
        mosquitto_destroy(m_client);
    }
}

void MqttOutput::Impl::GiveUp(std::string notice)
{
    std::lock_guard guard(m_mutex);
    m_gaveUp = true;
    m_notices.push_back(std::move(notice));
    m_changed.notify_all();
}

std::string MqttOutput::Impl::TopicOf(const EventLine& line) const
{
    std::string topic = m_settings.TopicPrefix;
    for (const std::string* level : {&line.Source, &line.Type}) {
        if (level->empty())
            continue;
        if (!topic.empty())
            topic += '/';
        topic += *level;
    }
    return topic;
}

// The first connection is tried here rather than by the library's loop, which does not
// retry one that failed at once, and so that a slow name lookup never holds up the caller.
bool MqttOutput::Impl::Connect(std::stop_token stop)
{
    std::chrono::seconds delay = FirstRetry;
    while (!stop.stop_requested()) {
        const int rc = mosquitto_connect_async(m_client, m_settings.Host.c_str(), m_settings.Port, KeepAliveSeconds);
        const int error = errno;
        std::unique_lock lock(m_mutex);
        if (rc == MOSQ_ERR_SUCCESS) {
            lock.unlock();
            if (mosquitto_loop_start(m_client) != MOSQ_ERR_SUCCESS) {
                GiveUp("cannot start the MQTT client's thread for the broker " + m_broker);
                return false;
            }
            lock.lock();
            m_loopStarted = true;
            return true;
        }
        if (!m_unreachableTold) {
            m_unreachableTold = true;
            m_notices.push_back("cannot reach the MQTT broker " + m_broker + ": " + ReasonOf(rc, error));
        }
        m_changed.wait_for(lock, stop, delay, [] { return false; });
        delay = std::min(delay * 2, LongestRetry);
    }
    return false;
}

void MqttOutput::Impl::Execute(std::stop_token stop)
{
    if (!Connect(stop))
        return;
    std::unique_lock lock(m_mutex);
    const auto patience = Clock::now() + AnswerPatience;
    while (!stop.stop_requested()) {
        bool ready;
        if (m_everConnected || m_unreachableTold) {
            ready = m_changed.wait(lock, stop, [this] { return CanSend(); });
        } else {
            ready = m_changed.wait_until(lock, stop, patience, [this] { return CanSend(); });
            if (!ready && Clock::now() >= patience && !m_everConnected && !m_unreachableTold) {
                m_unreachableTold = true;
                m_notices.push_back("cannot reach the MQTT broker " + m_broker + ": no answer");
            }
        }
        if (ready)
            SendFirst(lock);
    }
}

void MqttOutput::Impl::SendFirst(std::unique_lock<std::mutex>& lock)
{
    EventLine line = std::move(m_queue.front());
    m_queue.pop_front();
    const int qos = line.Retained ? 1 : 0;
    const uint64_t generation = m_generation;
    const int rc = PublishNow(TopicOf(line), line.Json, qos, line.Retained, generation, lock);
    if (rc == MOSQ_ERR_NO_CONN || rc == MOSQ_ERR_CONN_LOST) {
        // Lost before the library told us: the line waits, and we wait for the next connection
        // rather than try again and again until the disconnection is reported.
        if (generation == m_generation)
            m_stalled = true;
        if (m_queue.size() < QueueCapacity)
            m_queue.push_front(std::move(line));
        else
            ++m_dropped;
    } else if (rc != MOSQ_ERR_SUCCESS) {
        ++m_dropped;
    }
    // Drain waits for an idle queue, a paced replay for a half-empty one.
    if (IsIdle() || m_queue.size() == QueueCapacity / 2 - 1)
        m_changed.notify_all();
}

// Called and returning with the lock held; the library is called without it, so that our
// callbacks, which run under the library's locks, never wait for a caller that waits for
// the library.
int MqttOutput::Impl::PublishNow(const std::string& topic, std::string_view payload, int qos, bool retain,
                                 uint64_t generation, std::unique_lock<std::mutex>& lock)
{
    m_publishing = true;
    lock.unlock();
    int mid = 0;
    int rc = mosquitto_publish(m_client, &mid, topic.c_str(), static_cast<int>(payload.size()), payload.data(), qos,
                               retain);
    lock.lock();
    m_publishing = false;
    // A QoS 1 message the library could not send yet stays with it, to go on reconnecting.
    const bool held = rc == MOSQ_ERR_SUCCESS || (qos == 1 && (rc == MOSQ_ERR_NO_CONN || rc == MOSQ_ERR_CONN_LOST));
    if (held) {
        rc = MOSQ_ERR_SUCCESS;
        const bool acked = std::find(m_earlyAcks.begin(), m_earlyAcks.end(), mid) != m_earlyAcks.end();
        if (!acked && qos == 0 && generation != m_generation)
            ++m_dropped;
        else if (!acked)
            m_unacked[mid] = qos;
    }
    m_earlyAcks.clear();
    return rc;
}

void MqttOutput::Impl::Close()
{
    std::unique_lock lock(m_mutex);
    if (!m_loopStarted)
        return;
    if (m_connected && !m_closing) {
        PublishNow(m_statusTopic, OfflineStatus, 1, true, m_generation, lock);
        m_changed.wait_for(lock, ClosePatience, [this] { return !m_connected || m_unacked.empty(); });
    }
    const bool connected = m_connected;
    m_closing = true;
    lock.unlock();
    mosquitto_disconnect(m_client);
    lock.lock();
    if (connected)
        m_changed.wait_for(lock, ClosePatience, [this] { return m_closed; });
    // Without a confirmed disconnection the loop may sleep out a reconnection delay.
    const bool force = !m_closed;
    lock.unlock();
    mosquitto_loop_stop(m_client, force);
}

void MqttOutput::Impl::Connected(int rc)
{
    if (rc == 0) {
        int mid = 0;
        const int sent = mosquitto_publish(m_client, &mid, m_statusTopic.c_str(), static_cast<int>(OnlineStatus.size()),
                                           OnlineStatus.data(), 1, true);
        std::lock_guard guard(m_mutex);
        // Its acknowledgement is read on this thread, after we return.
        if (sent == MOSQ_ERR_SUCCESS)
            m_unacked[mid] = 1;
        // After a notice that it was away, one that it is back.
        if (m_everConnected || m_unreachableTold) {
            const uint64_t dropped = m_dropped - m_droppedAtLoss;
            m_notices.push_back("reached the MQTT broker " + m_broker + (m_everConnected ? " again" : "")
                                + (dropped == 0 ? ""
                                                : "; " + std::to_string(dropped) + " events were dropped meanwhile"));
        }
        m_everConnected = true;
        m_connected = true;
        m_stalled = false;
        m_changed.notify_all();
        return;
    }
    if (rc == CONNACK_REFUSED_BAD_USERNAME_PASSWORD || rc == CONNACK_REFUSED_NOT_AUTHORIZED) {
        {
            std::lock_guard guard(m_mutex);
            const std::string who =
                m_settings.UserName.empty() ? "an anonymous login" : "the login of " + m_settings.UserName;
            m_notices.push_back("the MQTT broker " + m_broker + " refused " + who + ": " + RefusalOf(rc));
            m_gaveUp = true;
            m_closing = true;
            m_changed.notify_all();
        }
        // Asking again would only be refused again: the loop ends after this.
        mosquitto_disconnect(m_client);
        return;
    }
    std::lock_guard guard(m_mutex);
    if (!m_everConnected && !m_unreachableTold) {
        m_unreachableTold = true;
        m_notices.push_back("cannot reach the MQTT broker " + m_broker + ": " + RefusalOf(rc));
    }
}

void MqttOutput::Impl::Disconnected(int rc, int error)
{
    std::lock_guard guard(m_mutex);
    const bool wasConnected = m_connected;
    m_connected = false;
    m_stalled = false;
    ++m_generation;
    if (wasConnected && !m_closing && !m_gaveUp) {
        m_droppedAtLoss = m_dropped;
        m_notices.push_back("lost the MQTT broker " + m_broker + ": " + ReasonOf(rc, error) + "; events wait, up to "
                            + std::to_string(QueueCapacity));
    } else if (!m_everConnected && !m_unreachableTold && !m_closing && !m_gaveUp) {
        m_unreachableTold = true;
        m_notices.push_back("cannot reach the MQTT broker " + m_broker + ": " + ReasonOf(rc, error));
    }
    // QoS 0 messages the library had not written yet went with the connection.
    std::erase_if(m_unacked, [this](const auto& entry) {
        if (entry.second != 0)
            return false;
        ++m_dropped;
        return true;
    });
    if (m_closing)
        m_closed = true;
    m_changed.notify_all();
}

void MqttOutput::Impl::Published(int mid)
{
    std::lock_guard guard(m_mutex);
    if (m_unacked.erase(mid) == 0 && m_publishing)
        m_earlyAcks.push_back(mid);
    m_changed.notify_all();
}

// "OpenSSL Error[0]: error:0A000086:SSL routines::certificate verify failed".
void MqttOutput::Impl::TlsFailed(std::string_view text)
{
    std::lock_guard guard(m_mutex);
    if (m_everConnected || m_unreachableTold)
        return;
    m_unreachableTold = true;
    m_notices.push_back("cannot reach the MQTT broker " + m_broker + " over TLS: "
                        + std::string(text.substr(text.rfind(':') + 1)));
    m_changed.notify_all();
}

MqttOutput::MqttOutput(const MqttSettings& settings) : m_impl(std::make_unique<Impl>(settings)) {}

MqttOutput::~MqttOutput() = default;

void MqttOutput::Publish(const EventLine& line)
{
    std::lock_guard guard(m_impl->m_mutex);
    if (m_impl->m_queue.size() >= QueueCapacity) {
        m_impl->m_queue.pop_front();
        ++m_impl->m_dropped;
    }
    m_impl->m_queue.push_back(line);
    // The sender waits on an empty queue only; a fuller one wakes it through the other
    // conditions it waits for (a connection, room in the send window).
    if (m_impl->m_queue.size() == 1)
        m_impl->m_changed.notify_all();
}

void MqttOutput::WaitForRoom()
{
    std::unique_lock lock(m_impl->m_mutex);
    m_impl->m_changed.wait_for(lock, RoomPatience, [this] {
        return !m_impl->m_connected || m_impl->m_gaveUp || m_impl->m_queue.size() < QueueCapacity / 2;
    });
}

uint64_t MqttOutput::Dropped() const
{
    std::lock_guard guard(m_impl->m_mutex);
    return m_impl->m_dropped;
}

std::vector<std::string> MqttOutput::TakeNotices()
{
    std::lock_guard guard(m_impl->m_mutex);
    return std::exchange(m_impl->m_notices, {});
}

bool MqttOutput::IsConnected() const
{
    std::lock_guard guard(m_impl->m_mutex);
    return m_impl->m_connected;
}

bool MqttOutput::Drain(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(m_impl->m_mutex);
    m_impl->m_changed.wait_for(lock, timeout, [this] { return m_impl->IsIdle() || m_impl->m_gaveUp; });
    return m_impl->IsIdle();
}

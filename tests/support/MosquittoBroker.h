#pragma once
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include <mosquitto.h>
#include <mqtt_protocol.h>

#include "support/TemporaryFolder.h"

extern char** environ;

// A mosquitto broker of a test's own on a free loopback port, its files in a fresh folder.
// Sessions and retained messages outlive Stop and Start, so that a collector that comes
// back after a restart still gets what was published meanwhile. A test program that uses
// this header links libmosquitto (PkgConfig::MOSQUITTO).
class MosquittoBroker
{
public:
    static constexpr auto Patience = std::chrono::seconds(10);

    // With a user name only that login is let in; without, anyone.
    explicit MosquittoBroker(const std::string& userName = {}, const std::string& password = {})
        : m_port(FreePort())
    {
        const passwd* user = getpwuid(getuid());
        std::string config = "listener " + std::to_string(m_port) + " 127.0.0.1\n"
                             // As root it would otherwise turn into a user who cannot write here.
                             + "user " + std::string(user ? user->pw_name : "root") + "\n"
                             + "persistence true\npersistence_location " + m_folder.Path() + "\n"
                             + "queue_qos0_messages true\nmax_queued_messages 100000\n";
        if (userName.empty()) {
            config += "allow_anonymous true\n";
        } else {
            const std::string file = m_folder / "passwords";
            Run({"mosquitto_passwd", "-b", "-c", file, userName, password});
            config += "allow_anonymous false\npassword_file " + file + "\n";
        }
        WriteText(m_folder / "mosquitto.conf", config);
        Start();
    }
    ~MosquittoBroker() { Stop(); }
    MosquittoBroker(const MosquittoBroker&) = delete;
    MosquittoBroker& operator=(const MosquittoBroker&) = delete;

    int Port() const { return m_port; }
    bool IsRunning() const { return m_pid > 0; }
    // What the broker wrote, for a failed test's message.
    std::string Log() const { return ReadText(m_folder / "broker.log"); }

    // Starts it again on the same port; true once it accepts connections.
    bool Start()
    {
        if (m_pid > 0)
            return true;
        const std::string config = m_folder / "mosquitto.conf";
        const std::string log = m_folder / "broker.log";
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
        std::vector<char*> argv{const_cast<char*>("mosquitto"), const_cast<char*>("-c"),
                                const_cast<char*>(config.c_str()), nullptr};
        pid_t pid = -1;
        const int spawned = posix_spawn(&pid, "/usr/sbin/mosquitto", &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (spawned != 0)
            return false;
        m_pid = pid;
        const auto deadline = std::chrono::steady_clock::now() + Patience;
        while (std::chrono::steady_clock::now() < deadline) {
            if (waitpid(m_pid, nullptr, WNOHANG) == m_pid) {
                m_pid = -1;
                return false;
            }
            if (Accepts(m_port))
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }

    // Ends it as a service manager would (its sessions saved), killing it if it lingers.
    void Stop()
    {
        if (m_pid <= 0)
            return;
        kill(m_pid, SIGTERM);
        const auto deadline = std::chrono::steady_clock::now() + Patience;
        while (waitpid(m_pid, nullptr, WNOHANG) != m_pid) {
            if (std::chrono::steady_clock::now() > deadline) {
                kill(m_pid, SIGKILL);
                waitpid(m_pid, nullptr, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        m_pid = -1;
    }

    // A loopback port nothing listens on (the system's choice for port 0).
    static int FreePort()
    {
        const int probe = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        int port = 0;
        if (bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0
            && getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length) == 0)
            port = ntohs(address.sin_port);
        close(probe);
        return port;
    }

private:
    static bool Accepts(int port)
    {
        const int client = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<uint16_t>(port));
        const bool accepted = connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        close(client);
        return accepted;
    }

    static void Run(std::vector<std::string> arguments)
    {
        std::vector<char*> argv;
        for (std::string& argument : arguments)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        pid_t pid = -1;
        if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) == 0)
            waitpid(pid, nullptr, 0);
    }

    TemporaryFolder m_folder;
    int m_port;
    pid_t m_pid = -1;
};

// One message as a subscriber received it.
struct MQTTMESSAGE
{
    std::string Topic;
    std::string Payload;
    int Qos = 0;
    bool Retained = false;

    friend bool operator==(const MQTTMESSAGE&, const MQTTMESSAGE&) = default;
};

inline std::ostream& operator<<(std::ostream& out, const MQTTMESSAGE& message)
{
    return out << message.Topic << " " << message.Payload << " qos " << message.Qos
               << (message.Retained ? " retained" : "");
}

// A subscriber that gathers what the broker sends it (the library's thread adds, the test
// reads). MQTT 5 with retain-as-published, so that a live message shows the publisher's
// retain flag; its session outlives a restart of the broker.
class MqttCollector
{
public:
    using Messages = std::vector<MQTTMESSAGE>;

    explicit MqttCollector(int port, const std::string& filter = "zembrant/#") : m_filter(filter)
    {
        static std::once_flag once;
        std::call_once(once, [] { mosquitto_lib_init(); });
        static std::atomic<int> collectors{0};
        const std::string id = "collector-" + std::to_string(++collectors);
        m_client = mosquitto_new(id.c_str(), false, this);
        mosquitto_int_option(m_client, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V5);
        mosquitto_connect_v5_callback_set(m_client, [](mosquitto* client, void* self, int rc, int flags,
                                                       const mosquitto_property*) {
            const bool sessionPresent = (flags & 1) != 0;
            if (rc == 0 && !sessionPresent)
                mosquitto_subscribe_v5(client, nullptr, static_cast<MqttCollector*>(self)->m_filter.c_str(), 1,
                                       MQTT_SUB_OPT_RETAIN_AS_PUBLISHED, nullptr);
        });
        mosquitto_subscribe_callback_set(m_client, [](mosquitto*, void* self, int, int, const int*) {
            static_cast<MqttCollector*>(self)->Add(nullptr);
        });
        mosquitto_message_callback_set(m_client, [](mosquitto*, void* self, const mosquitto_message* message) {
            static_cast<MqttCollector*>(self)->Add(message);
        });
        mosquitto_reconnect_delay_set(m_client, 1, 1, false);
        mosquitto_property* properties = nullptr;
        mosquitto_property_add_int32(&properties, MQTT_PROP_SESSION_EXPIRY_INTERVAL, 3600);
        mosquitto_connect_bind_v5(m_client, "127.0.0.1", port, 60, nullptr, properties);
        mosquitto_property_free_all(&properties);
        mosquitto_loop_start(m_client);
    }
    ~MqttCollector()
    {
        mosquitto_disconnect(m_client);
        mosquitto_loop_stop(m_client, false);
        mosquitto_destroy(m_client);
    }
    MqttCollector(const MqttCollector&) = delete;
    MqttCollector& operator=(const MqttCollector&) = delete;

    bool WaitUntilSubscribed()
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, MosquittoBroker::Patience, [this] { return m_subscribed; });
    }

    // Waits until done holds for what arrived so far; false when it did not in time.
    bool WaitFor(const std::function<bool(const Messages&)>& done)
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, MosquittoBroker::Patience, [&] { return done(m_messages); });
    }

    bool WaitForCount(size_t count)
    {
        return WaitFor([count](const Messages& messages) { return messages.size() >= count; });
    }

    Messages Received() const
    {
        std::lock_guard guard(m_mutex);
        return m_messages;
    }

private:
    void Add(const mosquitto_message* message)
    {
        std::lock_guard guard(m_mutex);
        if (message)
            m_messages.push_back({message->topic,
                                  message->payloadlen > 0
                                      ? std::string(static_cast<const char*>(message->payload),
                                                    static_cast<size_t>(message->payloadlen))
                                      : std::string(),
                                  message->qos, message->retain});
        else
            m_subscribed = true;
        m_changed.notify_all();
    }

    std::string m_filter;
    mosquitto* m_client = nullptr;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    Messages m_messages;
    bool m_subscribed = false;
};

#pragma once
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include <QByteArray>
#include <QSslConfiguration>
#include <QTcpServer>

// One HTTP request as the server read it; header names in lower case.
struct HTTPREQUEST
{
    QByteArray Method;
    QByteArray Target;
    std::map<QByteArray, QByteArray> Headers;
    QByteArray Body;

    QByteArray Header(const QByteArray& name) const
    {
        const auto found = Headers.find(name);
        return found == Headers.end() ? QByteArray() : found->second;
    }
};

// What the server does with a request.
struct HTTPREPLY
{
    enum class Kind {
        Answer,       // status, headers and body with its length
        Unmeasured,   // status, headers and body without a length, ended by closing
        CloseAtOnce,  // the connection is closed before anything is sent
        CloseMidBody, // a length twice the body's, half sent, then closed
        Silent,       // nothing is ever sent
        Drip          // status and headers with the body's length, then one byte of it a second
    };
    Kind Action = Kind::Answer;
    int Status = 200;
    std::vector<std::pair<QByteArray, QByteArray>> Headers;
    QByteArray Body;
};

// A small HTTP/1.1 server on 127.0.0.1 for the transport's tests: one request per
// connection, answered by the handler on the thread that made the server. With a TLS
// configuration it speaks HTTPS.
class LoopbackServer
{
public:
    using Handler = std::function<HTTPREPLY(const HTTPREQUEST&)>;

    explicit LoopbackServer(Handler handler, const QSslConfiguration* tls = nullptr);
    ~LoopbackServer();

    quint16 Port() const { return m_server->serverPort(); }
    // Connections accepted so far (for TLS: with a completed handshake).
    int Connections() const { return m_connections; }
    const std::vector<HTTPREQUEST>& Requests() const { return m_requests; }

private:
    void Serve(QTcpSocket* socket);

    Handler m_handler;
    std::unique_ptr<QTcpServer> m_server;
    int m_connections = 0;
    std::vector<HTTPREQUEST> m_requests;
};

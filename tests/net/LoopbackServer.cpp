#include "LoopbackServer.h"

#include <QSslServer>
#include <QTcpSocket>
#include <QTimer>

namespace {

const QByteArray HeaderEnd = "\r\n\r\n";
constexpr int DripIntervalMs = 1000;

// False until the buffer holds a whole request.
bool ParseRequest(const QByteArray& buffer, HTTPREQUEST& request)
{
    const qsizetype headerEnd = buffer.indexOf(HeaderEnd);
    if (headerEnd < 0)
        return false;
    const QList<QByteArray> lines = buffer.left(headerEnd).split('\n');
    const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
    request.Method = first.value(0);
    request.Target = first.value(1);
    request.Headers.clear();
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines[i].indexOf(':');
        if (colon > 0)
            request.Headers[lines[i].left(colon).trimmed().toLower()] = lines[i].mid(colon + 1).trimmed();
    }
    const qsizetype length = request.Header("content-length").toLongLong();
    if (buffer.size() < headerEnd + HeaderEnd.size() + length)
        return false;
    request.Body = buffer.mid(headerEnd + HeaderEnd.size(), length);
    return true;
}

QByteArray ReplyText(const HTTPREPLY& reply, bool withLength, qsizetype length)
{
    QByteArray text = "HTTP/1.1 " + QByteArray::number(reply.Status) + " Status\r\nConnection: close\r\n";
    for (const auto& [name, value] : reply.Headers)
        text += name + ": " + value + "\r\n";
    if (withLength)
        text += "Content-Length: " + QByteArray::number(length) + "\r\n";
    return text + "\r\n";
}

void Drip(QTcpSocket* socket, const QByteArray& head, const QByteArray& body)
{
    socket->write(head);
    // A child of the socket: it goes when the client gives up and the socket with it.
    auto* timer = new QTimer(socket);
    auto sent = std::make_shared<qsizetype>(0);
    QObject::connect(timer, &QTimer::timeout, socket, [socket, timer, body, sent] {
        if (*sent == body.size()) {
            timer->stop();
            socket->disconnectFromHost();
            return;
        }
        socket->write(body.mid((*sent)++, 1));
    });
    timer->start(DripIntervalMs);
}

}

LoopbackServer::LoopbackServer(Handler handler, const QSslConfiguration* tls) : m_handler(std::move(handler))
{
    if (tls != nullptr) {
        auto server = std::make_unique<QSslServer>();
        server->setSslConfiguration(*tls);
        m_server = std::move(server);
    } else {
        m_server = std::make_unique<QTcpServer>();
    }
    QObject::connect(m_server.get(), &QTcpServer::pendingConnectionAvailable, [this] {
        while (QTcpSocket* socket = m_server->nextPendingConnection())
            Serve(socket);
    });
    m_server->listen(QHostAddress::LocalHost);
}

LoopbackServer::~LoopbackServer() = default;

void LoopbackServer::Serve(QTcpSocket* socket)
{
    ++m_connections;
    auto buffer = std::make_shared<QByteArray>();
    const auto read = [this, socket, buffer] {
        *buffer += socket->readAll();
        HTTPREQUEST request;
        if (!ParseRequest(*buffer, request))
            return;
        buffer->clear();
        m_requests.push_back(request);
        const HTTPREPLY reply = m_handler(request);
        switch (reply.Action) {
        case HTTPREPLY::Kind::Answer:
            socket->write(ReplyText(reply, true, reply.Body.size()) + reply.Body);
            break;
        case HTTPREPLY::Kind::Unmeasured: socket->write(ReplyText(reply, false, 0) + reply.Body); break;
        case HTTPREPLY::Kind::CloseAtOnce: break;
        case HTTPREPLY::Kind::CloseMidBody:
            socket->write(ReplyText(reply, true, 2 * reply.Body.size()) + reply.Body);
            break;
        case HTTPREPLY::Kind::Silent: return;
        case HTTPREPLY::Kind::Drip:
            Drip(socket, ReplyText(reply, true, reply.Body.size()), reply.Body);
            return;
        }
        socket->disconnectFromHost();
    };
    QObject::connect(socket, &QTcpSocket::readyRead, socket, read);
    QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    read();
}

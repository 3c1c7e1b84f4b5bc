#include "ui/net/HttpExchange.h"

#include <algorithm>
#include <memory>

#include <QAuthenticator>
#include <QCoreApplication>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTimer>
#include <QUrl>

#include "directory/DirectorySettings.h"
#include "persistence/Config.h"
#include "platform/Version.h"

namespace {

constexpr int32_t HighestPort = 65535;
constexpr int CancelCheckMs = 50;

// Proxy/Type 0: whatever the system's settings say for each address.
class SystemProxies : public QNetworkProxyFactory
{
public:
    QList<QNetworkProxy> queryProxy(const QNetworkProxyQuery& query) override
    {
        return QNetworkProxyFactory::systemProxyForQuery(query);
    }
};

bool SetProxy(QNetworkAccessManager& manager, const TRANSPORTSETTINGS& s, std::string& error)
{
    switch (s.ProxyType) {
    case 1:
        if (s.ProxyAddress.empty()) {
            error = "The manual proxy has no address";
            return false;
        }
        if (s.ProxyPort < 1 || s.ProxyPort > HighestPort) {
            error = "The manual proxy's port " + std::to_string(s.ProxyPort) + " is not a port number";
            return false;
        }
        manager.setProxy(QNetworkProxy(QNetworkProxy::HttpProxy, QString::fromStdString(s.ProxyAddress),
                                       static_cast<quint16>(s.ProxyPort)));
        return true;
    case 2: manager.setProxy(QNetworkProxy::NoProxy); return true;
    default: manager.setProxyFactory(new SystemProxies); return true;
    }
}

bool SetTls(QNetworkRequest& request, const std::string& caFile, std::string& error)
{
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setPeerVerifyMode(QSslSocket::VerifyPeer);
    if (!caFile.empty()) {
        const QList<QSslCertificate> trusted = QSslCertificate::fromPath(QString::fromStdString(caFile), QSsl::Pem);
        if (trusted.isEmpty()) {
            error = "The CA file " + caFile + " holds no certificate that can be read";
            return false;
        }
        tls.addCaCertificates(trusted);
    }
    request.setSslConfiguration(tls);
    return true;
}

// Errors of the connection itself carry the text the import tells apart.
std::string FailureText(QNetworkReply::NetworkError code, const QString& detail)
{
    switch (code) {
    case QNetworkReply::ConnectionRefusedError:
    case QNetworkReply::HostNotFoundError:
    case QNetworkReply::TimeoutError:
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
    case QNetworkReply::ProxyConnectionRefusedError:
    case QNetworkReply::ProxyNotFoundError:
    case QNetworkReply::ProxyTimeoutError:
        return std::string(ConnectionFailedText) + " (" + detail.toStdString() + ")";
    default: return detail.toStdString();
    }
}

// An error that only reports the answer's HTTP status: the answer itself came whole.
bool IsStatusError(QNetworkReply::NetworkError code)
{
    return (code >= QNetworkReply::ContentAccessDenied && code <= QNetworkReply::UnknownContentError) ||
           (code >= QNetworkReply::InternalServerError && code <= QNetworkReply::UnknownServerError);
}

}

TRANSPORTSETTINGS UpdateTransport(const CONFIG& config, const DIRECTORYSETTINGS& settings, std::string userAgent)
{
    TRANSPORTSETTINGS t;
    t.UserAgent = std::move(userAgent);
    t.ProxyType = config.ProxyType;
    t.ProxyAddress = config.ProxyAddress;
    t.ProxyPort = config.ProxyPort;
    t.ProxyUserName = config.ProxyUserName;
    t.ProxyPassword = config.ProxyPassword;
    t.CaFile = settings.CaFile;
    return t;
}

TRANSPORTSETTINGS DirectoryTransport(CONFIG& config, const DIRECTORYSETTINGS& settings)
{
    TRANSPORTSETTINGS t = UpdateTransport(config, settings, UserAgent("Zembrant", ProgramVersion()));
    t.Endpoint = settings.Endpoint;
    t.TimeOutMs = RaiseWebTimeOut(config);
    return t;
}

struct NetworkApplication::Application
{
    int argc = 1;
    char name[13] = "zembrant-cli";
    char* argv[2] = {name, nullptr};
    QCoreApplication application{argc, argv};
};

NetworkApplication::NetworkApplication()
{
    if (QCoreApplication::instance() == nullptr)
        m_application = std::make_unique<Application>();
}

NetworkApplication::~NetworkApplication() = default;

HttpExchange::HttpExchange(TRANSPORTSETTINGS settings) : m_settings(std::move(settings)) {}

std::chrono::milliseconds HttpExchange::TimeOut() const
{
    return std::chrono::milliseconds(std::max(m_settings.TimeOutMs, int32_t{1}));
}

bool HttpExchange::Post(const std::string& soapAction, const std::string& body, const Deadline& deadline,
                        HttpAnswer& answer, std::string& error)
{
    return Exchange(m_settings.Endpoint, &body, soapAction, deadline, answer, error);
}

bool HttpExchange::Get(const std::string& address, HttpAnswer& answer, std::string& error)
{
    return Exchange(address, nullptr, {}, Deadline(TimeOut()), answer, error);
}

bool HttpExchange::Exchange(const std::string& address, const std::string* body, const std::string& soapAction,
                            const Deadline& deadline, HttpAnswer& answer, std::string& error)
{
    answer = {};
    error.clear();
    if (QCoreApplication::instance() == nullptr) {
        error = "The network is not available without the application object";
        return false;
    }
    const QUrl url(QString::fromStdString(address), QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty() || (scheme != "http" && scheme != "https")) {
        error = "The address \"" + address + "\" cannot be used";
        return false;
    }
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::UserAgentHeader, QString::fromStdString(m_settings.UserAgent));
    // A redirected POST would resend the password to wherever the answer points.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    if (!SetTls(request, m_settings.CaFile, error))
        return false;
    if (scheme == "https" && !QSslSocket::supportsSsl()) {
        error = "TLS is not available on this computer";
        return false;
    }
    const char* const waiting = "waiting for the server's answer";
    if (deadline.HasPassed()) {
        error = deadline.TimedOut(waiting);
        return false;
    }

    QNetworkAccessManager manager;
    if (!SetProxy(manager, m_settings, error))
        return false;
    // The manual proxy's credentials are offered once; a proxy that refuses them ends the
    // exchange. The system's proxies bring their own.
    bool proxyAsked = false;
    QObject::connect(&manager, &QNetworkAccessManager::proxyAuthenticationRequired,
                     [&](const QNetworkProxy&, QAuthenticator* authenticator) {
                         if (proxyAsked || m_settings.ProxyType != 1 || m_settings.ProxyUserName.empty())
                             return;
                         proxyAsked = true;
                         authenticator->setUser(QString::fromStdString(m_settings.ProxyUserName));
                         authenticator->setPassword(QString::fromStdString(m_settings.ProxyPassword));
                     });

    QEventLoop loop;
    // One timer for the whole exchange: restarted by each piece that arrives, it would let
    // a server that drips its answer hold the caller for ever.
    QTimer timeOut;
    timeOut.setSingleShot(true);
    timeOut.setTimerType(Qt::PreciseTimer);
    bool timedOut = false;
    bool tooLarge = false;
    QByteArray received;
    QNetworkReply* reply = nullptr;
    if (body != nullptr) {
        request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("text/xml; charset=utf-8"));
        request.setRawHeader("SOAPAction", QByteArray::fromStdString(soapAction));
        reply = manager.post(request, QByteArray::fromStdString(*body));
    } else {
        reply = manager.get(request);
    }
    // Owned here and gone first: the manager would keep it until its own end, and nothing
    // the handlers below touch may go before it.
    const std::unique_ptr<QNetworkReply> owner(reply);
    const auto stop = [&](bool& reason) {
        reason = true;
        reply->abort();
    };
    const auto take = [&] {
        received += reply->readAll();
        if (received.size() > m_settings.MaxAnswerBytes && !tooLarge)
            stop(tooLarge);
    };
    QObject::connect(&timeOut, &QTimer::timeout, [&] { stop(timedOut); });
    bool cancelled = false;
    QTimer cancelCheck;
    if (m_settings.Cancel != nullptr) {
        QObject::connect(&cancelCheck, &QTimer::timeout, [&] {
            if (*m_settings.Cancel && !cancelled)
                stop(cancelled);
        });
        cancelCheck.start(CancelCheckMs);
    }
    QObject::connect(reply, &QNetworkReply::metaDataChanged, [&] {
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid() && length.toLongLong() > m_settings.MaxAnswerBytes && !tooLarge)
            stop(tooLarge);
    });
    QObject::connect(reply, &QNetworkReply::readyRead, take);
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    timeOut.start(std::max(deadline.Remaining(), std::chrono::milliseconds(1)));
    if (!reply->isFinished())
        loop.exec();
    if (!tooLarge && !timedOut && !cancelled)
        take();
    if (cancelled) {
        error = "The exchange was cancelled";
        return false;
    }

    if (tooLarge) {
        error = "The answer is larger than " + std::to_string(m_settings.MaxAnswerBytes) + " bytes";
        return false;
    }
    if (timedOut) {
        error = deadline.TimedOut(waiting);
        return false;
    }
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const QNetworkReply::NetworkError code = reply->error();
    if (status.isValid() && (code == QNetworkReply::NoError || IsStatusError(code))) {
        answer.Status = status.toInt();
        answer.Body = received.toStdString();
        return true;
    }
    error = FailureText(code, reply->errorString());
    return false;
}

// A stand-in for the directory service: answers each call with the file named after its
// operation. Usage: directory_test_server FOLDER
//   FOLDER/<operation>.xml     the answer's body (no file: 404)
//   FOLDER/<operation>.status  its HTTP status (default 200)
//   FOLDER/requests.log        every request body, appended
// Prints its port on the first line of standard output, then serves until killed.
#include <cstdio>

#include <QCoreApplication>
#include <QFile>

#include "LoopbackServer.h"

namespace {

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: directory_test_server FOLDER\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]) + "/";
    LoopbackServer server([&](const HTTPREQUEST& request) {
        QFile log(folder + "requests.log");
        if (log.open(QIODevice::Append))
            log.write(request.Header("soapaction") + "\n" + request.Body + "\n");
        const QByteArray action = request.Header("soapaction");
        const QString operation = QString::fromLatin1(action.mid(action.indexOf('#') + 1)).remove('"');
        HTTPREPLY reply;
        if (!QFile::exists(folder + operation + ".xml")) {
            reply.Status = 404;
            reply.Body = "<html><body>No such operation</body></html>";
            return reply;
        }
        reply.Body = ReadAll(folder + operation + ".xml");
        const QByteArray status = ReadAll(folder + operation + ".status").trimmed();
        reply.Status = status.isEmpty() ? 200 : status.toInt();
        reply.Headers = {{"Content-Type", "text/xml; charset=utf-8"}};
        return reply;
    });
    if (server.Port() == 0) {
        std::fprintf(stderr, "directory_test_server: cannot listen\n");
        return 1;
    }
    std::printf("%u\n", static_cast<unsigned>(server.Port()));
    std::fflush(stdout);
    return QCoreApplication::exec();
}

// Host lookup, connecting, and the listening side of a data connection.
#include "ftp/powersock_p.h"

#include <QHostInfo>
#include <QMetaMethod>

#include <algorithm>

namespace {
QHostAddress asIPv4(const QHostAddress& a) {
    bool ok = false;
    const quint32 v4 = a.toIPv4Address(&ok);
    return ok ? QHostAddress(v4) : a;
}
} // namespace

void PowersockCore::resolveHost() {
    reportStatus(8, QStringLiteral("Resolve Host"));
    const QString name = proxy.isEmpty() ? host : proxy;
    QHostAddress numeric;
    candidates.clear();
    if (numeric.setAddress(name) && (numeric.protocol() == QAbstractSocket::IPv4Protocol ||
                                     numeric.protocol() == QAbstractSocket::IPv6Protocol)) {
        remoteAddress = numeric;
        candidates.push_back(numeric);
        return;
    }
    remoteAddress = QHostAddress();
    timerOn(timeOut);
    lookupDone = false;
    succeeded = false;
    // Every IPv6 and IPv4 address, in the resolver's order of preference.
    auto found = std::make_shared<std::vector<QHostAddress>>();
    const int id = QHostInfo::lookupHost(name, &ctx, [this, found](const QHostInfo& info) {
        lookupDone = true;
        succeeded = false;
        if (info.error() != QHostInfo::NoError) return;
        for (const QHostAddress& a : info.addresses())
            if (a.protocol() == QAbstractSocket::IPv4Protocol ||
                a.protocol() == QAbstractSocket::IPv6Protocol)
                found->push_back(a);
        succeeded = !found->empty();
    });
    const Wait w = waitUntil([this] { return lookupDone || timedOut; }, timeOut > 0 ? 0 : -1);
    timerOff();
    if (!lookupDone) QHostInfo::abortHostLookup(id);
    if (timedOut || w == Wait::Idle) throw ESockError(QStringLiteral("Host Lookup Timed Out"));
    if (w == Wait::Canceled) throw ESockError(QStringLiteral("Host Lookup Canceled"));
    if (!succeeded) throw ESockError(QStringLiteral("Host Lookup Failed"));
    candidates = *found;
    remoteAddress = candidates.front();
    if (q && !destroyed) emit q->OnHostResolved(q);
}

void PowersockCore::connect() {
    reportStatus(8, QStringLiteral("Connecting"));
    // A cancel that came before (while the command that led here was awaited) still holds.
    if (connected) throw ESockError(QStringLiteral("Already connected"));
    tlsFailed = false; // a new connection: an earlier one's failed TLS says nothing about it
    tlsFailure.clear();
    int attempts = 0;
    for (;;) {
        try {
            resolveHost();
        } catch (const ESockError& e) {
            if (e.Message() == QLatin1String("Host Lookup Timed Out") ||
                e.Message() == QLatin1String("Host Lookup Canceled"))
                throw;
        }
        if (!remoteAddress.isNull()) break;
        if (attempts == 0 && hasHandler(QMetaMethod::fromSignal(&TPowersock::OnInvalidHost))) {
            bool handled = false;
            emit q->OnInvalidHost(handled);
            if (handled) {
                attempts = 1;
                continue;
            }
        }
        throw ESockError(QStringLiteral("Null Remote Address"));
    }
    const int p = proxy.isEmpty() ? port : proxyPort;
    auto failed = [this](const QString& text) {
        closing = true;
        sock->abort();
        closing = false;
        connected = false;
        if (q && !destroyed) emit q->OnConnectionFailed(q);
        throw ESockError(text);
    };
    if (p <= 0 || p > 65535) failed(QStringLiteral("Connection Failed: port %1 is not a valid port").arg(p));
    // A host with several addresses (IPv6 and IPv4) is tried address by address until one answers.
    const std::vector<QHostAddress> addresses =
        candidates.empty() ? std::vector<QHostAddress>{remoteAddress} : candidates;
    for (size_t i = 0; i < addresses.size(); ++i) {
        const bool last = i + 1 == addresses.size();
        remoteAddress = addresses[i];
        succeeded = true;
        waitingConnect = true;
        sock->connectToHost(remoteAddress, quint16(p));
        timerOn(timeOut);
        const Wait w =
            waitUntil([this] { return connected || timedOut || !succeeded; }, timeOut > 0 ? 0 : -1);
        timerOff();
        waitingConnect = false;
        if (w == Wait::Met && connected && succeeded && !timedOut) return;
        if (w == Wait::Canceled) failed(QStringLiteral("Connection Canceled"));
        if (!last) {
            reportStatus(4, QStringLiteral("No connection to ") + remoteAddress.toString());
            closing = true;
            sock->abort();
            closing = false;
            timedOut = false;
            continue;
        }
        if (timedOut || w == Wait::Idle) failed(QStringLiteral("Connection Timed out"));
        failed(QStringLiteral("Connection Failed"));
    }
}

void PowersockCore::listen(const QHostAddress& address) {
    reportStatus(8, QStringLiteral("Listening"));
    lookupDone = false;
    accepted.reset();
    if (ssl())
        server = std::make_unique<TlsReadyServer>();
    else
        server = std::make_unique<QTcpServer>();
    server->setMaxPendingConnections(4);
    QObject::connect(server.get(), &QTcpServer::newConnection, &ctx, [this] { onNewConnection(); });
    if (!server->listen(address, quint16(std::clamp(port, 0, 65535))))
        throw ESockError(
            QStringLiteral("Cannot listen on %1: %2").arg(address.toString(), server->errorString()));
}

bool PowersockCore::accept() {
    const Wait w = waitUntil([this] { return lookupDone; });
    if (w == Wait::Canceled) throw ESockError(QStringLiteral("Accepting Canceled"));
    if (w == Wait::Idle || w == Wait::Deadline)
        throw ESockError(QStringLiteral("The data connection did not open within ") + idleText() +
                         " (timed out)");
    if (w == Wait::Stopped) return false;
    reportStatus(4, QStringLiteral("Accepting"));
    if (server) {
        QObject::disconnect(server.get(), nullptr, &ctx, nullptr);
        server->close();
        server.reset();
    }
    if (canceled) throw EAbortError(QStringLiteral("Accepting Canceled"));
    return true;
}

QString PowersockCore::localPortAddress() const {
    const QHostAddress a = asIPv4(sock->localAddress());
    return a.toString().replace(QLatin1Char('.'), QLatin1Char(','));
}

QString PowersockCore::listenPortPair() const {
    const quint16 p = server ? server->serverPort() : 0;
    return QStringLiteral(",%1,%2").arg(p >> 8).arg(p & 0xff);
}

#include "ftp/powersock_p.h"

#include "ftp/ftpproto.h"

#include <QCoreApplication>
#include <QHostInfo>
#include <QMetaMethod>
#include <QPointer>
#include <QTimer>

#include <climits>

#ifdef Q_OS_UNIX
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#endif

namespace {
constexpr qint64 kChunk = 16383;
constexpr qint64 kReadBufferLimit = 1024 * 1024;
constexpr qsizetype kWriteBlock = 512 * 1024;

// The engine's own numbers for the platform's socket errors.
int codeOf(QAbstractSocket::SocketError err) {
    switch (err) {
    case QAbstractSocket::ConnectionRefusedError:
        return 10061;
    case QAbstractSocket::RemoteHostClosedError:
        return 10054;
    case QAbstractSocket::HostNotFoundError:
        return 11001;
    case QAbstractSocket::SocketAccessError:
        return 10013;
    case QAbstractSocket::SocketResourceError:
        return 10055;
    case QAbstractSocket::SocketTimeoutError:
        return 10060;
    case QAbstractSocket::NetworkError:
        return 10050;
    case QAbstractSocket::AddressInUseError:
        return 10048;
    case QAbstractSocket::SocketAddressNotAvailableError:
        return 10049;
    case QAbstractSocket::UnsupportedSocketOperationError:
        return 10045;
    case QAbstractSocket::DatagramTooLargeError:
        return 10040;
    case QAbstractSocket::OperationError:
        return 10022;
    case QAbstractSocket::TemporaryError:
        return 10035;
    default:
        return 10004;
    }
}

QHostAddress asIPv4(const QHostAddress& a) {
    bool ok = false;
    const quint32 v4 = a.toIPv4Address(&ok);
    return ok ? QHostAddress(v4) : a;
}
} // namespace

// ---------------------------------------------------------------- PowersockCore

PowersockCore::PowersockCore() {
    timer.setEnabled(false);
    QObject::connect(&timer, &TThreadTimer::OnTimer, &ctx, [this] { timerTriggered(); });
    wake.setSingleShot(true);
    setSocket(std::make_unique<QTcpSocket>());
}

// A socket may be in the middle of raising a signal when its last owner lets go, so
// it is deleted from the event loop rather than at once. Not by deleteLater(): the
// engine waits inside the handler that started a batch, and Qt keeps what that
// handler's level asked to delete until the handler returns, so a batch of 10,000
// files kept 10,000 sockets with their buffers. A zero timer deletes it at the next
// turn of whatever loop runs, the engine's own waits included.
static void RetireObject(QObject* obj) {
    if (!obj) return;
    QObject::disconnect(obj, nullptr, nullptr, nullptr);
    if (!QCoreApplication::instance()) {
        obj->deleteLater();
        return;
    }
    QPointer<QObject> p(obj);
    QTimer::singleShot(0, QCoreApplication::instance(), [p] { delete p.data(); });
}

PowersockCore::~PowersockCore() {
    auto retire = [](auto& obj) {
        if (!obj) return;
        QObject::disconnect(obj.get(), nullptr, nullptr, nullptr);
        obj->abort();
        RetireObject(obj.release());
    };
    retire(sock);
    retire(accepted);
    if (server) {
        QObject::disconnect(server.get(), nullptr, nullptr, nullptr);
        server->close();
        RetireObject(server.release());
    }
}

void PowersockCore::detach() {
    destroyed = true;
    q = nullptr;
    canceled = true;
    abort();
    timer.setEnabled(false);
    closing = true;
    if (sock) sock->abort();
    if (server) server->close();
    closing = false;
    connected = false;
}

void PowersockCore::reportStatus(int level, const QString& text) {
    if (reportLevel < level) return;
    lastStatus = text;
    if (q && !destroyed) emit q->OnStatus(q, text);
}

void PowersockCore::socketConnected() {
    if (q) emit q->OnConnect(q);
}

void PowersockCore::emitDisconnect() {
    if (q && !destroyed) emit q->OnDisconnect(q);
}

void PowersockCore::emitError(int code) {
    reportStatus(8, QStringLiteral("Looking Up Error Message"));
    if (q && !destroyed) emit q->OnError(q, quint16(code), LookupErrorText(code));
}

bool PowersockCore::hasHandler(const QMetaMethod& signal) const {
    return q && !destroyed && q->hasHandler(signal);
}

void PowersockCore::setSocket(std::unique_ptr<QTcpSocket> s) {
    if (sock) QObject::disconnect(sock.get(), nullptr, &ctx, nullptr);
    sock = std::move(s);
    QTcpSocket* raw = sock.get();
    raw->setReadBufferSize(kReadBufferLimit);
    QObject::connect(raw, &QTcpSocket::readyRead, &ctx, [this] { onReadyRead(); });
    QObject::connect(raw, &QTcpSocket::disconnected, &ctx, [this] { onDisconnected(); });
    QObject::connect(raw, &QTcpSocket::errorOccurred, &ctx,
                     [this](QAbstractSocket::SocketError e) { onError(e); });
    QObject::connect(raw, &QTcpSocket::bytesWritten, &ctx, [this](qint64 n) {
        bytesSent += n;
        activity.restart();
        if (capturing && q) emit q->OnPacketSent(q);
    });
    if (auto* tls = qobject_cast<QSslSocket*>(raw)) {
        QObject::connect(tls, &QSslSocket::sslErrors, &ctx, [this, tls](const QList<QSslError>& errors) {
            tlsErrors = errors;
            if (trustedDigest.isEmpty() ||
                tls->peerCertificate().digest(QCryptographicHash::Sha256) == trustedDigest)
                tls->ignoreSslErrors();
        });
        QObject::connect(tls, &QSslSocket::encrypted, &ctx, [this] {
            activity.restart();
            if (onEncrypted) onEncrypted();
        });
    }
    QObject::connect(raw, &QTcpSocket::connected, &ctx, [this] {
        if (!waitingConnect) return;
        connected = true;
#ifdef Q_OS_UNIX
        if (firstSocket) {
            // The object's first connection resets on close instead of lingering.
            struct linger l {
                1, 0
            };
            ::setsockopt(int(sock->socketDescriptor()), SOL_SOCKET, SO_LINGER, &l, sizeof l);
        }
#endif
        firstSocket = false;
        socketConnected();
    });
}

void PowersockCore::storeChunk(const char* data, qint64 n, bool notify) {
    // A trickle below minProgress bytes per idle period does not keep a wait alive.
    sinceProgress += n;
    if (sinceProgress >= minProgress) {
        activity.restart();
        sinceProgress = 0;
    }
    if (capture) {
        if (data != pending.constData() + pending.size() - n) pending.append(data, n);
        if (pending.size() >= kWriteBlock) flushCapture();
    } else {
        in.append(data, n);
    }
    if (capturing || countAll) bytesReceived += n;
    if (capturing && notify) {
        if (onPacket)
            onPacket();
        else if (q && !destroyed)
            emit q->OnPacketRecvd(q);
    }
}

void PowersockCore::flushCapture() {
    if (!capture || pending.isEmpty()) return;
    if (captureError.isEmpty() && capture->write(pending) != pending.size())
        captureError = capture->errorString();
    pending.resize(0);
}

// Moves what the socket holds into the input buffer or the capture file, at most 16383 bytes a chunk.
void PowersockCore::readChunks() {
    char buf[kChunk + 1];
    if (tlsFailed) {
        sock->readAll(); // of a connection whose TLS failed nothing is taken
        return;
    }
    while (sock->isOpen() && sock->bytesAvailable() > 0) {
        if (capture) {
            // Straight into the block that goes to the file.
            if (pending.capacity() < kWriteBlock + kChunk) pending.reserve(kWriteBlock + kChunk);
            const qsizetype old = pending.size();
            pending.resize(old + kChunk);
            const qint64 n = sock->read(pending.data() + old, kChunk);
            pending.resize(old + std::max<qint64>(n, 0));
            if (n <= 0) break;
            storeChunk(pending.constData() + old, n, true);
        } else {
            const qint64 n = sock->read(buf, kChunk);
            if (n <= 0) break;
            storeChunk(buf, n, true);
        }
    }
}

void PowersockCore::onReadyRead() {
    auto keep = weak_from_this().lock();
    if (!sock || !sock->isOpen()) return;
    reportStatus(8, QStringLiteral("ReadToStream"));
    const qint64 before = bytesReceived + available();
    readChunks();
    if (afterRead && bytesReceived + available() != before) afterRead();
}

void PowersockCore::onDisconnected() {
    if (closing) return;
    auto keep = weak_from_this().lock();
    readChunks();
    if (afterRead) afterRead();
    requestCloseSocket();
}

void PowersockCore::onError(QAbstractSocket::SocketError err) {
    if (closing) return;
    if (err == QAbstractSocket::RemoteHostClosedError) {
        // QSslSocket tells the peer's TLS close (close_notify) by this error with its own text, and a
        // bare end of the TCP connection by the same error with the socket's text: only the first
        // proves that all the peer sent has arrived. (The text is compared in the translation in use.)
        QSslSocket* tls = ssl();
        if (tls && sock->errorString() ==
                       QCoreApplication::translate("QSslSocket", "The TLS/SSL connection has been closed"))
            tlsCloseNotify = true;
        // A TLS peer that ends its side (close_notify) may keep the TCP connection open until this
        // side closes too (vsftpd does): that is the end of the data, as a plain close would be.
        if (tls && tls->isEncrypted() && connected) onDisconnected();
        return;
    }
    auto keep = weak_from_this().lock();
    lastError = codeOf(err);
    if (err == QAbstractSocket::SslHandshakeFailedError || err == QAbstractSocket::SslInternalError ||
        err == QAbstractSocket::SslInvalidUserDataError) {
        tlsFailed = true;
        tlsFailure = sock ? sock->errorString() : QString();
        return; // the operation waiting for the handshake says what failed
    }
    if (waitingConnect) {
        succeeded = false;
        return;
    }
    emitError(lastError);
}

void PowersockCore::onNewConnection() {
    while (server && server->hasPendingConnections()) {
        std::unique_ptr<QTcpSocket> s(server->nextPendingConnection());
        s->setParent(nullptr);
        const QHostAddress peer = s->peerAddress();
        if (lookupDone || (!acceptFrom.isNull() && !asIPv4(peer).isEqual(asIPv4(acceptFrom)))) {
            reportStatus(4, QStringLiteral("Refused a connection from ") + peer.toString());
            s->abort();
            continue;
        }
        setSocket(std::move(s));
        connected = sock->state() == QAbstractSocket::ConnectedState;
        lookupDone = true;
        succeeded = true;
        activity.restart();
        server->close();
        // Anything that arrived before the socket was taken over.
        if (sock->bytesAvailable() > 0) onReadyRead();
    }
}

void PowersockCore::timerOn(int ms) {
    reportStatus(8, QStringLiteral("Timer On"));
    timedOut = false;
    timer.setInterval(unsigned(std::max(ms, 0)));
    timer.setEnabled(true);
}

void PowersockCore::timerOff() {
    reportStatus(8, QStringLiteral("Timer Off"));
    timer.setEnabled(false);
}

void PowersockCore::timerTriggered() {
    reportStatus(8, QStringLiteral("Timer Triggered"));
    timerOff();
    timedOut = true;
}

PowersockCore::Wait PowersockCore::waitUntil(const std::function<bool()>& cond, int limitMs) {
    const int limit = limitMs >= 0 ? limitMs : idleTimeOut;
    QElapsedTimer started;
    started.start();
    activity.restart();
    for (;;) {
        if (canceled || destroyed) return Wait::Canceled;
        if (cond()) return Wait::Met;
        if (externalStop && externalStop()) return Wait::Stopped;
        if (deadline.hasExpired()) return Wait::Deadline;
        const qint64 idle = limitMs >= 0 ? started.elapsed() : activity.elapsed();
        int remaining = INT_MAX;
        if (limit > 0) {
            if (idle >= limit) return Wait::Idle;
            remaining = int(limit - idle) + 1;
        }
        if (!deadline.isForever()) remaining = int(std::min<qint64>(remaining, deadline.remainingTime() + 1));
        if (remaining != INT_MAX && (!wake.isActive() || wake.remainingTime() > remaining))
            wake.start(remaining);
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
}

QString PowersockCore::idleText() const {
    return QStringLiteral("%1 s").arg(double(idleTimeOut) / 1000.0, 0, 'g', 3);
}

qsizetype PowersockCore::lineEnd() const {
    // Bytes searched once are not searched again while the line grows.
    const qsizetype i = in.indexOf('\n', std::max(inPos, scanned));
    if (i < 0) {
        scanned = in.size();
        return -1;
    }
    return i + 1 - inPos;
}

QByteArray PowersockCore::take(qsizetype n) {
    n = std::min(n, available());
    QByteArray r = in.mid(inPos, n);
    inPos += n;
    if (inPos >= in.size()) {
        in.clear();
        inPos = 0;
        scanned = 0;
    } else if (inPos > 65536 && inPos > in.size() / 2) {
        in.remove(0, inPos);
        scanned = std::max<qsizetype>(scanned - inPos, 0);
        inPos = 0;
    }
    return r;
}

void PowersockCore::dropInput() {
    in.clear();
    inPos = 0;
    scanned = 0;
}

void PowersockCore::disconnect() {
    reportStatus(8, QStringLiteral("Disconnecting"));
    requestCloseSocket();
}

QString PowersockCore::transaction(const QString& command) {
    reportStatus(8, QStringLiteral("Transaction"));
    replyCode = 0;
    writeln(command);
    lastReply = QString::fromUtf8(readLineBytes());
    if (!lastReply.isEmpty()) {
        reportStatus(1, lastReply);
        replyCode = ReplyCodeOf(lastReply);
    }
    return lastReply;
}

void PowersockCore::cancel() {
    reportStatus(8, QStringLiteral("Canceling"));
    canceled = true;
}

void PowersockCore::requireConnection() {
    if (connected) return;
    if (!hasHandler(QMetaMethod::fromSignal(&TPowersock::OnConnectionRequired))) {
        if (!closeReason.isEmpty()) throw std::runtime_error(("Not Connected: " + closeReason).toStdString());
        throw std::runtime_error("Not Connected");
    }
    bool handled = false;
    emit q->OnConnectionRequired(handled);
    if (handled && connected) return;
    if (!closeReason.isEmpty()) throw std::runtime_error(("Not Connected: " + closeReason).toStdString());
    throw std::runtime_error("Not Connected");
}

void PowersockCore::sendBuffer(const QByteArray& bytes) {
    reportStatus(4, QStringLiteral("Sending Buffer"));
    if (canceled) return;
    if (!sock || sock->state() != QAbstractSocket::ConnectedState)
        throw ESockError(QStringLiteral("Cannot send: the connection is closed"));
    sock->write(bytes);
    const Wait w = waitUntil([this] { return sock->bytesToWrite() == 0 || !connected; });
    if (w == Wait::Canceled) throw EAbortError(QStringLiteral("Socket send aborted"));
    if (w == Wait::Idle || w == Wait::Deadline)
        throw ESockError(QStringLiteral("Sending timed out: no progress for ") + idleText());
    if (sock->bytesToWrite() > 0) throw ESockError(QStringLiteral("The connection closed while sending"));
}

void PowersockCore::write(const QString& text) {
    reportStatus(8, QStringLiteral("Write"));
    const QByteArray bytes = encode ? encode(text) : text.toUtf8();
    if (bytes.size() > 16384)
        throw ESockError(
            QStringLiteral("Refused to send a line of %1 bytes (at most 16384)").arg(bytes.size()));
    sendBuffer(bytes);
}

void PowersockCore::writeln(const QString& text) {
    reportStatus(8, QStringLiteral("Writeln"));
    write(text + QStringLiteral("\r\n"));
}

QByteArray PowersockCore::read(int count) {
    reportStatus(8, QStringLiteral("Read( %1 )").arg(count));
    if (count > 0) {
        const Wait w = waitUntil([this, count] { return available() >= count || !connected; });
        if (w == Wait::Canceled) throw EAbortError(QStringLiteral("Socket read aborted"));
        if (w == Wait::Idle || w == Wait::Deadline)
            throw ESockError(QStringLiteral("Reading timed out: nothing received for ") + idleText());
        if (available() < count)
            throw ESockError(QStringLiteral("The connection closed before %1 bytes arrived").arg(count));
        return take(count);
    }
    if (canceled) throw EAbortError(QStringLiteral("Socket read aborted"));
    return take(available());
}

bool PowersockCore::readLineOrEnd(QByteArray& line) {
    const Wait w = waitUntil([this] { return lineEnd() >= 0 || available() > maxLine || !connected; });
    if (w == Wait::Canceled) throw EAbortError(QStringLiteral("Socket readln aborted"));
    if (w == Wait::Idle)
        throw ESockError(QStringLiteral("No line received for ") + idleText() + " (timed out)");
    if (w == Wait::Deadline)
        throw ESockError(
            QStringLiteral("The server sends too slowly: no complete answer in time (timed out)"));
    if (w == Wait::Stopped) return false;
    const qsizetype end = lineEnd();
    if ((end < 0 ? available() : end) > maxLine) {
        // What was held of the line goes: memory stays bounded, and a reader that goes on finds
        // the line's tail as a line of its own.
        take(end < 0 ? available() : end);
        throw ELineTooLong(QStringLiteral("The server sent a line longer than %1 bytes").arg(maxLine));
    }
    if (end >= 0) {
        line = take(end);
        return true;
    }
    if (available() > 0) {
        line = take(available());
        return true;
    }
    return false;
}

QByteArray PowersockCore::readLineBytes() {
    reportStatus(8, QStringLiteral("ReadLn"));
    QByteArray line;
    if (!readLineOrEnd(line)) {
        if (externalStop && externalStop()) throw EAbortError(QStringLiteral("Socket readln aborted"));
        if (!closeReason.isEmpty()) throw ESockError(closeReason);
        throw ESockError(QStringLiteral("The connection was closed by the other side"));
    }
    return line;
}

void PowersockCore::startCapture(std::unique_ptr<ReceiveFile> file) {
    capture = std::move(file);
    captureError.clear();
    capturing = true;
    bytesReceived = 0;
    pending.resize(0);
    if (available() > 0) {
        const QByteArray rest = take(available());
        if (capture->write(rest) != rest.size()) captureError = capture->errorString();
        bytesReceived = rest.size();
    }
}

void PowersockCore::waitCapture() {
    reportStatus(8, QStringLiteral("CaptureFile"));
    const Wait w = waitUntil(
        [this] { return !connected || !captureError.isEmpty() || (limit >= 0 && bytesReceived > limit); });
    capturing = false;
    flushCapture();
    if (w == Wait::Canceled) throw EAbortError(QStringLiteral("Transfer aborted"));
    if (w == Wait::Idle)
        throw ESockError(QStringLiteral("Transfer timed out: nothing received for ") + idleText());
    if (w == Wait::Deadline)
        throw ESockError(QStringLiteral("Transfer timed out: the server sends too slowly"));
    if (!captureError.isEmpty())
        throw ESockError(QStringLiteral("Cannot write the local file: ") + captureError);
}

void PowersockCore::captureFile(const QString& fileName) {
    auto file = std::make_unique<ReceiveFile>(fileName);
    if (!file->open())
        throw ESockError(QStringLiteral("Cannot create the file %1: %2").arg(fileName, file->errorString()));
    startCapture(std::move(file));
    std::unique_ptr<ReceiveFile> done;
    try {
        waitCapture();
    } catch (...) {
        capture.reset(); // the partial file is dropped, an older file of that name stays
        throw;
    }
    done = std::move(capture);
    if (!done->commit())
        throw ESockError(QStringLiteral("Cannot save the file %1: %2").arg(fileName, done->errorString()));
}

void PowersockCore::requestCloseSocket() {
    reportStatus(4, QStringLiteral("Request Close Socket"));
    const bool wasOpen = connected || (sock && sock->state() != QAbstractSocket::UnconnectedState);
    connected = false;
    if (sock) {
        closing = true;
        sock->abort();
        closing = false;
    }
    if (wasOpen) emitDisconnect();
}

qint64 PowersockCore::receivedCount() const {
    return bytesReceived;
}

qint64 PowersockCore::sentCount() const {
    return bytesSent;
}

void PowersockCore::useTls(bool on) {
    if (on == (ssl() != nullptr)) return;
    // A plain socket costs less per chunk; only a connection that may turn to TLS gets a QSslSocket.
    if (sock) {
        QObject::disconnect(sock.get(), nullptr, &ctx, nullptr);
        sock->abort();
        RetireObject(sock.release());
    }
    if (on)
        setSocket(std::make_unique<QSslSocket>());
    else
        setSocket(std::make_unique<QTcpSocket>());
}

void PowersockCore::startTls(const QSslConfiguration& config, const QString& peerName) {
    QSslSocket* tls = ssl();
    if (!tls) throw ESockError(QStringLiteral("This connection cannot be encrypted"));
    tlsErrors.clear();
    tlsFailed = false;
    tlsFailure.clear();
    tlsCloseNotify = false;
    tls->setSslConfiguration(config);
    tls->setPeerVerifyName(peerName);
    tls->startClientEncryption();
}

void PowersockCore::waitEncrypted(const QString& what) {
    QSslSocket* tls = ssl();
    const Wait w = waitUntil([this, tls] { return tls->isEncrypted() || tlsFailed || !connected; });
    if (w == Wait::Met && tls->isEncrypted()) return;
    if (w == Wait::Canceled) throw EAbortError(what + QStringLiteral(": canceled"));
    if (tlsFailed) throw ESockError(what + QStringLiteral(" failed: ") + tlsFailure);
    if (!connected) throw ESockError(what + QStringLiteral(": the server closed the connection"));
    throw ESockError(what + QStringLiteral(" did not end within ") + idleText());
}

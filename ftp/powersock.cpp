#include "ftp/powersock_p.h"

#include "ftp/ftpproto.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QHostInfo>
#include <QMetaMethod>

#include <filesystem>
#include <system_error>

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

// ---------------------------------------------------------------- ReceiveFile

ReceiveFile::ReceiveFile(const QString& target)
    : m_target(target), m_file(target + QStringLiteral(".XXXXXX.part")) {}

bool ReceiveFile::open() {
    if (QFileInfo(m_target).isDir()) {
        m_error = QStringLiteral("a folder of that name exists");
        return false;
    }
    return m_file.open();
}

bool ReceiveFile::commit() {
    if (!m_file.flush()) return false;
    const QFile::Permissions perms =
        QFile::exists(m_target) ? QFile::permissions(m_target)
                                : QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther;
    m_file.setPermissions(perms);
    const QString temp = m_file.fileName();
    m_file.close();
    std::error_code ec;
    std::filesystem::rename(std::filesystem::path(temp.toStdU16String()),
                            std::filesystem::path(m_target.toStdU16String()), ec);
    if (ec) {
        m_error = QString::fromLocal8Bit(ec.message().c_str());
        return false;
    }
    m_file.setAutoRemove(false);
    return true;
}

// ---------------------------------------------------------------- TThreadTimer

TThreadTimer::TThreadTimer(QObject* parent) : QObject(parent) {
    QObject::connect(&m_timer, &QTimer::timeout, this, [this] { emit OnTimer(this); });
}

void TThreadTimer::setInterval(unsigned ms) {
    if (ms == m_interval) return;
    m_interval = ms;
    rearm();
}

void TThreadTimer::setEnabled(bool on) {
    if (on == m_enabled) return;
    m_enabled = on;
    rearm();
}

void TThreadTimer::rearm() {
    m_timer.stop();
    if (m_interval != 0 && m_enabled) m_timer.start(int(std::min<unsigned>(m_interval, INT_MAX)));
}

// ---------------------------------------------------------------- PowersockCore

PowersockCore::PowersockCore() {
    timer.setEnabled(false);
    QObject::connect(&timer, &TThreadTimer::OnTimer, &ctx, [this] { timerTriggered(); });
    wake.setSingleShot(true);
    setSocket(std::make_unique<QTcpSocket>());
}

PowersockCore::~PowersockCore() {
    // A socket may be in the middle of raising a signal when the last owner lets go, so it is
    // deleted from the event loop rather than here.
    auto retire = [](auto& obj) {
        if (!obj) return;
        QObject::disconnect(obj.get(), nullptr, nullptr, nullptr);
        obj->abort();
        obj.release()->deleteLater();
    };
    retire(sock);
    retire(accepted);
    if (server) {
        QObject::disconnect(server.get(), nullptr, nullptr, nullptr);
        server->close();
        server.release()->deleteLater();
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
    activity.restart();
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
    if (err == QAbstractSocket::RemoteHostClosedError || closing) return;
    auto keep = weak_from_this().lock();
    lastError = codeOf(err);
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
    abort();
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
        const qint64 idle = limitMs >= 0 ? started.elapsed() : activity.elapsed();
        if (limit > 0) {
            if (idle >= limit) return Wait::Idle;
            const int remaining = int(limit - idle) + 1;
            if (!wake.isActive() || wake.remainingTime() > remaining) wake.start(remaining);
        }
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
}

QString PowersockCore::idleText() const {
    return QStringLiteral("%1 s").arg(double(idleTimeOut) / 1000.0, 0, 'g', 3);
}

qsizetype PowersockCore::lineEnd() const {
    const qsizetype i = in.indexOf('\n', inPos);
    return i < 0 ? -1 : i + 1 - inPos;
}

QByteArray PowersockCore::take(qsizetype n) {
    n = std::min(n, available());
    QByteArray r = in.mid(inPos, n);
    inPos += n;
    if (inPos >= in.size()) {
        in.clear();
        inPos = 0;
    } else if (inPos > 65536 && inPos > in.size() / 2) {
        in.remove(0, inPos);
        inPos = 0;
    }
    return r;
}

void PowersockCore::dropInput() {
    in.clear();
    inPos = 0;
}

void PowersockCore::resolveHost() {
    reportStatus(8, QStringLiteral("Resolve Host"));
    const QString name = proxy.isEmpty() ? host : proxy;
    QHostAddress numeric;
    if (numeric.setAddress(name) && numeric.protocol() == QAbstractSocket::IPv4Protocol) {
        remoteAddress = numeric;
        return;
    }
    remoteAddress = QHostAddress();
    timerOn(timeOut);
    lookupDone = false;
    succeeded = false;
    auto found = std::make_shared<QHostAddress>();
    const int id = QHostInfo::lookupHost(name, &ctx, [this, found](const QHostInfo& info) {
        lookupDone = true;
        succeeded = false;
        if (info.error() != QHostInfo::NoError) return;
        for (const QHostAddress& a : info.addresses()) {
            if (a.protocol() == QAbstractSocket::IPv4Protocol) {
                *found = a;
                succeeded = true;
                return;
            }
        }
    });
    const Wait w = waitUntil([this] { return lookupDone || timedOut; }, timeOut > 0 ? 0 : -1);
    timerOff();
    if (!lookupDone) QHostInfo::abortHostLookup(id);
    if (timedOut || w == Wait::Idle) throw ESockError(QStringLiteral("Host Lookup Timed Out"));
    if (w == Wait::Canceled) throw ESockError(QStringLiteral("Host Lookup Canceled"));
    if (!succeeded) throw ESockError(QStringLiteral("Host Lookup Failed"));
    remoteAddress = *found;
    if (q && !destroyed) emit q->OnHostResolved(q);
}

void PowersockCore::connect() {
    reportStatus(8, QStringLiteral("Connecting"));
    canceled = false;
    if (connected) throw ESockError(QStringLiteral("Already connected"));
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
    succeeded = true;
    waitingConnect = true;
    sock->connectToHost(remoteAddress, quint16(p));
    timerOn(timeOut);
    const Wait w = waitUntil([this] { return connected || timedOut || !succeeded; }, timeOut > 0 ? 0 : -1);
    timerOff();
    waitingConnect = false;
    if (w == Wait::Met && connected && succeeded && !timedOut) return;
    if (timedOut || w == Wait::Idle) failed(QStringLiteral("Connection Timed out"));
    if (w == Wait::Canceled) failed(QStringLiteral("Connection Canceled"));
    failed(QStringLiteral("Connection Failed"));
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
    if (!hasHandler(QMetaMethod::fromSignal(&TPowersock::OnConnectionRequired)))
        throw std::runtime_error("Not Connected");
    bool handled = false;
    emit q->OnConnectionRequired(handled);
    if (handled && connected) return;
    throw std::runtime_error("Not Connected");
}

void PowersockCore::sendBuffer(const QByteArray& bytes) {
    reportStatus(4, QStringLiteral("Sending Buffer"));
    if (canceled) return;
    if (!sock || sock->state() != QAbstractSocket::ConnectedState)
        throw ESockError(QStringLiteral("Cannot send: the connection is closed"));
    sock->write(bytes);
    const Wait w = waitUntil([this] { return sock->bytesToWrite() == 0 || !connected; });
    if (w == Wait::Canceled) {
        if (!destroyed) canceled = false;
        throw EAbortError(QStringLiteral("Socket send aborted"));
    }
    if (w == Wait::Idle) throw ESockError(QStringLiteral("Sending timed out: no progress for ") + idleText());
    if (sock->bytesToWrite() > 0) throw ESockError(QStringLiteral("The connection closed while sending"));
}

void PowersockCore::write(const QString& text) {
    reportStatus(8, QStringLiteral("Write"));
    const QByteArray bytes = text.toUtf8();
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
        if (w == Wait::Canceled) {
            if (!destroyed) canceled = false;
            throw EAbortError(QStringLiteral("Socket send aborted"));
        }
        if (w == Wait::Idle)
            throw ESockError(QStringLiteral("Reading timed out: nothing received for ") + idleText());
        if (available() < count)
            throw ESockError(QStringLiteral("The connection closed before %1 bytes arrived").arg(count));
        return take(count);
    }
    if (canceled) {
        if (!destroyed) canceled = false;
        throw EAbortError(QStringLiteral("Socket send aborted"));
    }
    return take(available());
}

bool PowersockCore::readLineOrEnd(QByteArray& line) {
    const Wait w = waitUntil([this] { return lineEnd() >= 0 || !connected; });
    if (w == Wait::Canceled) throw EAbortError(QStringLiteral("Socket readln aborted"));
    if (w == Wait::Idle)
        throw ESockError(QStringLiteral("No line received for ") + idleText() + " (timed out)");
    if (w == Wait::Stopped) return false;
    const qsizetype end = lineEnd();
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
    const Wait w = waitUntil([this] { return !connected || !captureError.isEmpty(); });
    capturing = false;
    flushCapture();
    if (w == Wait::Canceled) {
        if (!destroyed) canceled = false;
        throw EAbortError(QStringLiteral("Socket send aborted"));
    }
    if (w == Wait::Idle)
        throw ESockError(QStringLiteral("Transfer timed out: nothing received for ") + idleText());
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

void PowersockCore::listen(const QHostAddress& address) {
    reportStatus(8, QStringLiteral("Listening"));
    lookupDone = false;
    accepted.reset();
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
    if (w == Wait::Idle)
        throw ESockError(QStringLiteral("The data connection did not open within ") + idleText() +
                         " (timed out)");
    if (w == Wait::Stopped) return false;
    reportStatus(4, QStringLiteral("Accepting"));
    if (server) {
        QObject::disconnect(server.get(), nullptr, &ctx, nullptr);
        server->close();
        server.reset();
    }
    if (canceled) {
        canceled = false;
        throw EAbortError(QStringLiteral("Socket send aborted"));
    }
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

// ---------------------------------------------------------------- TPowersock

TPowersock::TPowersock(QObject* parent) : TPowersock(std::make_shared<PowersockCore>(), parent) {}

TPowersock::TPowersock(std::shared_ptr<PowersockCore> core, QObject* parent)
    : QObject(parent), m_core(std::move(core)) {
    m_core->q = this;
}

TPowersock::~TPowersock() {
    m_core->q = nullptr; // being destroyed: the status is kept, no event goes out
    m_core->reportStatus(8, QStringLiteral("Destroy"));
    m_core->detach();
}

QString TPowersock::Host() const {
    return m_core->host;
}
void TPowersock::setHost(const QString& host) {
    m_core->host = host;
}
int TPowersock::Port() const {
    return m_core->port;
}
void TPowersock::setPort(int port) {
    m_core->port = port;
}
int TPowersock::TimeOut() const {
    return m_core->timeOut;
}
void TPowersock::setTimeOut(int ms) {
    m_core->timeOut = std::max(ms, 0);
}
int TPowersock::IdleTimeOut() const {
    return m_core->idleTimeOut;
}
void TPowersock::setIdleTimeOut(int ms) {
    m_core->idleTimeOut = std::max(ms, 0);
}
int TPowersock::ReportLevel() const {
    return m_core->reportLevel;
}
void TPowersock::setReportLevel(int level) {
    m_core->reportLevel = level;
}
QString TPowersock::Proxy() const {
    return m_core->proxy;
}
void TPowersock::setProxy(const QString& host) {
    m_core->proxy = host;
}
int TPowersock::ProxyPort() const {
    return m_core->proxyPort;
}
void TPowersock::setProxyPort(int port) {
    m_core->proxyPort = port;
}
bool TPowersock::Connected() const {
    return m_core->connected;
}
QString TPowersock::LastStatus() const {
    return m_core->lastStatus;
}
int TPowersock::LastError() const {
    return m_core->lastError;
}
QString TPowersock::LastReply() const {
    return m_core->lastReply;
}
int TPowersock::ReplyCode() const {
    return m_core->replyCode;
}
qint64 TPowersock::BytesSent() const {
    return m_core->sentCount();
}
qint64 TPowersock::BytesReceived() const {
    return m_core->receivedCount();
}
qint64 TPowersock::TransferSize() const {
    return m_core->transferSize;
}
bool TPowersock::Canceled() const {
    return m_core->canceled;
}
bool TPowersock::TimedOut() const {
    return m_core->timedOut;
}
QHostAddress TPowersock::RemoteAddress() const {
    return m_core->remoteAddress;
}
QHostAddress TPowersock::LocalAddress() const {
    return m_core->sock ? m_core->sock->localAddress() : QHostAddress();
}
int TPowersock::BufferedBytes() const {
    return int(std::min<qsizetype>(m_core->available(), INT_MAX));
}

void TPowersock::Connect() {
    guarded([](PowersockCore& c) { c.connect(); });
}

void TPowersock::Disconnect() {
    std::shared_ptr<PowersockCore> core = m_core;
    if (!core->connected) {
        core->disconnect(); // nothing to say to the peer, nothing to wait for
        return;
    }
    guarded([](PowersockCore& c) { c.disconnect(); });
}

QString TPowersock::Transaction(const QString& command) {
    return guarded([&](PowersockCore& c) { return c.transaction(command); });
}

void TPowersock::Abort() {
    std::shared_ptr<PowersockCore> core = m_core;
    core->abort();
}

void TPowersock::Cancel() {
    std::shared_ptr<PowersockCore> core = m_core;
    core->cancel();
}

void TPowersock::RequireConnection() {
    guarded([](PowersockCore& c) { c.requireConnection(); });
}

void TPowersock::SendBuffer(const QByteArray& bytes) {
    guarded([&](PowersockCore& c) { c.sendBuffer(bytes); });
}

void TPowersock::Write(const QString& text) {
    guarded([&](PowersockCore& c) { c.write(text); });
}

void TPowersock::Writeln(const QString& text) {
    guarded([&](PowersockCore& c) { c.writeln(text); });
}

QByteArray TPowersock::Read(int count) {
    return guarded([&](PowersockCore& c) { return c.read(count); });
}

QString TPowersock::ReadLn() {
    return guarded([](PowersockCore& c) { return QString::fromUtf8(c.readLineBytes()); });
}

void TPowersock::CaptureFile(const QString& fileName) {
    guarded([&](PowersockCore& c) { c.captureFile(fileName); });
}

void TPowersock::Listen(const QHostAddress& address) {
    guarded([&](PowersockCore& c) { c.listen(address); });
}

void TPowersock::Accept() {
    guarded([](PowersockCore& c) {
        if (!c.accept()) throw EAbortError(QStringLiteral("Accepting Canceled"));
    });
}

QString TPowersock::LocalPortAddress() const {
    return m_core->localPortAddress();
}
QString TPowersock::ListenPortPair() const {
    return m_core->listenPortPair();
}

void TPowersock::RequestCloseSocket() {
    std::shared_ptr<PowersockCore> core = m_core;
    core->requestCloseSocket();
}

QString TPowersock::LookupErrorMessage(int code) {
    return LookupErrorText(code);
}

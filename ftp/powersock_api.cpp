#include "ftp/powersock_p.h"

#include <climits>

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
QString TPowersock::CloseReason() const {
    return m_core->closeReason;
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
    guarded([](PowersockCore& c) {
        c.canceled = false; // a new connection starts without the cancel of an earlier one
        c.closeReason.clear();
        c.connect();
    });
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

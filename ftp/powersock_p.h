// Inside of TPowersock: the connection state that outlives the QObject while a call still waits.
#pragma once

#include "ftp/powersock.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QSslConfiguration>
#include <QSslError>
#include <QSslSocket>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryFile>

#include <functional>
#include <memory>
#include <vector>

// A file received under a temporary name beside its target; commit() renames it over the target, and
// a file never committed is removed, leaving an older target as it was.
class ReceiveFile {
public:
    // journal: a file where the temporary name is noted while the download runs, so that one cut short
    // by a crash or a kill is removed at the next start (RemoveLeftovers); "" notes nowhere.
    explicit ReceiveFile(const QString& target, bool sync = true, const QString& journal = QString());
    ~ReceiveFile();
    ReceiveFile(const ReceiveFile&) = delete;
    ReceiveFile& operator=(const ReceiveFile&) = delete;
    // Removes the temporary files the journal names that are still there, then empties it. Only files
    // of the temporary name's form are touched. Returns how many were removed.
    static int RemoveLeftovers(const QString& journal);
    bool open();
    qint64 write(const char* data, qint64 n) { return m_file.write(data, n); }
    qint64 write(const QByteArray& bytes) { return m_file.write(bytes); }
    // Flushes the file to disk, renames it over the target (as the commit check decides when the
    // target exists), flushes the folder. False with errorString() when that failed.
    bool commit();
    void setCommitCheck(TCommitCheck check) { m_check = std::move(check); }
    bool keptLocal() const { return m_keptLocal; } // the check kept the local file; nothing was renamed
    QString keptAs() const { return m_keptAs; }    // where the local file went to make room ("" if nowhere)
    bool flushed() const { return m_flushed; }     // the last commit reached the disk, folder entry included
    qint64 size() const { return m_file.size(); }
    bool isOpen() const { return m_file.isOpen(); }
    QString errorString() const { return m_error.isEmpty() ? m_file.errorString() : m_error; }

private:
    void noteMade();
    QString m_target;
    QString m_journal;
    QTemporaryFile m_file;
    QString m_error;
    bool m_flushed = false;
    bool m_sync = true; // commit() flushes to disk
    TCommitCheck m_check;
    bool m_keptLocal = false;
    QString m_keptAs;
};

// A listening socket whose connections can turn to TLS (the data connection of an encrypted session).
class TlsReadyServer : public QTcpServer {
protected:
    void incomingConnection(qintptr descriptor) override {
        auto* s = new QSslSocket(this);
        if (s->setSocketDescriptor(descriptor))
            addPendingConnection(s);
        else
            delete s;
    }
};

struct PowersockCore : std::enable_shared_from_this<PowersockCore> {
    enum class Wait { Met, Canceled, Idle, Stopped, Deadline };

    PowersockCore();
    virtual ~PowersockCore();

    // The facade is gone: end every wait, raise no more events, close the connection.
    virtual void detach();

    // Settings and state.
    TPowersock* q = nullptr;
    bool destroyed = false;
    QString host;
    int port = 0;
    int timeOut = 0;
    int idleTimeOut = 30000;
    int reportLevel = 0;
    QString proxy;
    int proxyPort = 0;
    QString lastStatus;
    int lastError = 0;
    QString lastReply;
    int replyCode = 0;
    bool canceled = false;
    bool timedOut = false;
    bool connected = false;
    bool succeeded = false;
    bool lookupDone = false;
    bool capturing = false;
    bool countAll = false; // count every received byte, not only while capturing
    bool busy = false;     // an operation of the facade is running
    qint64 bytesSent = 0;
    qint64 bytesReceived = 0;
    qint64 transferSize = 0;
    QHostAddress remoteAddress;
    std::vector<QHostAddress> candidates; // what the host name resolved to, tried in this order
    QHostAddress acceptFrom;              // only a peer with this address is accepted (null: any)

    // Hooks of the owner (used by the FTP layer).
    std::function<void()> afterRead;
    std::function<void()> onPacket;     // a chunk arrived while capturing
    std::function<bool()> externalStop; // ends this object's waits with Wait::Stopped
    std::function<void()> onEncrypted;  // the TLS handshake completed
    // The bytes that go out for a line of text (default UTF-8).
    std::function<QByteArray(const QString&)> encode;
    QString closeReason; // why this side closed the connection (told by the next operation)

    // TLS (the connection is a QSslSocket; it stays plain until startTls).
    QList<QSslError> tlsErrors; // what the last handshake found wrong with the peer's certificate
    QByteArray trustedDigest;   // SHA-256 of the only certificate whose faults are overlooked ("" = any,
                                // the owner decides after the handshake)
    bool tlsFailed = false;
    QString tlsFailure;
    bool tlsCloseNotify = false; // the peer ended the TLS session with its close (close_notify)

    QObject ctx; // context of every connection made by this object
    std::unique_ptr<QTcpSocket> sock;
    std::unique_ptr<QTcpServer> server;
    std::unique_ptr<QTcpSocket> accepted;
    std::unique_ptr<ReceiveFile> capture;
    QByteArray pending; // received for the capture file, written in large blocks
    QString captureError;
    TThreadTimer timer;
    QTimer wake;
    QElapsedTimer activity;
    bool firstSocket = true;
    bool closing = false;
    bool waitingConnect = false;
    QByteArray in;
    qsizetype inPos = 0;
    mutable qsizetype scanned = 0; // bytes of `in` already searched for a line end
    int maxLine = 8192;            // a longer line is an error
    qint64 minProgress = 1;        // bytes that count as progress against the idle time-out
    qint64 sinceProgress = 0;
    QDeadlineTimer deadline{QDeadlineTimer::Forever}; // ends every wait of the operation under way
    qint64 limit = -1;                                // capture: more bytes than this end the wait (-1: none)

    // Events (nothing is raised once detached).
    void reportStatus(int level, const QString& text);
    virtual void socketConnected();
    void emitDisconnect();
    void emitError(int code);
    bool hasHandler(const QMetaMethod& signal) const;
    virtual qint64 receivedCount() const;
    virtual qint64 sentCount() const;

    // Socket plumbing.
    void setSocket(std::unique_ptr<QTcpSocket> s);
    void onReadyRead();
    void onDisconnected();
    void onError(QAbstractSocket::SocketError err);
    void onNewConnection();
    void storeChunk(const char* data, qint64 n, bool notify);
    void readChunks();
    void flushCapture();
    void timerOn(int ms);
    void timerOff();
    void timerTriggered();

    // Waiting.
    Wait waitUntil(const std::function<bool()>& cond, int limitMs = -1);
    QString idleText() const;

    // Input buffer.
    qsizetype available() const { return in.size() - inPos; }
    qsizetype lineEnd() const; // index just past the first LF, or -1
    QByteArray take(qsizetype n);
    void dropInput();

    // Operations.
    void resolveHost();
    virtual void connect();
    virtual void disconnect();
    virtual QString transaction(const QString& command);
    virtual void abort() {}
    void cancel();
    void requireConnection();
    void sendBuffer(const QByteArray& bytes);
    void write(const QString& text);
    void writeln(const QString& text);
    QByteArray read(int count);
    QByteArray readLineBytes();
    bool readLineOrEnd(QByteArray& line); // false at the clean end of a closed connection
    void startCapture(std::unique_ptr<ReceiveFile> file);
    void waitCapture();
    void captureFile(const QString& fileName);
    void listen(const QHostAddress& address);
    bool accept(); // false when externalStop ended the wait
    QString localPortAddress() const;
    QString listenPortPair() const;
    void requestCloseSocket();
    QSslSocket* ssl() const { return qobject_cast<QSslSocket*>(sock.get()); }
    void useTls(bool on); // the next connection (or the listened one) may turn to TLS
    void startTls(const QSslConfiguration& config, const QString& peerName); // starts the handshake
    void waitEncrypted(const QString& what);                                 // throws ESockError
};

template <class F> auto TPowersock::guarded(F&& f) const {
    std::shared_ptr<PowersockCore> core = m_core;
    if (core->busy) throw ESockError("Another operation of this connection is still running");
    core->busy = true;
    struct Reset {
        PowersockCore* c;
        ~Reset() { c->busy = false; }
    } reset{core.get()};
    try {
        return f(*core);
    } catch (const EAbortError&) {
        throw;
    } catch (...) {
        if (core->destroyed) throw EAbortError("Operation aborted: the connection object was destroyed");
        throw;
    }
}

// TPowersock: one TCP connection with blocking calls that keep the event loop running.
//
// Every call that has to wait (host lookup, connecting, sending, reading a line or a block, accepting,
// capturing into a file) runs a nested event loop until its condition holds, so timers, button clicks
// and the engine's own events keep running meanwhile. Every wait ends on its condition, on Cancel(),
// on the peer's close, or after IdleTimeOut milliseconds without progress (default 30 000; 0 = none).
//
// Events are Qt signals raised on the caller's thread; connect them directly (the default connection
// on one thread). Signals with a bool& argument let the handler answer ("Handled").
//
// The object may be destroyed from a handler while one of its calls waits: the call then ends with
// EAbortError and touches nothing of the destroyed object.
#pragma once

#include "ftp/ftperrors.h"

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>

struct PowersockCore;

// What becomes of a complete download when a file of its local name is there already: it replaces
// that file (renamed first to `keepAs` when that is set, so both stay), or the local file stays as
// it is and the download is dropped.
struct TCommitPlan {
    bool replace = true;
    QString keepAs;
};
// Asked with the complete download (a temporary file beside the target, flushed) and the local file
// it would replace, only when that local file exists.
using TCommitCheck = std::function<TCommitPlan(const QString& downloaded, const QString& local)>;

// Repeating timer with the Interval/Enabled/OnTimer trio; setting any of them re-arms it.
class TThreadTimer : public QObject {
    Q_OBJECT
public:
    explicit TThreadTimer(QObject* parent = nullptr);
    unsigned Interval() const { return m_interval; }
    void setInterval(unsigned ms);
    bool Enabled() const { return m_enabled; }
    void setEnabled(bool on);

signals:
    void OnTimer(QObject* Sender);

private:
    void rearm();
    QTimer m_timer;
    unsigned m_interval = 1000;
    bool m_enabled = true;
};

class TPowersock : public QObject {
    Q_OBJECT
public:
    explicit TPowersock(QObject* parent = nullptr);
    ~TPowersock() override;

    // Settings.
    QString Host() const;
    void setHost(const QString& host);
    int Port() const;
    void setPort(int port);
    int TimeOut() const; // ms for host lookup and connecting; 0 = bounded by IdleTimeOut only
    void setTimeOut(int ms);
    int IdleTimeOut() const; // ms any wait may go without progress; 0 = unbounded
    void setIdleTimeOut(int ms);
    int ReportLevel() const; // status filter: 0 none, 1 protocol traffic, 4, 8 all but 16
    void setReportLevel(int level);
    QString Proxy() const;
    void setProxy(const QString& host);
    int ProxyPort() const;
    void setProxyPort(int port);

    // State.
    bool Connected() const;
    QString LastStatus() const;
    int LastError() const;
    QString LastReply() const;   // last reply line, line end included
    QString CloseReason() const; // why this side closed the last connection ("" when it did not)
    int ReplyCode() const;       // its leading code, 0 if none
    qint64 BytesSent() const;
    qint64 BytesReceived() const;
    qint64 TransferSize() const;
    bool Canceled() const;
    bool TimedOut() const;
    QHostAddress RemoteAddress() const;
    QHostAddress LocalAddress() const;
    int BufferedBytes() const; // received and not yet read

    // Operations (each waits in the event loop when it must).
    virtual void Connect();
    virtual void Disconnect();
    virtual QString Transaction(const QString& command);
    virtual void Abort();
    void Cancel();
    void RequireConnection();
    void SendBuffer(const QByteArray& bytes);
    void Write(const QString& text);
    void Writeln(const QString& text);
    QByteArray Read(int count); // count 0: all buffered bytes (empty when none)
    QString ReadLn();           // through the next LF (kept); the rest of a closed connection as last line
    void CaptureFile(const QString& fileName); // everything received until the peer closes goes to the file
    void Listen(const QHostAddress& address = QHostAddress::AnyIPv4); // any free port unless Port set
    void Accept(); // waits for the listened connection and makes it this object's connection
    QString LocalPortAddress() const; // "127,0,0,1"
    QString ListenPortPair() const;   // ",16,4" for port 4100
    void RequestCloseSocket();

    static QString LookupErrorMessage(int code);

signals:
    void OnConnect(QObject* Sender);
    void OnDisconnect(QObject* Sender);
    void OnError(QObject* Sender, quint16 Errno, const QString& Errmsg);
    void OnInvalidHost(bool& Handled);
    void OnHostResolved(QObject* Sender);
    void OnConnectionRequired(bool& Handled);
    void OnStatus(QObject* Sender, const QString& Status);
    void OnConnectionFailed(QObject* Sender);
    void OnPacketRecvd(QObject* Sender);
    void OnPacketSent(QObject* Sender);

protected:
    TPowersock(std::shared_ptr<PowersockCore> core, QObject* parent);
    bool hasHandler(const QMetaMethod& signal) const { return isSignalConnected(signal); }
    // Runs one operation on the core, which stays alive until the operation returns even if this
    // object is destroyed meanwhile; an operation cut short that way ends in EAbortError.
    template <class F> auto guarded(F&& f) const;

    std::shared_ptr<PowersockCore> m_core;
    friend struct PowersockCore;
};

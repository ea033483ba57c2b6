// The FTP session of the transfer page: the engine and the flags every handler
// of the window consults. The transfer page owns it; the window asks it before
// it closes (an engine call may still be waiting on the stack).
#pragma once

#include <QObject>
#include <QPointer>

class TNMFTP;

class FtpSession : public QObject {
    Q_OBJECT
public:
    explicit FtpSession(QObject* parent = nullptr);
    ~FtpSession() override;

    // The engine, named NMFTP1.
    TNMFTP* NMFTP1 = nullptr;
    // Logged on (as far as the window knows; the one-second watch compares).
    bool FtpConnected = false;
    // A batch or a remote browse runs.
    bool TransferBusy = false;
    // The batch under way stops after the current file.
    bool CancelRequested = false;
    // Exit was chosen: the window closes once the session has ended.
    bool ExitRequested = false;

    // Handlers now inside an engine call.
    int engineCalls() const { return m_engineCalls; }
    // A batch runs, or another handler waits inside an engine call.
    bool EngineBusy() const { return TransferBusy || m_engineCalls > 0; }

    // The window wants to close. False when it may close now; otherwise the batch
    // stops after the current file (a wait outside a batch ends at once), and
    // closeWhenIdle() follows once the last engine call has unwound.
    bool deferClose();

    // Marks a handler that may wait inside an engine call.
    class Call {
    public:
        explicit Call(FtpSession* session);
        ~Call();
        Call(const Call&) = delete;
        Call& operator=(const Call&) = delete;

    private:
        QPointer<FtpSession> m_session;
    };

signals:
    // The window may close now (queued: the handler's stack has unwound).
    void closeWhenIdle();
    // The last handler inside an engine call has returned (sent at once).
    void idle();

private:
    int m_engineCalls = 0;
    bool m_closePending = false;
};

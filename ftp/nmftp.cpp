#include "ftp/nmftp.h"

#include <QScopeGuard>

#include "ftp/powersock_p.h"

#include <QDeadlineTimer>
#include <QMetaMethod>

namespace {
// How long Disconnect waits for the answer to QUIT.
constexpr int kQuitWaitMs = 3000;
constexpr int kVendorNotAsked = 2411;

bool inRange(int code, int lo, int hi) {
    return code >= lo && code <= hi;
}
} // namespace

struct FtpCore : PowersockCore {
    QString userID;
    QString password;
    int vendor = kVendorNotAsked;
    bool parseList = false;
    qint64 announcedSize = 0; // the size the server announced for the last download (0: none)
    std::unique_ptr<TFTPDirectoryList> dirList;
    std::shared_ptr<PowersockCore> data;
    bool serverAbort = false; // a 421 or 426 reply arrived on the control connection

    FtpCore() {
        port = 21;
        afterRead = [this] { watchAbortReply(); };
    }

    TNMFTP* f() const { return destroyed ? nullptr : static_cast<TNMFTP*>(q); }
    template <class Signal> bool has(Signal signal) const {
        return hasHandler(QMetaMethod::fromSignal(signal));
    }

    // The log-on raises OnConnect, not the socket.
    void socketConnected() override {}
    void abort() override {
        if (data) data->canceled = true;
    }
    void detach() override {
        if (data) data->detach();
        PowersockCore::detach();
    }
    qint64 receivedCount() const override { return data ? data->bytesReceived : 0; }
    qint64 sentCount() const override { return data ? data->bytesSent : 0; }

    void watchAbortReply() {
        if (available() < 4) return;
        const QByteArray code = in.mid(inPos, 3);
        if (code == "421" || code == "426") serverAbort = true;
    }

    static void checkArgument(const QString& text, const char* what) {
        const QString problem = CommandArgumentProblem(text);
        if (!problem.isEmpty())
            throw ESockError(QStringLiteral("Refused to send the %1 \"%2\": %3")
                                 .arg(QLatin1String(what),
                                      QString(text).replace('\r', "\\r").replace('\n', "\\n"), problem));
    }

    void prepare() {
        canceled = false;
        serverAbort = false;
    }

    void success(TCmdType kind) {
        if (TNMFTP* e = f()) emit e->OnSuccess(kind);
    }
    void unsupported(TCmdType kind) {
        if (TNMFTP* e = f()) emit e->OnUnSupportedFunction(kind);
    }
    // Returns only when an OnFailure handler accepted the failure.
    void failureRule(TCmdType kind, const QString& reply) {
        if (!has(&TNMFTP::OnFailure)) throw FTPException(reply);
        bool handled = false;
        emit f()->OnFailure(handled, kind);
        if (!handled) throw FTPException(reply);
    }

    QString readReplyLine() {
        const QString line = QString::fromUtf8(readLineBytes());
        reportStatus(1, line);
        return line;
    }

    // Reads the lines that follow `line` in a multi-line reply and returns the last one. A reply that
    // opened with "ddd-" ends only at a line that begins with "ddd ", whatever the lines between.
    QString readContinuation(QString line) {
        QString code;
        auto opens = [](const QString& l) {
            return l.size() >= 4 && l[3] == QLatin1Char('-') && ReplyCodeOf(l.left(3)) > 0 &&
                   l[0].isDigit() && l[1].isDigit() && l[2].isDigit();
        };
        auto goesOn = [&](const QString& l) {
            if (code.isEmpty() && opens(l)) code = l.left(3);
            if (IsContinuationLine(l)) return true;
            if (code.isEmpty()) return false;
            const bool closes =
                l.startsWith(code) && (l.size() == 3 || l[3] == QLatin1Char(' ') ||
                                       l[3] == QLatin1Char('\r') || l[3] == QLatin1Char('\n'));
            return !closes;
        };
        while (goesOn(line))
            line = readReplyLine();
        return line;
    }

    QString transaction(const QString& command) override {
        checkArgument(command, "command");
        PowersockCore::transaction(command);
        readContinuation(lastReply);
        return lastReply;
    }

    void connectionFailed() {
        if (TNMFTP* e = f()) emit e->OnConnectionFailed(e);
    }

    void connect() override {
        prepare();
        if (connected) return;
        checkArgument(userID, "user ID");
        checkArgument(password, "password");
        dropInput();
        PowersockCore::connect();
        try {
            const QString greeting = readContinuation(QStringLiteral(" "));
            if (inRange(ReplyCodeOf(greeting), 400, 599)) {
                // The server refuses the session before the log-on.
                lastReply = greeting;
                replyCode = ReplyCodeOf(greeting);
                connectionFailed();
                throw FTPException(greeting);
            }
            if ((userID.isEmpty() || password.isEmpty()) && has(&TNMFTP::OnAuthenticationNeeded)) {
                bool handled = false;
                emit f()->OnAuthenticationNeeded(handled);
                checkArgument(userID, "user ID");
                checkArgument(password, "password");
            }
            reportStatus(1, QStringLiteral("USER ") + userID);
            transaction(proxy.isEmpty() ? QStringLiteral("USER ") + userID
                                        : QStringLiteral("USER ") + userID + '@' + host);
            if (replyCode > 400 && replyCode < 600) {
                connectionFailed();
                throw FTPException(lastReply);
            }
            if (replyCode == 331) {
                reportStatus(1, QStringLiteral("PASS "));
                transaction(QStringLiteral("PASS ") + password);
                if (replyCode > 400 && replyCode < 600) {
                    connectionFailed();
                    throw FTPException(lastReply);
                }
            }
            if (TNMFTP* e = f()) emit e->OnConnect(e);
        } catch (...) {
            const std::exception_ptr first = std::current_exception();
            if (!destroyed && canceled) {
                // The log-on was cancelled: close without a QUIT to wait for.
                if (connected) PowersockCore::disconnect();
                reportStatus(1, QStringLiteral("Disconnected"));
            } else if (!destroyed) {
                try {
                    disconnect();
                } catch (const FTPException&) {
                    reportStatus(1, QStringLiteral("Disconnected"));
                    throw;
                } catch (...) {
                }
                if (connected) PowersockCore::disconnect();
                reportStatus(1, QStringLiteral("Disconnected"));
            }
            std::rethrow_exception(first);
        }
    }

    void disconnect() override {
        canceled = false;
        if (!connected) return;
        reportStatus(1, QStringLiteral("QUIT"));
        dirList.reset();
        vendor = kVendorNotAsked;
        dropInput();
        // A server that does not answer QUIT is not waited for long: the connection
        // ends either way.
        const int idle = idleTimeOut;
        if (idleTimeOut <= 0 || idleTimeOut > kQuitWaitMs) idleTimeOut = kQuitWaitMs;
        const auto restoreIdle = qScopeGuard([this, idle] { idleTimeOut = idle; });
        try {
            transaction(QStringLiteral("QUIT"));
        } catch (const EAbortError&) {
            PowersockCore::disconnect();
            throw;
        } catch (const ESockError&) {
            // No answer to QUIT, or the server closed first: the connection ends either way.
            PowersockCore::disconnect();
            return;
        } catch (...) {
            PowersockCore::disconnect();
            throw;
        }
        const bool refused = replyCode > 300 && replyCode < 600;
        const QString reply = lastReply;
        PowersockCore::disconnect();
        if (refused) throw FTPException(reply);
    }

    // Log off without the event loop, for the destructor: no handler can run meanwhile.
    void quitNow() {
        if (!connected || !sock) return;
        sock->write("QUIT\r\n");
        QDeadlineTimer deadline(2000);
        while (sock->bytesToWrite() > 0 && !deadline.hasExpired())
            if (!sock->waitForBytesWritten(int(deadline.remainingTime()))) break;
        while (connected && lineEnd() < 0 && !deadline.hasExpired())
            if (!sock->waitForReadyRead(int(deadline.remainingTime()))) break;
        requestCloseSocket();
    }

    void doCommand(const QString& line) {
        const TCmdType kind = CommandKindOf(line);
        if (line.isEmpty()) throw ESockError(QStringLiteral("Refused to send an empty command"));
        checkArgument(line, "command");
        prepare();
        requireConnection();
        reportStatus(1, line);
        dropInput();
        transaction(line);
        if (inRange(replyCode, 400, 599)) {
            if (inRange(replyCode, 500, 502)) unsupported(kind);
            failureRule(kind, lastReply);
        } else {
            success(kind);
        }
    }

    void rename(const QString& from, const QString& to) {
        checkArgument(from, "name");
        checkArgument(to, "name");
        prepare();
        requireConnection();
        dropInput();
        reportStatus(1, QStringLiteral("RNFR ") + from);
        transaction(QStringLiteral("RNFR ") + from);
        if (inRange(replyCode, 352, 599)) failureRule(TCmdType::Rename, lastReply);
        reportStatus(1, QStringLiteral("RNTO ") + to);
        transaction(QStringLiteral("RNTO ") + to);
        if (inRange(replyCode, 301, 599)) {
            if (inRange(replyCode, 500, 502)) unsupported(TCmdType::Rename);
            failureRule(TCmdType::Rename, lastReply);
        } else {
            success(TCmdType::Rename);
        }
    }

    void askSystem() {
        try {
            doCommand(QStringLiteral("SYST"));
        } catch (const EAbortError&) {
            throw;
        } catch (const std::exception&) {
        }
        static const struct {
            const char* word;
            int vendor;
        } table[] = {{"UNIX", 2400}, {"NETWARE", 2416}, {"DOS", 2401},   {"VMS", 2406},
                     {"MVS", 2408},  {"VM", 2402},      {"MACOS", 2404}, {"OS/400", 2414}};
        vendor = 2410;
        for (const auto& row : table) {
            if (lastReply.contains(QLatin1String(row.word))) {
                vendor = row.vendor;
                break;
            }
        }
    }

    // ---- transfers

    struct DataScope {
        FtpCore* c;
        ~DataScope() { c->data.reset(); }
    };

    void newDataConnection() {
        data = std::make_shared<PowersockCore>();
        data->timeOut = timeOut;
        data->idleTimeOut = idleTimeOut;
        data->port = 0;
        data->countAll = true;
        data->acceptFrom = sock->peerAddress();
        data->externalStop = [this] { return serverAbort || canceled || !connected || destroyed; };
    }

    // Listens on the control connection's own address and sends PORT. False when a refusal was accepted
    // by the OnFailure handler: then no data connection will come and the operation ends quietly.
    bool openDataConnection(TCmdType kind) {
        data->listen(sock->localAddress());
        const QString line = PortLine(sock->localAddress(), data->server->serverPort());
        reportStatus(1, line);
        transaction(line);
        if (inRange(replyCode, 301, 599)) {
            failureRule(kind, lastReply);
            return false;
        }
        return true;
    }

    void stopIfCanceled() {
        if (destroyed) throw EAbortError(QStringLiteral("Operation aborted: the FTP engine was destroyed"));
        if (canceled) throw EAbortError(QStringLiteral("Transfer canceled"));
    }

    // The final reply of a transfer. True when positive; a negative one goes through the failure rule.
    bool finalReply(TCmdType kind) {
        stopIfCanceled();
        lastReply = readReplyLine();
        replyCode = ReplyCodeOf(lastReply);
        readContinuation(lastReply);
        serverAbort = false;
        if (inRange(replyCode, 400, 599) || replyCode == 0) {
            failureRule(kind, lastReply);
            return false;
        }
        return true;
    }

    void reportReceived() {
        transferSize = data->bytesReceived;
        reportStatus(1, QStringLiteral("Received %1 Bytes").arg(transferSize));
    }

    // After a transfer cut short on this side, the server's late reply is taken off the line so that
    // the next command reads its own reply.
    template <class F> void transfer(F&& body) {
        try {
            body();
        } catch (const ESockError&) {
            const bool cutShort = data != nullptr;
            data.reset();
            if (cutShort && !destroyed && connected) {
                try {
                    drainControl();
                } catch (...) {
                }
            }
            throw;
        }
    }

    void list() {
        prepare();
        requireConnection();
        newDataConnection();
        DataScope scope{this};
        dropInput();
        transfer([&] {
            if (parseList) {
                if (!dirList) {
                    if (vendor == kVendorNotAsked) askSystem();
                    dirList = std::make_unique<TFTPUnixList>();
                }
                dirList->Clear();
            }
            prepare();
            if (!openDataConnection(TCmdType::List)) return;
            reportStatus(1, QStringLiteral("LIST"));
            transaction(QStringLiteral("LIST"));
            if (inRange(replyCode, 301, 599)) {
                if (inRange(replyCode, 500, 502)) unsupported(TCmdType::List);
                failureRule(TCmdType::List, lastReply);
                return;
            }
            const bool alreadyDone = inRange(replyCode, 200, 299);
            transferSize = SizeFromReply(lastReply);
            if (TNMFTP* e = f()) emit e->OnTransactionStart(e);
            if (!alreadyDone && data->accept()) {
                QByteArray raw;
                while (data->readLineOrEnd(raw)) {
                    const QString line = CutLineEnd(QString::fromUtf8(raw));
                    if (parseList && dirList) dirList->ParseLine(line);
                    if (TNMFTP* e = f()) emit e->OnListItem(line);
                }
            }
            stopIfCanceled();
            if (TNMFTP* e = f()) emit e->OnTransactionStop(e);
            data->requestCloseSocket();
            reportReceived();
            if (!alreadyDone && !finalReply(TCmdType::List)) return;
            data.reset();
            success(TCmdType::List);
        });
    }

    void download(const QString& remote, const QString& local) {
        checkArgument(remote, "file name");
        prepare();
        requireConnection();
        const QString target = local.isEmpty() ? remote : local;
        auto file = std::make_unique<ReceiveFile>(target);
        if (!file->open())
            throw ESockError(
                QStringLiteral("Cannot create the local file %1: %2").arg(target, file->errorString()));
        newDataConnection();
        DataScope scope{this};
        dropInput();
        transfer([&] {
            if (!openDataConnection(TCmdType::Download)) return;
            // Received bytes go to the file from the first one on, so memory stays flat.
            data->startCapture(std::move(file));
            reportStatus(1, QStringLiteral("RETR ") + remote);
            transferSize = 0;
            announcedSize = 0;
            PowersockCore::transaction(QStringLiteral("RETR ") + remote);
            const bool refused = inRange(replyCode, 301, 599);
            if (refused) failureRule(TCmdType::Download, lastReply);
            transferSize = SizeFromReply(lastReply);
            QString line = lastReply;
            QString code = line.size() >= 4 && line[3] == QLatin1Char('-') ? line.left(3) : QString();
            auto goesOn = [&](const QString& l) {
                if (IsContinuationLine(l)) return true;
                return !code.isEmpty() &&
                       !(l.startsWith(code) &&
                         (l.size() == 3 || l[3] == QLatin1Char(' ') || l[3] == QLatin1Char('\r')));
            };
            while (goesOn(line)) {
                line = readReplyLine();
                if (transferSize == 0) transferSize = SizeFromReply(line);
                if (refused) {
                    if (inRange(replyCode, 500, 502)) unsupported(TCmdType::Download);
                    bool handled = false;
                    if (has(&TNMFTP::OnFailure)) emit f()->OnFailure(handled, TCmdType::Download);
                    if (!handled) throw FTPException(line);
                }
            }
            if (refused) return;
            const bool alreadyDone = inRange(replyCode, 200, 299);
            const bool accepted = !alreadyDone && data->accept();
            announcedSize = transferSize;
            if (TNMFTP* e = f()) emit e->OnTransactionStart(e);
            data->onPacket = [this] {
                if (TNMFTP* e = f()) emit e->OnPacketRecvd(e);
            };
            if (data->bytesReceived > 0) data->onPacket(); // what came before the start, as one chunk
            if (accepted) data->waitCapture();
            data->capturing = false;
            data->onPacket = nullptr;
            stopIfCanceled();
            if (TNMFTP* e = f()) emit e->OnTransactionStop(e);
            data->requestCloseSocket();
            reportReceived();
            std::unique_ptr<ReceiveFile> received = std::move(data->capture);
            if (!alreadyDone && !finalReply(TCmdType::Download)) return; // the temporary file goes
            if (!received->commit())
                throw ESockError(
                    QStringLiteral("Cannot save the local file %1: %2").arg(target, received->errorString()));
            data.reset();
            success(TCmdType::Download);
        });
    }

    void drainControl() {
        canceled = false;
        serverAbort = false;
        QByteArray got;
        waitUntil([this] { return available() > 0 || !connected; }, 950);
        got = take(available());
        if (!got.isEmpty()) reportStatus(1, QString::fromUtf8(got));
    }
};

TNMFTP::TNMFTP(QObject* parent) : TPowersock(std::make_shared<FtpCore>(), parent) {}

TNMFTP::~TNMFTP() {
    std::shared_ptr<PowersockCore> keep = m_core;
    FtpCore& c = core();
    c.q = nullptr; // no events from here on
    c.canceled = true;
    c.abort();
    if (!c.busy) c.quitNow(); // a waiting call instead ends with EAbortError
}

qint64 TNMFTP::AnnouncedSize() const {
    return core().announcedSize;
}

FtpCore& TNMFTP::core() const {
    return static_cast<FtpCore&>(*m_core);
}

QString TNMFTP::UserID() const {
    return core().userID;
}
void TNMFTP::setUserID(const QString& user) {
    core().userID = user;
}
QString TNMFTP::Password() const {
    return core().password;
}
void TNMFTP::setPassword(const QString& password) {
    core().password = password;
}
int TNMFTP::Vendor() const {
    return core().vendor;
}
void TNMFTP::setVendor(int vendor) {
    core().vendor = vendor;
}
bool TNMFTP::ParseList() const {
    return core().parseList;
}
void TNMFTP::setParseList(bool on) {
    core().parseList = on;
}
TFTPDirectoryList* TNMFTP::DirectoryList() const {
    return core().dirList.get();
}
bool TNMFTP::HasDataConnection() const {
    return core().data != nullptr;
}

void TNMFTP::DoCommand(const QString& commandLine) {
    guarded([&](PowersockCore& c) { static_cast<FtpCore&>(c).doCommand(commandLine); });
}
void TNMFTP::ChangeDir(const QString& folder) {
    DoCommand(QStringLiteral("CWD ") + folder);
}
void TNMFTP::MakeDir(const QString& folder) {
    DoCommand(QStringLiteral("MKD ") + folder);
}
void TNMFTP::RemoveDir(const QString& folder) {
    DoCommand(QStringLiteral("RMD ") + folder);
}
void TNMFTP::Delete(const QString& file) {
    DoCommand(QStringLiteral("DELE ") + file);
}
void TNMFTP::ReInit() {
    DoCommand(QStringLiteral("REIN"));
}

void TNMFTP::SetTransferType(int type) {
    switch (type) {
    case TypeAscii:
        DoCommand(QStringLiteral("TYPE A"));
        break;
    case TypeImage:
        DoCommand(QStringLiteral("TYPE I"));
        break;
    case TypeLocal8:
        DoCommand(QStringLiteral("TYPE L 8"));
        break;
    default:
        break;
    }
}

void TNMFTP::Rename(const QString& oldName, const QString& newName) {
    guarded([&](PowersockCore& c) { static_cast<FtpCore&>(c).rename(oldName, newName); });
}

void TNMFTP::List() {
    guarded([](PowersockCore& c) { static_cast<FtpCore&>(c).list(); });
}

void TNMFTP::Download(const QString& remoteFile, const QString& localFile) {
    guarded([&](PowersockCore& c) { static_cast<FtpCore&>(c).download(remoteFile, localFile); });
}

void TNMFTP::DrainControl() {
    guarded([](PowersockCore& c) { static_cast<FtpCore&>(c).drainControl(); });
}

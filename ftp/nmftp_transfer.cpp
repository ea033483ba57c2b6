// Listing and download over an active-mode data connection.
#include "ftp/nmftp_p.h"

#include <QDeadlineTimer>
#include <QScopeGuard>
#include <QTimer>

using namespace ftpcore;

namespace {
QString neverOpenedText(const QString& what, const QString& waited) {
    return QStringLiteral("%1: the server did not open the data connection within %2. A firewall or NAT "
                          "router between this computer and the server probably refuses the server's "
                          "connection back to this computer.")
        .arg(what, waited);
}
} // namespace

void FtpCore::newDataConnection() {
    data = std::make_shared<PowersockCore>();
    data->timeOut = timeOut;
    data->idleTimeOut = idleTimeOut;
    data->port = 0;
    data->countAll = true;
    data->minProgress = kDataMinProgress;
    data->maxLine = kMaxListingLine;
    data->acceptFrom = sock->peerAddress();
    dataEncrypted = false;
    data->useTls(tlsControl && protP);
    if (tlsControl && protP) {
        // Only the certificate the control connection showed (and the user accepted) may serve data:
        // its faults are overlooked, and after every handshake the certificate is compared, also when
        // the system would vouch for another one. Nothing a stranger's connection brings is read: it
        // fails as a failed handshake does, and is closed once the socket's signal has returned.
        const QByteArray digest = peerCert.digest(QCryptographicHash::Sha256);
        data->trustedDigest = digest;
        PowersockCore* d = data.get();
        data->onEncrypted = [this, d, digest] {
            QSslSocket* tls = d->ssl();
            if (tls && tls->peerCertificate().digest(QCryptographicHash::Sha256) != digest) {
                d->tlsFailed = true;
                d->tlsFailure = QStringLiteral("it showed another certificate than the server's control "
                                               "connection (someone may be intercepting it)");
                QTimer::singleShot(0, &d->ctx, [d] { d->requestCloseSocket(); });
                return;
            }
            dataEncrypted = true;
        };
    }
    PowersockCore* d = data.get();
    // The control connection's close does not end the data connection early: what the server sent is
    // read first. Only while no data connection was taken does it end the wait.
    data->externalStop = [this, d] {
        return serverAbort || canceled || destroyed || (!connected && !d->lookupDone);
    };
}

// Opens the data connection the way the mode asks: passive (this side connects) or active (PORT; the
// server connects back). False when a refusal was accepted by the OnFailure handler: then no data
// connection will come and the operation ends quietly.
bool FtpCore::openDataConnection(TCmdType kind) {
    passiveData = false;
    if (dataMode != TNMFTP::DataActive && dataMethod != QLatin1String("PORT")) {
        if (openPassive(kind)) return true;
        if (dataMode == TNMFTP::DataPassive) {
            // The server agreed but its port could not be reached: that is what the user must learn.
            failureRule(kind, !passiveProblem.isEmpty() ? passiveProblem
                              : lastReply.isEmpty()     ? QStringLiteral("The server refused passive mode")
                                                        : lastReply);
            return false;
        }
        dataMethod = QStringLiteral("PORT"); // Automatic: active mode for the rest of the session
    }
    data->listen(sock->localAddress());
    const QString line = PortLine(sock->localAddress(), data->server->serverPort());
    reportStatus(1, line);
    transaction(line);
    if (!inRange(replyCode, 200, 299)) {
        failureRule(kind, lastReply);
        return false;
    }
    return true;
}

// EPSV, else PASV; then connects to the port named, on the control connection's peer (never to the
// address a 227 names). False when the server refuses both or the port cannot be reached.
bool FtpCore::openPassive(TCmdType kind) {
    (void)kind;
    quint16 dataPort = 0;
    QString method;
    passiveProblem.clear();
    if (dataMethod != QLatin1String("PASV")) {
        reportStatus(1, QStringLiteral("EPSV"));
        transaction(QStringLiteral("EPSV"));
        dataPort = EpsvPort(lastReply);
        if (dataPort) method = QStringLiteral("EPSV");
    }
    if (!dataPort) {
        reportStatus(1, QStringLiteral("PASV"));
        transaction(QStringLiteral("PASV"));
        dataPort = PasvPort(lastReply);
        if (dataPort) method = QStringLiteral("PASV");
    }
    if (!dataPort) return false;
    data->host = sock->peerAddress().toString();
    data->port = dataPort;
    // A passive port that does not answer is given a few seconds, then active mode is tried.
    data->timeOut = std::min(idleTimeOut > 0 ? idleTimeOut : 10000, 10000);
    try {
        data->connect();
    } catch (const ESockError& e) {
        if (userCanceled() || destroyed) endCanceled(QStringLiteral("The data connection"));
        passiveProblem = QStringLiteral("The server's passive data port %1 could not be reached: %2")
                             .arg(dataPort)
                             .arg(e.Message());
        data->requestCloseSocket();
        data->canceled = false;
        // Active mode may follow on this data connection: it listens on any free port.
        data->port = 0;
        data->timeOut = timeOut;
        return false;
    }
    data->lookupDone = true; // taken: the same mark as an accepted connection
    passiveData = true;
    secureData();
    dataMethod = method;
    return true;
}

// An encrypted session's data connection turns to TLS as soon as it is open, resuming the control
// connection's TLS session (its configuration carries the session ticket). The handshake completes
// while the command goes out: only decrypted bytes are ever read from it.
void FtpCore::secureData() {
    if (!tlsControl || !protP || !data) return;
    data->startTls(ssl()->sslConfiguration(), host);
}

// A data connection of an encrypted session that showed a stranger's certificate ends the transfer.
void FtpCore::checkDataEnd(const QString& what) {
    if (data && data->tlsFailed)
        abortOnServer(what,
                      what + QStringLiteral(": the TLS of the data connection failed: ") + data->tlsFailure);
}

void FtpCore::stopIfCanceled() {
    if (destroyed) throw EAbortError(QStringLiteral("Operation aborted: the FTP engine was destroyed"));
}

bool FtpCore::userCanceled() const {
    return canceled || (data && data->canceled);
}

void FtpCore::waitingForData(bool on) {
    if (TNMFTP* e = f())
        emit e->OnDataConnectionWait(on ? QStringLiteral("Waiting for the server to open the data connection")
                                        : QString());
}

// Waits for the server's data connection. False when the server ended the transfer first (421, 426)
// or the control connection closed.
bool FtpCore::acceptDataConnection(const QString& what) {
    if (passiveData) return true; // this side opened it already
    waitingForData(true);
    const auto over = qScopeGuard([this] { waitingForData(false); });
    bool taken = false;
    try {
        taken = data->accept();
    } catch (const ESockError&) {
        if (userCanceled() || destroyed) endCanceled(what);
        abortOnServer(what, neverOpenedText(what, data->idleText()));
    }
    if (!taken && userCanceled()) endCanceled(what);
    if (taken) secureData();
    return taken;
}

// The final reply of a transfer: true for 2xx. Anything else goes through the failure rule.
bool FtpCore::finalReply(TCmdType kind, const QString& what) {
    stopIfCanceled();
    try {
        readReply();
    } catch (const EAbortError&) {
        endCanceled(what);
    } catch (const ESockError& e) {
        if (!connected)
            throw ESockError(
                QStringLiteral("%1: the server closed the control connection without confirming the transfer")
                    .arg(what));
        throw ESockError(QStringLiteral("%1: no final reply from the server: %2").arg(what, e.Message()));
    }
    serverAbort = false;
    // A 1xx: its real end is still to come. A transfer that failed may still be confirmed late as
    // well (some servers send 426 and then, as the data connection closes, 226): the next command
    // resynchronises first, so that late reply is not taken for its answer.
    if (!inRange(replyCode, 200, 299)) {
        outOfStep = true;
        failureRule(kind, lastReply);
        return false;
    }
    return true;
}

void FtpCore::reportReceived() {
    transferSize = data->bytesReceived;
    reportStatus(1, QStringLiteral("Received %1 Bytes").arg(transferSize));
}

// Tells the server to stop (ABOR), and reads its replies up to the answer to a PWD sent behind it, so
// the next command reads its own reply. False when the server did not answer within 1 s: the session
// is then closed.
bool FtpCore::abortSync() {
    data.reset(); // closes the data connection; an uncommitted temporary file goes with it
    canceled = false;
    serverAbort = false;
    outOfStep = false;
    if (!connected) return false;
    const QDeadlineTimer outer = deadline;
    deadline = QDeadlineTimer(kAbortAnswerMs);
    const auto restore = qScopeGuard([this, outer] { deadline = outer; });
    const Asking asking(this);
    try {
        reportStatus(1, QStringLiteral("ABOR"));
        writeln(QStringLiteral("ABOR"));
        writeln(QStringLiteral("PWD"));
        for (;;) { // bounded by the deadline
            QString line;
            try {
                line = readReplyLine();
            } catch (const ELineTooLong&) {
                continue;
            }
            if (ReplyCodeOf(line) == 257 && line.size() > 3 && line[3] != QLatin1Char('-')) {
                dropInput();
                return true;
            }
        }
    } catch (const EAbortError&) {
        if (destroyed) throw;
    } catch (const ESockError&) {
    }
    requestCloseSocket();
    forgetSession();
    return false;
}

void FtpCore::endCanceled(const QString& what) {
    if (destroyed) throw EAbortError(QStringLiteral("Operation aborted: the FTP engine was destroyed"));
    transferEnded = true;
    if (abortSync()) throw EAbortError(QStringLiteral("%1: canceled").arg(what));
    throw EAbortError(QStringLiteral("%1: canceled. The server did not answer within 1 s, so the session was "
                                     "closed: log on again")
                          .arg(what));
}

void FtpCore::abortOnServer(const QString& what, const QString& why) {
    stopIfCanceled();
    transferEnded = true;
    (void)what;
    if (abortSync()) throw ESockError(why);
    throw ESockError(why + QStringLiteral(" The server did not answer within 1 s, so the session was closed: "
                                          "log on again."));
}

// Runs a transfer; a cancel anywhere in it (also while a reply is awaited) stops the server's side too.
template <class F> void FtpCore::transfer(const QString& what, F&& body) {
    transferEnded = false;
    try {
        body();
    } catch (const EAbortError&) {
        if (destroyed || transferEnded) throw;
        endCanceled(what);
    }
}

void FtpCore::list() {
    prepare();
    requireConnection();
    newDataConnection();
    DataScope scope{this};
    dropInput();
    const QString what = QStringLiteral("The listing");
    transfer(what, [&] {
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
        if (!inRange(replyCode, 100, 299)) {
            if (inRange(replyCode, 500, 502)) unsupported(TCmdType::List);
            failureRule(TCmdType::List, lastReply);
            return;
        }
        const bool answered = inRange(replyCode, 200, 299);
        transferSize = 0;
        if (TNMFTP* e = f()) emit e->OnTransactionStart(e);
        // Even a listing answered at once with 2xx comes over the data connection.
        if (acceptDataConnection(what)) {
            QByteArray raw;
            qint64 entries = 0, bytes = 0;
            bool tooLong = false;
            try {
                while (data->readLineOrEnd(raw)) {
                    bytes += raw.size();
                    if (++entries > kListingMaxEntries || bytes > kListingMaxBytes) {
                        tooLong = true;
                        break;
                    }
                    const QString line = CutLineEnd(decodeListingLine(raw));
                    if (parseList && dirList) dirList->ParseLine(line);
                    if (TNMFTP* e = f()) emit e->OnListItem(line);
                }
            } catch (const EAbortError&) {
                endCanceled(what);
            } catch (const ESockError& e) {
                if (userCanceled()) endCanceled(what);
                abortOnServer(what, what + QStringLiteral(": ") + e.Message());
            }
            if (userCanceled()) endCanceled(what);
            if (tooLong)
                abortOnServer(what, QStringLiteral("%1 was stopped: it runs over %2 entries or %3 MiB; the "
                                                   "entries before are shown")
                                        .arg(what)
                                        .arg(kListingMaxEntries)
                                        .arg(kListingMaxBytes / (1024 * 1024)));
        }
        stopIfCanceled();
        checkDataEnd(what);
        const bool closedByServer = data->lookupDone && !data->connected;
        // Over TLS, an end without the TLS close may be anyone's cut.
        listingComplete = !(tlsControl && protP) || data->tlsCloseNotify;
        if (TNMFTP* e = f()) emit e->OnTransactionStop(e);
        data->requestCloseSocket();
        reportReceived();
        if (!answered && !finalReply(TCmdType::List, what)) return;
        if (!closedByServer)
            throw ESockError(what +
                             QStringLiteral(": the server ended it before the data connection closed"));
        data.reset();
        success(TCmdType::List);
    });
}

void FtpCore::download(const QString& remote, const QString& local, qint64 callerSize) {
    checkArgument(remote, "file name");
    if (remote.isEmpty()) throw ESockError(QStringLiteral("No remote file name was given"));
    if (local.isEmpty())
        throw ESockError(
            QStringLiteral("No local file name was given for %1: nothing was written").arg(remote));
    prepare();
    requireConnection();
    last = TDownloadResult{};
    last.remote = remote;
    last.local = local;
    auto file = std::make_unique<ReceiveFile>(local, syncDownloads, partialJournal);
    file->setCommitCheck(commitCheck);
    if (!file->open())
        throw ESockError(
            QStringLiteral("Cannot create the local file %1: %2").arg(local, file->errorString()));
    newDataConnection();
    DataScope scope{this};
    dropInput();
    transfer(remote, [&] {
        ensureBinary();
        learnSize(remote);
        if (last.expected < 0 && callerSize >= 0) {
            last.expected = callerSize;
            last.source = TDownloadResult::Caller;
        }
        if (!openDataConnection(TCmdType::Download)) return;
        // Received bytes go to the file from the first one on, so memory stays flat.
        data->startCapture(std::move(file));
        reportStatus(1, QStringLiteral("RETR ") + remote);
        transferSize = 0;
        QStringList lines;
        replyCode = 0;
        {
            const Asking asking(this);
            writeln(QStringLiteral("RETR ") + remote);
            readReply(&lines);
        }
        if (!inRange(replyCode, 100, 299)) {
            if (inRange(replyCode, 500, 502)) unsupported(TCmdType::Download);
            failureRule(TCmdType::Download, lastReply);
            return; // the temporary file goes
        }
        if (last.expected < 0) {
            for (const QString& line : lines) {
                const qint64 size = SizeFromReply(line);
                if (size < 0) continue;
                last.expected = size;
                last.source = TDownloadResult::Reply;
                break;
            }
        }
        data->limit = last.expected;
        transferSize = std::max<qint64>(last.expected, 0);
        const bool answered = inRange(replyCode, 200, 299);
        // Even a RETR answered at once with 2xx sends its bytes: they are all read and written.
        if (acceptDataConnection(remote)) {
            if (TNMFTP* e = f()) emit e->OnTransactionStart(e);
            data->onPacket = [this] {
                if (TNMFTP* e = f()) emit e->OnPacketRecvd(e);
            };
            if (data->bytesReceived > 0) data->onPacket(); // what came before the start, as one chunk
            try {
                data->waitCapture();
            } catch (const EAbortError&) {
                endCanceled(remote);
            } catch (const ESockError& e) {
                if (userCanceled()) endCanceled(remote);
                abortOnServer(remote, remote + QStringLiteral(": ") + e.Message());
            }
            data->capturing = false;
            data->onPacket = nullptr;
            if (userCanceled()) endCanceled(remote);
            if (last.expected >= 0 && data->bytesReceived > last.expected)
                abortOnServer(remote,
                              QStringLiteral("%1: the server sent more than the %2 bytes expected; the "
                                             "download was stopped")
                                  .arg(remote)
                                  .arg(last.expected));
            if (TNMFTP* e = f()) emit e->OnTransactionStop(e);
        }
        stopIfCanceled();
        checkDataEnd(remote);
        const bool accepted = data->lookupDone;
        const bool tlsClosed = data->tlsCloseNotify;
        const bool closedByServer = accepted && !data->connected;
        data->requestCloseSocket();
        reportReceived();
        last.received = data->bytesReceived;
        std::unique_ptr<ReceiveFile> received = std::move(data->capture);
        if (!answered && !finalReply(TCmdType::Download, remote)) return; // the temporary file goes
        if (!accepted)
            throw ESockError(remote +
                             QStringLiteral(": the server ended the transfer without opening the data "
                                            "connection; nothing was written"));
        if (!closedByServer)
            throw ESockError(remote +
                             QStringLiteral(": the server stopped sending before the end of the file"));
        if (last.expected >= 0 && last.received < last.expected)
            throw ESockError(QStringLiteral("%1 arrived incomplete: short by %2 bytes (%3 of %4); the server "
                                            "closed the connection early")
                                 .arg(remote)
                                 .arg(last.expected - last.received)
                                 .arg(last.received)
                                 .arg(last.expected));
        if (tlsControl && protP && !tlsClosed && last.expected < 0)
            throw ESockError(QStringLiteral("%1: the encrypted data connection ended without the TLS close, "
                                            "and the server gave no size to check the copy against: it may "
                                            "be cut short, so it was not saved")
                                 .arg(remote));
        if (!received || !received->commit())
            throw ESockError(QStringLiteral("Cannot save the local file %1: %2")
                                 .arg(local, received ? received->errorString() : QStringLiteral("no file")));
        last.keptLocal = received->keptLocal();
        last.keptAs = received->keptAs();
        last.committed = !last.keptLocal;
        last.flushed = received->flushed();
        data.reset();
        success(TCmdType::Download);
    });
}

void FtpCore::drainControl() {
    canceled = false;
    serverAbort = false;
    QByteArray got;
    waitUntil([this] { return available() > 0 || !connected; }, 950);
    got = take(available());
    if (!got.isEmpty()) reportStatus(1, QString::fromUtf8(got));
}

#include "ftp/nmftp_p.h"

#include <QDeadlineTimer>
#include <QScopeGuard>
#include <QStringDecoder>

using namespace ftpcore;

void FtpCore::watchAbortReply() {
    if (available() < 4) return;
    const QByteArray code = in.mid(inPos, 4);
    if (code == "421 " || code == "426 " || code == "421-" || code == "426-") serverAbort = true;
}

// A server that keeps sending while nobody asks (between commands, or on the control connection during
// a transfer) would grow the input without end: past the limit the session is closed.
void FtpCore::capUnasked() {
    if (awaitingReply || available() <= kUnaskedLimit || !connected) return;
    if (outOfStep) {
        // The rest of a reply that was cut short: the next command drops it anyway.
        dropInput();
        return;
    }
    closeReason = QStringLiteral("The server sent more than %1 KiB nobody asked for, so the session was "
                                 "closed: log on again")
                      .arg(kUnaskedLimit / 1024);
    reportStatus(1, closeReason);
    dropInput();
    requestCloseSocket();
}

// A listing line as the user reads it: UTF-8 when it is valid UTF-8, else Latin-1 (a Windows server's
// folder of older names). The names in such a line are noted, so a command naming one sends the very
// bytes the server listed.
QString FtpCore::decodeListingLine(const QByteArray& raw) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(raw);
    if (!utf8.hasError()) return text;
    text = QString::fromLatin1(raw);
    const QString line = CutLineEnd(text);
    // The name is the line's tail after some blank; every tail is a candidate (a few per line).
    for (qsizetype i = line.indexOf(QLatin1Char(' ')); i >= 0 && i + 1 < line.size();
         i = line.indexOf(QLatin1Char(' '), i + 1))
        if (line[i + 1] != QLatin1Char(' ')) latin1Names.insert(line.mid(i + 1));
    return text;
}

QByteArray FtpCore::encodeLine(const QString& text) const {
    if (latin1Names.isEmpty()) return text.toUtf8();
    const qsizetype space = text.indexOf(QLatin1Char(' '));
    QStringView arg = QStringView(text).mid(space + 1);
    QStringView end;
    if (arg.endsWith(QLatin1String("\r\n"))) {
        end = arg.right(2);
        arg.chop(2);
    }
    if (space < 0 || !latin1Names.contains(arg.toString())) return text.toUtf8();
    return QStringView(text).left(space + 1).toUtf8() + arg.toLatin1() + end.toLatin1();
}

// FEAT after the log-on; a server that offers UTF8 is asked to use it for names (OPTS UTF8 ON).
void FtpCore::askFeatures() {
    utf8Asked = false;
    try {
        reportStatus(1, QStringLiteral("FEAT"));
        QStringList lines;
        replyCode = 0;
        const Asking asking(this);
        writeln(QStringLiteral("FEAT"));
        readReply(&lines);
        if (replyCode != 211) return;
        bool utf8 = false;
        for (const QString& l : lines)
            if (CutLineEnd(l).trimmed().compare(QLatin1String("UTF8"), Qt::CaseInsensitive) == 0) utf8 = true;
        if (!utf8) return;
        reportStatus(1, QStringLiteral("OPTS UTF8 ON"));
        transaction(QStringLiteral("OPTS UTF8 ON"));
        utf8Asked = inRange(replyCode, 200, 299);
    } catch (const EAbortError&) {
        throw;
    } catch (const ESockError&) {
        // A garbled answer to FEAT leaves the names as they are; the next command gets back in step.
        if (!connected) throw;
    }
}

void FtpCore::checkArgument(const QString& text, const char* what) {
    const QString problem = CommandArgumentProblem(text);
    if (!problem.isEmpty())
        throw ESockError(
            QStringLiteral("Refused to send the %1 \"%2\": %3")
                .arg(QLatin1String(what), QString(text).replace('\r', "\\r").replace('\n', "\\n"), problem));
}

void FtpCore::prepare() {
    canceled = false;
    serverAbort = false;
    deadline = QDeadlineTimer(QDeadlineTimer::Forever);
    maxLine = kMaxReplyLine;
}

void FtpCore::forgetSession() {
    dirList.reset();
    vendor = kVendorNotAsked;
    typeImage = false;
    sizeSupport = -1;
    mdtmSupport = -1;
    outOfStep = false;
    dataMethod.clear();
    latin1Names.clear();
    utf8Asked = false;
    tlsControl = false;
    protP = false;
    peerCert = QSslCertificate();
    listingComplete = true;
}

void FtpCore::success(TCmdType kind) {
    if (TNMFTP* e = f()) emit e->OnSuccess(kind);
}
void FtpCore::unsupported(TCmdType kind) {
    if (TNMFTP* e = f()) emit e->OnUnSupportedFunction(kind);
}
// Returns only when an OnFailure handler accepted the failure.
void FtpCore::failureRule(TCmdType kind, const QString& reply) {
    if (!has(&TNMFTP::OnFailure)) throw FTPException(reply);
    bool handled = false;
    emit f()->OnFailure(handled, kind);
    if (!handled) throw FTPException(reply);
}

QString FtpCore::readReplyLine() {
    const Asking asking(this);
    const QString line = QString::fromUtf8(readLineBytes());
    reportStatus(1, line);
    return line;
}

// Reads one whole reply, bounded in line length, line count and time (twice the idle time-out from
// the start, however slowly it trickles in). A reply cut short leaves the dialogue out of step, so the
// next command first resynchronises.
QString FtpCore::readReply(QStringList* lines) {
    const QDeadlineTimer outer = deadline;
    if (idleTimeOut > 0) {
        const QDeadlineTimer own(qint64(idleTimeOut) * 2);
        if (own.deadline() < deadline.deadline()) deadline = own;
    }
    const auto restore = qScopeGuard([this, outer] { deadline = outer; });
    TReplyAssembler reply;
    try {
        for (;;) {
            const QString line = readReplyLine();
            if (lines) lines->append(line);
            const TReplyAssembler::State s = reply.Add(line);
            if (s == TReplyAssembler::Complete) break;
            if (s == TReplyAssembler::TooLong)
                throw ESockError(QStringLiteral("The server's reply runs over %1 lines").arg(kMaxReplyLines));
        }
    } catch (const EAbortError&) {
        outOfStep = true;
        throw;
    } catch (const ESockError&) {
        outOfStep = true;
        throw;
    }
    lastReply = reply.LastLine();
    replyCode = reply.Code();
    return lastReply;
}

QString FtpCore::transaction(const QString& command) {
    checkArgument(command, "command");
    const Asking asking(this);
    if (outOfStep && command != QLatin1String("QUIT")) resync();
    reportStatus(8, QStringLiteral("Transaction"));
    replyCode = 0;
    writeln(command);
    return readReply();
}

// After a reply that was not read to its end: PWD, and everything up to its 257 is dropped (a code no
// late reply of a transfer or of NOOP, TYPE, PORT or SYST can be mistaken for). A server
// that does not answer within the idle time-out (2 s at least) is given up.
void FtpCore::resync() {
    const Asking asking(this);
    outOfStep = false;
    dropInput();
    const int wait = std::max(idleTimeOut, kAbortAnswerMs);
    const QDeadlineTimer outer = deadline;
    deadline = QDeadlineTimer(wait);
    const auto restore = qScopeGuard([this, outer] { deadline = outer; });
    try {
        reportStatus(1, QStringLiteral("PWD"));
        writeln(QStringLiteral("PWD"));
        // Bounded by the deadline: whatever the server still had to say is read and dropped.
        for (;;) {
            QString line;
            try {
                line = readReplyLine();
            } catch (const ELineTooLong&) {
                continue;
            }
            if (ReplyCodeOf(line) == 257 && line.size() > 3 && line[3] != QLatin1Char('-')) {
                dropInput(); // a reply that came with it belongs to nothing
                return;
            }
        }
    } catch (const EAbortError&) {
        throw;
    } catch (const ESockError&) {
    }
    requestCloseSocket();
    forgetSession();
    throw ESockError(QStringLiteral("The server's answers are out of step and it did not answer PWD: the "
                                    "session was closed, log on again"));
}

void FtpCore::connectionFailed() {
    if (TNMFTP* e = f()) emit e->OnConnectionFailed(e);
}

void FtpCore::connect() {
    prepare();
    if (connected) return;
    forgetSession();
    checkArgument(userID, "user ID");
    checkArgument(password, "password");
    dropInput();
    useTls(security != TNMFTP::SecurityPlain);
    closeReason.clear();
    PowersockCore::connect();
    try {
        QString greeting;
        try {
            greeting = readReply();
        } catch (const ESockError& e) {
            if (dynamic_cast<const EAbortError*>(&e) || destroyed || canceled) throw;
            throw ESockError(QStringLiteral("The server %1 accepted the connection but sent no complete "
                                            "greeting: %2")
                                 .arg(host, e.Message()));
        }
        if (inRange(ReplyCodeOf(greeting), 400, 599)) {
            // The server refuses the session before the log-on.
            lastReply = greeting;
            replyCode = ReplyCodeOf(greeting);
            connectionFailed();
            throw FTPException(greeting);
        }
        if (security != TNMFTP::SecurityPlain) secureControl();
        if ((userID.isEmpty() || password.isEmpty()) && has(&TNMFTP::OnAuthenticationNeeded)) {
            bool handled = false;
            emit f()->OnAuthenticationNeeded(handled);
            checkArgument(userID, "user ID");
            checkArgument(password, "password");
        }
        // A step of the log-on that gets no answer says which step it was.
        auto step = [this](const QString& shown, const QString& command) {
            reportStatus(1, shown);
            try {
                transaction(command);
            } catch (const ESockError& e) {
                if (dynamic_cast<const EAbortError*>(&e) || destroyed || canceled) throw;
                throw ESockError(QStringLiteral("The server %1 did not answer %2: %3")
                                     .arg(host, shown.section(QLatin1Char(' '), 0, 0), e.Message()));
            }
        };
        step(QStringLiteral("USER ") + userID, proxy.isEmpty()
                                                   ? QStringLiteral("USER ") + userID
                                                   : QStringLiteral("USER ") + userID + '@' + host);
        if (replyCode > 400 && replyCode < 600) {
            connectionFailed();
            throw FTPException(lastReply);
        }
        if (replyCode == 331) {
            step(QStringLiteral("PASS "), QStringLiteral("PASS ") + password);
            if (replyCode > 400 && replyCode < 600) {
                connectionFailed();
                throw FTPException(lastReply);
            }
        }
        askFeatures();
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

// AUTH TLS, the handshake, the certificate question, PBSZ 0 and PROT P; all before USER.
void FtpCore::secureControl() {
    const bool required = security == TNMFTP::SecurityRequired;
    reportStatus(1, QStringLiteral("AUTH TLS"));
    transaction(QStringLiteral("AUTH TLS"));
    if (replyCode != 234) {
        const QString reply = CutLineEnd(lastReply).trimmed();
        if (required)
            throw ETlsError(
                QStringLiteral("The server %1 does not offer TLS (it answered AUTH TLS with \"%2\"). "
                               "With \"TLS required\" the user name and password are not sent "
                               "unencrypted: the log-on was stopped")
                    .arg(host, reply));
        // Anyone on the way can answer AUTH with an error: the password goes in clear only when the
        // owner says so.
        bool inClear = false;
        QString why;
        if (TNMFTP* e = f()) emit e->OnEncryptionRefused(reply, inClear, why);
        if (destroyed) throw EAbortError(QStringLiteral("Operation aborted: the FTP engine was destroyed"));
        if (canceled) throw EAbortError(QStringLiteral("The log-on was canceled"));
        if (inClear) return;
        throw ETlsError(!why.isEmpty()
                            ? why
                            : QStringLiteral("The server %1 refused encryption (it answered AUTH TLS with "
                                             "\"%2\"): the user name and password were not sent unencrypted, "
                                             "the log-on was stopped")
                                  .arg(host, reply));
    }
    dropInput();
    QSslConfiguration config = QSslConfiguration::defaultConfiguration();
    config.setPeerVerifyMode(QSslSocket::VerifyPeer);
    config.setSslOption(QSsl::SslOptionDisableSessionPersistence, false);
    try {
        startTls(config, host);
        waitEncrypted(QStringLiteral("The TLS handshake with %1").arg(host));
    } catch (const EAbortError&) {
        throw;
    } catch (const ESockError& e) {
        throw ETlsError(e.Message());
    }
    peerCert = ssl()->peerCertificate();
    {
        // Asked also when the system vouches for the certificate: the owner may remember another one.
        QStringList problems;
        for (const QSslError& e : tlsErrors)
            problems << e.errorString();
        problems.removeDuplicates();
        bool accept = problems.isEmpty();
        if (TNMFTP* e = f()) emit e->OnCertificateCheck(peerCert, problems, accept);
        if (destroyed) throw EAbortError(QStringLiteral("Operation aborted: the FTP engine was destroyed"));
        if (!accept)
            throw ETlsError(
                QStringLiteral("The certificate of %1 was not accepted: the log-on was stopped").arg(host));
    }
    tlsControl = true;
    reportStatus(1, QStringLiteral("PBSZ 0"));
    transaction(QStringLiteral("PBSZ 0"));
    reportStatus(1, QStringLiteral("PROT P"));
    transaction(QStringLiteral("PROT P"));
    protP = inRange(replyCode, 200, 299);
    if (!protP && required)
        throw ETlsError(QStringLiteral("The server %1 refused to encrypt data connections (PROT P: \"%2\"): "
                                       "the log-on was stopped")
                            .arg(host, CutLineEnd(lastReply).trimmed()));
}

void FtpCore::disconnect() {
    canceled = false;
    if (!connected) return;
    reportStatus(1, QStringLiteral("QUIT"));
    forgetSession();
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

// Logs off without the event loop, for the destructor: no handler can run meanwhile.
void FtpCore::quitNow() {
    if (!connected || !sock) return;
    sock->write("QUIT\r\n");
    QDeadlineTimer deadline(2000);
    while (sock->bytesToWrite() > 0 && !deadline.hasExpired())
        if (!sock->waitForBytesWritten(int(deadline.remainingTime()))) break;
    while (connected && lineEnd() < 0 && !deadline.hasExpired())
        if (!sock->waitForReadyRead(int(deadline.remainingTime()))) break;
    requestCloseSocket();
}

void FtpCore::doCommand(const QString& line) {
    const TCmdType kind = CommandKindOf(line);
    if (line.isEmpty()) throw ESockError(QStringLiteral("Refused to send an empty command"));
    checkArgument(line, "command");
    prepare();
    requireConnection();
    reportStatus(1, line);
    dropInput();
    transaction(line);
    // A preliminary reply is followed by the real one; a line without a valid code is no answer.
    for (int n = 0; n < 8 && inRange(replyCode, 100, 199); ++n)
        readReply();
    if (line.startsWith(QLatin1String("TYPE ")))
        typeImage = line == QLatin1String("TYPE I") && replyCode < 300;
    if (!inRange(replyCode, 200, 399)) {
        if (inRange(replyCode, 500, 502)) unsupported(kind);
        failureRule(kind, lastReply);
    } else {
        success(kind);
    }
}

void FtpCore::rename(const QString& from, const QString& to) {
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

void FtpCore::askSystem() {
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

// Every download is binary: a server's ASCII mode may change line ends (some put a CR before every
// LF, even one that already has its CR), and a copy must be the server's file byte for byte.
void FtpCore::ensureBinary() {
    if (typeImage) return;
    reportStatus(1, QStringLiteral("TYPE I"));
    transaction(QStringLiteral("TYPE I"));
    if (!inRange(replyCode, 200, 299)) {
        if (inRange(replyCode, 500, 502)) unsupported(TCmdType::Download);
        throw FTPException(lastReply.isEmpty() ? QStringLiteral("The server did not switch to binary mode")
                                               : lastReply);
    }
    typeImage = true;
}

// The size of the server's file before its bytes: SIZE (RFC 3659), asked in binary mode. A server
// that does not know the command (500, 502) is not asked again in this session.
void FtpCore::learnSize(const QString& remote) {
    const qint64 size = askSize(remote);
    if (size >= 0) {
        last.expected = size;
        last.source = TDownloadResult::SizeCommand;
    }
}

qint64 FtpCore::askSize(const QString& remote) {
    if (sizeSupport == 0) return -1;
    reportStatus(1, QStringLiteral("SIZE ") + remote);
    transaction(QStringLiteral("SIZE ") + remote);
    if (inRange(replyCode, 500, 502)) {
        sizeSupport = 0;
        return -1;
    }
    const qint64 size = replyCode == 213 ? SizeFrom213(lastReply) : -1;
    if (size >= 0) sizeSupport = 1;
    return size;
}

qint64 FtpCore::remoteSize(const QString& remote) {
    checkArgument(remote, "file name");
    prepare();
    requireConnection();
    dropInput();
    ensureBinary();
    return askSize(remote);
}

// MDTM (RFC 3659): the time of the server's file in UTC. A server that does not know the command
// (500, 502) is not asked again in this session.
QDateTime FtpCore::remoteModified(const QString& remote) {
    checkArgument(remote, "file name");
    prepare();
    requireConnection();
    dropInput();
    if (mdtmSupport == 0) return {};
    reportStatus(1, QStringLiteral("MDTM ") + remote);
    transaction(QStringLiteral("MDTM ") + remote);
    if (inRange(replyCode, 500, 502)) {
        mdtmSupport = 0;
        return {};
    }
    const QDateTime when = replyCode == 213 ? ModifiedFrom213(lastReply) : QDateTime();
    if (when.isValid()) mdtmSupport = 1;
    return when;
}

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
    return core().last.expected;
}
const TDownloadResult& TNMFTP::LastDownload() const {
    return core().last;
}
TNMFTP::DataMode TNMFTP::DataConnectionMode() const {
    return DataMode(core().dataMode);
}
void TNMFTP::setDataConnectionMode(DataMode mode) {
    if (core().dataMode != mode) core().dataMethod.clear();
    core().dataMode = mode;
}
TNMFTP::Security TNMFTP::SecurityMode() const {
    return Security(core().security);
}
void TNMFTP::setSecurityMode(Security mode) {
    core().security = mode;
}
bool TNMFTP::Encrypted() const {
    return core().tlsControl && Connected();
}
bool TNMFTP::DataEncrypted() const {
    return core().dataEncrypted;
}
bool TNMFTP::FilesEncrypted() const {
    return core().tlsControl && core().protP && Connected();
}
bool TNMFTP::ListingComplete() const {
    return core().listingComplete;
}
QSslCertificate TNMFTP::PeerCertificate() const {
    return core().peerCert;
}
QString TNMFTP::DataConnectionMethod() const {
    return core().dataMethod;
}
bool TNMFTP::SyncDownloads() const {
    return core().syncDownloads;
}
void TNMFTP::setSyncDownloads(bool on) {
    core().syncDownloads = on;
}
int TNMFTP::ModifiedSupport() const {
    return core().mdtmSupport;
}
void TNMFTP::setCommitCheck(TCommitCheck check) {
    core().commitCheck = std::move(check);
}
int TNMFTP::SizeSupport() const {
    return core().sizeSupport;
}
bool TNMFTP::Utf8Names() const {
    return core().utf8Asked;
}
void TNMFTP::setPartialFileJournal(const QString& path) {
    core().partialJournal = path;
}
int TNMFTP::RemovePartialFiles(const QString& journal) {
    return ReceiveFile::RemoveLeftovers(journal);
}

QString TDownloadResult::unverifiedReason() const {
    if (keptLocal) return QStringLiteral("the local file of that name differs from it and was kept");
    if (!committed) return QStringLiteral("the copy did not arrive complete");
    if (expected < 0) return QStringLiteral("the server gave no size to check the copy against");
    if (received != expected) return QStringLiteral("the copy's size differs from the server's");
    if (!flushed) return QStringLiteral("the copy was not flushed to disk");
    return QString();
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
    // Downloads send TYPE I themselves; what is chosen here holds for other commands only.
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

void TNMFTP::Download(const QString& remoteFile, const QString& localFile, qint64 expectedSize) {
    guarded(
        [&](PowersockCore& c) { static_cast<FtpCore&>(c).download(remoteFile, localFile, expectedSize); });
}

qint64 TNMFTP::RemoteSize(const QString& remoteFile) {
    qint64 size = -1;
    guarded([&](PowersockCore& c) { size = static_cast<FtpCore&>(c).remoteSize(remoteFile); });
    return size;
}

QDateTime TNMFTP::RemoteModified(const QString& remoteFile) {
    QDateTime when;
    guarded([&](PowersockCore& c) { when = static_cast<FtpCore&>(c).remoteModified(remoteFile); });
    return when;
}

void TNMFTP::DrainControl() {
    guarded([](PowersockCore& c) { static_cast<FtpCore&>(c).drainControl(); });
}

// Inside of TNMFTP: the FTP session state that outlives the QObject while a call still waits.
#pragma once

#include "ftp/nmftp.h"
#include "ftp/powersock_p.h"

#include <QMetaMethod>
#include <QSet>

namespace ftpcore {
// How long Disconnect waits for the answer to QUIT.
constexpr int kQuitWaitMs = 3000;
// How long the server gets to answer ABOR after a cancel before the session is given up: short enough
// that the window is usable again within a second of the click.
constexpr int kAbortAnswerMs = 900;
// A data connection that brings less than this per idle period does not count as progressing.
constexpr qint64 kDataMinProgress = 1024;
constexpr int kVendorNotAsked = 2411;
// Input the server sends while no reply is awaited: more than this closes the session.
constexpr qsizetype kUnaskedLimit = 64 * 1024;
// A listing stops beyond this many entries or bytes.
constexpr qint64 kListingMaxEntries = 200000;
constexpr qint64 kListingMaxBytes = 64 * 1024 * 1024;

inline bool inRange(int code, int lo, int hi) {
    return code >= lo && code <= hi;
}
} // namespace ftpcore

struct FtpCore : PowersockCore {
    QString userID;
    QString password;
    int vendor = ftpcore::kVendorNotAsked;
    bool parseList = false;
    std::unique_ptr<TFTPDirectoryList> dirList;
    std::shared_ptr<PowersockCore> data;
    bool serverAbort = false; // a 421 or 426 reply arrived on the control connection
    bool outOfStep = false;   // a reply may still be on its way: resynchronise before the next command
    bool typeImage = false;   // TYPE I is in force
    int sizeSupport = -1;     // -1 not asked, 0 refused (500/502), 1 supported
    int mdtmSupport = -1;     // the same for MDTM
    TCommitCheck commitCheck; // what a complete download does to a different local file
    TDownloadResult last;
    int dataMode = TNMFTP::DataActive;
    QString dataMethod;         // what worked in this session: "EPSV", "PASV" or "PORT"
    bool passiveData = false;   // the data connection under way was opened by this side
    QString passiveProblem;     // why the last passive attempt failed after the server agreed
    bool syncDownloads = true;  // a committed download is flushed to disk (file and folder)
    bool transferEnded = false; // the transfer's end was already dealt with (ABOR sent, replies read)
    int security = TNMFTP::SecurityPlain;
    bool tlsControl = false;     // the control connection is encrypted
    bool protP = false;          // data connections are encrypted (PROT P accepted)
    bool dataEncrypted = false;  // the last data connection completed its TLS handshake
    QSslCertificate peerCert;    // the control connection's certificate
    bool listingComplete = true; // the last listing did not end without the TLS close
    bool awaitingReply = false;  // a reply line is being read
    // Names listed in bytes that are not UTF-8, shown as Latin-1: commands naming them send those bytes.
    QSet<QString> latin1Names;
    bool utf8Asked = false; // the server agreed to OPTS UTF8 ON
    QString partialJournal; // where downloads under way note their temporary files ("" = nowhere)

    FtpCore() {
        port = 21;
        afterRead = [this] {
            watchAbortReply();
            capUnasked();
        };
        encode = [this](const QString& text) { return encodeLine(text); };
    }

    TNMFTP* f() const { return destroyed ? nullptr : static_cast<TNMFTP*>(q); }
    template <class Signal> bool has(Signal signal) const {
        return hasHandler(QMetaMethod::fromSignal(signal));
    }

    // The log-on raises OnConnect, not the socket.
    void socketConnected() override {}
    // A cancel reaches every wait: the control connection's (replies) and the data connection's.
    void abort() override {
        canceled = true;
        if (data) data->canceled = true;
    }
    void detach() override {
        if (data) data->detach();
        PowersockCore::detach();
    }
    qint64 receivedCount() const override { return data ? data->bytesReceived : 0; }
    qint64 sentCount() const override { return data ? data->bytesSent : 0; }

    // Marks the time a command is out and its reply awaited: what arrives then is asked for.
    struct Asking {
        FtpCore* c;
        bool before;
        explicit Asking(FtpCore* core) : c(core), before(core->awaitingReply) { c->awaitingReply = true; }
        ~Asking() { c->awaitingReply = before; }
        Asking(const Asking&) = delete;
        Asking& operator=(const Asking&) = delete;
    };
    void watchAbortReply();
    void capUnasked();
    QString decodeListingLine(const QByteArray& raw);
    QByteArray encodeLine(const QString& text) const;
    void askFeatures();
    static void checkArgument(const QString& text, const char* what);
    void prepare();
    void forgetSession();

    void success(TCmdType kind);
    void unsupported(TCmdType kind);
    void failureRule(TCmdType kind, const QString& reply);

    // Replies.
    QString readReplyLine();
    QString readReply(QStringList* lines = nullptr); // a whole reply; sets lastReply and replyCode
    QString transaction(const QString& command) override;
    void resync();

    // Session.
    void connectionFailed();
    void connect() override;
    void disconnect() override;
    void quitNow();
    void doCommand(const QString& line);
    void rename(const QString& from, const QString& to);
    void askSystem();
    void ensureBinary();
    void secureControl();
    void secureData();
    void checkDataEnd(const QString& what);
    void learnSize(const QString& remote);
    qint64 askSize(const QString& remote);
    qint64 remoteSize(const QString& remote);
    QDateTime remoteModified(const QString& remote);

    // Transfers (nmftp_transfer.cpp).
    struct DataScope {
        FtpCore* c;
        ~DataScope() { c->data.reset(); }
    };
    void newDataConnection();
    bool openDataConnection(TCmdType kind);
    bool openPassive(TCmdType kind);
    void stopIfCanceled();
    bool userCanceled() const;
    bool acceptDataConnection(const QString& what);
    bool finalReply(TCmdType kind, const QString& what);
    bool abortSync();
    void reportReceived();
    [[noreturn]] void endCanceled(const QString& what);
    void abortOnServer(const QString& what, const QString& why);
    template <class F> void transfer(const QString& what, F&& body);
    void list();
    void download(const QString& remote, const QString& local, qint64 callerSize);
    void drainControl();
    void waitingForData(bool on);
};

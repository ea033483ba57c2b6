// TNMFTP: the FTP client engine (control connection, commands, active-mode listing and download).
//
// Use:
//     TNMFTP ftp;                                   // or owned by a window: new TNMFTP(window)
//     ftp.setHost("127.0.0.1"); ftp.setPort(21);
//     ftp.setUserID("user"); ftp.setPassword("secret");
//     ftp.setParseList(true);                       // List also fills DirectoryList()
//     ftp.setIdleTimeOut(30000);                    // every wait ends after this long without progress
//     connect(&ftp, &TNMFTP::OnListItem, window, &TForm1::NMFTP1ListItem);
//     connect(&ftp, &TNMFTP::OnFailure, window, &TForm1::NMFTP1Failure);   // (bool& Handled, TCmdType)
//     ftp.Connect();                                // greeting, USER, PASS; OnConnect
//     ftp.ChangeDir("data"); ftp.List();            // OnListItem per line, then OnSuccess(List)
//     ftp.Download("240101.csv", "/home/me/logs/240101.csv", sizeFromListing);  // always binary
//     if (ftp.LastDownload().verified) ftp.Delete("240101.csv");               // a move
//     ftp.Disconnect();                             // QUIT; OnDisconnect
//
// Every call blocks its caller while the event loop keeps running; its events are raised on the calling
// thread before it returns. A refused command raises OnFailure(Handled, kind) and then FTPException with
// the reply unless the handler set Handled; without an OnFailure handler the FTPException comes at once.
// Only one call runs at a time: a second call while one waits is refused with ESockError. Abort() (ends
// the transfer under way) and Cancel() (ends the current wait) may be called from any handler.
//
// Downloads are always binary (TYPE I is sent first whatever SetTransferType chose), so a file arrives
// byte for byte as the server stores it. The expected size comes from SIZE when the server supports it,
// else from the caller (the listing's size column), else from an exact "(N bytes)" in the 150 reply;
// otherwise it is unknown. A download is received into a temporary file beside the local file and
// renamed over it only when the server closed the data connection, the final reply is 2xx and, when
// the size is known, exactly that many bytes arrived; the file and its folder are then flushed to disk.
// In every other case the temporary file goes, an older local file stays as it was, and the error names
// the file and the cause. More bytes than expected stop the transfer.
//
// Cancel() and Abort() end a transfer at once: ABOR goes to the server, the data connection closes and
// the replies are read to the end so the next command gets its own reply. A server that does not answer
// within 1 s is left: the session closes (Connected() is false) and the error says to log on again.
// Every reply line and listing line is limited to 8192 bytes, a reply to 1000 lines, and each command's
// reply must be complete within twice the idle time-out even when it trickles in.
//
// Destroying the engine from a handler while a call waits is safe: the call ends with EAbortError.
#pragma once

#include "ftp/ftplist.h"
#include "ftp/ftpproto.h"
#include "ftp/powersock.h"

#include <QSslCertificate>

struct FtpCore;

// What the last Download learned and did.
struct TDownloadResult {
    enum Source { NoSize, SizeCommand, Caller, Reply };
    QString remote;
    QString local;
    qint64 expected = -1; // -1: no size could be learned
    Source source = NoSize;
    qint64 received = 0;
    bool committed = false; // the local file was replaced by the complete copy
    bool keptLocal = false; // complete, but the commit check kept a different local file: nothing saved
    QString keptAs;         // where the commit check moved the local file before replacing it
    bool flushed = false;   // ... and it and its folder entry are on the disk
    // Whether the server's copy may go (a move): the size was known, matched and the file is on disk.
    bool verified() const { return committed && flushed && expected >= 0 && received == expected; }
    // Why a committed copy is not verified, for the user ("" when it is).
    QString unverifiedReason() const;
};

class TNMFTP : public TPowersock {
    Q_OBJECT
public:
    enum TransferType { TypeAscii = 1, TypeImage = 2, TypeLocal8 = 3 };
    // How data connections open. Automatic tries EPSV, then PASV, and falls back to active mode (PORT)
    // when the server refuses passive mode or its passive port cannot be reached; what worked is kept
    // for the session. Passive data connections go to the control connection's peer address only.
    enum DataMode { DataAutomatic = 0, DataPassive = 1, DataActive = 2 };

    // Explicit TLS (AUTH TLS, then PBSZ 0 and PROT P): Plain never asks; Required stops the log-on before
    // USER when the server does not encrypt (ETlsError); IfAvailable encrypts when the server offers it,
    // and when it refuses AUTH TLS asks OnEncryptionRefused before anything of the account is sent.
    // Data connections of an encrypted session are TLS too and resume the control connection's session;
    // each must show the control connection's certificate. In an encrypted session a download is saved
    // only when its data connection ended with the TLS close (close_notify) or a known size matched.
    enum Security { SecurityPlain = 0, SecurityIfAvailable = 1, SecurityRequired = 2 };

    explicit TNMFTP(QObject* parent = nullptr);
    ~TNMFTP() override;

    QString UserID() const;
    void setUserID(const QString& user);
    QString Password() const;
    void setPassword(const QString& password);
    int Vendor() const; // 2411 = not asked yet; SYST sets 2400 (UNIX), 2410 (unknown), ...
    void setVendor(int vendor);
    bool ParseList() const;
    void setParseList(bool on);
    TFTPDirectoryList* DirectoryList() const; // made by the first parsed List, freed by Disconnect
    bool HasDataConnection() const;           // a transfer is under way
    // The size the last download was checked against (SIZE, the caller's or the 150 reply's), -1 when
    // none was known; TransferSize() holds the bytes received once the download is over.
    qint64 AnnouncedSize() const;
    const TDownloadResult& LastDownload() const;
    DataMode DataConnectionMode() const; // default DataActive
    void setDataConnectionMode(DataMode mode);
    // What the session uses: "" not decided yet, "EPSV", "PASV" or "PORT".
    QString DataConnectionMethod() const;
    Security SecurityMode() const; // default SecurityPlain
    void setSecurityMode(Security mode);
    bool Encrypted() const;     // the control connection of this session is TLS
    bool DataEncrypted() const; // the last data connection was a TLS socket whose handshake completed
    // The control connection is TLS and the server agreed to encrypt data connections (PROT P).
    bool FilesEncrypted() const;
    // False when the last List came over a TLS data connection that ended without the TLS close: the
    // listing may be cut short.
    bool ListingComplete() const;
    // The certificate the server showed on the control connection (null when not encrypted).
    QSslCertificate PeerCertificate() const;
    // Whether a committed download is flushed to disk, file and folder entry (default on). A move needs
    // it (LastDownload().verified() requires it); a plain copy may turn it off to save the disk's time.
    bool SyncDownloads() const;
    void setSyncDownloads(bool on);
    // SIZE support of the server: -1 not asked yet, 0 refused with 500/502 (not asked again), 1 supported.
    int SizeSupport() const;
    // The server agreed to send and take names in UTF-8 (FEAT offered UTF8, OPTS UTF8 ON accepted).
    bool Utf8Names() const;
    // A file where each download notes its temporary file while it runs ("" = none), and the clean-up
    // of what a download cut short by a crash or kill left (at the next start): the number removed.
    void setPartialFileJournal(const QString& path);
    static int RemovePartialFiles(const QString& journal);
    // MDTM support of the server, as SizeSupport.
    int ModifiedSupport() const;
    // Decides what a complete download does to a local file of the same name (none: it replaces it).
    void setCommitCheck(TCommitCheck check);

    // Connect(), Disconnect(), Transaction(), Abort(), Cancel() come from TPowersock and speak FTP here.
    void DoCommand(const QString& commandLine);
    void ChangeDir(const QString& folder);
    void MakeDir(const QString& folder);
    void RemoveDir(const QString& folder);
    void Delete(const QString& file);
    void Rename(const QString& oldName, const QString& newName);
    void ReInit();
    void SetTransferType(int type); // 1 "TYPE A", 2 "TYPE I", 3 "TYPE L 8"; other values send nothing
    void List();
    // expectedSize: the size from the listing (-1 = unknown); used when SIZE gives none. An empty local
    // name is refused.
    void Download(const QString& remoteFile, const QString& localFile, qint64 expectedSize = -1);
    void DrainControl(); // reads what waits on the control connection (up to about a second)
    // The server's size of a file (SIZE, in binary mode); -1 when the server cannot tell. No events.
    qint64 RemoteSize(const QString& remoteFile);
    // The server's modification time of a file (MDTM, UTC); invalid when the server cannot tell.
    QDateTime RemoteModified(const QString& remoteFile);

    static qint64 SizeFromReply(const QString& line) { return ::SizeFromReply(line); }

signals:
    // Raised after every TLS handshake of the control connection, before anything of the account is
    // sent. Problems is empty when the system vouches for the certificate (Accept then starts true, so
    // a handler may still refuse a certificate it remembers otherwise); else it says why the system
    // does not (Accept starts false). Without a handler only a certificate the system vouches for passes.
    void OnCertificateCheck(const QSslCertificate& Certificate, const QStringList& Problems, bool& Accept);
    // Under "TLS if available" the server answered AUTH TLS with Reply instead of 234. Nothing of the
    // account was sent yet. Set LogOnInClear to send the user name and password unencrypted; otherwise
    // the log-on stops with ETlsError, whose text is Why when the handler gave one. Without a handler
    // the log-on stops.
    void OnEncryptionRefused(const QString& Reply, bool& LogOnInClear, QString& Why);
    void OnTransactionStart(QObject* Sender);
    void OnTransactionStop(QObject* Sender);
    void OnSuccess(TCmdType Trans_Type);
    void OnFailure(bool& Handled, TCmdType Trans_Type);
    void OnAuthenticationNeeded(bool& Handled);
    void OnAuthenticationFailed(bool& Handled); // never raised
    void OnListItem(const QString& Listing);
    void OnUnSupportedFunction(TCmdType Trans_Type);
    // Raised with a text when the engine starts waiting for the server to open the data connection,
    // and with "" when that wait is over (connection open, cancelled or failed).
    void OnDataConnectionWait(const QString& Text);

private:
    FtpCore& core() const;
    friend struct FtpCore;
};

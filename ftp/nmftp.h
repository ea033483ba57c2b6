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
//     ftp.SetTransferType(TNMFTP::TypeImage);
//     ftp.Download("240101.csv", "/home/me/logs/240101.csv");
//     ftp.Disconnect();                             // QUIT; OnDisconnect
//
// Every call blocks its caller while the event loop keeps running; its events are raised on the calling
// thread before it returns. A refused command raises OnFailure(Handled, kind) and then FTPException with
// the reply unless the handler set Handled; without an OnFailure handler the FTPException comes at once.
// Only one call runs at a time: a second call while one waits is refused with ESockError. Abort() (ends
// the transfer under way) and Cancel() (ends the current wait) may be called from any handler.
//
// A download is received into a temporary file beside the local file and renamed over it only when the
// server confirmed the transfer; after a failure or an abort an older local file stays as it was.
//
// Destroying the engine from a handler while a call waits is safe: the call ends with EAbortError.
#pragma once

#include "ftp/ftplist.h"
#include "ftp/ftpproto.h"
#include "ftp/powersock.h"

struct FtpCore;

class TNMFTP : public TPowersock {
    Q_OBJECT
public:
    enum TransferType { TypeAscii = 1, TypeImage = 2, TypeLocal8 = 3 };

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
    // The size the server announced for the last download (0 when it announced none);
    // TransferSize() holds the bytes received once the download is over.
    qint64 AnnouncedSize() const;

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
    void Download(const QString& remoteFile, const QString& localFile = QString()); // "" = remote name
    void DrainControl(); // reads what waits on the control connection (up to about a second)

    static qint64 SizeFromReply(const QString& line) { return ::SizeFromReply(line); }

signals:
    void OnTransactionStart(QObject* Sender);
    void OnTransactionStop(QObject* Sender);
    void OnSuccess(TCmdType Trans_Type);
    void OnFailure(bool& Handled, TCmdType Trans_Type);
    void OnAuthenticationNeeded(bool& Handled);
    void OnAuthenticationFailed(bool& Handled); // never raised
    void OnListItem(const QString& Listing);
    void OnUnSupportedFunction(TCmdType Trans_Type);

private:
    FtpCore& core() const;
    friend struct FtpCore;
};

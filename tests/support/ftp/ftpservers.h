// FTP servers for tests, each on 127.0.0.1 with a free port, stopped when the object goes (also when
// a test fails half-way). Use from any test target that links tervane_ftp_testsupport:
//
//     PyFtpdServer server(servedFolder);        // account "user"/"secret", anonymous read-only
//     QVERIFY2(server.start(), qPrintable(server.errorText()));
//     ftp.setHost("127.0.0.1"); ftp.setPort(server.port());
//
//     VsftpdServer vs(servedFolder);            // anonymous; the folder is made world-readable
//     ScriptedFtpServer sc("user-530");         // protocol corners, see scripted_ftp.py
//     sc.commands();                            // command lines the server received so far
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

class FtpServerProcess {
public:
    virtual ~FtpServerProcess();
    FtpServerProcess(const FtpServerProcess&) = delete;
    FtpServerProcess& operator=(const FtpServerProcess&) = delete;

    virtual bool start() = 0;
    void stop();
    quint16 port() const { return m_port; }
    QString errorText() const { return m_error; }
    // Command lines received so far (pyftpdlib and the scripted server), oldest first.
    QStringList commands() const;
    int count(const QString& commandStart) const;

protected:
    FtpServerProcess();
    bool startPython(const QString& script, const QStringList& args); // waits for "PORT n"
    static QString supportDir();

    QProcess m_proc;
    QTemporaryDir m_work; // config files and the command log
    quint16 m_port = 0;
    QString m_error;
    QString m_log;
};

// pyftpdlib serving `root`. idleSeconds: the server drops a silent control connection after that.
class PyFtpdServer : public FtpServerProcess {
public:
    explicit PyFtpdServer(const QString& root, const QString& user = "user",
                          const QString& password = "secret", double idleSeconds = 300);
    bool start() override;
    // Before start(): send file data at most this fast (bytes per second).
    void setThrottle(int bytesPerSecond) { m_extra << "--throttle" << QString::number(bytesPerSecond); }
    // Before start(): RETR of this name is refused with 550.
    void refuseDownload(const QString& name) { m_extra << "--refuse" << name; }
    // Before start(): listen on this address instead of 127.0.0.1 ("::1" for IPv6).
    void listenOn(const QString& address) { m_extra << "--host" << address; }
    // Before start(): PORT and EPRT are refused (a server that allows passive mode only).
    void refuseActive() { m_extra << "--no-active"; }
    // Before start(): explicit TLS with this certificate and key (see MakeTestCertificate).
    void offerTls(const QString& cert, const QString& key) { m_extra << "--tls" << cert << key; }
    // Before start(): RETR of this name sends a little, then ends with 426.
    void abortDownload(const QString& name) { m_extra << "--abort" << name; }

private:
    QString m_root, m_user, m_password;
    double m_idle;
    QStringList m_extra;
};

// vsftpd in the foreground from its own config file, anonymous log-on, active mode allowed; in ASCII
// mode it converts line ends (ascii_download_enable), as servers configured so do.
class VsftpdServer : public FtpServerProcess {
public:
    explicit VsftpdServer(const QString& root);
    bool start() override;
    // Before start(): explicit TLS (ssl_enable=YES) with this certificate and key. requireReuse off:
    // data connections need not resume the control connection's TLS session (curl needs it off).
    void offerTls(const QString& cert, const QString& key, bool requireReuse = true) {
        m_cert = cert;
        m_key = key;
        m_requireReuse = requireReuse;
    }

private:
    QString m_root, m_cert, m_key;
    bool m_requireReuse = true;
};

// Makes a self-signed certificate for `commonName` (and 127.0.0.1, localhost) with openssl in `folder`:
// cert.pem and key.pem there, or `stem`.pem and `stem`.key. False with a reason in `error`.
bool MakeTestCertificate(const QString& folder, const QString& stem, const QString& commonName, QString& cert,
                         QString& key, QString& error);

// The project's scripted server (scripted_ftp.py): "normal", "multiline-greeting", "user-230", "user-530".
class ScriptedFtpServer : public FtpServerProcess {
public:
    explicit ScriptedFtpServer(const QString& scenario = "normal");
    bool start() override;
    // Before start(): the certificate and key of the "tls" scenarios; the second pair is what
    // "tls-datacert" shows on data connections.
    void offerTls(const QString& cert, const QString& key, const QString& cert2 = {},
                  const QString& key2 = {}) {
        m_extra = QStringList{"--cert", cert, "--key", key, "--cert2", cert2, "--key2", key2};
    }

private:
    QString m_scenario;
    QStringList m_extra;
};

// The template for a benchmark's working folder: in memory (/dev/shm) when there is one, so that the
// disk's own bookkeeping of thousands of files just deleted and created again (which swings a run by 2x
// on ext4) does not drown what is measured; TERVANE_BENCH_DIR names another folder, e.g. one on disk.
QString BenchFolder();

#include "ftpservers.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTcpServer>
#include <QTcpSocket>

FtpServerProcess::FtpServerProcess() {
    m_log = m_work.filePath("commands.log");
    m_proc.setProcessChannelMode(QProcess::SeparateChannels);
}

FtpServerProcess::~FtpServerProcess() {
    stop();
}

void FtpServerProcess::stop() {
    if (m_proc.state() == QProcess::NotRunning) return;
    m_proc.terminate();
    if (!m_proc.waitForFinished(3000)) {
        m_proc.kill();
        m_proc.waitForFinished(3000);
    }
}

QStringList FtpServerProcess::commands() const {
    QFile f(m_log);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
}

int FtpServerProcess::count(const QString& commandStart) const {
    int n = 0;
    for (const QString& c : commands())
        if (c.startsWith(commandStart)) ++n;
    return n;
}

QString FtpServerProcess::supportDir() {
    return QStringLiteral(TERVANE_FTP_SUPPORT_DIR);
}

bool FtpServerProcess::startPython(const QString& script, const QStringList& args) {
    // The server runs in a folder of its own, which lives as long as it does.
    m_proc.setWorkingDirectory(m_work.path());
    m_proc.start(QStringLiteral("/usr/bin/python3"), QStringList{supportDir() + '/' + script} + args);
    if (!m_proc.waitForStarted(5000)) {
        m_error = QStringLiteral("cannot start %1: %2").arg(script, m_proc.errorString());
        return false;
    }
    QByteArray out;
    QDeadlineTimer deadline(10000);
    while (!out.contains('\n') && !deadline.hasExpired()) {
        if (!m_proc.waitForReadyRead(int(deadline.remainingTime()))) break;
        out += m_proc.readAllStandardOutput();
    }
    const QList<QByteArray> words = out.trimmed().split(' ');
    if (words.size() != 2 || words[0] != "PORT") {
        m_error = QStringLiteral("%1 did not start: %2 %3")
                      .arg(script, QString::fromUtf8(out), QString::fromUtf8(m_proc.readAllStandardError()));
        stop();
        return false;
    }
    m_port = quint16(words[1].toUInt());
    return true;
}

PyFtpdServer::PyFtpdServer(const QString& root, const QString& user, const QString& password,
                           double idleSeconds)
    : m_root(root), m_user(user), m_password(password), m_idle(idleSeconds) {}

bool PyFtpdServer::start() {
    return startPython("pyftpd_server.py",
                       QStringList{"--root", m_root, "--user", m_user, "--password", m_password, "--timeout",
                                   QString::number(m_idle), "--log", m_log} +
                           m_extra);
}

VsftpdServer::VsftpdServer(const QString& root) : m_root(root) {}

bool VsftpdServer::start() {
    QFile::setPermissions(m_root, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
                                      QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther);
    for (int attempt = 0; attempt < 5; ++attempt) {
        quint16 port = 0;
        {
            QTcpServer probe;
            if (!probe.listen(QHostAddress::LocalHost, 0)) continue;
            port = probe.serverPort();
        }
        const QString conf = m_work.filePath("vsftpd.conf");
        QFile f(conf);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            m_error = "cannot write " + conf;
            return false;
        }
        const QString empty = m_work.filePath("empty");
        QDir().mkpath(empty);
        f.write(QStringLiteral("listen=YES\nlisten_ipv6=NO\nlisten_address=127.0.0.1\nlisten_port=%1\n"
                               "background=NO\nrun_as_launching_user=YES\nseccomp_sandbox=NO\n"
                               "anonymous_enable=YES\nno_anon_password=YES\nanon_root=%2\nlocal_enable=NO\n"
                               "write_enable=NO\nascii_download_enable=YES\nport_enable=YES\nconnect_from_"
                               "port_20=NO\npasv_enable=YES\n"
                               "xferlog_enable=NO\nsecure_chroot_dir=%3\nuse_localtime=NO\n")
                    .arg(port)
                    .arg(m_root, empty)
                    .toUtf8());
        if (!m_cert.isEmpty())
            f.write(QStringLiteral("ssl_enable=YES\nallow_anon_ssl=YES\nforce_anon_logins_ssl=NO\n"
                                   "force_anon_data_ssl=NO\nrsa_cert_file=%1\nrsa_private_key_file=%2\n"
                                   "require_ssl_reuse=%3\n")
                        .arg(m_cert, m_key, m_requireReuse ? "YES" : "NO")
                        .toUtf8());
        f.close();
        m_proc.start(QStringLiteral("/usr/sbin/vsftpd"), {conf});
        if (!m_proc.waitForStarted(5000)) {
            m_error = "cannot start vsftpd: " + m_proc.errorString();
            return false;
        }
        // Ready once it answers with its greeting.
        QDeadlineTimer deadline(5000);
        while (!deadline.hasExpired() && m_proc.state() == QProcess::Running) {
            QTcpSocket s;
            s.connectToHost(QHostAddress::LocalHost, port);
            if (s.waitForConnected(500) && s.waitForReadyRead(1000) && s.readAll().startsWith("220")) {
                m_port = port;
                return true;
            }
            m_proc.waitForFinished(50); // returns early when vsftpd exits
        }
        m_error = "vsftpd did not start: " + QString::fromUtf8(m_proc.readAllStandardError());
        stop();
    }
    return false;
}

ScriptedFtpServer::ScriptedFtpServer(const QString& scenario) : m_scenario(scenario) {}

bool ScriptedFtpServer::start() {
    return startPython("scripted_ftp.py", QStringList{"--scenario", m_scenario, "--log", m_log} + m_extra);
}

bool MakeTestCertificate(const QString& folder, const QString& stem, const QString& commonName, QString& cert,
                         QString& key, QString& error) {
    cert = QDir(folder).filePath(stem + ".pem");
    key = QDir(folder).filePath(stem + ".key");
    QProcess p;
    p.start(QStringLiteral("openssl"),
            {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-days",
             "2", "-subj", "/CN=" + commonName, "-addext", "subjectAltName=DNS:localhost,IP:127.0.0.1",
             "-keyout", key, "-out", cert});
    if (!p.waitForFinished(30000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        error = "openssl could not make a certificate: " + QString::fromUtf8(p.readAllStandardError()) +
                p.errorString();
        return false;
    }
    QFile::setPermissions(key, QFile::ReadOwner | QFile::WriteOwner);
    return true;
}

QString BenchFolder() {
    QString base = qEnvironmentVariable("TERVANE_BENCH_DIR");
    if (base.isEmpty() && QFileInfo(QStringLiteral("/dev/shm")).isWritable())
        base = QStringLiteral("/dev/shm");
    if (base.isEmpty()) base = QDir::tempPath();
    return base + QStringLiteral("/tervane-bench-XXXXXX");
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "transfer/connectionsettings.h"

#include <QCryptographicHash>
#include <QSettings>
#include <QSslCertificate>

namespace transfer {
namespace {
const QStringList kDataModes{QStringLiteral("Automatic"), QStringLiteral("Passive"),
                             QStringLiteral("Active")};
const QStringList kSecurity{QStringLiteral("Plain"), QStringLiteral("IfAvailable"),
                            QStringLiteral("Required")};

QString hostKey(const QString& host, int port) {
    // Host names and addresses (IPv6 ones too) are case-blind; one entry per host and port.
    return QStringLiteral("TrustedCertificates/") + host.trimmed().toLower() + QLatin1Char('_') +
           QString::number(port);
}

QString names(const QStringList& parts) {
    return parts.isEmpty() ? QStringLiteral("(none)") : parts.join(QStringLiteral(", "));
}

QString distinguished(const QSslCertificate& c, bool issuer) {
    QStringList parts;
    const auto info = [&](QSslCertificate::SubjectInfo what) {
        return issuer ? c.issuerInfo(what) : c.subjectInfo(what);
    };
    for (auto [what, tag] : {std::pair{QSslCertificate::CommonName, "CN"},
                             {QSslCertificate::Organization, "O"},
                             {QSslCertificate::OrganizationalUnitName, "OU"},
                             {QSslCertificate::CountryName, "C"}})
        for (const QString& v : info(what))
            parts << QString::fromLatin1(tag) + QLatin1Char('=') + v;
    return names(parts);
}
} // namespace

ConnectionChoices ReadConnectionChoices(const QString& iniPath) {
    ConnectionChoices c;
    QSettings s(iniPath, QSettings::IniFormat);
    const int mode = kDataModes.indexOf(s.value(QStringLiteral("Connection/DataMode")).toString());
    const int security = kSecurity.indexOf(s.value(QStringLiteral("Connection/Security")).toString());
    if (mode >= 0) c.dataMode = mode;
    if (security >= 0) c.security = security;
    return c;
}

bool WriteConnectionChoices(const QString& iniPath, const ConnectionChoices& choices) {
    QSettings s(iniPath, QSettings::IniFormat);
    s.setValue(QStringLiteral("Connection/DataMode"), kDataModes.value(choices.dataMode, kDataModes[0]));
    s.setValue(QStringLiteral("Connection/Security"), kSecurity.value(choices.security, kSecurity[1]));
    s.sync();
    return s.status() == QSettings::NoError;
}

QString Fingerprint(const QSslCertificate& certificate) {
    return QString::fromLatin1(certificate.digest(QCryptographicHash::Sha256).toHex(':').toUpper());
}

QString TrustedFingerprint(const QString& iniPath, const QString& host, int port) {
    QSettings s(iniPath, QSettings::IniFormat);
    return s.value(hostKey(host, port)).toString();
}

bool RememberFingerprint(const QString& iniPath, const QString& host, int port, const QString& fingerprint) {
    QSettings s(iniPath, QSettings::IniFormat);
    s.setValue(hostKey(host, port), fingerprint);
    s.sync();
    return s.status() == QSettings::NoError;
}

QString CertificateCaption(const QString& previous) {
    return previous.isEmpty() ? QStringLiteral("Unknown server certificate")
                              : QStringLiteral("Server certificate CHANGED");
}

QString CertificateText(const QString& host, int port, const QSslCertificate& certificate,
                        const QStringList& problems, const QString& previous) {
    QString t;
    if (!previous.isEmpty())
        t += QStringLiteral("WARNING: the certificate of %1 port %2 is not the one you chose to trust "
                            "always. The server may have a new certificate, or someone may be posing as "
                            "the server. Trust it only when you know why it changed.\n"
                            "Trusted before: %3\n\n")
                 .arg(host)
                 .arg(port)
                 .arg(previous);
    else
        t += QStringLiteral("The certificate of %1 port %2 is not one this computer vouches for.\n\n")
                 .arg(host)
                 .arg(port);
    t += QStringLiteral("Host: %1 port %2\n").arg(host).arg(port);
    t += QStringLiteral("Subject: %1\n").arg(distinguished(certificate, false));
    t += QStringLiteral("Issuer: %1\n").arg(distinguished(certificate, true));
    t += QStringLiteral("Valid from %1 to %2 (UTC)\n")
             .arg(certificate.effectiveDate().toUTC().toString(Qt::ISODate),
                  certificate.expiryDate().toUTC().toString(Qt::ISODate));
    t += QStringLiteral("SHA-256 fingerprint: %1\n").arg(Fingerprint(certificate));
    if (!problems.isEmpty()) t += QStringLiteral("Problems: %1\n").arg(problems.join(QStringLiteral("; ")));
    t += QStringLiteral("\nTrust once (this log-on), trust always (remembered for this host and port), or "
                        "cancel the log-on?");
    return t;
}

int ReadConnectionPort(const QString& iniPath, int fallback) {
    QSettings s(iniPath, QSettings::IniFormat);
    bool ok = false;
    const int port = s.value(QStringLiteral("Connection/Port")).toInt(&ok);
    return ok && port >= 1 && port <= 65535 ? port : fallback;
}

bool WriteConnectionPort(const QString& iniPath, int port) {
    QSettings s(iniPath, QSettings::IniFormat);
    s.setValue(QStringLiteral("Connection/Port"), port);
    s.sync();
    return s.status() == QSettings::NoError;
}

namespace {
QString plainKey(const QString& host, int port) {
    return QStringLiteral("PlainLogons/") + host.trimmed().toLower() + QLatin1Char('_') +
           QString::number(port);
}
} // namespace

bool PlainLogonAllowed(const QString& iniPath, const QString& host, int port) {
    QSettings s(iniPath, QSettings::IniFormat);
    return s.value(plainKey(host, port), false).toBool();
}

bool AllowPlainLogon(const QString& iniPath, const QString& host, int port) {
    QSettings s(iniPath, QSettings::IniFormat);
    s.setValue(plainKey(host, port), true);
    s.sync();
    return s.status() == QSettings::NoError;
}

} // namespace transfer

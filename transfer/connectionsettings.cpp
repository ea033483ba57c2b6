// SPDX-License-Identifier: GPL-3.0-or-later
#include "transfer/connectionsettings.h"

#include "settings/appsettings.h"

#include <QCryptographicHash>
#include <QSslCertificate>

namespace transfer {
namespace {
const QStringList kDataModes{QStringLiteral("Automatic"), QStringLiteral("Passive"),
                             QStringLiteral("Active")};
const QStringList kSecurity{QStringLiteral("Plain"), QStringLiteral("IfAvailable"),
                            QStringLiteral("Required")};

QString hostKey(const QString& host, int port, const char* group = "TrustedCertificates") {
    // Host names and addresses (IPv6 ones too) are case-blind; one entry per host and port.
    return QString::fromLatin1(group) + QLatin1Char('/') + host.trimmed().toLower() + QLatin1Char('_') +
           QString::number(port);
}
const char kTlsLogons[] = "TlsLogons";
const char kPlainLogons[] = "PlainLogons";

bool setFlag(const QString& iniPath, const QString& key) {
    settings::AppSettings s(iniPath);
    return s.value(key).toBool() || s.setValue(key, true);
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

ConnectionChoices ReadConnectionChoices(const QString& iniPath, QStringList* unknown) {
    ConnectionChoices c;
    const settings::AppSettings s(iniPath);
    const QString modeText = s.value(QStringLiteral("Connection/DataMode")).toString();
    const QString securityText = s.value(QStringLiteral("Connection/Security")).toString();
    const int mode = kDataModes.indexOf(modeText);
    const int security = kSecurity.indexOf(securityText);
    if (mode >= 0) c.dataMode = mode;
    if (security >= 0) c.security = security;
    QStringList found;
    // A value this program does not know is told, not taken silently for the default.
    if (mode < 0 && !modeText.isEmpty())
        found << QStringLiteral("Connection/DataMode=%1 (%2 is used)").arg(modeText, kDataModes[c.dataMode]);
    if (security < 0 && !securityText.isEmpty())
        found
            << QStringLiteral("Connection/Security=%1 (%2 is used)").arg(securityText, kSecurity[c.security]);
    if (!s.problem().isEmpty()) found << s.problem();
    if (unknown) *unknown = found;
    return c;
}

bool WriteConnectionChoices(const QString& iniPath, const ConnectionChoices& choices) {
    settings::AppSettings s(iniPath);
    return s.setValues(
        {{QStringLiteral("Connection/DataMode"), kDataModes.value(choices.dataMode, kDataModes[0])},
         {QStringLiteral("Connection/Security"), kSecurity.value(choices.security, kSecurity[1])}});
}

QString Fingerprint(const QSslCertificate& certificate) {
    return QString::fromLatin1(certificate.digest(QCryptographicHash::Sha256).toHex(':').toUpper());
}

QString TrustedFingerprint(const QString& iniPath, const QString& host, int port) {
    return settings::AppSettings(iniPath).value(hostKey(host, port)).toString();
}

bool RememberFingerprint(const QString& iniPath, const QString& host, int port, const QString& fingerprint) {
    return settings::AppSettings(iniPath).setValue(hostKey(host, port), fingerprint);
}

ServerMemory ReadServerMemory(const QString& iniPath, const QString& host, int port) {
    const settings::AppSettings s(iniPath);
    ServerMemory m;
    m.fingerprint = s.value(hostKey(host, port)).toString();
    m.tlsSeen = s.value(hostKey(host, port, kTlsLogons)).toBool();
    m.plainAllowed = s.value(hostKey(host, port, kPlainLogons)).toBool();
    return m;
}

bool RememberTlsLogon(const QString& iniPath, const QString& host, int port) {
    return setFlag(iniPath, hostKey(host, port, kTlsLogons));
}

bool AllowPlainLogon(const QString& iniPath, const QString& host, int port) {
    return setFlag(iniPath, hostKey(host, port, kPlainLogons));
}

bool ForgetServer(const QString& iniPath, const QString& host, int port) {
    settings::AppSettings s(iniPath);
    bool written = true;
    for (const char* group : {"TrustedCertificates", kTlsLogons, kPlainLogons})
        if (!s.value(hostKey(host, port, group)).isNull())
            written = s.remove(hostKey(host, port, group)) && written;
    return written;
}

QString PlainLogonCaption() {
    return QStringLiteral("Log on without encryption?");
}

QString PlainLogonText(const QString& host, int port, const QString& reply) {
    return QStringLiteral("The server %1 port %2 refused encryption (it answered AUTH TLS with \"%3\").\n\n"
                          "Logging on without it sends the user name and password, and every file, "
                          "unencrypted: anyone on the way can read them. Someone between this computer "
                          "and the server can also cause this refusal to learn the password.\n\n"
                          "Log on without encryption once, always for this server (remembered for this "
                          "host and port), or cancel the log-on?")
        .arg(host)
        .arg(port)
        .arg(reply);
}

QString EncryptionDowngradeText(const QString& host, int port, const QString& reply) {
    return QStringLiteral("The server %1 port %2 refused encryption (it answered AUTH TLS with \"%3\"), "
                          "although it offered encryption before: the connection may be intercepted. The "
                          "user name and password were not sent, the log-on was stopped. If the server "
                          "changed for good, \"Setting\" > \"Forget this server's security\" lets you "
                          "decide anew.")
        .arg(host)
        .arg(port)
        .arg(reply);
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
    bool ok = false;
    const int port = settings::AppSettings(iniPath).value(QStringLiteral("Connection/Port")).toInt(&ok);
    return ok && port >= 1 && port <= 65535 ? port : fallback;
}

bool WriteConnectionPort(const QString& iniPath, int port) {
    return settings::AppSettings(iniPath).setValue(QStringLiteral("Connection/Port"), port);
}

} // namespace transfer

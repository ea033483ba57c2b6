// SPDX-License-Identifier: GPL-3.0-or-later
// The account's connection choices and the certificates the user trusts, kept in tervane640.ini
// beside csv.cfg (csv.cfg has no room for them and stays as other copies of the program read it).
// No widgets here: the transfer page shows what these functions decide.
#pragma once

#include <QString>
#include <QStringList>

class QSslCertificate;

namespace transfer {

inline constexpr const char* kConnectionSettingsFile = "tervane640.ini";

// Indexes of the DataModeBox and the SecurityBox, the engine's values.
struct ConnectionChoices {
    int dataMode = 0; // Automatic, Passive, Active
    int security = 1; // Plain FTP, TLS if available, TLS required
};

// The choices stored in `iniPath`; a missing file or an unknown value gives the defaults.
// `unknown`, when given, receives for the user each stored value this program does not know,
// and why the file could not be read.
ConnectionChoices ReadConnectionChoices(const QString& iniPath, QStringList* unknown = nullptr);
// False when the file could not be written.
bool WriteConnectionChoices(const QString& iniPath, const ConnectionChoices& choices);

// "AB:CD:..." of the certificate's SHA-256 digest.
QString Fingerprint(const QSslCertificate& certificate);
// The fingerprint trusted always for this host and port, "" when none.
QString TrustedFingerprint(const QString& iniPath, const QString& host, int port);
// Remembers (replaces) the fingerprint trusted always for this host and port. False when the file
// could not be written.
bool RememberFingerprint(const QString& iniPath, const QString& host, int port, const QString& fingerprint);

// What is remembered per host and port besides the trusted certificate: that a log-on there was
// encrypted (from then on a server that refuses TLS is taken for an impostor), and that the user
// allowed log-ons without encryption there ("always for this server").
struct ServerMemory {
    QString fingerprint; // trusted always, "" when none
    bool tlsSeen = false;
    bool plainAllowed = false;
    // A refused AUTH TLS is a sign of interception, not a server without TLS.
    bool expectsTls() const { return tlsSeen || !fingerprint.isEmpty(); }
    bool isEmpty() const { return fingerprint.isEmpty() && !tlsSeen && !plainAllowed; }
};
ServerMemory ReadServerMemory(const QString& iniPath, const QString& host, int port);
// Each false when the file could not be written.
bool RememberTlsLogon(const QString& iniPath, const QString& host, int port);
bool AllowPlainLogon(const QString& iniPath, const QString& host, int port);
// Forgets all three for this host and port.
bool ForgetServer(const QString& iniPath, const QString& host, int port);

// The question before a log-on without encryption, and the refusal where TLS was seen before.
QString PlainLogonCaption();
QString PlainLogonText(const QString& host, int port, const QString& reply);
QString EncryptionDowngradeText(const QString& host, int port, const QString& reply);

// The question about a certificate the system does not vouch for: host, subject, issuer, validity,
// fingerprint and the problems found. `previous` is the fingerprint trusted before: when it is not
// empty, the text opens with a warning that the certificate changed.
QString CertificateCaption(const QString& previous);
QString CertificateText(const QString& host, int port, const QSslCertificate& certificate,
                        const QStringList& problems, const QString& previous);

// The port of the account, kept with the connection choices (csv.cfg has no room for it); `fallback`
// when none is stored or the stored value is not a port.
int ReadConnectionPort(const QString& iniPath, int fallback = 21);
bool WriteConnectionPort(const QString& iniPath, int port);

} // namespace transfer

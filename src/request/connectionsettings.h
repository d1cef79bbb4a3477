// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a request window's connection needs beyond the Server and Port
// texts: extra certificates to trust, a client certificate with its key,
// and the TLS details of an established connection to show. Every file is
// read through the project's file access; every failure is a German text
// for the status label, after which the window behaves as for a connection
// that cannot be made.

#include "common/limits.h"

#include "request/requestcomposer.h"

#include <QAbstractSocket>
#include <QList>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QString>
#include <QStringList>

#include <optional>

namespace varnok {

// The largest certificate, key or CA file that is read.
inline constexpr qint64 kMaxCertificateFileSize = limits::kCertificateFileSize;

// Certificates loaded from files, or why they could not be.
struct LoadedCertificates
{
    QList<QSslCertificate> certificates;
    QString problem; // empty on success
};

// The PEM certificates of a file the user named to be trusted beside the
// system's store: "CA-Datei nicht lesbar: PATH (why)" when it cannot be
// read or holds no certificate.
LoadedCertificates loadCaFile(const QString &path);

// What SSL_CERT_FILE and SSL_CERT_DIR name, as OpenSSL's programs read them:
// the file's certificates and those of every file in the folders (several
// separated by ":") that holds any; files there without a certificate (a
// hash link to a CRL, a README) are passed over. An empty value adds
// nothing. An unreadable file or missing folder is a problem, named with
// the variable, since a trust setting that is silently dropped would only
// show later as a refused certificate.
LoadedCertificates loadTrustFromEnvironmentValues(const QString &certFile, const QString &certDir);
// The same for the process's own environment.
LoadedCertificates loadTrustFromEnvironment();

// A client certificate (with the chain sent after it) and its private key.
struct ClientIdentity
{
    QSslCertificate certificate;
    QList<QSslCertificate> chain;
    QSslKey key;
    QString problem; // empty on success

    bool isNull() const { return certificate.isNull(); }
};

// Loads a client identity: `certificatePath` is a PEM file (the client's
// certificate first, then its chain; it may hold the key too) or a PKCS#12
// file holding all of it; `keyPath` a PEM private key (empty: in the
// certificate's file); `passPhrase` the key's or PKCS#12 file's pass
// phrase. Both paths empty: no identity and no problem. A file that cannot
// be read, holds no certificate or key, a wrong pass phrase and a key that
// does not belong to the certificate each give their German problem text.
ClientIdentity loadClientIdentity(const QString &certificatePath, const QString &keyPath,
                                  const QString &passPhrase);

// True when `key` is the private key of `certificate`'s public key. For RSA
// and EC keys this is decided from their encodings; for another kind of key
// it answers true and leaves the verdict to the handshake.
bool keyMatchesCertificate(const QSslKey &key, const QSslCertificate &certificate);

// The TLS details of a connection: for one whose handshake is done
// (`encrypted`) "Version TLSv1.3", "Cipher NAME", "ALPN http/1.1" (or
// "ALPN -"); then, also for a handshake that failed on the certificate, one
// line per certificate of the peer's chain, the peer's own first:
// "Zertifikat CN=…, O=…; Aussteller CN=…; gültig bis 2026-12-10T07:00:00Z".
QStringList tlsDetailLines(const QSslConfiguration &session, bool encrypted);
// The same lines separated by CR LF.
QString tlsDetailsText(const QSslConfiguration &session, bool encrypted);

// The texts of SeiteFenster(i).Verbindung at a Senden.
struct VerbindungTexts
{
    QString ca, zertifikat, schluessel, passwort, adresse, ip;
};

// Where one request's socket goes and what its TLS side presents.
struct ConnectionPlan
{
    QString connectTo; // Adresse, or the Server text's host (an IPv6 literal without brackets)
    QString peerName;  // TLS: the name sent for SNI and checked in the certificate
    QAbstractSocket::NetworkLayerProtocol family = QAbstractSocket::AnyIPProtocol;
    // Verified TLS: the whole trusted set when anything is added to the
    // system's store (or the tests' replacement); empty: the socket's own.
    QList<QSslCertificate> caCertificates;
    // TLS: the client certificate, if one is named. Absent for plain TCP,
    // whose requests so never load the TLS library: even an empty
    // certificate or key does.
    std::optional<ClientIdentity> identity;
    QString problem;         // why nothing may be sent; empty when all is well
};

// Plans a connection to `target` with the window's settings. Files are read
// only where they count: trust (SSL_CERT_FILE, SSL_CERT_DIR, CA) for
// https://, the client identity for both TLS schemes, nothing for plain
// TCP. `trustReplacement` (tests) stands for the system's store.
ConnectionPlan planConnection(const ServerTarget &target, const VerbindungTexts &texts,
                              const QList<QSslCertificate> &trustReplacement = {});

// The problem text when a lookup limited to one family found no address of
// it: "Keine IPv6-Adresse für NAME"; an empty lookup is "Server nicht gefunden".
QString familyProblem(QAbstractSocket::NetworkLayerProtocol family, const QString &name, bool foundAny);

} // namespace varnok

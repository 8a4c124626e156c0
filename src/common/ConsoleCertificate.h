#pragma once

#include <QByteArray>
#include <QString>

// The console's own TLS certificate, which its listener shows the client
// services and which they pin by fingerprint. It is made on first use with
// the openssl program (EC P-256, self-signed: no CA vouches for a console)
// and kept in a private folder of the user's data folder, both files 0600.
// The key is piped between openssl and the folder, so it never lies in a
// file outside it.
class ConsoleCertificate
{
public:
    struct Pair
    {
        QByteArray certificate; // PEM
        QByteArray key; // PEM
        QString fingerprint;
    };

    // VARNO_OSK_DATA (tests, and administrators who keep the console's
    // files elsewhere), else the user's data folder; "tls" below it.
    static QString DefaultFolder();
    // SHA-256 of the certificate's DER, lower-case hex; empty when `pem`
    // holds no certificate.
    static QString Fingerprint(const QByteArray &pem);
    // The fingerprint as openssl shows it ("AB:CD:..."), for people to compare.
    static QString Displayed(const QString &fingerprint);

    explicit ConsoleCertificate(QString folder = DefaultFolder());

    // Whether a certificate has been made; makes nothing.
    bool Exists() const;
    // The pair, made when there is none yet.
    bool Load(Pair &pair, QString &problem);
    // The pair as it is; makes nothing, and fails when there is none.
    bool Read(Pair &pair, QString &problem) const;
    QString CertificatePath() const;
    // A new pair in place of the old one.
    bool Renew(Pair &pair, QString &problem);

private:
    bool create(QString &problem);

    QString m_folder;
};

#include "common/ConsoleCertificate.h"

#include "common/PrivateFolder.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>

#include <optional>

namespace {

const QString kCertificateFile = QStringLiteral("console.crt");
const QString kKeyFile = QStringLiteral("console.key");
// A P-256 key and its certificate take well under 2 KiB; anything larger was not made here.
constexpr qint64 kMaxPemBytes = 64 * 1024;
constexpr int kOpensslMs = 30000;

// openssl with `input` on its standard input; its standard output, or
// nothing with the reason.
std::optional<QByteArray> openssl(const QStringList &arguments, const QByteArray &input, QString &problem)
{
    QProcess process;
    process.setProcessEnvironment(QProcessEnvironment());
    process.start(QStringLiteral("openssl"), arguments);
    if (!process.waitForStarted(kOpensslMs)) {
        problem = QStringLiteral("the openssl program cannot be started: ") + process.errorString();
        return std::nullopt;
    }
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(kOpensslMs) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        process.kill();
        process.waitForFinished();
        problem = QStringLiteral("openssl failed: ") + QString::fromLocal8Bit(process.readAllStandardError().left(512)).trimmed();
        return std::nullopt;
    }
    return process.readAllStandardOutput();
}

std::optional<QByteArray> readBelow(PrivateFolder &folder, const QString &name, QString &problem)
{
    QFile file;
    if (!folder.OpenFile(file, name, QIODevice::ReadOnly)) {
        problem = folder.ErrorString();
        return std::nullopt;
    }
    QByteArray data = file.read(kMaxPemBytes + 1);
    if (data.size() > kMaxPemBytes) {
        problem = QStringLiteral("\"%1\" is larger than a certificate can be.").arg(folder.FilePath(name));
        return std::nullopt;
    }
    return data;
}

} // namespace

QString ConsoleCertificate::DefaultFolder()
{
    QString data = QProcessEnvironment::systemEnvironment().value(QStringLiteral("VARNO_OSK_DATA"));
    if (data.isEmpty())
        data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/varno-osk");
    return data + QStringLiteral("/tls");
}

QString ConsoleCertificate::Fingerprint(const QByteArray &pem)
{
    static const QByteArray begin = QByteArrayLiteral("-----BEGIN CERTIFICATE-----");
    static const QByteArray end = QByteArrayLiteral("-----END CERTIFICATE-----");
    const qsizetype from = pem.indexOf(begin);
    const qsizetype to = from < 0 ? -1 : pem.indexOf(end, from);
    if (to < 0)
        return QString();
    const auto decoded = QByteArray::fromBase64Encoding(
        pem.mid(from + begin.size(), to - from - begin.size()).simplified().replace(' ', ""), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || decoded.decoded.isEmpty())
        return QString();
    return QString::fromLatin1(QCryptographicHash::hash(decoded.decoded, QCryptographicHash::Sha256).toHex());
}

QString ConsoleCertificate::Displayed(const QString &fingerprint)
{
    QString shown;
    for (qsizetype at = 0; at < fingerprint.size(); at += 2)
        shown += (at ? QStringLiteral(":") : QString()) + fingerprint.mid(at, 2).toUpper();
    return shown;
}

ConsoleCertificate::ConsoleCertificate(QString folder)
    : m_folder(std::move(folder))
{ }

bool ConsoleCertificate::Exists() const
{
    const QDir folder(m_folder);
    // A link counts as there: loading it is refused, never quietly replaced.
    return QFileInfo(folder.filePath(kCertificateFile)).isSymLink() || QFileInfo::exists(folder.filePath(kCertificateFile));
}

bool ConsoleCertificate::create(QString &problem)
{
    const auto key = openssl({QStringLiteral("genpkey"), QStringLiteral("-algorithm"), QStringLiteral("EC"), QStringLiteral("-pkeyopt"),
                                 QStringLiteral("ec_paramgen_curve:P-256")},
        QByteArray(), problem);
    if (!key)
        return false;
    // Ten years: a certificate that expires mid-fleet would stop every client at once.
    const auto certificate = openssl(
        {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-new"), QStringLiteral("-key"), QStringLiteral("/dev/stdin"),
            QStringLiteral("-days"), QStringLiteral("3650"), QStringLiteral("-subj"), QStringLiteral("/CN=Varno-Osk console")},
        *key, problem);
    if (!certificate)
        return false;
    PrivateFolder folder;
    // The key first: a certificate without its key would be loaded and fail later.
    if (!folder.Open(m_folder) || !folder.Replace(kKeyFile, *key) || !folder.Replace(kCertificateFile, *certificate)) {
        problem = folder.ErrorString();
        return false;
    }
    return true;
}

bool ConsoleCertificate::Load(Pair &pair, QString &problem)
{
    return (Exists() || create(problem)) && Read(pair, problem);
}

bool ConsoleCertificate::Read(Pair &pair, QString &problem) const
{
    if (!Exists()) {
        problem = QStringLiteral("The console has no certificate yet.");
        return false;
    }
    PrivateFolder folder;
    if (!folder.Open(m_folder)) {
        problem = folder.ErrorString();
        return false;
    }
    const auto certificate = readBelow(folder, kCertificateFile, problem);
    const auto key = certificate ? readBelow(folder, kKeyFile, problem) : std::nullopt;
    if (!key)
        return false;
    pair.certificate = *certificate;
    pair.key = *key;
    pair.fingerprint = Fingerprint(pair.certificate);
    if (pair.fingerprint.isEmpty()) {
        problem = QStringLiteral("\"%1\" holds no certificate.").arg(folder.FilePath(kCertificateFile));
        return false;
    }
    return true;
}

QString ConsoleCertificate::CertificatePath() const
{
    return QDir(m_folder).filePath(kCertificateFile);
}

bool ConsoleCertificate::Renew(Pair &pair, QString &problem)
{
    return create(problem) && Load(pair, problem);
}

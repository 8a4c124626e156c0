#include "SlapdServer.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

namespace {

const char kSchema[] = R"(attributetype ( 1.3.6.1.4.1.55555.1.1 NAME 'dNSHostName'
    EQUALITY caseIgnoreMatch SYNTAX 1.3.6.1.4.1.1466.115.121.1.15 SINGLE-VALUE )
objectclass ( 1.3.6.1.4.1.55555.2.1 NAME 'computer' SUP top STRUCTURAL
    MAY ( cn $ dNSHostName $ description ) )
)";

bool writeFile(const QString &path, const QByteArray &data)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

QString rdnValue(QString value)
{
    return value.replace(QLatin1Char(','), QLatin1String("\\,"));
}

QString unitsDN(const QStringList &units)
{
    QString dn;
    for (const QString &unit : units)
        dn.prepend(QStringLiteral("ou=") + rdnValue(unit) + QLatin1Char(','));
    return dn + QLatin1String(SlapdServer::Suffix);
}

} // namespace

SlapdServer::SlapdServer() = default;

SlapdServer::~SlapdServer()
{
    stop();
}

int SlapdServer::freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

QByteArray SlapdServer::unitEntries(const QStringList &units, QStringList &made)
{
    QByteArray ldif;
    for (qsizetype depth = 1; depth <= units.size(); ++depth) {
        const QStringList path = units.mid(0, depth);
        const QString dn = unitsDN(path);
        if (made.contains(dn))
            continue;
        made.append(dn);
        ldif += "dn: " + dn.toUtf8() + "\nobjectClass: organizationalUnit\nou: " + path.last().toUtf8() + "\n\n";
    }
    return ldif;
}

QByteArray SlapdServer::computerEntry(const QString &name, const QStringList &units)
{
    const QByteArray lower = name.toLower().toUtf8();
    return "dn: cn=" + name.toUtf8() + "," + unitsDN(units).toUtf8() + "\nobjectClass: computer\ncn: " + name.toUtf8() + "\ndNSHostName: " + lower
           + ".corp.example\n\n";
}

bool SlapdServer::run(const QString &program, const QStringList &arguments, const QByteArray &input)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForStarted()) {
        m_error = program + QStringLiteral(" did not start");
        return false;
    }
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        m_error = program + QStringLiteral(" failed: ") + QString::fromLocal8Bit(process.readAll());
        return false;
    }
    return true;
}

bool SlapdServer::start(const QByteArray &computers)
{
    if (!m_dir.isValid()) {
        m_error = QStringLiteral("no temporary folder");
        return false;
    }
    const QString dir = m_dir.path();
    const QString openssl = QStringLiteral("openssl");
    const QStringList ecKey {QStringLiteral("-newkey"), QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
                             QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes")};
    if (!writeFile(dir + QStringLiteral("/san.cnf"), "subjectAltName=IP:127.0.0.1,DNS:localhost\n")
        || !run(openssl, QStringList {QStringLiteral("req"), QStringLiteral("-x509")} + ecKey
                             + QStringList {QStringLiteral("-keyout"), dir + QStringLiteral("/ca.key"), QStringLiteral("-out"),
                                            dir + QStringLiteral("/ca.pem"), QStringLiteral("-days"), QStringLiteral("2"),
                                            QStringLiteral("-subj"), QStringLiteral("/CN=Import Test CA")})
        || !run(openssl, QStringList {QStringLiteral("req"), QStringLiteral("-x509")} + ecKey
                             + QStringList {QStringLiteral("-keyout"), dir + QStringLiteral("/other-ca.key"), QStringLiteral("-out"),
                                            dir + QStringLiteral("/other-ca.pem"), QStringLiteral("-days"), QStringLiteral("2"),
                                            QStringLiteral("-subj"), QStringLiteral("/CN=Import Test CA")})
        || !run(openssl, QStringList {QStringLiteral("req")} + ecKey
                             + QStringList {QStringLiteral("-keyout"), dir + QStringLiteral("/server.key"), QStringLiteral("-out"),
                                            dir + QStringLiteral("/server.csr"), QStringLiteral("-subj"), QStringLiteral("/CN=localhost")})
        || !run(openssl, {QStringLiteral("x509"), QStringLiteral("-req"), QStringLiteral("-in"), dir + QStringLiteral("/server.csr"),
                          QStringLiteral("-CA"), dir + QStringLiteral("/ca.pem"), QStringLiteral("-CAkey"), dir + QStringLiteral("/ca.key"),
                          QStringLiteral("-CAcreateserial"), QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-extfile"),
                          dir + QStringLiteral("/san.cnf"), QStringLiteral("-out"), dir + QStringLiteral("/server.pem")}))
        return false;

    const QByteArray d = dir.toUtf8();
    const QByteArray userDN = QByteArray("uid=") + User + ",ou=People," + Suffix;
    const QByteArray config = "include /etc/ldap/schema/core.schema\n"
                              "include /etc/ldap/schema/cosine.schema\n"
                              "include /etc/ldap/schema/inetorgperson.schema\n"
                              "include "
                              + d + "/computer.schema\n"
                                    "pidfile "
                              + d + "/slapd.pid\n"
                                    "modulepath /usr/lib/ldap\n"
                                    "moduleload back_mdb\n"
                                    "TLSCACertificateFile "
                              + d + "/ca.pem\nTLSCertificateFile " + d + "/server.pem\nTLSCertificateKeyFile " + d
                              + "/server.key\n"
                                "database mdb\n"
                                "maxsize 4294967296\n"
                                "suffix \""
                              + Suffix + "\"\nrootdn \"cn=admin," + Suffix + "\"\ndirectory " + d
                              + "/db\n"
                                "limits dn.exact=\""
                              + userDN
                              + "\" size.soft=1000 size.hard=1000 size.prtotal=unlimited\n"
                                "access to attrs=userPassword by anonymous auth by * none\n"
                                "access to * by * read\n";
    const QByteArray base = QByteArray("dn: ") + Suffix + "\nobjectClass: dcObject\nobjectClass: organization\ndc: corp\no: Corp\n\n"
                            + "dn: ou=People," + Suffix + "\nobjectClass: organizationalUnit\nou: People\n\n" + "dn: " + userDN
                            + "\nobjectClass: inetOrgPerson\nuid: " + User + "\ncn: Import User\nsn: User\nuserPassword: " + Password + "\n\n";
    if (!writeFile(dir + QStringLiteral("/computer.schema"), kSchema) || !writeFile(dir + QStringLiteral("/slapd.conf"), config)
        || !writeFile(dir + QStringLiteral("/data.ldif"), base + computers) || !m_dir.isValid()) {
        m_error = QStringLiteral("the configuration could not be written");
        return false;
    }
    if (!QDir(dir).mkpath(QStringLiteral("db"))
        || !run(QStringLiteral("slapadd"),
                {QStringLiteral("-q"), QStringLiteral("-f"), dir + QStringLiteral("/slapd.conf"), QStringLiteral("-l"), dir + QStringLiteral("/data.ldif")}))
        return false;
    m_port = freePort();
    m_tlsPort = freePort();
    return launch();
}

bool SlapdServer::launch()
{
    m_slapd = std::make_unique<QProcess>();
    m_slapd->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_slapd->setStandardOutputFile(QProcess::nullDevice());
    // In the foreground (-d), so that the process the test started is slapd itself.
    m_slapd->start(QStringLiteral("/usr/sbin/slapd"),
                   {QStringLiteral("-d"), QStringLiteral("0"), QStringLiteral("-f"), m_dir.filePath(QStringLiteral("slapd.conf")), QStringLiteral("-h"),
                    QStringLiteral("ldap://127.0.0.1:%1/ ldaps://127.0.0.1:%2/").arg(m_port).arg(m_tlsPort)});
    if (!m_slapd->waitForStarted()) {
        m_error = QStringLiteral("slapd did not start");
        return false;
    }
    const QDeadlineTimer deadline(20000);
    while (!deadline.hasExpired()) {
        if (m_slapd->state() != QProcess::Running) {
            m_error = QStringLiteral("slapd ended at start");
            return false;
        }
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, quint16(m_port));
        if (probe.waitForConnected(200))
            return true;
        QThread::msleep(50);
    }
    m_error = QStringLiteral("slapd did not listen");
    return false;
}

bool SlapdServer::restart()
{
    stop();
    return launch();
}

void SlapdServer::stop()
{
    if (!m_slapd)
        return;
    if (m_slapd->state() != QProcess::NotRunning) {
        m_slapd->terminate();
        if (!m_slapd->waitForFinished(10000)) {
            m_slapd->kill();
            m_slapd->waitForFinished();
        }
    }
    m_slapd.reset();
}

void SlapdServer::kill()
{
    if (!m_slapd)
        return;
    m_slapd->kill();
    m_slapd->waitForFinished();
    m_slapd.reset();
}

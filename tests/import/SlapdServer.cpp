#include "SlapdServer.h"

#include "support/EndWithTest.h"

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
attributetype ( 1.3.6.1.4.1.55555.1.2 NAME 'objectGUID'
    EQUALITY octetStringMatch SYNTAX 1.3.6.1.4.1.1466.115.121.1.40 SINGLE-VALUE )
objectclass ( 1.3.6.1.4.1.55555.2.1 NAME 'computer' SUP top STRUCTURAL
    MAY ( cn $ dNSHostName $ description $ objectGUID ) )
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

SlapdServer::SlapdServer(bool tls)
    : m_tls(tls)
{ }

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
    return "dn: cn=" + name.toUtf8() + "," + unitsDN(units).toUtf8() + "\nobjectClass: computer\ncn: " + name.toUtf8()
        + "\ndNSHostName: " + lower + ".corp.example\n\n";
}

bool SlapdServer::run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForStarted()) {
        m_error = program + QStringLiteral(" did not start");
        return false;
    }
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        m_error = program + QStringLiteral(" failed: ") + QString::fromLocal8Bit(process.readAll());
        return false;
    }
    return true;
}

bool SlapdServer::start(const QByteArray &computers)
{
    const QByteArray d = m_dir.path().toUtf8();
    // Two authorities of the same name; only the first signed the server's certificate.
    const QByteArray certificates = "set -e; cd '" + d
        + "'; key='-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes'\n"
          "for ca in ca other-ca; do openssl req -x509 $key -keyout $ca.key -out $ca.pem -days 2 -subj '/CN=Import Test CA'; done\n"
          "openssl req $key -keyout server.key -out server.csr -subj /CN=localhost\n"
          "echo subjectAltName=IP:127.0.0.1,DNS:localhost > san.cnf\n"
          "openssl x509 -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 2 -extfile san.cnf -out server.pem\n";
    const QByteArray userDN = QByteArray("uid=") + User + ",ou=People," + Suffix;
    const QByteArray limitedDN = QByteArray("uid=") + LimitedUser + ",ou=People," + Suffix;
    const QByteArray tls = m_tls ? QByteArray("TLSCACertificateFile DIR/ca.pem\nTLSCertificateFile DIR/server.pem\n"
                                              "TLSCertificateKeyFile DIR/server.key\n")
                                 : QByteArray();
    const QByteArray config = QByteArray(R"(include /etc/ldap/schema/core.schema
include /etc/ldap/schema/cosine.schema
include /etc/ldap/schema/inetorgperson.schema
include DIR/computer.schema
modulepath /usr/lib/ldap
moduleload back_mdb
TLS
database mdb
maxsize 4294967296
suffix "SUFFIX"
rootdn "cn=admin,SUFFIX"
directory DIR/db
limits dn.exact="USERDN" size.soft=1000 size.hard=1000 size.prtotal=unlimited
limits dn.exact="LIMITEDDN" size.soft=1000 size.hard=1000 size.prtotal=1100
access to attrs=userPassword by anonymous auth by * none
access to * by * read
)")
                                  .replace("TLS\n", tls)
                                  .replace("LIMITEDDN", limitedDN)
                                  .replace("USERDN", userDN)
                                  .replace("SUFFIX", Suffix)
                                  .replace("DIR", d);
    const QByteArray base = QByteArray(R"(dn: SUFFIX
objectClass: dcObject
objectClass: organization
dc: corp
o: Corp

dn: ou=People,SUFFIX
objectClass: organizationalUnit
ou: People

dn: USERDN
objectClass: inetOrgPerson
uid: USER
cn: Import User
sn: User
userPassword: PASSWORD

dn: LIMITEDDN
objectClass: inetOrgPerson
uid: LIMITED
cn: Limited User
sn: User
userPassword: PASSWORD

)")
                                .replace("LIMITEDDN", limitedDN)
                                .replace("USERDN", userDN)
                                .replace("SUFFIX", Suffix)
                                .replace("PASSWORD", Password)
                                .replace("LIMITED", LimitedUser)
                                .replace("USER", User);
    const QString dir = m_dir.path();
    if (!m_dir.isValid() || !writeFile(dir + QStringLiteral("/computer.schema"), kSchema)
        || !writeFile(dir + QStringLiteral("/slapd.conf"), config) || !writeFile(dir + QStringLiteral("/data.ldif"), base + computers)
        || !QDir(dir).mkpath(QStringLiteral("db"))) {
        m_error = QStringLiteral("the configuration could not be written");
        return false;
    }
    if ((m_tls && !run(QStringLiteral("sh"), {QStringLiteral("-c"), QString::fromUtf8(certificates)}))
        || !run(QStringLiteral("slapadd"),
            {QStringLiteral("-q"), QStringLiteral("-f"), dir + QStringLiteral("/slapd.conf"), QStringLiteral("-l"),
                dir + QStringLiteral("/data.ldif")}))
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
    endWithTest(*m_slapd);
    // In the foreground (-d), so that the process the test started is slapd itself.
    m_slapd->start(QStringLiteral("/usr/sbin/slapd"),
        {QStringLiteral("-d"), QStringLiteral("0"), QStringLiteral("-f"), m_dir.filePath(QStringLiteral("slapd.conf")),
            QStringLiteral("-h"),
            m_tls ? QStringLiteral("ldap://127.0.0.1:%1/ ldaps://127.0.0.1:%2/").arg(m_port).arg(m_tlsPort)
                  : QStringLiteral("ldap://127.0.0.1:%1/").arg(m_port)});
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

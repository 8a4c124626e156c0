#include "cli/EngineCertCommand.h"

#include "cli/modCommandLine.h"
#include "common/ConsoleCertificate.h"

#include <QTextStream>

EngineCertCommand::EngineCertCommand(QTextStream &out, QTextStream &err)
    : m_out(out)
    , m_err(err)
{ }

QString EngineCertCommand::usage()
{
    return QStringLiteral("Usage: vo engine cert [--renew]\n"
                          "\n"
                          "Prints the SHA-256 fingerprint of the console's certificate, which the\n"
                          "engine's listener shows the client services and they check; the certificate\n"
                          "is made on first use. Compare it with\n"
                          "  openssl x509 -noout -fingerprint -sha256 -in FILE\n"
                          "\n"
                          "  --renew    make a new certificate; a run or check under way keeps the old\n"
                          "             one, the next one uses the new\n");
}

int EngineCertCommand::run(const QStringList &arguments)
{
    if (arguments.size() == 1 && modCommandLine::IsHelp(arguments.first())) {
        m_out << usage();
        return 0;
    }
    const bool renew = arguments == QStringList {QStringLiteral("--renew")};
    if (!arguments.isEmpty() && !renew) {
        m_err << "ERROR: Invalid syntax.\n\n" << usage();
        return modCommandLine::Failed;
    }
    ConsoleCertificate certificate;
    ConsoleCertificate::Pair pair;
    QString problem;
    if (!(renew ? certificate.Renew(pair, problem) : certificate.Load(pair, problem)))
        return modCommandLine::Fail(m_err, problem);
    m_out << "SHA-256 fingerprint: " << ConsoleCertificate::Displayed(pair.fingerprint) << '\n'
          << "Certificate: " << certificate.CertificatePath() << '\n';
    return 0;
}

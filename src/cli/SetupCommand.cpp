#include "cli/SetupCommand.h"

#include "cli/JobFile.h"
#include "cli/modCommandLine.h"
#include "common/Presenter.h"
#include "database/ComputerDB.h"
#include "settingsfile/SettingsFile.h"
#include "wizards/SetupWizardModel.h"

#include <QDir>
#include <QFileInfo>
#include <QTextStream>

namespace {

using S = SetupWizardModel;
using C = ContextSection;
using J = JoinSection;
using O = OptionsSection;

const QString kAction = QStringLiteral("--action");
const QString kMigration = QStringLiteral("--migration");
const QString kSourceDomain = QStringLiteral("--source-domain");
const QString kSourceDC = QStringLiteral("--source-dc");
const QString kSourceDCIP = QStringLiteral("--source-dc-ip");
const QString kDestDomain = QStringLiteral("--dest-domain");
const QString kDestDC = QStringLiteral("--dest-dc");
const QString kDestDCIP = QStringLiteral("--dest-dc-ip");
const QString kJoinDomain = QStringLiteral("--join-domain");
const QString kJoinWorkgroup = QStringLiteral("--join-workgroup");
const QString kJoinDC = QStringLiteral("--join-dc");
const QString kJoinDCIP = QStringLiteral("--join-dc-ip");
const QString kNoReboot = QStringLiteral("--no-reboot");
const QString kNoForceClose = QStringLiteral("--no-force-close");
const QString kRenameProfiles = QStringLiteral("--rename-profiles");
const QString kCopyTempInternet = QStringLiteral("--copy-temp-internet-files");
const QString kOverwriteProfiles = QStringLiteral("--overwrite-profiles");

const QStringList kActions {QStringLiteral("domain-change"), QStringLiteral("profile"), QStringLiteral("both")};
const QStringList kMigrations {
    QStringLiteral("domain-domain"), QStringLiteral("domain-local"), QStringLiteral("local-domain"), QStringLiteral("local-local")};

// Keeps what the wizard would have shown, so that it becomes the command's
// error instead of a line of its own.
class RecordingPresenter final : public Presenter
{
public:
    Answer showMessage(const Message &message) override
    {
        Last = message.text;
        return answersFor(message.buttons).constFirst();
    }
    QString Last;
};

} // namespace

SetupCommand::SetupCommand(QTextStream &out, QTextStream &err)
    : m_out(out)
    , m_err(err)
{ }

QString SetupCommand::usage()
{
    return QStringLiteral("Usage: vo setup FILE --action domain-change|profile|both [--migration TYPE]\n"
                          "                [--source-domain D --source-dc NAME --source-dc-ip ADDRESS]\n"
                          "                [--dest-domain D --dest-dc NAME --dest-dc-ip ADDRESS]\n"
                          "                [--join-workgroup NAME | --join-domain D --join-dc NAME --join-dc-ip ADDRESS]\n"
                          "                [--no-reboot] [--no-force-close] [--rename-profiles]\n"
                          "                [--copy-temp-internet-files] [--overwrite-profiles] [--passphrase-file F]\n"
                          "\n"
                          "The Easy Setup Wizard without its window: sets up the whole job's settings on\n"
                          "\"All Computers\" and removes every setting that groups and computers of FILE\n"
                          "hold of their own. The computers and their user lists stay. A FILE that does\n"
                          "not exist yet becomes a new job without computers. The accounts are not\n"
                          "set here: set them in the console (Authentication Wizard).\n"
                          "\n"
                          "  --action ACTION        domain-change: join the computers to a new domain or\n"
                          "                         workgroup; profile: migrate the profiles only;\n"
                          "                         both: migrate the profiles and change the domain\n"
                          "  --migration TYPE       for profile and both: domain-domain, domain-local,\n"
                          "                         local-domain or local-local\n"
                          "  --source-... --dest-...  the source and destination domains with one\n"
                          "                         domain controller each, for the sides that are\n"
                          "                         domains (short or full DNS names)\n"
                          "  --join-workgroup NAME  for domain-change and both: join a workgroup, or\n"
                          "  --join-domain D        join a domain, with --join-dc and --join-dc-ip\n"
                          "  --no-reboot            do not allow reboots (a profile migration only)\n"
                          "  --no-force-close       do not force applications closed on reboot\n"
                          "  --rename-profiles      rename the profiles instead of copying them\n"
                          "  --copy-temp-internet-files  copy the 'Temporary Internet Files' folders\n"
                          "  --overwrite-profiles   overwrite existing destination profiles\n"
                          "  --passphrase-file F    the passphrase of FILE, first line of F\n"
                          "\n"
                          "Exit status: 0 FILE written, 1 a usage error, a value the wizard refuses\n"
                          "(FILE is then unchanged) or a file that cannot be read or written.\n");
}

int SetupCommand::failure(const QString &text)
{
    return modCommandLine::Fail(m_err, text);
}

int SetupCommand::run(const QStringList &arguments)
{
    if (arguments.size() == 1 && modCommandLine::IsHelp(arguments.first())) {
        m_out << usage();
        m_out.flush();
        return Written;
    }
    JobFile file;
    QString problem;
    const QStringList flags {kNoReboot, kNoForceClose, kRenameProfiles, kCopyTempInternet, kOverwriteProfiles};
    const QStringList values {kAction, kMigration, kSourceDomain, kSourceDC, kSourceDCIP, kDestDomain, kDestDC, kDestDCIP, kJoinDomain,
        kJoinWorkgroup, kJoinDC, kJoinDCIP};
    if (!file.parse(arguments, flags, values, problem) || file.path().isEmpty() || !file.has(kAction)) {
        if (problem.isEmpty())
            problem = QStringLiteral("Invalid syntax. A settings file and --action are needed.");
        m_err << "ERROR: " << problem << "\n\n" << usage();
        m_err.flush();
        return Failed;
    }
    const int action = static_cast<int>(kActions.indexOf(file.value(kAction).toLower()));
    if (action < 0)
        return failure(QStringLiteral("--action takes domain-change, profile or both, not \"%1\".").arg(file.value(kAction)));
    const bool profiles = action != DomainChangeOnly;
    const bool domainChange = action != ProfileMigrationOnly;
    const int migration = static_cast<int>(kMigrations.indexOf(file.value(kMigration).toLower()));
    if (profiles && migration < 0)
        return failure(
            QStringLiteral("--migration takes domain-domain, domain-local, local-domain or local-local for a profile migration."));
    // An option the chosen action has no page for would be dropped without a word.
    const auto notFor = [&](const QStringList &options, bool applies, const char *what) {
        for (const QString &option : options)
            if (file.has(option) && !applies)
                return QStringLiteral("%1 applies only to %2.").arg(option, QLatin1String(what));
        return QString();
    };
    for (const QString &misplaced : {notFor({kMigration, kSourceDomain, kSourceDC, kSourceDCIP, kDestDomain, kDestDC, kDestDCIP,
                                                kRenameProfiles, kCopyTempInternet, kOverwriteProfiles},
                                         profiles, "a profile migration"),
             notFor({kJoinDomain, kJoinWorkgroup, kJoinDC, kJoinDCIP}, domainChange, "an action with a domain change"),
             notFor({kNoReboot}, !domainChange, "a profile migration without a domain change (joining a domain needs a reboot)"),
             notFor({kJoinDC, kJoinDCIP}, !file.has(kJoinWorkgroup), "a domain join, not a workgroup")})
        if (!misplaced.isEmpty())
            return failure(misplaced);
    const bool sourceLocal = migration == LocalToDomain || migration == LocalToLocal;
    const bool destinationLocal = migration == DomainToLocal || migration == LocalToLocal;
    for (const QString &misplaced : {notFor({kSourceDomain, kSourceDC, kSourceDCIP}, !sourceLocal, "a migration from domain accounts"),
             notFor({kDestDomain, kDestDC, kDestDCIP}, !destinationLocal, "a migration to domain accounts")})
        if (!misplaced.isEmpty())
            return failure(misplaced);
    if (domainChange && file.has(kJoinDomain) == file.has(kJoinWorkgroup))
        return failure(QStringLiteral("A domain change needs either --join-domain or --join-workgroup."));

    const QString path = file.path();
    ComputerDB database;
    SettingsFile settingsFile;
    SettingsFile::SaveOptions options;
    if (QFileInfo::exists(path)) {
        const SettingsFileResult loaded = settingsFile.Load(path, file.passphrase(), database);
        if (!loaded.ok())
            return failure(loaded.Message);
        options.JobName = loaded.JobName;
        options.LastStatus = loaded.LastStatus;
    }

    RecordingPresenter said;
    Presenter *before = Presenter::install(&said);
    GlobalSettingsPtr record = GlobalSettings::create();
    record->SetDefaults();
    record->Valid = false;
    S wizard;
    wizard.LinkData(record, &database);
    // One page at a time, as the administrator would fill it in; a page the
    // wizard refuses stops here with its message.
    bool refused = false;
    while (!wizard.isFinished() && !refused) {
        const int page = wizard.CurrentPage();
        switch (page) {
        case S::ActionPage:
            wizard.chooseAction(action);
            break;
        case S::MigrationPage:
            wizard.chooseMigration(migration);
            break;
        case S::ContextPage:
            for (const auto &[side, domain, dc, ip] : {std::tuple {&wizard.source(), kSourceDomain, kSourceDC, kSourceDCIP},
                     std::tuple {&wizard.destination(), kDestDomain, kDestDC, kDestDCIP}}) {
                side->type(C::Context, file.value(domain));
                side->type(C::DC, file.value(dc));
                side->type(C::DCIP, file.value(ip));
            }
            break;
        case S::JoinPage:
            if (file.has(kJoinWorkgroup) && !wizard.join().isOn(J::JoinWorkgroup))
                wizard.join().click(J::JoinWorkgroup);
            wizard.join().type(J::JoinName, file.value(file.has(kJoinWorkgroup) ? kJoinWorkgroup : kJoinDomain));
            wizard.join().type(J::DomDCName, file.value(kJoinDC));
            wizard.join().type(J::DomDCIP, file.value(kJoinDCIP));
            break;
        case S::OptionsPage: {
            O &boxes = wizard.options();
            const auto set = [&boxes](int box, bool on) {
                if (boxes.isOn(box) != on)
                    boxes.click(box);
            };
            set(O::RebootAllow, !file.has(kNoReboot));
            set(O::RebootForce, boxes.isOn(O::RebootAllow) && !file.has(kNoForceClose));
            if (profiles) {
                set(O::CopyProfile, !file.has(kRenameProfiles));
                set(O::NoTempInternet, boxes.isOn(O::CopyProfile) && !file.has(kCopyTempInternet));
                set(O::OverwriteProfile, file.has(kOverwriteProfiles));
            }
            break;
        }
        default:
            break;
        }
        wizard.cmdNext_Click();
        refused = !wizard.isFinished() && wizard.CurrentPage() == page;
    }
    Presenter::install(before);
    if (refused)
        return failure(said.Last.isEmpty() ? QStringLiteral("The setup was refused.") : said.Last);

    S::ApplyResult(database, record);
    const SettingsFileResult saved = settingsFile.Save(database, path, options);
    if (!saved.ok())
        return failure(saved.Message);
    m_out << "Set up \"" << QDir::toNativeSeparators(path) << "\": " << wizard.SummaryLines().join(QStringLiteral("; ")) << ".\n";
    m_out.flush();
    return Written;
}

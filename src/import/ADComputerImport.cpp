#include "import/ADComputerImport.h"

#include "common/AppState.h"
#include "common/Presenter.h"
#include "common/ProgressBarLink.h"
#include "common/modLimits.h"
#include "common/modErrorHandler.h"
#include "database/ComputerDB.h"
#include "database/ComputerRecord.h"
#include "database/ProgressLinkSink.h"
#include "import/modImportADS.h"

#include <QCoreApplication>
#include <QHash>
#include <QStringList>

#include <algorithm>

namespace {

constexpr int kListAllUsers = 5;

// Keeps the progress window alive during the read and asks, when Cancel was
// pressed, whether the administrator means it.
class ReadObserver final : public DirectoryClient::Observer
{
public:
    explicit ReadObserver(ProgressBarLink *progress)
        : m_progress(progress)
    { }

    bool RowsRead(int count) override
    {
        if (!m_progress) {
            QCoreApplication::processEvents();
            return true;
        }
        m_progress->SetValue(count % 1000 + 1);
        m_progress->SetMessage(QStringLiteral("Importing computer ") + QString::number(count));
        if (!m_progress->CancelVal())
            return true;
        Presenter::Message question;
        question.text = QStringLiteral("Are you sure you would like to cancel?");
        question.caption = QStringLiteral("Confirm Cancel");
        question.icon = Presenter::Icon::Question;
        question.buttons = Presenter::Buttons::YesNo;
        if (Presenter::current().showMessage(question) == Presenter::Yes)
            return false;
        m_progress->CancelOff();
        return true;
    }

    void Waiting() override { QCoreApplication::processEvents(); }

private:
    ProgressBarLink *m_progress;
};

// libldap names no reason for a refused certificate beyond "unknown error",
// so the message says what to check instead.
void showCertificateFailure()
{
    modErrorHandler::ShowMessage(modErrorHandler::Error,
        QStringLiteral("The server's certificate could not be verified, so no connection was made.") + QChar(u'\r')
            + QStringLiteral("Give the file of the certificate authority that issued it, and check that the server name "
                             "is the one the certificate was made for."));
}

// The computers left out, the first ten by name; the rest come in.
void showRefused(const QStringList &refused)
{
    constexpr qsizetype shown = 10;
    QString text = QStringLiteral("%1 computers of the directory were not imported:").arg(refused.size());
    for (qsizetype i = 0; i < std::min(shown, refused.size()); ++i)
        text += QChar(u'\r') + refused[i];
    if (refused.size() > shown)
        text += QChar(u'\r') + QStringLiteral("... and %1 more.").arg(refused.size() - shown);
    modErrorHandler::ShowMessage(modErrorHandler::Warning, text);
}

int reportFailure(const DirectoryClient::Outcome &outcome)
{
    switch (outcome.Result) {
    case DirectoryClient::Outcome::BadCredentials:
        modErrorHandler::ShowMessage(modErrorHandler::Error, QStringLiteral("Invalid username or password given. Please try again."));
        return ADComputerImport::BadCredentials;
    case DirectoryClient::Outcome::Unreachable:
        modErrorHandler::ShowMessage(
            modErrorHandler::Error, QStringLiteral("The server name entered is incorrect or the server could not be contacted."));
        return ADComputerImport::ServerNotReachable;
    case DirectoryClient::Outcome::Certificate:
        showCertificateFailure();
        return ADComputerImport::OtherFailure;
    case DirectoryClient::Outcome::TlsRefused:
        modErrorHandler::ShowMessage(modErrorHandler::Error,
            QStringLiteral("The server refused StartTLS, so no connection was made.") + QChar(u'\r')
                + QStringLiteral("Choose LDAPS, or ask the server's administrator to give it a certificate for StartTLS."));
        return ADComputerImport::OtherFailure;
    case DirectoryClient::Outcome::ConnectionLost:
        modErrorHandler::ShowMessage(modErrorHandler::Error,
            QStringLiteral("The connection to the server was lost during the read of the computers, so nothing was imported."));
        return ADComputerImport::ServerNotReachable;
    case DirectoryClient::Outcome::Limit:
        modErrorHandler::ShowMessage(modErrorHandler::Error,
            QStringLiteral("The server ended the read at its size or time limit before every computer was read, so nothing was "
                           "imported.")
                + QChar(u'\r')
                + QStringLiteral("Ask the directory's administrator to lift the limit for this user, or sign in as a user without one."));
        return ADComputerImport::OtherFailure;
    default:
        modErrorHandler::ShowMessage(modErrorHandler::InternalError,
            QStringLiteral("Unexpected error ") + QString::number(outcome.Number) + QStringLiteral(" during AD import. ") + outcome.Text,
            QStringLiteral("ImportADSComputers"), outcome.Number);
        return ADComputerImport::OtherFailure;
    }
}

} // namespace

ADComputerImport::ADComputerImport(ClientFactory factory)
    : m_factory(std::move(factory))
{ }

int ADComputerImport::ImportADSComputers(
    const DirectoryClient::Server &server, bool test, ProgressBarLink *progress, std::vector<ComputerRecord> &records)
{
    records.clear();
    int result = OtherFailure;
    modErrorHandler::Guard("ImportADSComputers", [&] {
        ReadObserver observer(test ? nullptr : progress);
        std::unique_ptr<DirectoryClient> client = m_factory();
        DirectoryClient::Outcome outcome = client->Connect(server, observer);
        if (!outcome.ok()) {
            result = reportFailure(outcome);
            return;
        }
        if (!test && progress)
            progress->Start(0, 1000, QStringLiteral("Importing"), QStringLiteral("Importing computers..."), 0, true);

        std::vector<DirectoryClient::Computer> rows;
        // The table grows a thousand rows at a time, as the pages arrive.
        rows.reserve(1000);
        outcome = client->ReadComputers(test ? TestPageSize : PageSize, test, observer, rows);
        if (outcome.Result == DirectoryClient::Outcome::Cancelled) {
            result = Success;
            return;
        }
        if (!outcome.ok()) {
            result = reportFailure(outcome);
            return;
        }
        result = Success;
        if (test)
            return;
        records.reserve(rows.size());
        QStringList refused;
        for (DirectoryClient::Computer &row : rows) {
            ComputerRecord record;
            record.Name = std::move(row.Name);
            record.DNSName = std::move(row.DNSName);
            record.OU = modImportADS::ParseOUPath(row.ADsPath);
            record.DirectoryID = std::move(row.DirectoryID);
            if (const QString refusal = modImportADS::Refusal(record.Name, record.DNSName, record.OU); !refusal.isEmpty())
                refused.append(modImportADS::Shown(record.Name) + QStringLiteral(": ") + refusal + QLatin1Char('.'));
            else
                records.push_back(std::move(record));
        }
        if (!refused.isEmpty())
            showRefused(refused);
    });
    if (result != Success)
        records.clear();
    return result;
}

int ADComputerImport::AddADComputers(
    const DirectoryClient::Server &server, ComputerDB &database, ProgressBarLink *progress, bool test, bool allUsers)
{
    m_counts = {};
    m_withoutUsers.clear();
    m_renames.clear();
    std::vector<ComputerRecord> records;
    const int result = ImportADSComputers(server, test, progress, records);
    if (result != Success || records.empty())
        return result;
    return addRecords(records, database, progress, allUsers);
}

int ADComputerImport::addRecords(const std::vector<ComputerRecord> &records, ComputerDB &database, ProgressBarLink *progress, bool allUsers)
{
    int result = Success;
    modErrorHandler::Guard("AddADComputers", [&] {
        const int count = int(records.size());
        // Every ID a computer gets is kept, and a settings file keeps only so many.
        if (qint64(database.ComputerCount()) + count > modLimits::MaxNextID) {
            modErrorHandler::ShowMessage(modErrorHandler::Error,
                QStringLiteral("The directory holds %1 computers; with those of the database that is more than the %2 a settings "
                               "file keeps. Nothing was imported.")
                    .arg(count)
                    .arg(modLimits::MaxNextID));
            result = OtherFailure;
            return;
        }
        if (progress)
            progress->Start(0, count - 1, QStringLiteral("Importing"), QStringLiteral("Adding computers to DB..."));

        TreeDisplay *tree = nullptr;
        int computerIcon = ComputerDB::DefaultComputerIcon;
        int folderIcon = ComputerDB::DefaultFolderIcon;
        if (database.IsLinked() && count >= RebuildThreshold) {
            tree = database.LinkedTree();
            computerIcon = database.ComputerIcon();
            folderIcon = database.FolderIcon();
            database.UnlinkTreeView();
        }

        // What AddComputerRecOU does, with each unit path walked once instead
        // of once per computer: a directory keeps hundreds in one unit.
        QHash<QString, int> folders;
        const int computersBefore = database.ComputerCount();
        const int foldersBefore = database.FolderCount();
        // The computers the database has with a directory identity; the
        // directory writes a GUID in either case, so it is compared in lower case.
        QHash<QString, int> byDirectoryID;
        for (int id = 0; id < computersBefore; ++id) {
            const ComputerRecord *computer = database.Computers(id);
            if (computer && computer->Active && !computer->DirectoryID.isEmpty())
                byDirectoryID.insert(computer->DirectoryID.toLower(), id);
        }
        for (int index = 0; index < count; ++index) {
            const ComputerRecord &record = records[size_t(index)];
            int known = record.Name.isEmpty() ? -2 : database.FindComputer(record.Name);
            const QString identity = record.DirectoryID.toLower();
            const int holder = identity.isEmpty() ? -1 : byDirectoryID.value(identity, -1);
            if (known == -1 && holder >= 0 && renamed(database, holder, record.Name))
                known = holder;
            // A name the directory gives twice is no computer found already there.
            if (known >= 0 && known < computersBefore) {
                ++m_counts.AlreadyThere;
                // Two computers never share one identity: a computer of
                // the database that holds it already keeps it.
                if (!identity.isEmpty() && (holder == -1 || holder == known)) {
                    database.SetComputerDirectoryID(known, record.DirectoryID);
                    byDirectoryID.insert(identity, known);
                }
                const UserProfilesPtr list = database.GetComputerUserList(known);
                if (list && list->AllowAdd(kListAllUsers))
                    m_withoutUsers.push_back(known);
            } else if (known == -1) {
                auto folder = folders.constFind(record.OU);
                if (folder == folders.cend())
                    folder = folders.insert(record.OU, database.AddPath(record.OU));
                const int id = database.AddComputer(record.Name, record.DNSName, *folder, -1);
                ++m_counts.Computers;
                if (!identity.isEmpty() && holder == -1) {
                    database.SetComputerDirectoryID(id, record.DirectoryID);
                    byDirectoryID.insert(identity, id);
                }
                if (allUsers) {
                    const UserProfilesPtr list = database.GetComputerUserList(id);
                    if (!list)
                        result = NoUserList;
                    else if (!list->AllowAdd(kListAllUsers) || !list->AddAllUsers())
                        result = AllUsersRefused;
                }
            }
            if (progress && index % 100 == 0)
                progress->SetValue(index);
        }
        m_counts.Groups = database.FolderCount() - foldersBefore;

        if (tree) {
            // Down to the root, which the build expects to find alone.
            for (const QString &key : tree->childKeys(modGeneral::RootKey))
                tree->removeNode(key);
            if (progress) {
                ProgressLinkSink sink(*progress);
                database.LinkTreeView(tree, computerIcon, folderIcon, &sink);
            } else {
                database.LinkTreeView(tree, computerIcon, folderIcon, nullptr);
            }
        }
    });
    return result;
}

bool ADComputerImport::renamed(ComputerDB &database, int id, const QString &name)
{
    const QString old = database.GetComputerName(id);
    if (!database.RenameComputer(id, name))
        return false;
    ++m_counts.Renamed;
    if (m_renames.size() < kRenamesShown)
        m_renames.append(QStringLiteral("%1 is now %2").arg(modImportADS::Shown(old), modImportADS::Shown(name)));
    if (TreeDisplay *tree = database.LinkedTree(); tree && database.IsLinked())
        tree->setText(modGeneral::ComputerKey(id), name);
    return true;
}

QString ADComputerImport::CountsText() const
{
    const auto counted = [](int count, const char *one, const char *many) {
        return QString::number(count) + QLatin1Char(' ') + QLatin1String(count == 1 ? one : many);
    };
    QString text = QStringLiteral("Added %1 and %2; %3 already there.")
                       .arg(counted(m_counts.Computers, "computer", "computers"), counted(m_counts.Groups, "group", "groups"),
                           counted(m_counts.AlreadyThere, "computer was", "computers were"));
    if (m_counts.Renamed > 0) {
        text += QStringLiteral(" Renamed %1 as the directory names it now: %2")
                    .arg(counted(m_counts.Renamed, "computer", "computers"), m_renames.join(QStringLiteral(", ")));
        if (m_counts.Renamed > m_renames.size())
            text += QStringLiteral(" and %1 more").arg(m_counts.Renamed - m_renames.size());
        text += QLatin1Char('.');
    }
    return text;
}

int ADComputerImport::ReportAndOffer(ComputerDB &database, bool allUsers, QObject *owner)
{
    Presenter::Message message;
    message.owner = owner;
    message.caption = QStringLiteral("Import from Active Directory");
    message.text = CountsText();
    message.icon = Presenter::Icon::Information;
    if (!allUsers || m_withoutUsers.empty()) {
        Presenter::current().showMessage(message);
        return 0;
    }
    message.icon = Presenter::Icon::Question;
    message.buttons = Presenter::Buttons::YesNo;
    message.text += QStringLiteral("\r\r%1 of the computers already there %2 no user migration. Give them the all-users migration "
                                   "(\"*ALL\" to \"*ALL\") as well?")
                        .arg(m_withoutUsers.size())
                        .arg(m_withoutUsers.size() == 1 ? QStringLiteral("has") : QStringLiteral("have"));
    if (Presenter::current().showMessage(message) != Presenter::Yes)
        return 0;
    int given = 0;
    for (const int id : m_withoutUsers) {
        const UserProfilesPtr list = database.GetComputerUserList(id);
        if (list && list->AllowAdd(kListAllUsers) && list->AddAllUsers())
            ++given;
    }
    if (given > 0)
        AppState::Get().DatabaseChanged = true;
    return given;
}

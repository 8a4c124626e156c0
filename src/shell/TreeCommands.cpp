#include "shell/TreeCommands.h"

#include "common/AppState.h"
#include "common/Presenter.h"
#include "common/RunState.h"
#include "common/TreeImage.h"
#include "common/modErrorHandler.h"
#include "common/modFormat.h"
#include "common/modLimits.h"
#include "database/ComputerDB.h"
#include "database/EditStep.h"
#include "database/TreeDisplay.h"
#include "shell/TreeControl.h"

#include <QSet>

#include <climits>

using modErrorHandler::Guard;
using modErrorHandler::ShowMessage;
using modGeneral::RootKey;

namespace {

using Command = RunState::Command;

// What the run state lets the tree do now.
bool allowed(Command command)
{
    return RunState::instance().isEnabled(command);
}

bool IsRoot(const NodeInfo &node)
{
    return node.Valid && node.Type == NodeInfo::Folder && node.ID == -1;
}

// Runs `undo` when the scope ends, also when a guarded body fails half way.
template<typename Undo> class ScopeExit
{
public:
    explicit ScopeExit(Undo undo)
        : m_undo(std::move(undo))
    { }
    ~ScopeExit() { m_undo(); }
    ScopeExit(const ScopeExit &) = delete;
    ScopeExit &operator=(const ScopeExit &) = delete;

private:
    Undo m_undo;
};

} // namespace

TreeCommands::TreeCommands(ComputerDB &database, TreeDisplay &tree, TreeControl &control)
    : m_database(database)
    , m_tree(tree)
    , m_control(control)
{ }

void TreeCommands::SetLoadSelectedNode(std::function<void()> loadSelectedNode)
{
    m_loadSelectedNode = std::move(loadSelectedNode);
}

void TreeCommands::LoadSelectedNode()
{
    if (m_loadSelectedNode)
        m_loadSelectedNode();
}

// ---- set-up -------------------------------------------------------------------

void TreeCommands::InitializeTreeView()
{
    Guard("frmMain.InitializeTreeView", [&] {
        m_treeReady = true;
        ClearTreeView();
    });
}

void TreeCommands::ClearTreeView()
{
    Guard("frmMain.ClearTreeView", [&] {
        m_tree.clear();
        m_tree.addNode(QString(), TreeDisplay::Relation::LastChild, RootKey, QStringLiteral("All Computers"), TreeImage::FolderCustom);
        m_tree.setExpandedIcon(RootKey, TreeImage::FolderCustomOpen);
        m_control.setExpanded(RootKey, true);
        DefaultTVSelect();
    });
}

void TreeCommands::DefaultTVSelect()
{
    m_control.selectNode(RootKey);
    LoadSelectedNode();
}

void TreeCommands::mnuRefresh_Click()
{
    Guard("frmMain.mnuRefresh_Click", [&] {
        // During a run the tree shows each client's status, which a rebuild would wipe.
        if (!allowed(Command::Refresh))
            return;
        ClearTreeView();
        m_control.setWaitCursor(true);
        const ScopeExit restore([&] { m_control.setWaitCursor(false); });
        m_database.ReloadTreeView();
    });
}

void TreeCommands::ReloadComputerDatabase(ProgressSink *progress)
{
    Guard("frmMain.ReloadComputerDatabase", [&] {
        m_control.setLoading(true);
        const ScopeExit restore([&] { m_control.setLoading(false); });
        m_database.UnlinkTreeView();
        ClearTreeView();
        m_database.LinkTreeView(&m_tree, TreeImage::Computer, TreeImage::Folder, progress);
    });
    DefaultTVSelect();
}

NodeInfo TreeCommands::GetSelectedID() const
{
    return m_tree.GetNodeInfo(m_control.selectedKey());
}

// ---- editing ------------------------------------------------------------------

int TreeCommands::NewObjectParent() const
{
    const NodeInfo selected = GetSelectedID();
    if (!selected.Valid)
        return -1;
    if (selected.Type == NodeInfo::Folder)
        return selected.ID;
    int parentID = -1;
    QString parentType;
    m_database.GetObjectParent(QStringLiteral("C"), selected.ID, parentID, parentType);
    return parentID;
}

void TreeCommands::SelectAndRename(const QString &key)
{
    m_control.selectNode(key);
    LoadSelectedNode();
    RenameNode();
}

void TreeCommands::AddNewComputer()
{
    Guard("frmMain.AddNewComputer", [&] {
        if (!allowed(Command::NewComputer))
            return;
        const int parentID = NewObjectParent();
        // Computer names are unique across the whole tree, not per group.
        QString name;
        for (int n = 1;; ++n) {
            name = QStringLiteral("New Computer ") + QString::number(n);
            if (m_database.FindComputer(name) == -1)
                break;
        }
        // "New Computer 1" is no computer name Windows takes: it only holds
        // the place while the administrator types the real one, which the
        // label edit checks. One left as it is stops the run's check.
        int id = -1;
        {
            EditStep step(m_database, QStringLiteral("New Computer"));
            id = m_database.AddComputer(name, QString(), parentID, -1);
        }
        SelectAndRename(modGeneral::ComputerKey(id));
    });
}

void TreeCommands::AddNewFolder()
{
    Guard("frmMain.AddNewFolder", [&] {
        if (!allowed(Command::NewGroup))
            return;
        const int parentID = NewObjectParent();
        QString name;
        for (int n = 1;; ++n) {
            name = QStringLiteral("New Group ") + QString::number(n);
            if (m_database.FindFolder(name, parentID) == -1)
                break;
        }
        int id = -1;
        {
            EditStep step(m_database, QStringLiteral("New Group"));
            id = m_database.AddFolder(name, parentID);
        }
        SelectAndRename(modGeneral::FolderKey(id));
    });
}

void TreeCommands::RenameNode()
{
    if (!allowed(Command::Rename))
        return;
    const QString key = m_control.selectedKey();
    if (m_tree.GetNodeInfo(key).Valid)
        m_control.beginLabelEdit(key);
}

void TreeCommands::mnuTVRename_Click()
{
    Guard("frmMain.mnuTVRename_Click", [&] {
        if (!allowed(Command::Rename))
            return;
        const NodeInfo node = GetSelectedID();
        if (IsRoot(node))
            ShowMessage(modErrorHandler::Information, QStringLiteral("Can't rename root node."));
        else if (node.Valid)
            RenameNode();
    });
}

bool TreeCommands::CanEditLabel(const QString &key) const
{
    return allowed(Command::Rename) && key != RootKey && m_tree.GetNodeInfo(key).Valid;
}

void TreeCommands::DeleteSelectedNode()
{
    Guard("frmMain.DeleteSelectedNode", [&] {
        if (!allowed(Command::Delete))
            return;
        const QStringList selected = m_control.selectedKeys();
        for (const QString &key : selected) {
            if (IsRoot(m_tree.GetNodeInfo(key))) {
                ShowMessage(modErrorHandler::Information, QStringLiteral("Can't delete root node."));
                return;
            }
        }
        const QStringList keys = SelectedTopNodes();
        if (keys.isEmpty())
            return;

        Presenter::Message question;
        if (keys.size() == 1) {
            const bool folder = m_tree.GetNodeInfo(keys.first()).Type == NodeInfo::Folder;
            question.text = (folder ? QStringLiteral("Are you sure you'd like to delete the group '")
                                    : QStringLiteral("Are you sure you'd like to delete the computer '"))
                + m_tree.text(keys.first()) + QStringLiteral("'?");
        } else {
            // Several nodes go at once: the question counts everything that
            // goes with them, so that a group full of computers is no surprise.
            int computers = 0;
            int groups = 0;
            CountSubtrees(keys, computers, groups);
            const auto counted = [](int count, const char *one, const char *many) {
                return QString::number(count) + QLatin1Char(' ') + QString::fromLatin1(count == 1 ? one : many);
            };
            QStringList parts;
            if (groups > 0)
                parts.append(counted(groups, "group", "groups"));
            if (computers > 0)
                parts.append(counted(computers, "computer", "computers"));
            question.text = QStringLiteral("Are you sure you'd like to delete %1 selected nodes: %2 in all?")
                                .arg(keys.size())
                                .arg(parts.join(QStringLiteral(" and ")));
        }
        question.caption = QStringLiteral("Confirm Delete");
        question.icon = Presenter::Icon::Question;
        question.buttons = Presenter::Buttons::YesNo;
        // Either answer reloads the panel; the window's reload keeps edits
        // that are not saved yet.
        if (Presenter::current().showMessage(question) == Presenter::Yes) {
            EditStep step(m_database, keys.size() == 1 ? QStringLiteral("Delete '%1'").arg(m_tree.text(keys.first()))
                                                       : QStringLiteral("Delete %1 Nodes").arg(keys.size()));
            for (const QString &key : keys) {
                const NodeInfo node = m_tree.GetNodeInfo(key);
                if (!node.Valid)
                    continue;
                if (node.Type == NodeInfo::Folder)
                    m_database.RemoveFolder(node.ID);
                else
                    m_database.RemoveComputer(node.ID);
            }
        }
        LoadSelectedNode();
    });
}

QStringList TreeCommands::SelectedTopNodes() const
{
    const QStringList selected = m_control.selectedKeys();
    QSet<QString> chosen(selected.cbegin(), selected.cend());
    QStringList keys;
    for (const QString &key : selected) {
        const NodeInfo node = m_tree.GetNodeInfo(key);
        if (!node.Valid || IsRoot(node))
            continue;
        bool underChosen = false;
        for (QString up = m_tree.parentKey(key); !up.isEmpty() && !underChosen; up = m_tree.parentKey(up))
            underChosen = chosen.contains(up) && up != RootKey;
        if (!underChosen)
            keys.append(key);
    }
    return keys;
}

void TreeCommands::CountSubtrees(const QStringList &keys, int &computers, int &groups) const
{
    computers = 0;
    groups = 0;
    QStringList pending = keys;
    while (!pending.isEmpty()) {
        const QString key = pending.takeLast();
        if (modGeneral::ParseNodeKey(key).Type == NodeInfo::Computer) {
            ++computers;
            continue;
        }
        ++groups;
        for (QString child = m_tree.firstChildKey(key); !child.isEmpty(); child = m_tree.nextSiblingKey(child))
            pending.append(child);
    }
}

QList<std::pair<QString, QString>> TreeCommands::GroupPaths() const
{
    QList<std::pair<QString, QString>> groups {{m_tree.text(RootKey), RootKey}};
    // Depth first, each group after its parent, with the path of names below the root.
    QList<std::pair<QString, QString>> pending;
    const auto pushChildren = [&](const QString &key, const QString &path) {
        QList<std::pair<QString, QString>> children;
        for (QString child = m_tree.firstChildKey(key); !child.isEmpty(); child = m_tree.nextSiblingKey(child)) {
            if (modGeneral::ParseNodeKey(child).Type == NodeInfo::Folder)
                children.append({path.isEmpty() ? m_tree.text(child) : path + QLatin1Char('/') + m_tree.text(child), child});
        }
        for (auto it = children.crbegin(); it != children.crend(); ++it)
            pending.append(*it);
    };
    pushChildren(RootKey, QString());
    while (!pending.isEmpty()) {
        const auto group = pending.takeLast();
        groups.append(group);
        pushChildren(group.second, group.first);
    }
    return groups;
}

int TreeCommands::MoveNodes(const QStringList &keys, const QString &targetKey)
{
    int stayed = 0;
    const NodeInfo target = m_tree.GetNodeInfo(targetKey);
    EditStep step(m_database, keys.size() == 1 ? QStringLiteral("Move '%1'").arg(m_tree.text(keys.first()))
                                               : QStringLiteral("Move %1 Nodes").arg(keys.size()));
    for (const QString &key : keys) {
        if (!DropMoves(key, targetKey)) {
            ++stayed;
            continue;
        }
        const NodeInfo source = m_tree.GetNodeInfo(key);
        if (source.Type == NodeInfo::Folder)
            m_database.MoveFolder(source.ID, target.ID);
        else
            m_database.MoveComputer(source.ID, target.ID);
    }
    return stayed;
}

void TreeCommands::MoveSelectedNodes()
{
    Guard("frmMain.MoveSelectedNodes", [&] {
        if (!allowed(Command::Move))
            return;
        const QStringList keys = SelectedTopNodes();
        if (keys.isEmpty())
            return;
        const QList<std::pair<QString, QString>> groups = GroupPaths();
        Presenter::ChoiceRequest request;
        request.caption = QStringLiteral("Move To");
        request.text = keys.size() == 1 ? QStringLiteral("Move '%1' into the group:").arg(m_tree.text(keys.first()))
                                        : QStringLiteral("Move the %1 selected nodes into the group:").arg(keys.size());
        for (const auto &group : groups)
            request.items.append(group.first);
        const std::optional<int> chosen = Presenter::current().askChoice(request);
        if (!chosen || *chosen < 0 || *chosen >= groups.size())
            return;
        const QString &target = groups.at(*chosen).second;
        const int stayed = MoveNodes(keys, target);
        if (stayed > 0) {
            ShowMessage(modErrorHandler::Information,
                QStringLiteral("%1 of the selected nodes stayed where they were: a group cannot go into itself, into a group below "
                               "it, or into the group it is in already.")
                    .arg(stayed));
        }
        m_control.selectNode(keys.first());
        LoadSelectedNode();
    });
}

QList<int> TreeCommands::SelectedComputers() const
{
    QList<int> computers;
    QSet<int> seen;
    QSet<QString> visited;
    for (const QString &selected : m_control.selectedKeys()) {
        // Depth first, children in their order: the list reads like the tree.
        QStringList pending {selected};
        while (!pending.isEmpty()) {
            const QString key = pending.takeLast();
            if (visited.contains(key))
                continue;
            visited.insert(key);
            const NodeInfo node = modGeneral::ParseNodeKey(key);
            if (node.Type == NodeInfo::Computer) {
                if (!seen.contains(node.ID)) {
                    seen.insert(node.ID);
                    computers.append(node.ID);
                }
                continue;
            }
            QStringList children;
            for (QString child = m_tree.firstChildKey(key); !child.isEmpty(); child = m_tree.nextSiblingKey(child))
                children.prepend(child);
            pending.append(children);
        }
    }
    return computers;
}

int TreeCommands::SetWaveOfSelectedNodes()
{
    int changed = 0;
    Guard("frmMain.SetWaveOfSelectedNodes", [&] {
        const WaveList &waves = m_database.Waves();
        if (!allowed(Command::EditWaves) || waves.isEmpty())
            return;
        const QList<int> computers = SelectedComputersOrSay();
        if (computers.isEmpty())
            return;
        Presenter::ChoiceRequest request;
        request.caption = QStringLiteral("Set Wave");
        request.text = computers.size() == 1 ? QStringLiteral("Put '%1' in the wave:").arg(m_database.GetComputerName(computers.first()))
                                             : QStringLiteral("Put the %1 computers of the selection in the wave:").arg(computers.size());
        for (const WaveRecord &wave : waves.all())
            request.items.append(wave.Name);
        request.items.append(QStringLiteral("(no wave)"));
        const ComputerRecord *first = m_database.Computers(computers.first());
        const int current = first ? waves.indexOf(first->Wave) : -1;
        request.current = current < 0 ? waves.size() : current;
        const std::optional<int> chosen = Presenter::current().askChoice(request);
        if (!chosen || *chosen < 0 || *chosen > waves.size())
            return;
        const QString wave = *chosen < waves.size() ? waves.at(*chosen).Name : QString();
        const QString where = wave.isEmpty() ? QStringLiteral("in no wave") : QStringLiteral("in wave \"%1\"").arg(wave);

        QList<int> moving;
        for (const int id : computers) {
            const ComputerRecord *computer = m_database.Computers(id);
            if (computer && computer->Wave != wave)
                moving.append(id);
        }
        if (moving.isEmpty()) {
            ShowMessage(modErrorHandler::Information,
                computers.size() == 1 ? QStringLiteral("The computer is %1 already.").arg(where)
                                      : QStringLiteral("The %1 computers are %2 already.").arg(computers.size()).arg(where));
            return;
        }
        if (moving.size() > 1) {
            Presenter::Message question;
            question.caption = QStringLiteral("Set Wave");
            question.text = (wave.isEmpty() ? QStringLiteral("Put %1 computers in no wave?").arg(moving.size())
                                            : QStringLiteral("Give %1 computers to wave \"%2\"?").arg(moving.size()).arg(wave))
                + (moving.size() < computers.size()
                        ? QStringLiteral("  The selection has %1 computers; %2 of them %3 there already.")
                              .arg(computers.size())
                              .arg(computers.size() - moving.size())
                              .arg(computers.size() - moving.size() == 1 ? QStringLiteral("is") : QStringLiteral("are"))
                        : QString());
            question.icon = Presenter::Icon::Question;
            question.buttons = Presenter::Buttons::YesNo;
            if (Presenter::current().showMessage(question) != Presenter::Yes)
                return;
        }
        EditStep step(m_database, moving.size() == 1 ? QStringLiteral("Set Wave of '%1'").arg(m_database.GetComputerName(moving.first()))
                                                     : QStringLiteral("Set Wave of %1 Computers").arg(moving.size()));
        for (const int id : std::as_const(moving)) {
            if (m_database.SetComputerWave(id, wave))
                ++changed;
        }
    });
    return changed;
}

namespace {

QString computersText(int count)
{
    return count == 1 ? QStringLiteral("1 computer") : QStringLiteral("%1 computers").arg(count);
}

// Yes to an edit of `count` computers; `rest` of the selection stay as they are, for `why`.
bool confirmBulk(const QString &caption, const QString &question, int count, int rest, const QString &why)
{
    Presenter::Message message;
    message.caption = caption;
    message.text = question.arg(computersText(count))
        + (rest > 0 ? QStringLiteral("  %1 of the selection %2 left as %3: %4.")
                          .arg(computersText(rest), rest == 1 ? QStringLiteral("is") : QStringLiteral("are"),
                              rest == 1 ? QStringLiteral("it is") : QStringLiteral("they are"), why)
                    : QString());
    message.icon = Presenter::Icon::Question;
    message.buttons = Presenter::Buttons::YesNo;
    return Presenter::current().showMessage(message) == Presenter::Yes;
}

// What each edit of many computers asks, and says of the computers it leaves alone.
struct BulkWords
{
    const char *caption;
    const char *question; // %1: how many computers
    const char *why;
};

const BulkWords &bulkWords(TreeCommands::BulkEdit edit)
{
    // In the order of TreeCommands::BulkEdit.
    static const BulkWords words[] = {
        {"Give Own Settings", "Give %1 settings of their own, each a copy of the settings it inherits now?", "own settings already"},
        {"Inherit Settings", "Remove the own settings of %1, so that they inherit from their groups again?", "inheriting already"},
        {"Add All Users", "Give %1 the migration of all users (\"*ALL\" to \"*ALL\")?", "other migrations, or all users, already"},
        {"Enable Computers", "Enable %1, so that validation and the next migration take them again?", "enabled already"},
        {"Disable Computers",
            "Disable %1? They keep their settings and users, but validation and every migration leave them out until they are "
            "enabled again.",
            "disabled already"},
    };
    return words[static_cast<int>(edit)];
}

} // namespace

QList<int> TreeCommands::SelectedComputersOrSay() const
{
    const QList<int> computers = SelectedComputers();
    if (computers.isEmpty())
        ShowMessage(modErrorHandler::Information, QStringLiteral("No computer is selected, and no group with computers in it."));
    return computers;
}

int TreeCommands::EditSelectedComputers(BulkEdit edit)
{
    int changed = 0;
    Guard("frmMain.EditSelectedComputers", [&] {
        if (!allowed(Command::EditSettings))
            return;
        const QList<int> computers = SelectedComputersOrSay();
        if (computers.isEmpty())
            return;
        const QString computer = QStringLiteral("C");
        QList<int> chosen;
        for (const int id : computers) {
            const bool own = static_cast<bool>(m_database.GetSettings(computer, id));
            const UserProfilesPtr list = m_database.GetComputerUserList(id);
            const bool enabled = m_database.Computers(id)->Enabled;
            if ((edit == BulkEdit::GiveOwnSettings && !own) || (edit == BulkEdit::InheritSettings && own)
                || (edit == BulkEdit::AddAllUsers && list && list->AllowAdd(ListAllUsers)) || (edit == BulkEdit::Enable && !enabled)
                || (edit == BulkEdit::Disable && enabled))
                chosen.append(id);
        }
        const int rest = int(computers.size() - chosen.size());
        const BulkWords &words = bulkWords(edit);
        const QString caption = QLatin1String(words.caption);
        const QString question = QLatin1String(words.question);
        const QString why = QLatin1String(words.why);
        if (chosen.isEmpty()) {
            ShowMessage(modErrorHandler::Information,
                QStringLiteral("Nothing to change for the %1 of the selection: %2.").arg(computersText(int(computers.size())), why));
            return;
        }
        if (!confirmBulk(caption, question, int(chosen.size()), rest, why))
            return;
        EditStep step(m_database, QStringLiteral("%1 (%2)").arg(caption, computersText(int(chosen.size()))));
        for (const int id : std::as_const(chosen)) {
            if (edit == BulkEdit::GiveOwnSettings) {
                QString source;
                if (const GlobalSettingsPtr effective = m_database.GetEffectiveSettings(computer, id, source)) {
                    // Each its own copy: a shared record would change them all at once.
                    const GlobalSettingsPtr copy = effective->Clone();
                    copy->Valid = true;
                    changed += m_database.AddSettings(copy, id, computer) ? 1 : 0;
                }
            } else if (edit == BulkEdit::InheritSettings) {
                changed += m_database.RemoveSettings(id, computer) ? 1 : 0;
            } else if (edit == BulkEdit::Enable || edit == BulkEdit::Disable) {
                changed += m_database.SetComputerEnabled(id, edit == BulkEdit::Enable) ? 1 : 0;
            } else if (const UserProfilesPtr list = m_database.GetComputerUserList(id)) {
                changed += list->AddAllUsers() ? 1 : 0;
            }
        }
        if (changed > 0)
            AppState::Get().DatabaseChanged = true;
        LoadSelectedNode();
    });
    return changed;
}

int TreeCommands::SetSettingsOfSelection(const std::function<GlobalSettingsPtr(const GlobalSettings &start, int count)> &edit)
{
    int changed = 0;
    Guard("frmMain.SetSettingsOfSelection", [&] {
        if (!allowed(Command::EditSettings))
            return;
        const QList<int> computers = SelectedComputersOrSay();
        if (computers.isEmpty())
            return;
        const QString computer = QStringLiteral("C");
        QString source;
        const GlobalSettingsPtr start = m_database.GetEffectiveSettings(computer, computers.first(), source);
        if (!start)
            return;
        const GlobalSettingsPtr chosen = edit(*start, int(computers.size()));
        if (!chosen)
            return;
        if (!confirmBulk(QStringLiteral("Set Settings"), QStringLiteral("Give %1 these settings, each its own copy?"),
                int(computers.size()), 0, QString()))
            return;
        EditStep step(m_database, QStringLiteral("Set Settings (%1)").arg(computersText(int(computers.size()))));
        for (const int id : computers) {
            // Each its own copy: a shared record would change them all at once.
            const GlobalSettingsPtr copy = chosen->Clone();
            copy->Valid = true;
            changed += m_database.AddSettings(copy, id, computer) ? 1 : 0;
        }
        if (changed > 0)
            AppState::Get().DatabaseChanged = true;
        LoadSelectedNode();
    });
    return changed;
}

int TreeCommands::AddUserMigrationsToSelection(const std::function<void(const UserProfilesPtr &)> &fill)
{
    int changed = 0;
    Guard("frmMain.AddUserMigrationsToSelection", [&] {
        if (!allowed(Command::EditSettings))
            return;
        const QList<int> computers = SelectedComputersOrSay();
        if (computers.isEmpty())
            return;
        const UserProfilesPtr migrations = UserProfiles::create();
        fill(migrations);
        std::vector<MigrationUsers> entries;
        for (int id = 0; id < migrations->GetMaxID(); ++id) {
            if (std::optional<MigrationUsers> entry = migrations->GetUser(id))
                entries.push_back(*entry);
        }
        if (entries.empty())
            return;
        const int type = migrations->GetType();
        QList<int> chosen;
        for (const int id : computers) {
            const UserProfilesPtr list = m_database.GetComputerUserList(id);
            if (list && list->AllowAdd(type))
                chosen.append(id);
        }
        const int rest = int(computers.size() - chosen.size());
        const QString why = QStringLiteral("migrations of another kind, or all users, already");
        if (chosen.isEmpty()) {
            ShowMessage(modErrorHandler::Information,
                QStringLiteral("Nothing to change for the %1 of the selection: %2.").arg(computersText(int(computers.size())), why));
            return;
        }
        const QString question = entries.size() == 1 ? QStringLiteral("Give %1 the user migration you wrote?")
                                                     : QStringLiteral("Give %1 the %2 user migrations you wrote?").arg(QStringLiteral("%1")).arg(entries.size());
        if (!confirmBulk(QStringLiteral("Add User Migration"), question, int(chosen.size()), rest, why))
            return;
        EditStep step(m_database, QStringLiteral("Add User Migration (%1)").arg(computersText(int(chosen.size()))));
        for (const int id : std::as_const(chosen)) {
            const UserProfilesPtr list = m_database.GetComputerUserList(id);
            bool added = false;
            for (const MigrationUsers &entry : entries) {
                // A destination the list gives a profile already is left out there.
                if (type == ListAllUsers)
                    added |= list->AddAllUsers();
                else if (entry.UseSIDFrom)
                    added |= list->AddSIDToUser(entry.SIDFrom, entry.UsernameTo);
                else
                    added |= list->AddUserToUser(entry.UsernameFrom, entry.UsernameTo);
            }
            changed += added ? 1 : 0;
        }
        if (changed > 0)
            AppState::Get().DatabaseChanged = true;
        LoadSelectedNode();
    });
    return changed;
}

QString TreeCommands::NodeToolTip(const QString &key) const
{
    const NodeInfo node = modGeneral::ParseNodeKey(key);
    if (node.Type != NodeInfo::Computer)
        return {};
    const ComputerRecord *computer = m_database.Computers(node.ID);
    if (!computer || !computer->Active)
        return {};
    return computer->Name + QLatin1Char('\n')
        + (computer->Wave.isEmpty() ? QStringLiteral("In no wave") : QStringLiteral("Wave: ") + computer->Wave);
}

// ---- handlers -----------------------------------------------------------------

bool TreeCommands::tvMain_AfterLabelEdit(const QString &key, const QString &newText)
{
    bool renamed = false;
    Guard("frmMain.tvMain_AfterLabelEdit", [&] {
        if (!allowed(Command::Rename))
            return;
        if (newText.isEmpty()) {
            ShowMessage(modErrorHandler::Information, QStringLiteral("You must provide a name for this object."));
            return;
        }
        const NodeInfo node = m_tree.GetNodeInfo(key);
        if (!node.Valid) {
            ShowMessage(modErrorHandler::InternalError, QStringLiteral("Attempting to load the selected object failed."),
                QStringLiteral("frmMain.AfterLabelEdit"));
            return;
        }
        if (IsRoot(node))
            return;
        if (node.Type == NodeInfo::Computer && !modFormat::IsValidComputerName(newText)) {
            ShowMessage(modErrorHandler::Information,
                QStringLiteral("The specified name is not a valid computer name: it may have at most 15 characters, "
                               "letters, digits, hyphens and underscores, and not only digits. Please try again."));
            return;
        }
        if (!modLimits::TextFits(newText)) {
            ShowMessage(modErrorHandler::Information,
                QStringLiteral("The specified name is longer than %1 bytes, more than a settings file keeps. Please try again.")
                    .arg(modLimits::MaxTextBytes));
            return;
        }
        EditStep step(m_database, QStringLiteral("Rename '%1' to '%2'").arg(m_tree.text(key), newText));
        const bool taken
            = node.Type == NodeInfo::Folder ? m_database.RenameFolder(node.ID, newText) : m_database.RenameComputer(node.ID, newText);
        if (!taken) {
            ShowMessage(modErrorHandler::Information, QStringLiteral("The specified name already exists. Please try again."));
            return;
        }
        // The node stays where it is: jumping away under the pointer would
        // lose the administrator's place among its siblings.
        m_tree.setText(key, newText);
        renamed = true;
        LoadSelectedNode();
    });
    return renamed;
}

void TreeCommands::tvMain_NodeClick()
{
    Guard("frmMain.tvMain_NodeClick", [&] {
        if (m_treeReady)
            LoadSelectedNode();
    });
}

void TreeCommands::tvMain_Expand(const QString &key)
{
    // Computers never open; a view that expands everything at once marks
    // them too, and they must keep their pictures.
    const int icon = m_tree.icon(key);
    if (icon > 1 && modGeneral::ParseNodeKey(key).Type == NodeInfo::Folder)
        m_tree.setExpandedIcon(key, icon - 1);
}

void TreeCommands::tvMain_KeyDown(int keyCode)
{
    // Rename and delete ask the run state themselves.
    Guard("frmMain.tvMain_KeyDown", [&] {
        if (keyCode == KeyF2) {
            const NodeInfo node = GetSelectedID();
            if (node.Valid && !IsRoot(node))
                RenameNode();
        } else if (keyCode == KeyDelete) {
            DeleteSelectedNode();
        }
    });
}

void TreeCommands::tvMain_MouseDown(const QString &key)
{
    m_mouseDownKey = key;
    const QStringList selected = m_control.selectedKeys();
    m_dragKeys = selected.size() > 1 && selected.contains(key) ? SelectedTopNodes() : QStringList {key};
    m_mouseMoves = 0;
    m_dragStarted = false;
}

bool TreeCommands::tvMain_MouseMove(bool leftButtonDown)
{
    if (!leftButtonDown) {
        DragEnded();
        return false;
    }
    if (m_mouseMoves < INT_MAX)
        ++m_mouseMoves;
    if (m_mouseMoves < DragThreshold || m_dragStarted || !allowed(Command::Move))
        return false;
    // The root never moves, so dragging it would only promise what no drop keeps.
    const NodeInfo source = m_tree.GetNodeInfo(m_mouseDownKey);
    if (!source.Valid || IsRoot(source))
        return false;
    m_dragStarted = true;
    return true;
}

int TreeCommands::DragImage() const
{
    return modGeneral::ParseNodeKey(m_mouseDownKey).Type == NodeInfo::Computer ? TreeImage::DragComputer : TreeImage::DragFolder;
}

bool TreeCommands::DropMoves(const QString &sourceKey, const QString &targetKey) const
{
    const NodeInfo source = m_tree.GetNodeInfo(sourceKey);
    const NodeInfo target = m_tree.GetNodeInfo(targetKey);
    if (!source.Valid || !target.Valid || sourceKey == targetKey || target.Type != NodeInfo::Folder)
        return false;

    // A computer dropped on its own group is a move like any other: to the
    // end of the group's list. Only a group refuses the parent it has.
    if (source.Type == NodeInfo::Computer)
        return true;
    int parentID = -1;
    QString parentType;
    m_database.GetObjectParent(QStringLiteral("F"), source.ID, parentID, parentType);
    if (parentID == target.ID || source.ID < 0)
        return false;
    // Not into its own subtree. The step limit only guards a damaged parent chain.
    int up = target.ID;
    for (int steps = 0; up != -1 && steps <= m_database.FolderCount(); ++steps) {
        if (up == source.ID)
            return false;
        m_database.GetObjectParent(QStringLiteral("F"), up, up, parentType);
    }
    return true;
}

bool TreeCommands::tvMain_DragOver(const QString &key)
{
    if (!allowed(Command::Move)) {
        m_dropTargetKey.clear();
        m_control.setDropHighlight(QString());
        return false;
    }
    m_dropTargetKey = key;
    m_control.setDropHighlight(key);
    for (const QString &source : std::as_const(m_dragKeys)) {
        if (DropMoves(source, key))
            return true;
    }
    return false;
}

void TreeCommands::tvMain_DragDrop()
{
    Guard("frmMain.tvMain_DragDrop", [&] {
        if (!allowed(Command::Move) || !m_dragStarted)
            return;
        // A drop on a computer, on the node itself, below itself or a group
        // on its own parent moves nothing; of several nodes, those that may
        // go there go.
        MoveNodes(m_dragKeys, m_dropTargetKey);
    });
    m_dropTargetKey.clear();
    m_control.setDropHighlight(QString());
}

void TreeCommands::DragEnded()
{
    m_mouseMoves = 0;
    m_dragStarted = false;
    m_dropTargetKey.clear();
    m_control.setDropHighlight(QString());
}

TreePopup TreeCommands::tvMain_RightClick(const QString &key)
{
    TreePopup popup;
    Guard("frmMain.tvMain_MouseDown", [&] {
        const NodeInfo node = m_tree.GetNodeInfo(key);
        if (!node.Valid)
            return;
        popup.Key = key;
        const QStringList selected = m_control.selectedKeys();
        const bool several = selected.size() > 1 && selected.contains(key);
        const bool movable = several ? !SelectedTopNodes().isEmpty() : !IsRoot(node);
        popup.DeleteEnabled = allowed(Command::Delete) && movable;
        popup.MoveEnabled = allowed(Command::Move) && movable;
        popup.RenameEnabled = allowed(Command::Rename) && movable && !several;
        popup.ComputerNode = node.Type == NodeInfo::Computer;

        // The panel follows the selection, so that what the menu acts on is
        // also what the panel shows.
        const bool changed = m_control.selectedKey() != key;
        m_control.selectNode(key);
        if (changed && m_treeReady)
            LoadSelectedNode();

        popup.Show = allowed(Command::TreePopup);
    });
    return popup;
}

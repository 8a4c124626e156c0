#pragma once

#include "settings/GlobalSettings.h"

#include <QString>

#include <functional>

class ComputerDB;

// Opening the account editors (the authentication wizard, the password
// dialog) on a node of the tree. They set accounts on the node's own record;
// a node that inherits gets its own copy first, once the administrator
// agrees, because from then on it no longer follows its parent.
namespace modAccountsOpening {

// The guide's page on inheritance, which the question's Help button opens.
inline const QString InheritanceHelpPage = QStringLiteral("tree-and-inheritance.html");

enum class Purpose {
    AuthWizard,
    ChangePasswords,
};

// The question for a group ("F") or a computer ("C") that inherits from `sourceName`.
QString InheritanceQuestion(const QString &objectType, const QString &sourceName, Purpose purpose);

// The text of the node a tree key names, as the tree shows it.
QString NodeName(const ComputerDB &db, const QString &key);

// The record the editor works on: the node's own, the global one for the
// root. For a node that inherits, the question is asked; on Yes
// `cloneAtThisLevel` gives the node its own copy and that is returned; on No
// the result is null.
GlobalSettingsPtr RecordForAccounts(
    const ComputerDB &db, const QString &objectType, int id, Purpose purpose, const std::function<GlobalSettingsPtr()> &cloneAtThisLevel);

// Runs a modal editor on `record`. The record is not Valid while the editor
// is open, and an editor that confirms makes it Valid again; however the
// editor closes otherwise (Cancel, the window's close button, a failure),
// the record is Valid afterwards. True when the editor confirmed.
bool RunEditor(GlobalSettings &record, const char *procedureName, const std::function<void()> &runModal);

} // namespace modAccountsOpening

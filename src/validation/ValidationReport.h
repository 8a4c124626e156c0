#pragma once

#include "validation/JobValidator.h"

#include <QString>
#include <QStringList>

class ComputerDB;

// What the start command shows for a validation result: the message, whether
// the administrator may ignore it, the settings tab and field to show, and
// the tree node to select. The main window only carries it out; `vo
// validate` and `vo run` print it.
struct ValidationReport
{
    // Pages of the settings panel.
    enum class Tab {
        None, // no change of page
        Authentication,
        Domains, // source and destination domains
        DomainJoin,
        Options,
    };

    int Code = 0;
    bool Passed = true;
    // Offered with "Ignore All", "Ignore Once" and "Cancel" instead of OK.
    bool Warning = false;
    // The text of the code alone, lines joined with CR.
    QString SpecificText;
    // The whole message: the header line, the inheritance line when it
    // applies, then the specific text.
    QString Message;
    Tab SettingsTab = Tab::None;
    // Object names of the panel controls to focus, in order: the first one
    // that can take the focus gets it. Empty: no field.
    QStringList Fields;
    // The node to select in the tree: the computer for faults in its user
    // list (and for its name), the owner of the settings record otherwise.
    QString NodeToShow;

    // `computerText` and `sourceText` are the tree texts of the computer's
    // node and of the settings source.
    static ValidationReport Build(const ValidationResult &result, const QString &computerText, const QString &sourceText);
    // With the tree texts the database gives its nodes.
    static ValidationReport Build(const ValidationResult &result, const ComputerDB &database);

    // `character` is the refused character of the codes of unreadable texts.
    static QString TextFor(int code, const QString &character = QString());
    static bool IsWarning(int code);
    // The node's text as the tree shows it: the computer's or the group's
    // name, "All Computers" for the root.
    static QString NodeText(const ComputerDB &database, const QString &nodeKey);
    // A character as a message names it: 'é' (U+00E9), or U+000A alone for
    // one that cannot be shown.
    static QString DescribeCharacter(const QString &character);

    // The end of the texts of codes 8, 16 and 114.
    static const QString IgnoreQuestion;
    // The buttons of a warning, in order; any but the last one goes on.
    static QStringList WarningButtons();
};

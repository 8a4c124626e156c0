#pragma once

#include "database/StackInt.h"
#include "settings/GlobalSettings.h"
#include "settings/sections/ContextSection.h"
#include "settings/sections/JoinSection.h"
#include "settings/sections/OptionsSection.h"

#include <QObject>
#include <QString>
#include <QStringList>

class ComputerDB;

// The easy setup wizard without its window: nine pages that fill one
// settings record for a whole migration, the order they come in, the check
// of each page and what each stores in the working copy.
//
// The pages of contexts, join and options are the sections the settings
// panel shows; the wizard loads them from its working copy and pins the
// boxes that the kind of migration decides. Previous goes back to the page
// actually shown before (a history of pages, unlike the authentication
// wizard, which walks its questions again): nothing is checked or stored on
// the way back.
//
// Nothing reaches the linked record before Finish; Cancel leaves it not
// Valid, which tells the opener to change nothing. The form shows the
// current page after pageChanged() and closes on closeRequested().
class SetupWizardModel final : public QObject
{
    Q_OBJECT

public:
    enum Page : int {
        WelcomePage = 0,
        ActionPage = 1,
        MigrationPage = 2,
        ContextPage = 3,
        JoinPage = 4,
        OptionsPage = 5,
        ImportPage = 6,
        AccountsPage = 7,
        FinishPage = 8,
    };
    static constexpr int PageCount = 9;
    static constexpr int NoChoice = -1;

    static inline const QString Caption = QStringLiteral("Easy Setup Wizard");
    static inline const QString ImportantTitle = QStringLiteral("IMPORTANT:");
    static inline const QString ImportantText
        = QStringLiteral("The Easy Setup Wizard will remove all current computer and group settings.  ")
        + QStringLiteral("Should you wish to retain the current settings, please Cancel and save before proceeding.");
    static inline const QString NotLinkedText = QStringLiteral("The data required for the wizard has not been linked.");
    static inline const QString NextCaption = QStringLiteral("&Next >>");
    static inline const QString FinishCaption = QStringLiteral("&Finish");
    static inline const QString PreviousCaption = QStringLiteral("<< &Previous");

    explicit SetupWizardModel(QObject *parent = nullptr);

    // The record Finish fills, and the database the import pages add to.
    // The wizard works on a copy of the record until Finish.
    void LinkData(const GlobalSettingsPtr &record, ComputerDB *database);
    bool isLinked() const { return m_linked; }
    ComputerDB *database() const { return m_database; }
    GlobalSettingsPtr workingCopy() const { return m_working; }

    // ---- commands ------------------------------------------------------------
    void cmdNext_Click();
    void cmdPrevious_Click();
    void cmdCancel_Click();

    // ---- the page shown ------------------------------------------------------
    int CurrentPage() const { return m_page; }
    // Pages shown before the current one, the last on top.
    const StackInt &history() const { return m_history; }
    bool previousEnabled() const { return m_page != WelcomePage; }
    QString nextCaption() const { return m_page == FinishPage ? FinishCaption : NextCaption; }
    // The heading and the explanation above a page's controls.
    static QString PageTitle(int page);
    static QString PageText(int page);

    // The page after `page` for an action type.
    static int NextPage(int page, int actionType);
    // Every page from the welcome page to Finish for an action type.
    static QList<int> PagePath(int actionType);

    // Pages 1 and 2: the captions of the options (each with an access key)
    // and the option chosen, NoChoice for none.
    static QStringList ActionCaptions();
    static QStringList MigrationCaptions();
    int actionChoice() const { return m_actionChoice; }
    int migrationChoice() const { return m_migrationChoice; }
    void chooseAction(int option) { m_actionChoice = option; }
    void chooseMigration(int option) { m_migrationChoice = option; }

    // Pages 3, 4 and 5, as the panel's sections.
    ContextSection &source() { return m_source; }
    ContextSection &destination() { return m_destination; }
    JoinSection &join() { return m_join; }
    OptionsSection &options() { return m_options; }

    // The finish page: what Finish will set, a line per setting ("Join:
    // workgroup WG", "Administrator A: CORP\admin"), in the administrator's words.
    QStringList SummaryLines() const;

    bool isClosed() const { return m_closed; }
    bool isFinished() const { return m_finished; }

    // ---- the named steps -------------------------------------------------------
    // Checks the current page and stores it in the working copy; on a fault
    // tells the administrator, asks for the focus on the field and keeps the page.
    bool SaveFormData();
    // Fills the current page from the working copy.
    void LoadFormData();

    // The opener's part once the wizard has closed: a record that came back
    // Valid replaces every setting of the database as its global settings.
    // True when it did.
    static bool ApplyResult(ComputerDB &database, const GlobalSettingsPtr &record);

Q_SIGNALS:
    void pageChanged();
    // The name of the control a check sends the administrator to.
    void focusRequested(const QString &controlName);
    // Finish or Cancel: the window closes.
    void closeRequested();

private:
    void ShowCurrentFrame();
    void LoadContextFields();
    void LockRebootOptions();
    void LockProfileOptions();
    bool SaveContexts();
    bool SaveJoin();
    bool refuse(const QString &message, const QString &controlName);
    void lookup(SettingsSection &section, int nameControl, int addressControl);
    void close();

    GlobalSettingsPtr m_record;
    GlobalSettingsPtr m_working;
    ComputerDB *m_database = nullptr;
    bool m_linked = false;
    int m_page = WelcomePage;
    StackInt m_history;
    int m_actionChoice = NoChoice;
    int m_migrationChoice = NoChoice;
    ContextSection m_source {ContextSection::Side::Source};
    ContextSection m_destination {ContextSection::Side::Destination};
    JoinSection m_join {JoinSection::Style::Choice};
    OptionsSection m_options;
    bool m_closed = false;
    bool m_finished = false;
};

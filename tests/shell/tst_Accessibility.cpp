#include "MainWindowFixture.h"
#include "support/Mnemonics.h"

#include "common/widgets/frmProgress.h"
#include "config/forms/frmConfiguration.h"
#include "database/WaveList.h"
#include "job/RunTreeStatus.h"
#include "import/forms/frmImportADS.h"
#include "import/forms/frmImportUsers.h"
#include "import/forms/frmShowLog.h"
#include "shell/forms/frmAbout.h"
#include "shell/forms/frmMigJobName.h"
#include "shell/forms/frmRollback.h"
#include "shell/forms/frmSetSettings.h"
#include "shell/forms/frmWaveEdit.h"
#include "shell/forms/frmWaves.h"
#include "shell/forms/frmWelcome.h"
#include "wizards/forms/frmAddMigration.h"
#include "wizards/forms/frmAuthManual.h"
#include "wizards/forms/frmAuthPassword.h"
#include "wizards/forms/frmAuthWizard.h"
#include "wizards/forms/frmSetupWizard.h"

#include <QAccessible>
#include <QApplication>
#include <QDialog>
#include <QMenu>
#include <QButtonGroup>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTabWidget>

#include <functional>

using Factory = std::function<std::unique_ptr<QWidget>(frmMain &)>;
Q_DECLARE_METATYPE(Factory)

namespace {

// Menu captions the console's design gives without an Alt letter.
const QStringList kOwnCaptions {"Cancel Migration", "Abort Migration...", "(None)", "No Transferor Logs Found"};

QString nameOf(QWidget *widget)
{
    QAccessibleInterface *face = QAccessible::queryAccessibleInterface(widget);
    return face ? face->text(QAccessible::Name).trimmed() : QString();
}

QString describe(const QWidget *widget)
{
    return QStringLiteral("%1 \"%2\"").arg(QString::fromLatin1(widget->metaObject()->className()), widget->objectName());
}

// The controls the keyboard can reach; a control whose focus goes to
// another (a spin box's text field) is counted as that other one.
QList<QWidget *> focusable(QWidget &window, bool shownOnly)
{
    QList<QWidget *> found;
    for (QWidget *widget : window.findChildren<QWidget *>()) {
        if (widget->window() != &window || widget->focusProxy() || !(widget->focusPolicy() & Qt::TabFocus))
            continue;
        if (!shownOnly || (widget->isVisible() && widget->isEnabled()))
            found.append(widget);
    }
    return found;
}

// Every page a window can show: each page of its stacks and tabs in turn,
// the others as they are. `look` is called once per page.
void forEachPage(QWidget &window, const std::function<void(const QString &page)> &look)
{
    look(QStringLiteral("first page"));
    for (QStackedWidget *stack : window.findChildren<QStackedWidget *>()) {
        if (stack->window() != &window || qobject_cast<QTabWidget *>(stack->parentWidget()))
            continue;
        const int before = stack->currentIndex();
        for (int i = 0; i < stack->count(); ++i) {
            stack->setCurrentIndex(i);
            look(describe(stack) + QStringLiteral(" page ") + QString::number(i));
        }
        stack->setCurrentIndex(before);
    }
    for (QTabWidget *tabs : window.findChildren<QTabWidget *>()) {
        const int before = tabs->currentIndex();
        for (int i = 0; i < tabs->count(); ++i) {
            tabs->setCurrentIndex(i);
            look(describe(tabs) + QStringLiteral(" tab ") + tabs->tabText(i));
        }
        tabs->setCurrentIndex(before);
    }
}

// What a screen reader and the keyboard find wrong with a window: a
// control without a name, a dialog without a default button, an Alt letter
// that leads to two places.
QStringList accessibilityProblems(QWidget &window)
{
    QStringList found;
    if (nameOf(&window).isEmpty())
        found.append(QStringLiteral("the window has no name"));
    // "..." or a cross is no name for a button.
    const auto says = [](const QString &name) { return std::any_of(name.begin(), name.end(), [](QChar c) { return c.isLetterOrNumber(); }); };
    for (QWidget *widget : focusable(window, false)) {
        if (!says(nameOf(widget)))
            found.append(describe(widget) + QStringLiteral(" has no accessible name: \"") + nameOf(widget) + QLatin1Char('"'));
    }
    if (qobject_cast<QDialog *>(&window)) {
        const QList<QPushButton *> buttons = window.findChildren<QPushButton *>();
        if (std::none_of(buttons.begin(), buttons.end(), [](const QPushButton *button) { return button->isDefault(); }))
            found.append(QStringLiteral("no default button"));
    }
    for (QMenu *menu : window.findChildren<QMenu *>()) {
        Q_EMIT menu->aboutToShow();
        QStringList texts;
        for (const QAction *action : menu->actions()) {
            if (action->isSeparator() || !action->isVisible())
                continue;
            if (Mnemonics::of(action->text()).isNull() && !kOwnCaptions.contains(action->text()))
                found.append(menu->objectName() + QStringLiteral(": \"") + action->text() + QStringLiteral("\" has no Alt letter"));
            texts.append(action->text());
        }
        for (const QString &clash : Mnemonics::clashes(texts))
            found.append(menu->objectName() + QStringLiteral(": ") + clash);
        Q_EMIT menu->aboutToHide();
    }
    forEachPage(window, [&](const QString &page) {
        QStringList texts;
        for (const QLabel *label : window.findChildren<QLabel *>()) {
            if (label->isVisible())
                texts.append(label->text());
        }
        for (const QAbstractButton *button : window.findChildren<QAbstractButton *>()) {
            if (button->isVisible())
                texts.append(button->text());
        }
        for (const QString &clash : Mnemonics::clashes(texts))
            found.append(page + QStringLiteral(": ") + clash);
    });
    return found;
}

// The radio buttons of a group are one stop for Tab, the checked one (the
// arrow keys move within it): a button stands for its group.
const QObject *stop(const QWidget *widget)
{
    const auto *radio = qobject_cast<const QRadioButton *>(widget);
    if (!radio)
        return widget;
    if (radio->group())
        return radio->group();
    return radio->autoExclusive() ? radio->parent() : radio;
}

// Tabs round a page from its first control; the controls Tab never reached.
QStringList unreached(QWidget &window)
{
    QList<QWidget *> expected = focusable(window, true);
    if (expected.isEmpty())
        return {};
    QWidget *start = expected.constFirst();
    start->setFocus(Qt::TabFocusReason);
    QSet<const QObject *> reached {stop(QApplication::focusWidget())};
    for (qsizetype i = 0; i <= expected.size() + 1; ++i) {
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : &window, Qt::Key_Tab);
        reached.insert(stop(QApplication::focusWidget()));
    }
    QStringList missed;
    for (QWidget *widget : std::as_const(expected)) {
        if (!reached.contains(stop(widget)))
            missed.append(describe(widget));
    }
    return missed;
}

} // namespace

// Every window and dialog of the console as assistive technology and the
// keyboard alone reach it.
class TestAccessibility : public QObject
{
    Q_OBJECT

private:
    MainWindowFixture f;
    std::unique_ptr<frmMain> m_window;
    std::unique_ptr<ComputerDB> m_database;
    WaveList m_waves;

    std::unique_ptr<QWidget> open()
    {
        QFETCH(Factory, make);
        std::unique_ptr<QWidget> window = make(*m_window);
        window->show();
        window->activateWindow();
        if (!QTest::qWaitForWindowActive(window.get()))
            qWarning("%s did not become active", qPrintable(window->objectName()));
        return window;
    }

    static void rows()
    {
        QTest::addColumn<Factory>("make");
        const auto row = [](const char *name, Factory make) { QTest::newRow(name) << make; };
        row("frmMain", [](frmMain &) { return std::make_unique<frmMain>(); });
        row("frmWelcome", [](frmMain &owner) { return std::make_unique<frmWelcome>(&owner); });
        row("frmAbout", [](frmMain &owner) { return std::make_unique<frmAbout>(&owner); });
        row("frmMigJobName", [](frmMain &owner) { return std::make_unique<frmMigJobName>(owner); });
        row("frmRollback", [](frmMain &owner) { return std::make_unique<frmRollback>(*owner.database(), QString(), &owner); });
        row("frmWaves", [](frmMain &owner) { return std::make_unique<frmWaves>(*owner.database(), &owner); });
        row("frmWaveEdit", [](frmMain &owner) {
            static const WaveList waves;
            return std::make_unique<frmWaveEdit>(waves, -1, WaveRecord(), &owner);
        });
        row("frmSetSettings", [](frmMain &owner) {
            return std::make_unique<frmSetSettings>(*owner.database()->GetSettings(QStringLiteral("G"), 0), 3, &owner);
        });
        row("frmConfiguration", [](frmMain &owner) { return std::make_unique<frmConfiguration>(&owner); });
        row("frmImportADS", [](frmMain &owner) {
            auto dialog = std::make_unique<frmImportADS>(&owner);
            dialog->LinkRequired(owner.database(), {});
            return dialog;
        });
        row("frmImportUsers", [](frmMain &owner) { return std::make_unique<frmImportUsers>(*owner.database(), &owner); });
        row("frmShowLog", [](frmMain &owner) {
            return std::make_unique<frmShowLog>(QStringLiteral("Import"), QStringLiteral("Lines not imported:"), QStringLiteral("x"), &owner);
        });
        row("frmAddMigration", [](frmMain &owner) { return std::make_unique<frmAddMigration>(&owner); });
        row("frmAuthManual", [](frmMain &owner) { return std::make_unique<frmAuthManual>(&owner); });
        row("frmAuthPassword", [](frmMain &owner) { return std::make_unique<frmAuthPassword>(&owner); });
        row("frmAuthWizard", [](frmMain &owner) { return std::make_unique<frmAuthWizard>(&owner); });
        row("frmSetupWizard", [](frmMain &owner) { return std::make_unique<frmSetupWizard>(&owner); });
        row("frmProgress", [](frmMain &owner) { return std::make_unique<frmProgress>(&owner); });
    }

private Q_SLOTS:
    void init()
    {
        f.init();
        m_window = std::make_unique<frmMain>();
    }

    void cleanup()
    {
        m_window.reset();
        f.cleanup();
    }

    void namesDefaultsAndLetters_data() { rows(); }
    void namesDefaultsAndLetters()
    {
        std::unique_ptr<QWidget> window = open();
        const QStringList problems = accessibilityProblems(*window);
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QStringLiteral("\n  "))));
    }

    // A screen reader hears each computer's status in a run, not only its
    // picture. (The offscreen platform has no accessibility bridge, so the
    // announcements are heard in the screen reader's test.)
    void treeStatusInWords()
    {
        frmMain &window = *m_window;
        window.show();
        const QString pc = QStringLiteral("C") + QString::number(window.database()->AddComputer(QStringLiteral("HQ-01"), QString(), -1, -1));
        const QString other = QStringLiteral("C") + QString::number(window.database()->AddComputer(QStringLiteral("HQ-02"), QString(), -1, -1));
        const int left = window.database()->AddComputer(QStringLiteral("HQ-03"), QString(), -1, -1);
        QVERIFY(window.database()->SetComputerEnabled(left, false));
        window.treeView()->goToNode(pc);
        QAccessibleInterface *tree = QAccessible::queryAccessibleInterface(window.treeView());
        QVERIFY(tree);
        QCOMPARE(tree->text(QAccessible::Name), QStringLiteral("Computers"));
        const auto node = [tree](int row) {
            QAccessibleInterface *cell = tree->tableInterface()->cellAt(row, 0);
            return cell ? cell->text(QAccessible::Name) : QString();
        };
        QCOMPARE(node(1), QStringLiteral("HQ-01"));
        // Disabled: said in words, and shown by a slanted name beside the crossed picture.
        QCOMPARE(node(3), QStringLiteral("HQ-03, Disabled"));
        QVERIFY(window.treeView()->itemForKey(QStringLiteral("C") + QString::number(left))->font(0).italic());

        RunTreeStatus &status = window.runControl()->treeStatus();
        status.SetColorsForRun();
        QCOMPARE(node(1), QStringLiteral("HQ-01, Not processed"));
        status.SetNodeStatus(other, QStringLiteral("XE"));
        status.SetNodeStatus(pc, QStringLiteral("XS"));
        QCOMPARE(node(0), QStringLiteral("All Computers, Errors"));
        QCOMPARE(node(1), QStringLiteral("HQ-01, Migration successful"));
        QCOMPARE(node(2), QStringLiteral("HQ-02, Migration complete with errors"));
        // Out of the run, it keeps its mark and waits for nothing.
        QCOMPARE(node(3), QStringLiteral("HQ-03, Disabled"));

        // Back to editing: the names alone, and a picture that means something says it.
        window.database()->SetColorsForEdit();
        QCOMPARE(node(1), QStringLiteral("HQ-01"));
        QCOMPARE(tree->tableInterface()->cellAt(0, 0)->text(QAccessible::Description), QStringLiteral("Own settings"));
    }

    void tabReachesEveryControl_data() { rows(); }
    void tabReachesEveryControl()
    {
        std::unique_ptr<QWidget> window = open();
        QStringList missed;
        forEachPage(*window, [&](const QString &page) {
            for (const QString &control : unreached(*window))
                missed.append(page + QStringLiteral(": ") + control);
        });
        QVERIFY2(missed.isEmpty(), qPrintable(missed.join(QStringLiteral("\n  "))));
    }
};

QTEST_MAIN(TestAccessibility)
#include "tst_Accessibility.moc"

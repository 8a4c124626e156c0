#include "MainWindowFixture.h"
#include "support/Mnemonics.h"

#include "shell/forms/frmWaveEdit.h"
#include "shell/forms/frmWaves.h"

#include <QApplication>
#include <QCheckBox>
#include <QDateTimeEdit>
#include <QLabel>
#include <QMenu>
#include <QSpinBox>
#include <QTimer>
#include <QTreeWidget>

#include <ctime>
#include <functional>

using modGeneral::ComputerKey;
using modGeneral::FolderKey;
using modGeneral::RootKey;

// Tools > Waves... and Set Wave... in the window: the dialogs driven by
// their buttons, the prompts answered by the script.
class TestWaves : public QObject
{
    Q_OBJECT

private:
    MainWindowFixture f;
    std::unique_ptr<frmMain> m_window;
    int m_sales = -1;
    int m_desk = -1;
    int m_kiosk = -1;
    int m_pc = -1;

    ComputerDB &db() { return *m_window->database(); }
    QString wave(int id) { return db().Computers(id)->Wave; }

    // Once the modal dialog of type T is open: `act` on it, from the event loop.
    template<typename T> static void whenOpen(std::function<void(T &)> act)
    {
        QTimer::singleShot(0, qApp, [act] {
            if (auto *dialog = qobject_cast<T *>(QApplication::activeModalWidget()))
                act(*dialog);
        });
    }

    static void addWave(frmWaves &dialog, const QString &name, std::function<void(frmWaveEdit &)> more = {})
    {
        whenOpen<frmWaveEdit>([name, more](frmWaveEdit &editor) {
            editor.txtName->setText(name);
            if (more)
                more(editor);
            editor.cmdOK->click();
        });
        dialog.cmdAdd->click();
    }

    // Edit > Set Wave... as the menu offers it when it opens.
    [[nodiscard]] bool setWave()
    {
        Q_EMIT m_window->findChild<QMenu *>(QStringLiteral("mnuEdit"))->aboutToShow();
        return f.trigger(*m_window, QStringLiteral("mnuSetWave"));
    }

    static WaveRecord named(const char *name)
    {
        WaveRecord wave;
        wave.Name = QString::fromLatin1(name);
        return wave;
    }

    QStringList names()
    {
        QStringList found;
        for (const WaveRecord &wave : db().Waves().all())
            found.append(wave.Name);
        return found;
    }

private Q_SLOTS:
    // A zone away from UTC by a half hour: a start shown in UTC, or an
    // offset without its minutes, would pass unseen in UTC.
    void initTestCase()
    {
        qputenv("TZ", "Asia/Kolkata");
        tzset();
    }

    void init()
    {
        f.init();
        m_window = std::make_unique<frmMain>();
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        m_sales = db().AddFolder(QStringLiteral("Sales"), -1);
        m_desk = db().AddComputer(QStringLiteral("DESK-01"), QString(), db().AddFolder(QStringLiteral("London"), m_sales), -1);
        m_kiosk = db().AddComputer(QStringLiteral("KIOSK"), QString(), m_sales, -1);
        m_pc = db().AddComputer(QStringLiteral("PC-01"), QString(), -1, -1);
        AppState::Get().DatabaseChanged = false;
    }

    void cleanup()
    {
        m_window.reset();
        RunState::instance().reset();
        f.cleanup();
    }

    // Two waves added, a duplicate name refused with the editor still open,
    // the order changed; the list reads as vo wave list does, and the
    // window says the settings changed.
    void addRefuseAndReorder()
    {
        const QDateTime start(QDate(2026, 12, 9), QTime(21, 0));
        bool refusedAndOpen = false;
        QStringList rows;
        whenOpen<frmWaves>([&](frmWaves &dialog) {
            QVERIFY(dialog.cmdClose->isDefault() && Mnemonics::problems(dialog).isEmpty());
            addWave(dialog, QStringLiteral("Pilot"), [&](frmWaveEdit &editor) {
                QVERIFY(Mnemonics::problems(editor).isEmpty() && editor.cmdOK->isDefault());
                editor.chkNotBefore->setChecked(true);
                editor.dtpNotBefore->setDateTime(start);
                QCOMPARE(editor.lblOffset->text(), QStringLiteral("local time, UTC+05:30"));
                editor.spnConcurrency->setValue(5);
                editor.chkThreshold->setChecked(true);
                editor.spnThreshold->setValue(10);
            });
            addWave(dialog, QStringLiteral("Rest"));
            whenOpen<frmWaveEdit>([&](frmWaveEdit &editor) {
                editor.txtName->setText(QStringLiteral("PILOT"));
                editor.cmdOK->click();
                refusedAndOpen
                    = editor.isVisible() && f.presenter->last().text == QStringLiteral("There is already a wave named \"Pilot\".");
                editor.cmdCancel->click();
            });
            dialog.cmdEdit->click();
            for (int row = 0; row < dialog.lstWaves->topLevelItemCount(); ++row) {
                QStringList texts;
                for (int column = 0; column < dialog.lstWaves->columnCount(); ++column)
                    texts.append(dialog.lstWaves->topLevelItem(row)->text(column));
                rows.append(texts.join(QLatin1Char('|')));
            }
            dialog.cmdMoveUp->click();
            dialog.cmdClose->click();
        });
        QVERIFY(f.trigger(*m_window, QStringLiteral("mnuWaves")));
        QVERIFY(refusedAndOpen);
        QCOMPARE(rows,
            (QStringList {QStringLiteral("Pilot|0 computers|2026-12-09 21:00 +05:30|5 at a time|more than 10 % failed"),
                QStringLiteral("Rest|0 computers|at its turn|no cap|never")}));
        QCOMPARE(names(), (QStringList {QStringLiteral("Rest"), QStringLiteral("Pilot")}));
        QCOMPARE(db().Waves().at(1).NotBefore, QDateTime(QDate(2026, 12, 9), QTime(15, 30), Qt::UTC));
        QVERIFY(m_window->findChild<QLabel *>(QStringLiteral("lblStatusFile"))->text().endsWith(QStringLiteral("unsaved changes")));
    }

    // Remove asks, naming the computers that lose their wave; No keeps it.
    void removeAsksFirst()
    {
        QVERIFY(db().AddWave(named("Pilot")) && db().AddWave(named("Rest")));
        QVERIFY(db().SetComputerWave(m_desk, QStringLiteral("Pilot")));
        whenOpen<frmWaves>([&](frmWaves &dialog) {
            f.presenter->setNextAnswer(Presenter::No);
            dialog.cmdRemove->click();
            f.presenter->setNextAnswer(Presenter::Yes);
            dialog.cmdRemove->click();
            dialog.cmdClose->click();
        });
        QVERIFY(f.trigger(*m_window, QStringLiteral("mnuWaves")));
        QCOMPARE(f.presenter->count(), 2);
        QCOMPARE(f.presenter->last().text, QStringLiteral("Remove the wave \"Pilot\"?  Its 1 computer goes back to no wave."));
        QCOMPARE(names(), QStringList {QStringLiteral("Rest")});
        QCOMPARE(wave(m_desk), QString());
    }

    // A group gives its wave to every computer below it, after one question
    // that counts them; a computer alone is not asked about; its tooltip
    // names its wave.
    void setWaveOnGroupsAndComputers()
    {
        QVERIFY(db().AddWave(named("Pilot")) && db().AddWave(named("Rest")));
        f.click(*m_window, FolderKey(m_sales));
        f.presenter->setNextChoice(0);
        f.presenter->setNextAnswer(Presenter::Yes);
        QVERIFY(setWave());
        QCOMPARE(f.presenter->choiceRequests().last().items,
            (QStringList {QStringLiteral("Pilot"), QStringLiteral("Rest"), QStringLiteral("(no wave)")}));
        QCOMPARE(f.presenter->count(), 1);
        QCOMPARE(f.presenter->last().text, QStringLiteral("Give 2 computers to wave \"Pilot\"?"));
        QCOMPARE((QStringList {wave(m_desk), wave(m_kiosk), wave(m_pc)}), (QStringList {"Pilot", "Pilot", ""}));

        f.click(*m_window, ComputerKey(m_kiosk));
        f.presenter->setNextChoice(1);
        QVERIFY(setWave());
        QCOMPARE(f.presenter->count(), 1);
        QCOMPARE((QStringList {wave(m_desk), wave(m_kiosk), wave(m_pc)}), (QStringList {"Pilot", "Rest", ""}));
        QVERIFY(m_window->tree().NodeToolTip(ComputerKey(m_kiosk)).endsWith(QStringLiteral("Wave: Rest")));

        // The root is every computer; No changes none of them.
        f.click(*m_window, RootKey);
        f.presenter->setNextChoice(2);
        f.presenter->setNextAnswer(Presenter::No);
        QVERIFY(setWave());
        QCOMPARE(f.presenter->last().text,
            QStringLiteral("Put 2 computers in no wave?  The selection has 3 computers; 1 of them is there already."));
        QCOMPARE((QStringList {wave(m_desk), wave(m_kiosk), wave(m_pc)}), (QStringList {"Pilot", "Rest", ""}));
    }

    // Set Wave waits for a wave to choose; neither it nor Waves... is
    // offered while a test or a run goes on.
    void lockedWithoutWavesAndDuringARun()
    {
        auto *menu = m_window->findChild<QMenu *>(QStringLiteral("mnuEdit"));
        QAction *setWave = f.action(*m_window, QStringLiteral("mnuSetWave"));
        Q_EMIT menu->aboutToShow();
        QVERIFY(!setWave->isEnabled() && setWave->toolTip().contains(QStringLiteral("Tools > Waves...")));
        QVERIFY(db().AddWave(named("Pilot")));
        Q_EMIT menu->aboutToShow();
        QVERIFY(setWave->isEnabled());
        QVERIFY(RunState::instance().startPingTest());
        QVERIFY(!setWave->isEnabled() && !f.action(*m_window, QStringLiteral("mnuWaves"))->isEnabled());
        RunState::instance().backToEditing();
        QVERIFY(setWave->isEnabled() && f.action(*m_window, QStringLiteral("mnuWaves"))->isEnabled());
    }
};

QTEST_MAIN(TestWaves)
#include "tst_frmWaves.moc"

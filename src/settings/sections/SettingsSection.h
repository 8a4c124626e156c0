#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <initializer_list>
#include <optional>
#include <vector>

// A group of controls that several windows show alike (the contexts, the
// join fields, the options, the account entry), with the rules that tie
// them together but without a widget. Every control is known by its console
// name ("txtSourceDC"); a widget binds to the section by those names, so a
// host lays the controls out as it likes and still gets the same locks and
// coupled options.
//
// A section only keeps what its controls show. Reading a record and writing
// it back, and which checks run in which order with which words, are each
// host's: the hosts differ there, and the section offers the pieces.
class SettingsSection : public QObject
{
    Q_OBJECT

public:
    enum class Kind {
        Text,
        Check,
        Command,
    };

    // Check box values: a ticked box is Checked for a value the level defines
    // itself and Grayed for one it inherits from a higher level.
    enum CheckValue : int {
        Unchecked = 0,
        Checked = 1,
        Grayed = 2,
    };

    int controlCount() const { return static_cast<int>(m_controls.size()); }
    QString controlName(int control) const { return m_controls.at(pos(control)).Name; }
    Kind controlKind(int control) const { return m_controls.at(pos(control)).Kind; }
    // -1 for a name the section does not hold.
    int controlIndex(const QString &name) const;

    QString text(int control) const { return m_controls.at(pos(control)).Text; }
    bool inherited(int control) const { return m_controls.at(pos(control)).Inherited; }
    bool locked(int control) const { return m_controls.at(pos(control)).Locked; }
    int check(int control) const { return m_controls.at(pos(control)).Value; }
    bool isOn(int control) const { return check(control) != Unchecked; }
    // Commands are enabled unless a section's rule says otherwise.
    virtual bool commandEnabled(int control) const;

    // Empties every control and locks it: nothing is loaded, nothing may be edited.
    void clear();
    // Unlocks the check boxes and applies the section's locks again.
    void updateLocks();

    // Holds a check box at `value` and locks it, whatever a load or the
    // section's own rules would make of it: a host's rule that outranks the
    // record (a wizard page where the kind of migration decides a box).
    // The coupled controls follow the pinned value. Pins last until
    // released; both update the locks at once.
    void pin(int control, int value);
    void releasePins();

    // The administrator's edits. Typing into a locked field and clicking a
    // locked box do nothing; a click turns an unticked box ticked and a
    // ticked or greyed one unticked.
    void type(int control, const QString &text);
    void click(int control);
    void press(int control);

Q_SIGNALS:
    // What the controls show may have changed.
    void changed();
    // An edit of the administrator's was applied (after its coupled changes).
    void edited(int control);
    void commandPressed(int control);

protected:
    struct ControlState
    {
        QString Name;
        SettingsSection::Kind Kind = SettingsSection::Kind::Text;
        QString Text;
        int Value = Unchecked;
        bool Inherited = false;
        bool Locked = true;
    };

    // Emits changed() once, when the outermost batch ends.
    class Batch
    {
    public:
        explicit Batch(SettingsSection &section);
        ~Batch();
        Batch(const Batch &) = delete;
        Batch &operator=(const Batch &) = delete;

    private:
        SettingsSection &m_section;
    };

    SettingsSection(std::vector<ControlState> controls, QObject *parent);
    static ControlState textControl(const char *name) { return control(name, Kind::Text); }
    static ControlState checkControl(const char *name) { return control(name, Kind::Check); }
    static ControlState commandControl(const char *name) { return control(name, Kind::Command); }
    static ControlState control(const char *name, Kind kind)
    {
        ControlState made;
        made.Name = QString::fromLatin1(name);
        made.Kind = kind;
        return made;
    }

    void setText(int control, const QString &text) { m_controls.at(pos(control)).Text = text; }
    void setCheck(int control, int value) { m_controls.at(pos(control)).Value = value; }
    void setLocked(int control, bool locked) { m_controls.at(pos(control)).Locked = locked; }
    // Every text of the section, own or inherited.
    void setTextsInherited(bool inherited);
    // The on state for a loaded value: Grayed when it is inherited.
    static int onValue(bool inherited) { return inherited ? Grayed : Checked; }
    // Locks (and, when `empty`, empties) the fields, or unlocks them.
    void lockTexts(std::initializer_list<int> fields, bool lock, bool empty);
    // A field typed into belongs to this level, and so does the box that it
    // depends on: its inherited tick becomes the level's own.
    void promote(int check);

    // The section's locks, after its check boxes were unlocked.
    virtual void applyLocks() = 0;
    // The rules after an edit; the default updates the locks.
    virtual void typed(int control);
    virtual void clicked(int control, bool ticked);

private:
    static size_t pos(int control) { return static_cast<size_t>(control); }

    std::vector<ControlState> m_controls;
    std::vector<std::optional<int>> m_pins;
    int m_batchDepth = 0;
};

#pragma once

#include <QString>
#include <QStringList>

#include <optional>

class QObject;

// Everything the console shows to or asks of the administrator passes through
// the installed presenter. The console installs one built on message boxes;
// tests install one that records each request and answers from a script, so
// that no code path can block on a dialog nobody will ever close.
class Presenter
{
public:
    enum class Icon {
        None,
        Information,
        Critical,
        Exclamation,
        Question,
    };

    enum class Buttons {
        Ok,
        OkCancel,
        YesNo,
        YesNoCancel,
        RetryCancel,
        AbortRetryIgnore,
    };

    // The platform's message-box results; callers compare against these.
    enum Answer {
        Ok = 1,
        Cancel = 2,
        Abort = 3,
        Retry = 4,
        Ignore = 5,
        Yes = 6,
        No = 7,
        // Never a box's answer: its Help button opens the guide and leaves
        // the box open. Tests script it to press Help before the answer.
        Help = 9,
    };

    struct Message
    {
        QString text; // lines separated by CR
        QString caption;
        Icon icon = Icon::None;
        Buttons buttons = Buttons::Ok;
        QStringList buttonCaptions; // replaces the captions of the buttons present, in order
        int defaultButton = 0; // index of the button that Enter presses, first button 0
        QObject *owner = nullptr;
        QString helpPage; // a page of the user guide: the box gets a Help button that opens it
    };

    // A line of text to type, a passphrase for instance.
    struct TextRequest
    {
        QString caption;
        QString text; // the prompt, lines separated by CR
        QString initial;
        bool password = false; // typed characters are not shown
        QObject *owner = nullptr;
    };

    // A file to open or to save to.
    struct FileRequest
    {
        QString caption;
        QString filter; // "Settings files (*.vos.json);;All files (*)"
        QString folder; // where the dialog starts
        QString fileName; // suggested name (save dialogs)
        QString defaultSuffix; // added to a typed name without one, without the dot
        QObject *owner = nullptr;
    };

    // A folder to choose.
    struct FolderRequest
    {
        QString caption;
        QString prompt;
        QString folder; // where the browser starts
        QObject *owner = nullptr;
    };

    // One of a list of texts to pick, a group for instance.
    struct ChoiceRequest
    {
        QString caption;
        QString text; // the prompt
        QStringList items;
        int current = 0; // the item offered first
        QObject *owner = nullptr;
    };

    virtual ~Presenter() = default;

    // Shows a modal message and returns the button pressed.
    virtual Answer showMessage(const Message &message) = 0;

    // The asking dialogs answer nothing when cancelled. A presenter that
    // cannot ask (no window, a test without a script) cancels, so that no
    // file is ever read or written on an answer nobody gave.
    // An empty text is an answer: OK on an empty field.
    virtual std::optional<QString> askText(const TextRequest &request);
    // The chosen file's full path.
    virtual std::optional<QString> askOpenFileName(const FileRequest &request);
    virtual std::optional<QString> askSaveFileName(const FileRequest &request);
    // The chosen folder's full path.
    virtual std::optional<QString> askFolder(const FolderRequest &request);
    // The index of the chosen item.
    virtual std::optional<int> askChoice(const ChoiceRequest &request);

    // The presenter in charge: the one installed, else one that writes to
    // standard error and takes the first button.
    static Presenter &current();
    // The caller keeps the presenter alive; nullptr restores the default.
    // Returns the one installed before, for whoever wants to put it back.
    static Presenter *install(Presenter *presenter);

    // Every answer a set of buttons allows, first button first.
    static QList<Answer> answersFor(Buttons buttons);
};

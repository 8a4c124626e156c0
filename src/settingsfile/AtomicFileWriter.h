#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

// Replaces a file as a whole or not at all: the new contents go to a
// temporary file beside the target, are flushed to the disk, and the
// temporary file is renamed over the target; then the folder is flushed so
// that the rename itself survives a power cut. Whatever fails on the way (a
// full disk, a folder without write access) leaves the old file as it was
// and no temporary file behind.
//
// A process that is killed cannot remove its temporary file, and that one is
// as large as the file itself. So each writer holds a lock on its temporary
// file while it writes, and the next write of the same target removes the
// temporary files left beside it: those named exactly as a writer names them
// for that target ("." + the target's name + "." + six letters or digits),
// regular files, and not locked by a writer at work.
class AtomicFileWriter
{
public:
    enum class Step {
        Create, // the temporary file
        Write, // its contents
        Sync, // flushing it to the disk
        Rename, // over the target
        SyncFolder, // the folder entry of the rename (its failure is not reported)
    };

    // Called before each step; returning false makes the step fail as if the
    // system had refused it. Only tests install one.
    using FaultHook = std::function<bool(Step)>;

    explicit AtomicFileWriter(QString path);
    // An unfinished file is removed: the target stays as it was.
    ~AtomicFileWriter();
    AtomicFileWriter(const AtomicFileWriter &) = delete;
    AtomicFileWriter &operator=(const AtomicFileWriter &) = delete;

    void setFaultHook(FaultHook hook) { m_faultHook = std::move(hook); }

    // Whether `fileName` (a name without folder) is a temporary file of a
    // write to `target`.
    static bool IsTemporaryOf(const QString &fileName, const QString &target);

    // True when `data` now is the file's content. On failure ErrorString()
    // says what went wrong, and the target is untouched. A failing flush of
    // the folder is not a failure: some file systems (network shares among
    // them) cannot flush a folder at all, and the new contents themselves
    // are on the disk by then.
    bool Write(const QByteArray &data);
    QString ErrorString() const { return m_error; }

    // The same in pieces, for contents too large to build in memory first:
    // Begin, any number of Append, then Commit. A false from any of them
    // ends the attempt (later calls do nothing and fail) and removes the
    // temporary file; the target is untouched until Commit succeeds.
    bool Begin();
    bool Append(const char *data, qsizetype size);
    bool Commit();

private:
    bool step(Step step);
    // Removes what killed writers of this target left behind.
    void removeLeftovers(const QString &folder, const QString &target) const;
    bool fail(const QString &what, int error);
    // Closes and removes the temporary file; returns false with `what` and the current errno.
    bool discard(const QString &what);

    QString m_path;
    QString m_error;
    FaultHook m_faultHook;
    QByteArray m_temporary; // its name while a file is being written
    int m_fd = -1;
};

#pragma once

#include <QAbstractListModel>
#include <QHash>
#include <QStringList>
#include <QTimer>

#include <deque>

// The lines of the progress log as the run pane's list shows them. A run of
// a hundred thousand clients writes a million and more: the lines gather
// and reach the view in batches, a few times a second; a client that reports
// the status its last line already shows adds none; and the view keeps the
// newest LineLimit lines. The engine's handler log keeps every one of them.
class ProgressLogModel : public QAbstractListModel
{
    Q_OBJECT

public:
    static constexpr int DefaultLineLimit = 50'000;
    // How long a line may wait for the view; a few batches a second read as live.
    static constexpr int BatchIntervalMs = 100;

    explicit ProgressLogModel(QObject *parent = nullptr, int lineLimit = DefaultLineLimit);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    void appendLine(const QString &line);
    // A client's status line: the same text as that client's last line,
    // while it is still in view, is not written again.
    void appendStatus(int clientId, const QString &line);
    // More text at the end of the last line.
    void continueLine(const QString &text);
    void clear();
    // The waiting lines go to the view now.
    void flush();

    // The lines the view shows once the waiting ones reach it, LF between
    // them, as a text view gives its text.
    QString toPlainText() const;

private:
    QString &lineAt(qint64 sequence);

    const int m_lineLimit;
    // The lines in view, then the ones waiting; the first in view is line m_first.
    std::deque<QString> m_lines;
    QStringList m_pending;
    qint64 m_first = 0;
    // Each client's last line, by its number.
    QHash<int, qint64> m_lastOfClient;
    QTimer m_batch;
};

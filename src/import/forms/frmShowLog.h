#pragma once

#include <QDialog>

class QLabel;
class QPlainTextEdit;

// A list of lines to read and copy, such as the errors of a file import,
// under a caption and a heading.
class frmShowLog : public QDialog
{
    Q_OBJECT

public:
    frmShowLog(const QString &caption, const QString &heading, const QString &text, QWidget *owner);

    QLabel *lblHeading() const { return m_lblHeading; }
    QPlainTextEdit *txtLog() const { return m_txtLog; }

private:
    QLabel *m_lblHeading = nullptr;
    QPlainTextEdit *m_txtLog = nullptr;
};

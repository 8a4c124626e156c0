#include "import/forms/frmShowLog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

frmShowLog::frmShowLog(const QString &caption, const QString &heading, const QString &text, QWidget *owner)
    : QDialog(owner)
{
    setObjectName(QStringLiteral("frmShowLog"));
    setWindowTitle(caption);
    setModal(true);
    resize(640, 400);

    auto *layout = new QVBoxLayout(this);
    m_lblHeading = new QLabel(heading, this);
    m_lblHeading->setObjectName(QStringLiteral("lblHeading"));
    m_lblHeading->setWordWrap(true);
    layout->addWidget(m_lblHeading);

    m_txtLog = new QPlainTextEdit(this);
    m_txtLog->setObjectName(QStringLiteral("txtLog"));
    m_txtLog->setReadOnly(true);
    // The heading names the lines for a screen reader.
    m_lblHeading->setBuddy(m_txtLog);
    m_txtLog->setLineWrapMode(QPlainTextEdit::NoWrap);
    // The lines end in CR LF as they would in a saved log; the box shows
    // each CR LF as one line break.
    QString lines = text;
    lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    m_txtLog->setPlainText(lines);
    layout->addWidget(m_txtLog);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("cmdOK"));
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    QWidget::setTabOrder(m_txtLog, buttons->button(QDialogButtonBox::Ok));
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
}

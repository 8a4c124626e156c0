#include "shell/forms/frmWaveEdit.h"

#include "common/AppInfo.h"
#include "common/modErrorHandler.h"
#include "database/WaveList.h"

#include <QCheckBox>
#include <QDateTimeEdit>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

frmWaveEdit::frmWaveEdit(const WaveList &waves, int index, const WaveRecord &wave, QWidget *parent)
    : QDialog(parent)
    , m_waves(waves)
    , m_index(index)
    , m_wave(wave)
{
    setObjectName(QStringLiteral("frmWaveEdit"));
    setWindowTitle((index < 0 ? QStringLiteral("Add Wave - ") : QStringLiteral("Edit Wave - ")) + AppInfo::Title());
    setModal(true);
    auto *layout = new QVBoxLayout(this);
    auto *form = new QFormLayout;
    layout->addLayout(form);

    txtName = new QLineEdit(wave.Name, this);
    txtName->setObjectName(QStringLiteral("txtName"));
    txtName->setAccessibleName(QStringLiteral("Wave name"));
    txtName->setMaxLength(WaveList::MaxNameLength);
    form->addRow(QStringLiteral("&Name:"), txtName);

    // The administrator thinks in the console's local time; the wave keeps
    // UTC, and the offset beside the field says which hour that is.
    chkNotBefore = new QCheckBox(QStringLiteral("Not &before:"), this);
    chkNotBefore->setObjectName(QStringLiteral("chkNotBefore"));
    chkNotBefore->setAccessibleName(QStringLiteral("The wave has a start time"));
    chkNotBefore->setChecked(wave.NotBefore.isValid());
    dtpNotBefore = new QDateTimeEdit(this);
    dtpNotBefore->setObjectName(QStringLiteral("dtpNotBefore"));
    dtpNotBefore->setAccessibleName(QStringLiteral("Start time of the wave, local time"));
    dtpNotBefore->setDisplayFormat(QStringLiteral("yyyy-MM-dd HH:mm"));
    dtpNotBefore->setCalendarPopup(true);
    const QDateTime start = wave.NotBefore.isValid() ? wave.NotBefore.toLocalTime() : QDateTime::currentDateTime().addSecs(3600);
    dtpNotBefore->setDateTime(QDateTime(start.date(), QTime(start.time().hour(), start.time().minute())));
    lblOffset = new QLabel(this);
    lblOffset->setObjectName(QStringLiteral("lblOffset"));
    auto *startRow = new QHBoxLayout;
    startRow->addWidget(dtpNotBefore);
    startRow->addWidget(lblOffset, 1);
    form->addRow(chkNotBefore, startRow);

    spnConcurrency = new QSpinBox(this);
    spnConcurrency->setObjectName(QStringLiteral("spnConcurrency"));
    spnConcurrency->setAccessibleName(QStringLiteral("Computers of the wave at a time"));
    spnConcurrency->setRange(0, WaveList::MaxConcurrency);
    spnConcurrency->setSpecialValueText(QStringLiteral("No cap"));
    spnConcurrency->setValue(wave.Concurrency);
    auto *concurrencyLabel = new QLabel(QStringLiteral("Computers at a &time:"), this);
    concurrencyLabel->setBuddy(spnConcurrency);
    form->addRow(concurrencyLabel, spnConcurrency);

    chkThreshold = new QCheckBox(QStringLiteral("&Stop the wave and those after it when more than"), this);
    chkThreshold->setObjectName(QStringLiteral("chkThreshold"));
    chkThreshold->setAccessibleName(QStringLiteral("The wave has a failure threshold"));
    chkThreshold->setChecked(wave.FailurePercent >= 0);
    spnThreshold = new QSpinBox(this);
    spnThreshold->setObjectName(QStringLiteral("spnThreshold"));
    spnThreshold->setAccessibleName(QStringLiteral("Failure threshold in per cent of the wave's computers"));
    spnThreshold->setRange(0, 100);
    spnThreshold->setSuffix(QStringLiteral(" % failed"));
    spnThreshold->setValue(wave.FailurePercent >= 0 ? wave.FailurePercent : 10);
    form->addRow(chkThreshold, spnThreshold);

    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    layout->addLayout(buttons);

    setTabOrder(txtName, chkNotBefore);
    setTabOrder(chkNotBefore, dtpNotBefore);
    setTabOrder(dtpNotBefore, spnConcurrency);
    setTabOrder(spnConcurrency, chkThreshold);
    setTabOrder(chkThreshold, spnThreshold);
    setTabOrder(spnThreshold, cmdOK);
    setTabOrder(cmdOK, cmdCancel);

    connect(chkNotBefore, &QCheckBox::toggled, dtpNotBefore, &QWidget::setEnabled);
    connect(chkThreshold, &QCheckBox::toggled, spnThreshold, &QWidget::setEnabled);
    connect(dtpNotBefore, &QDateTimeEdit::dateTimeChanged, this, &frmWaveEdit::showOffset);
    connect(cmdOK, &QPushButton::clicked, this, &frmWaveEdit::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    dtpNotBefore->setEnabled(chkNotBefore->isChecked());
    spnThreshold->setEnabled(chkThreshold->isChecked());
    showOffset();
    txtName->setFocus();
}

void frmWaveEdit::showOffset()
{
    // The offset of the day chosen: a start after the change to summer time has another.
    const int minutes = dtpNotBefore->dateTime().offsetFromUtc() / 60;
    lblOffset->setText(QStringLiteral("local time, UTC%1%2:%3")
                           .arg(minutes < 0 ? QLatin1Char('-') : QLatin1Char('+'))
                           .arg(qAbs(minutes) / 60, 2, 10, QLatin1Char('0'))
                           .arg(qAbs(minutes) % 60, 2, 10, QLatin1Char('0')));
}

WaveRecord frmWaveEdit::fromControls() const
{
    WaveRecord wave = m_wave;
    wave.Name = txtName->text().trimmed();
    wave.NotBefore = chkNotBefore->isChecked() ? dtpNotBefore->dateTime().toUTC() : QDateTime();
    wave.Concurrency = spnConcurrency->value();
    wave.FailurePercent = chkThreshold->isChecked() ? spnThreshold->value() : -1;
    return wave;
}

void frmWaveEdit::cmdOK_Click()
{
    const WaveRecord wave = fromControls();
    if (const QString why = m_waves.problemWith(wave, m_index); !why.isEmpty()) {
        modErrorHandler::ShowMessage(modErrorHandler::Information, why);
        txtName->setFocus();
        txtName->selectAll();
        return;
    }
    m_wave = wave;
    accept();
}

#pragma once

#include "database/WaveRecord.h"

#include <QDialog>

class QCheckBox;
class QDateTimeEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class WaveList;

// Add... and Edit... of the Waves dialog: one wave's name, start time,
// computers at a time and failure threshold. OK asks the wave list whether
// the wave may stand where it goes; a refusal is said and the dialog stays.
// The dialog changes nothing itself: wave() is for the caller to apply.
class frmWaveEdit : public QDialog
{
    Q_OBJECT

public:
    // `index` is the wave's place in `waves`, -1 for a new one.
    frmWaveEdit(const WaveList &waves, int index, const WaveRecord &wave, QWidget *parent = nullptr);

    // After OK: the wave as the dialog has it.
    const WaveRecord &wave() const { return m_wave; }

    QLineEdit *txtName = nullptr;
    QCheckBox *chkNotBefore = nullptr;
    QDateTimeEdit *dtpNotBefore = nullptr;
    QLabel *lblOffset = nullptr;
    QSpinBox *spnConcurrency = nullptr;
    QCheckBox *chkThreshold = nullptr;
    QSpinBox *spnThreshold = nullptr;
    QPushButton *cmdOK = nullptr;
    QPushButton *cmdCancel = nullptr;

private:
    WaveRecord fromControls() const;
    void showOffset();
    void cmdOK_Click();

    const WaveList &m_waves;
    const int m_index;
    WaveRecord m_wave;
};

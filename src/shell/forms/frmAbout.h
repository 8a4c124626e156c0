#pragma once

#include <QDialog>

// Help > About: what this program is, its version and its legal notice.
class frmAbout : public QDialog
{
    Q_OBJECT

public:
    explicit frmAbout(QWidget *owner = nullptr);
};

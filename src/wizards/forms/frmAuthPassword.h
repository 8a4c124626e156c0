#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;

// Asks for one account's password. OK refuses a password that is too long
// and keeps the prompt open; Cancel leaves Password() empty.
class frmAuthPassword final : public QDialog
{
    Q_OBJECT

public:
    explicit frmAuthPassword(QWidget *parent = nullptr);

    void setAccountName(const QString &name);
    QString AccountName() const;
    // What was confirmed with OK.
    QString Password() const { return m_password; }

    void accept() override;

private:
    QLabel *m_lblAccountName = nullptr;
    QLineEdit *m_txtPassword = nullptr;
    QString m_password;
};

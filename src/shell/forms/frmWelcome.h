#pragma once

#include <QDialog>

#include <array>

class QCheckBox;
class QCommandLinkButton;
class QFrame;
class QLabel;
class QPushButton;

// The welcome screen: shown once when the console starts, unless the
// administrator asked not to see it again. It answers what to do first.
class frmWelcome : public QDialog
{
    Q_OBJECT

public:
    // What the administrator chose: 0 nothing, 1 the Easy Setup Wizard,
    // 2 load a settings file.
    enum Action : quint8 {
        ActionNone = 0,
        ActionEasySetupWizard = 1,
        ActionLoadSettings = 2,
    };

    explicit frmWelcome(QWidget *owner = nullptr);

    quint8 WelcomeAction() const { return m_welcomeAction; }

    // A choice whose feature the console does not offer stays greyed.
    void setEasySetupWizardAvailable(bool available);
    void setLoadSettingsAvailable(bool available);

    // Every way of closing the screen ends here: the "don't show" box is
    // saved whichever button closed it.
    void done(int result) override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void Form_Load();
    void cmdEasyWizard_Click();
    void cmdDocumentation_Click();
    void cmdLoad_Click();

    QLabel *lblHeading = nullptr;
    QLabel *lblVersion = nullptr;
    QLabel *lblLegal = nullptr;
    QCommandLinkButton *cmdEasyWizard = nullptr;
    QCommandLinkButton *cmdDocumentation = nullptr;
    QCommandLinkButton *cmdLoad = nullptr;
    QPushButton *cmdOK = nullptr;
    QCheckBox *chkDontShow = nullptr;
    std::array<QFrame *, 4> lineFrame {};

    quint8 m_welcomeAction = ActionNone;
};

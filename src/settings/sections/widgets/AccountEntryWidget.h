#pragma once

#include <QWidget>

class AccountEntrySection;

// User name, password, domain and "&Local Account", bound to an account
// entry section. The captions are the host's: the dialogs and the wizard
// ask in their own words.
class AccountEntryWidget final : public QWidget
{
    Q_OBJECT

public:
    struct Captions
    {
        QString Username = QStringLiteral("&Username:");
        QString Password = QStringLiteral("&Password:");
        QString Domain = QStringLiteral("D&omain:");
        QString LocalAccount = QStringLiteral("&Local Account");
    };

    AccountEntryWidget(AccountEntrySection &section, const Captions &captions, QWidget *parent = nullptr);
};

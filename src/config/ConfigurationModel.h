#pragma once

#include "common/ConsoleConfig.h"

#include <QString>
#include <QStringList>

#include <array>
#include <optional>

// The rules of the console's configuration, shared by the configuration
// dialog and `vo config`: what each field shows, the checks in the order the
// administrator meets them, and the save that writes all or nothing.
class ConfigurationModel
{
public:
    // The fields are the configuration values LogPath to PendingTimeout;
    // the welcome screen's box is apart, it can hold nothing wrong.
    using Field = ConsoleConfig::Value;
    static constexpr int FieldCount = ConsoleConfig::PendingTimeout + 1;

    // The Console IP list's first entry: the clients are given the listener
    // address. Stored as empty text.
    static const QString UseListenerIP;
    // What the Listener IP list shows on a machine without an address.
    static const QString NoIPsFound;
    static const QString RegistryNotOpened;

    struct Refusal
    {
        Field field = ConsoleConfig::LogPath;
        QString message;
    };

    // The console's key, AppState's AppKeyPath, unless another is given.
    explicit ConfigurationModel(const QString &keyPath = QString());

    // Every field from its stored value or its default. False when the key
    // cannot be opened; the fields hold the defaults then.
    bool Load();

    QString Text(Field field) const { return m_texts.at(field); }
    void SetText(Field field, const QString &text) { m_texts[field] = text; }
    bool ShowWelcomeScreen() const { return m_showWelcome; }
    void SetShowWelcomeScreen(bool show) { m_showWelcome = show; }

    // The fingerprint of the listener's certificate as the dialog shows it,
    // read only: the certificate is made by the first check or run.
    static QString CertificateText();

    // This machine's addresses, which the Listener IP list offers.
    const QStringList &LocalAddresses() const { return m_localAddresses; }

    // The one check of a field, as the dialog applies it.
    static std::optional<Refusal> CheckField(Field field, const QString &text);
    // The first field that fails, in the dialog's order.
    std::optional<Refusal> Check() const;

    // SaveSettings: every check first; only when all pass, every value in
    // the order the configuration is written. The refusal says why nothing
    // was saved; no field to focus when the key could not be opened.
    struct Outcome
    {
        bool saved = false;
        std::optional<Field> focus;
        QString message;
    };
    Outcome SaveSettings() const;

    // The text stored for a field: "- Use Listener IP -" is stored empty.
    static QString StoredText(Field field, const QString &text);
    // The text a field shows for a stored text.
    static QString ShownText(Field field, const QString &stored);

private:
    bool keyOpens() const;

    QString m_keyPath;
    std::array<QString, FieldCount> m_texts;
    bool m_showWelcome = true;
    QStringList m_localAddresses;
};

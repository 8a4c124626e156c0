#include "shell/forms/frmSetSettings.h"

#include "common/AppInfo.h"
#include "common/modErrorHandler.h"
#include "network/modNetwork.h"
#include "settings/sections/widgets/ContextSectionWidget.h"
#include "settings/sections/widgets/JoinSectionWidget.h"
#include "settings/sections/widgets/OptionsSectionWidget.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

frmSetSettings::frmSetSettings(const GlobalSettings &start, int count, QWidget *parent)
    : QDialog(parent)
    , m_start(start.Clone())
{
    setObjectName(QStringLiteral("frmSetSettings"));
    setWindowTitle(QStringLiteral("Set Settings - ") + AppInfo::Title());
    setModal(true);
    auto *layout = new QVBoxLayout(this);
    auto *intro = new QLabel(QStringLiteral("Each of the %1 computers gets its own copy of these settings. They start as the "
                                            "first computer of the selection has them; its accounts go with them.")
                                 .arg(count),
        this);
    intro->setWordWrap(true);
    layout->addWidget(intro);

    m_source.load(*m_start, false);
    m_destination.load(*m_start, false);
    m_join.load(*m_start, false);
    m_options.load(*m_start, false);
    auto *tabs = new QTabWidget(this);
    tabs->setObjectName(QStringLiteral("tabSetSettings"));
    tabs->setAccessibleName(QStringLiteral("Settings pages"));
    auto *contexts = new QWidget;
    auto *contextsLayout = new QVBoxLayout(contexts);
    contextsLayout->addWidget(new ContextSectionWidget(m_source, contexts));
    contextsLayout->addWidget(new ContextSectionWidget(m_destination, contexts));
    contextsLayout->addStretch(1);
    tabs->addTab(contexts, QStringLiteral("&Source && Destination"));
    tabs->addTab(new JoinSectionWidget(m_join), QStringLiteral("Domain &Join"));
    tabs->addTab(new OptionsSectionWidget(m_options), QStringLiteral("O&ptions"));
    layout->addWidget(tabs, 1);

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
    setTabOrder(tabs, cmdOK);
    setTabOrder(cmdOK, cmdCancel);
    // Lookup finds a domain controller's address, as it does in the panel.
    const auto lookup = [this](SettingsSection &section, int name, int address) {
        connect(&section, &SettingsSection::commandPressed, this, [&section, name, address] {
            modErrorHandler::Guard("frmSetSettings.cmdLookup_Click", [&] {
                const QString found = modNetwork::LookupDC(section.text(name));
                if (!found.isEmpty())
                    section.type(address, found);
            });
        });
    };
    lookup(m_source, ContextSection::DC, ContextSection::DCIP);
    lookup(m_destination, ContextSection::DC, ContextSection::DCIP);
    lookup(m_join, JoinSection::DomDCName, JoinSection::DomDCIP);
    connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    tabs->setFocus();
}

GlobalSettingsPtr frmSetSettings::result() const
{
    GlobalSettingsPtr record = m_start->Clone();
    m_join.store(*record);
    m_options.store(*record);
    m_source.store(*record);
    m_destination.store(*record);
    return record;
}

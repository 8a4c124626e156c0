#include "shell/forms/frmAbout.h"

#include "common/AppInfo.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

frmAbout::frmAbout(QWidget *owner)
    : QDialog(owner)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About ") + AppInfo::Title());
    // A dialog box: a title and a close button, nothing to minimise or resize.
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);

    auto *icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("imgLogo"));
    icon->setPixmap(QIcon(QStringLiteral(":/shell/varno-osk.svg")).pixmap(64, 64));
    icon->setAlignment(Qt::AlignTop);

    auto *title = new QLabel(AppInfo::WindowTitle(), this);
    title->setObjectName(QStringLiteral("lblTitle"));
    QFont titleFont = title->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.3);
    titleFont.setBold(true);
    title->setFont(titleFont);

    auto *version = new QLabel(
        QStringLiteral("Version: %1.%2.%3").arg(AppInfo::VersionMajor()).arg(AppInfo::VersionMinor()).arg(AppInfo::VersionRevision()),
        this);
    version->setObjectName(QStringLiteral("lblVersion"));

    auto *description = new QLabel(QStringLiteral("The administrator's console of the Varno-Osk profile migration system: "
                                                  "it keeps the computers to migrate, their migration settings and user lists, "
                                                  "checks them and hands the job to the migration engine."),
        this);
    description->setObjectName(QStringLiteral("lblDescription"));
    description->setWordWrap(true);

    auto *legal = new QLabel(AppInfo::LegalCopyright(), this);
    legal->setObjectName(QStringLiteral("lblLegal"));
    legal->setWordWrap(true);
    QPalette grey = legal->palette();
    grey.setColor(QPalette::WindowText, QColor(96, 96, 96));
    legal->setPalette(grey);

    auto *text = new QVBoxLayout;
    text->setSpacing(6);
    text->addWidget(title);
    text->addWidget(version);
    text->addSpacing(6);
    text->addWidget(description);
    text->addSpacing(6);
    text->addWidget(legal);

    auto *body = new QHBoxLayout;
    body->setSpacing(16);
    body->addWidget(icon);
    body->addLayout(text, 1);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    QPushButton *ok = buttons->button(QDialogButtonBox::Ok);
    ok->setObjectName(QStringLiteral("cmdOK"));
    ok->setDefault(true);
    // Some desktops put a theme icon on standard buttons; the console's dialogs have none.
    ok->setIcon(QIcon());
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 18, 20, 14);
    layout->addLayout(body);
    layout->addSpacing(8);
    layout->addWidget(buttons);

    setFixedWidth(460);
    adjustSize();
}

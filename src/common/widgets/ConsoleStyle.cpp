#include "common/widgets/ConsoleStyle.h"

#include <QApplication>
#include <QIcon>
#include <QStyleFactory>

ConsoleStyle::ConsoleStyle()
    // By name, so that a style chosen with -style or QT_STYLE_OVERRIDE stays.
    : QProxyStyle(QStyleFactory::create(QApplication::style()->name()))
{ }

QIcon ConsoleStyle::standardIcon(StandardPixmap standardIcon, const QStyleOption *option, const QWidget *widget) const
{
    const char *name = nullptr;
    switch (standardIcon) {
    case SP_MessageBoxInformation:
        name = "information";
        break;
    case SP_MessageBoxWarning:
        name = "warning";
        break;
    case SP_MessageBoxCritical:
        name = "critical";
        break;
    case SP_MessageBoxQuestion:
        name = "question";
        break;
    default:
        return QProxyStyle::standardIcon(standardIcon, option, widget);
    }
    return QIcon(QStringLiteral(":/common/message-") + QLatin1String(name) + QStringLiteral(".svg"));
}

#pragma once

#include <QProxyStyle>

// The console's style: the desktop's, with message-box pictures of our own.
// The style's own ones are small bitmaps when the desktop offers no icon
// theme, and blur on a screen scaled past 1; ours are drawings, sharp at any
// scale, and each differs in its shape as well as its colour.
class ConsoleStyle : public QProxyStyle
{
    Q_OBJECT

public:
    // Wraps the style the application has now; QApplication::setStyle takes it.
    ConsoleStyle();

    QIcon standardIcon(StandardPixmap standardIcon, const QStyleOption *option = nullptr, const QWidget *widget = nullptr) const override;
};

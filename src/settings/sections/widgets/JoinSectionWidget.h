#pragma once

#include <QWidget>

class JoinSection;

// "Join Domain" with the domain, its controller and address, and "Join
// Workgroup" with its name, bound to their section.
class JoinSectionWidget final : public QWidget
{
    Q_OBJECT

public:
    JoinSectionWidget(JoinSection &section, QWidget *parent = nullptr);
};

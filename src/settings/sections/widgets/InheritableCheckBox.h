#pragma once

#include <QCheckBox>

// A check box whose third state means "ticked on a higher level": it shows
// a grey tick in a grey box, as a greyed box always looked on Windows,
// instead of the dash many styles draw for a partly checked box.
//
// A click does not change the box by itself. The section's rules decide what
// a click means (an inherited tick becomes unticked, not ticked) and set
// the state afterwards.
class InheritableCheckBox final : public QCheckBox
{
    Q_OBJECT

public:
    explicit InheritableCheckBox(const QString &text, QWidget *parent = nullptr);

protected:
    void nextCheckState() override;
    void paintEvent(QPaintEvent *event) override;
};

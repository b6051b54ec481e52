// Tab into a group of radio buttons lands on the checked one (arrow keys then move the
// choice), as dialog users expect; Qt's own focus chain would land on the group's first.
#pragma once

#include <QObject>

class QButtonGroup;

namespace zv {

class RadioGroupFocus : public QObject {
    Q_OBJECT
public:
    // Watches every button of group; owned by group.
    static void install(QButtonGroup* group);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit RadioGroupFocus(QButtonGroup* group);
    QButtonGroup* group_;
};

}  // namespace zv

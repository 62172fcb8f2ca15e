#include "info/ui/BrowserControls.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QPointer>

namespace zorvast::info::ui {

void bindBrowserControls(info::BrowserView& browser, const BrowserControlSet& controls) {
    info::BrowserView* target = &browser;
    const auto wire = [](QAbstractButton* button, auto action) {
        if (button) {
            QObject::connect(button, &QAbstractButton::clicked, button, action);
        }
    };
    wire(controls.back, [target] { target->back(); });
    wire(controls.forward, [target] { target->forward(); });
    wire(controls.refresh, [target] { target->refresh(); });
    wire(controls.stop, [target] { target->stop(); });

    QPointer<QLineEdit> box = controls.address;
    if (box) {
        const auto go = [target, box] {
            if (box) {
                target->navigate(box->text().toStdString());
            }
        };
        wire(controls.go, go);
        QObject::connect(box, &QLineEdit::returnPressed, box, go);
    }

    info::BrowserEvents events;
    events.navigationComplete = [target, box] {
        if (box) {
            box->setText(QString::fromStdString(info::addressBoxText(target->address())));
        }
    };
    events.progressChanged = controls.progress;
    events.statusTextChanged = controls.status;
    browser.subscribe(std::move(events));
}

} // namespace zorvast::info::ui

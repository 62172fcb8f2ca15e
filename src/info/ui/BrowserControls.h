// The bar of a browser view: back, forward, refresh, stop, an address box with its go button
// (Enter in the box does the same), and the relays of the view's progress and status text.
// The community tab and the forum window share it.
#pragma once

#include "info/pages/BrowserView.h"

#include <functional>
#include <string>

class QAbstractButton;
class QLineEdit;

namespace zorvast::info::ui {

struct BrowserControlSet {
    QAbstractButton* back = nullptr;
    QAbstractButton* forward = nullptr;
    QAbstractButton* refresh = nullptr;
    QAbstractButton* stop = nullptr;
    QAbstractButton* go = nullptr;
    QLineEdit* address = nullptr;
    // Called on the window thread; unset ones are skipped.
    std::function<void(int value)> progress;
    std::function<void(const std::string& text)> status;
};

// Wires the controls to `browser`; a missing control is left out. After every completed
// navigation the address box shows the browser's address when it is online, else nothing.
void bindBrowserControls(info::BrowserView& browser, const BrowserControlSet& controls);

} // namespace zorvast::info::ui

// What the information pages need from an embedded browser view. The workers drive views
// through this from their own threads; an implementation carries every call to the thread the
// view lives on, in the order it was made. Texts are UTF-8.
#pragma once

#include "info/Messages.h"

#include <functional>
#include <string>
#include <string_view>

namespace zorvast::info {

// What a view tells its owner. Every notification arrives on the view's own (window) thread.
struct BrowserEvents {
    std::function<void()> navigationComplete;       // a page has finished loading
    std::function<void(int value)> progressChanged; // load progress, 0..100
    std::function<void(const std::string&)> statusTextChanged;
    std::function<void(const std::string&)> titleChanged;
};

class BrowserView {
public:
    virtual ~BrowserView() = default;

    // An address as a user types it ("http://...", "www.example.cn") or the absolute path of
    // a local file. An empty address leaves the view as it is.
    virtual void navigate(const std::string& address) = 0;
    // The address shown, as a URL ("file:///..." for a local file); empty before the first
    // navigation.
    virtual std::string address() const = 0;
    // kFinishedStatus once the page has finished loading, empty while it loads.
    virtual std::string statusText() const = 0;
    virtual std::string title() const = 0;

    virtual void back() = 0;
    virtual void forward() = 0;
    virtual void refresh() = 0;
    virtual void stop() = 0;

    // Adds a receiver of the notifications; call it on the window thread. Empty members are
    // skipped.
    virtual void subscribe(BrowserEvents events) = 0;
};

// What an address box shows after a navigation: online addresses as they are; anything else
// (a local file, a blank page) shows nothing, so local paths never appear.
std::string addressBoxText(std::string_view address);

} // namespace zorvast::info

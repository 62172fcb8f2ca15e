// tests/support/http_server.py as a child process on 127.0.0.1 and a free port, for the life of
// one object (see ChildProcess.h for how it ends).
#pragma once

#include "support/ChildProcess.h"

#include <string>
#include <vector>

namespace zorvast::testing {

class LocalHttpServer final : public ChildServer {
public:
    // `extraArguments` go to the script, e.g. {"--root", folder} to serve files as well.
    explicit LocalHttpServer(const std::vector<std::string>& extraArguments = {})
        : ChildServer(ZORVAST_SOURCE_DIR "/tests/support/http_server.py", extraArguments, "HTTP") {}

    // "http://127.0.0.1:PORT" followed by `path` (which starts with "/").
    std::string url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(port()) + path;
    }
};

} // namespace zorvast::testing

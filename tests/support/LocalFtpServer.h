// tests/support/ftp_server.py as a child process on 127.0.0.1 and a free port, for the life of
// one object (see ChildProcess.h for how it ends): one folder, read-only, to anonymous.
#pragma once

#include "support/ChildProcess.h"

#include <string>
#include <vector>

namespace zorvast::testing {

class LocalFtpServer final : public ChildServer {
public:
    // `extraArguments` go to the script after the folder, e.g. {"--login", "user:password"}.
    explicit LocalFtpServer(const std::string& root,
                            const std::vector<std::string>& extraArguments = {})
        : ChildServer(ZORVAST_SOURCE_DIR "/tests/support/ftp_server.py",
                      withRoot(root, extraArguments), "FTP") {}

    // "ftp://127.0.0.1:PORT" followed by `path` (which starts with "/").
    std::string url(const std::string& path) const {
        return "ftp://127.0.0.1:" + std::to_string(port()) + path;
    }

private:
    static std::vector<std::string> withRoot(const std::string& root,
                                             const std::vector<std::string>& extraArguments) {
        std::vector<std::string> arguments = {"--root", root};
        arguments.insert(arguments.end(), extraArguments.begin(), extraArguments.end());
        return arguments;
    }
};

} // namespace zorvast::testing

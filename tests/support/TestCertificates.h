// A throw-away certificate authority and a server certificate for 127.0.0.1 and localhost, made
// with the openssl tool for HTTPS test servers (LocalNginx) and the clients that trust them.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

extern char** environ;

namespace zorvast::testing {

struct TestCertificates {
    std::filesystem::path ca;          // ca.pem: the authority's certificate, what a client trusts
    std::filesystem::path caKey;       // ca.key: its key, to sign more certificates
    std::filesystem::path certificate; // server.pem: IP 127.0.0.1 and DNS localhost, signed by ca
    std::filesystem::path key;         // server.key: the server certificate's key (P-256)
};

namespace detail {

inline void runOpenssl(const std::filesystem::path& folder, std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), "/usr/bin/openssl");
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    const std::string log = (folder / "openssl.log").string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, log.c_str(),
                                     O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    if (spawned == 0) {
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }
    if (spawned != 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::ifstream in(log);
        throw std::runtime_error(
            "openssl " + arguments[1] + " failed: " +
            std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()));
    }
}

inline void writeConfig(const std::filesystem::path& file, const std::string& text) {
    std::ofstream out(file, std::ios::trunc);
    out << text;
    if (!out.flush()) {
        throw std::runtime_error("cannot write " + file.string());
    }
}

} // namespace detail

// Makes a fresh authority (named "Zorvast test CA" + `authority`) and server certificate in
// `folder` (made when missing), valid for 30 days from now. Own openssl configurations, so the
// machine's openssl.cnf plays no part.
inline TestCertificates makeTestCertificates(const std::filesystem::path& folder,
                                             const std::string& authority = {}) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::absolute(folder);
    fs::create_directories(dir);
    const TestCertificates made{dir / "ca.pem", dir / "ca.key", dir / "server.pem",
                                dir / "server.key"};
    const fs::path caConfig = dir / "ca.cnf";
    const fs::path serverConfig = dir / "server.cnf";
    const fs::path request = dir / "server.csr";
    detail::writeConfig(caConfig, "[req]\n"
                                  "prompt = no\n"
                                  "distinguished_name = dn\n"
                                  "x509_extensions = ca\n"
                                  "[dn]\n"
                                  "CN = Zorvast test CA" +
                                      (authority.empty() ? "" : " " + authority) +
                                      "\n"
                                      "[ca]\n"
                                      "basicConstraints = critical, CA:TRUE\n"
                                      "keyUsage = critical, keyCertSign, cRLSign\n"
                                      "subjectKeyIdentifier = hash\n");
    detail::writeConfig(serverConfig, "[req]\n"
                                      "prompt = no\n"
                                      "distinguished_name = dn\n"
                                      "[dn]\n"
                                      "CN = 127.0.0.1\n"
                                      "[server]\n"
                                      "basicConstraints = critical, CA:FALSE\n"
                                      "keyUsage = critical, digitalSignature, keyEncipherment\n"
                                      "extendedKeyUsage = serverAuth\n"
                                      "subjectAltName = IP:127.0.0.1, DNS:localhost\n"
                                      "subjectKeyIdentifier = hash\n"
                                      "authorityKeyIdentifier = keyid\n");
    const std::vector<std::string> newKey = {"-newkey", "ec", "-pkeyopt",
                                             "ec_paramgen_curve:prime256v1", "-nodes"};
    std::vector<std::string> caArguments = {"req", "-x509", "-new", "-sha256", "-days", "30"};
    caArguments.insert(caArguments.end(), newKey.begin(), newKey.end());
    caArguments.insert(caArguments.end(), {"-keyout", made.caKey.string(), "-out", made.ca.string(),
                                           "-config", caConfig.string()});
    detail::runOpenssl(dir, caArguments);

    std::vector<std::string> requestArguments = {"req", "-new", "-sha256"};
    requestArguments.insert(requestArguments.end(), newKey.begin(), newKey.end());
    requestArguments.insert(
        requestArguments.end(),
        {"-keyout", made.key.string(), "-out", request.string(), "-config", serverConfig.string()});
    detail::runOpenssl(dir, requestArguments);

    detail::runOpenssl(dir, {"x509",
                             "-req",
                             "-sha256",
                             "-days",
                             "30",
                             "-in",
                             request.string(),
                             "-CA",
                             made.ca.string(),
                             "-CAkey",
                             made.caKey.string(),
                             "-CAcreateserial",
                             "-CAserial",
                             (dir / "ca.srl").string(),
                             "-out",
                             made.certificate.string(),
                             "-extfile",
                             serverConfig.string(),
                             "-extensions",
                             "server"});
    return made;
}

} // namespace zorvast::testing

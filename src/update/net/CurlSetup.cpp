#include "update/net/CurlSetup.h"

#include "update/net/ServerText.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <system_error>

namespace zorvast::update {
namespace {

namespace fs = std::filesystem;

// A bundle holds a few hundred certificates (Debian's: about 200 KiB); an extra file a few.
constexpr std::uintmax_t kMaxBundleBytes = 16u * 1024u * 1024u;
constexpr std::uintmax_t kMaxExtraBytes = 1024u * 1024u;

std::optional<std::string> readRegularFile(const fs::path& path, std::uintmax_t limit) {
    std::error_code ec;
    if (path.empty() || !fs::is_regular_file(path, ec)) {
        return std::nullopt;
    }
    const std::uintmax_t size = fs::file_size(path, ec);
    if (ec || size > limit) {
        return std::nullopt;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::string bytes(static_cast<std::size_t>(size), '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (in.gcount() != static_cast<std::streamsize>(bytes.size())) {
        return std::nullopt;
    }
    return bytes;
}

std::string infoText(CURL* handle, CURLINFO what) {
    char* value = nullptr;
    if (curl_easy_getinfo(handle, what, &value) != CURLE_OK || !value) {
        return {};
    }
    return value;
}

} // namespace

bool ensureCurlGlobalInit() {
    // A function-local static is initialised exactly once even when threads race here.
    static const bool ready = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    return ready;
}

CurlHeaderList noCacheHeaders() {
    CurlHeaderList list(curl_slist_append(nullptr, "Cache-Control: no-cache"));
    if (list && !appendHeader(list, "Pragma: no-cache")) {
        list.reset();
    }
    return list;
}

bool appendHeader(CurlHeaderList& list, const std::string& line) {
    // Appending to a non-empty list returns its unchanged head, or null leaving it intact.
    curl_slist* head = curl_slist_append(list.get(), line.c_str());
    if (!head) {
        return false;
    }
    if (!list) {
        list.reset(head);
    }
    return true;
}

CaLocations systemCaLocations() {
    CaLocations locations;
#if LIBCURL_VERSION_NUM >= 0x075400
    if (ensureCurlGlobalInit()) {
        // Built-in values: a fresh handle reports them before any option is set.
        CURL* handle = curl_easy_init();
        if (handle) {
            locations.bundle = infoText(handle, CURLINFO_CAINFO);
            locations.folder = infoText(handle, CURLINFO_CAPATH);
            curl_easy_cleanup(handle);
            return locations;
        }
    }
#endif
    locations.bundle = "/etc/ssl/certs/ca-certificates.crt";
    locations.folder = "/etc/ssl/certs";
    return locations;
}

CaTrust caTrustWith(const CaLocations& system, const fs::path& extraCaFile) {
    const std::optional<std::string> extra = readRegularFile(extraCaFile, kMaxExtraBytes);
    if (!extra) {
        return {};
    }
    CaTrust trust;
    trust.folder = system.folder;
    if (!system.bundle.empty()) {
        if (std::optional<std::string> bundle = readRegularFile(system.bundle, kMaxBundleBytes)) {
            trust.pem = std::move(*bundle);
            trust.pem += '\n'; // a bundle need not end its last line
        }
    }
    trust.pem += *extra;
    return trust;
}

CaTrust caTrustFromEnvironment() {
    const char* extra = std::getenv("ZORVAST_CA_FILE");
    if (!extra || !*extra) {
        return {};
    }
    return caTrustWith(systemCaLocations(), fs::path(extra));
}

bool applyCaTrust(CURL* handle, const CaTrust& trust) {
    bool ok = true;
    if (!trust.folder.empty()) {
        ok = curl_easy_setopt(handle, CURLOPT_CAPATH, trust.folder.c_str()) == CURLE_OK && ok;
    }
    if (!trust.pem.empty()) {
        curl_blob blob{};
        blob.data = const_cast<char*>(trust.pem.data());
        blob.len = trust.pem.size();
        blob.flags = CURL_BLOB_COPY;
        ok = curl_easy_setopt(handle, CURLOPT_CAINFO_BLOB, &blob) == CURLE_OK && ok;
    }
    return ok;
}

UrlScheme urlSchemeOf(std::string_view url) {
    if (url.find('\0') != std::string_view::npos) {
        return UrlScheme::Other;
    }
    if (startsWithNoCase(url, "http://")) {
        return UrlScheme::Http;
    }
    if (startsWithNoCase(url, "https://")) {
        return UrlScheme::Https;
    }
    if (startsWithNoCase(url, "ftp://")) {
        return UrlScheme::Ftp;
    }
    return UrlScheme::Other;
}

bool isHttpsUrl(std::string_view url) {
    return startsWithNoCase(url, "https://");
}

std::chrono::milliseconds curlTimeout(std::chrono::milliseconds value) {
    return std::max(value, std::chrono::milliseconds(1));
}

bool setUpCurlHandle(CURL* handle, std::string_view url, CurlSchemes schemes, curl_slist* headers) {
    if (url.find('\0') != std::string_view::npos) {
        return false;
    }
    const std::string urlText(url);
    bool ok = curl_easy_setopt(handle, CURLOPT_URL, urlText.c_str()) == CURLE_OK;
    // Sent as given: no removal of "/../" or "/./" from the path.
    ok = curl_easy_setopt(handle, CURLOPT_PATH_AS_IS, 1L) == CURLE_OK && ok;
    // Once a request went out over https, a redirect may not hand the answer to plain http.
    const bool https = isHttpsUrl(url);
#if LIBCURL_VERSION_NUM >= 0x075500
    ok = curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR,
                          schemes == CurlSchemes::WebAndFtp ? "http,https,ftp" : "http,https") ==
             CURLE_OK &&
         ok;
    ok = curl_easy_setopt(handle, CURLOPT_REDIR_PROTOCOLS_STR, https ? "https" : "http,https") ==
             CURLE_OK &&
         ok;
#else
    long allowed = CURLPROTO_HTTP | CURLPROTO_HTTPS;
    if (schemes == CurlSchemes::WebAndFtp) {
        allowed |= CURLPROTO_FTP;
    }
    ok = curl_easy_setopt(handle, CURLOPT_PROTOCOLS, allowed) == CURLE_OK && ok;
    ok = curl_easy_setopt(handle, CURLOPT_REDIR_PROTOCOLS,
                          https ? long{CURLPROTO_HTTPS} : long{CURLPROTO_HTTP | CURLPROTO_HTTPS}) ==
             CURLE_OK &&
         ok;
#endif
    // Time-outs must not use SIGALRM: other threads of the program are running.
    ok = curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L) == CURLE_OK && ok;
#if LIBCURL_VERSION_NUM >= 0x075700
    // A stop during a slow name lookup leaves the resolver thread behind instead of waiting.
    ok = curl_easy_setopt(handle, CURLOPT_QUICK_EXIT, 1L) == CURLE_OK && ok;
#endif
    if (headers) {
        // libcurl sends them with HTTP requests only; FTP ignores the list.
        ok = curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers) == CURLE_OK && ok;
    }
    ok = applyCaTrust(handle, caTrustFromEnvironment()) && ok;
    return ok;
}

CurlEasy makeCurlHandle(const CurlRequest& request) {
    CurlEasy easy(curl_easy_init());
    if (!easy || !setUpCurlHandle(easy.get(), request.url, request.schemes, request.headers)) {
        return nullptr;
    }
    CURL* handle = easy.get();
    curl_easy_setopt(handle, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS,
                     static_cast<long>(curlTimeout(request.connectTimeout).count()));
    if (request.maxRedirects) {
        curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 1L);
        curl_easy_setopt(handle, CURLOPT_MAXREDIRS, std::max(*request.maxRedirects, 0L));
    }
    if (request.onHeader) {
        curl_easy_setopt(handle, CURLOPT_HEADERFUNCTION, request.onHeader);
        curl_easy_setopt(handle, CURLOPT_HEADERDATA, request.headerTarget);
    }
    if (request.onBody) {
        curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, request.onBody);
        curl_easy_setopt(handle, CURLOPT_WRITEDATA, request.bodyTarget);
    }
    return easy;
}

} // namespace zorvast::update

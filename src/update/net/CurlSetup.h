// The one place libcurl easy handles are made: the options every request of the program shares
// (which schemes it may use and where redirects may lead, no signals, the certificates it trusts,
// the no-cache headers, the connect time-out) and the receivers of its answer. Proxies are left
// to libcurl's own environment handling (http_proxy, https_proxy, ftp_proxy, no_proxy).
#pragma once

#include <curl/curl.h>

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace zorvast::update {

struct CurlEasyDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
using CurlEasy = std::unique_ptr<CURL, CurlEasyDeleter>;

struct CurlListDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using CurlHeaderList = std::unique_ptr<curl_slist, CurlListDeleter>;

// "Cache-Control: no-cache" and "Pragma: no-cache"; null when memory ran out.
CurlHeaderList noCacheHeaders();
// Appends one header line; false (the list unchanged) when memory ran out.
bool appendHeader(CurlHeaderList& list, const std::string& line);

// Where certificates are looked for.
struct CaLocations {
    std::string bundle; // a PEM file of several certificates; empty: none
    std::string folder; // a folder of hashed certificate files; empty: none
};

// The system's store, as libcurl was built to use it (Debian: the bundle
// /etc/ssl/certs/ca-certificates.crt and the folder /etc/ssl/certs).
CaLocations systemCaLocations();

// What a handle is told about trust. Both empty: libcurl's defaults, i.e. the system store.
struct CaTrust {
    std::string folder; // CURLOPT_CAPATH
    std::string pem;    // CURLOPT_CAINFO_BLOB: takes the place of the bundle file
};

// The system store with the certificates of `extraCaFile` added. libcurl (OpenSSL) reads either
// a bundle file or a PEM blob, not both, so the blob holds the system bundle followed by the
// extra file; the folder stays as it is. An empty path, or one that names no readable regular
// file, leaves the system store alone.
CaTrust caTrustWith(const CaLocations& system, const std::filesystem::path& extraCaFile);

// caTrustWith the system store and the file named by ZORVAST_CA_FILE, read anew for each call.
CaTrust caTrustFromEnvironment();

// Sets the trust on a handle; false when libcurl refused an option.
bool applyCaTrust(CURL* handle, const CaTrust& trust);

enum class CurlSchemes {
    Web,       // http and https
    WebAndFtp, // the download service also fetches from anonymous FTP
};

enum class UrlScheme { Other, Http, Https, Ftp };

// The scheme `url` starts with, in any case; Other for a URL holding a zero byte.
UrlScheme urlSchemeOf(std::string_view url);
// True when `url` starts with "https://", in any case.
bool isHttpsUrl(std::string_view url);

// Status lines and headers of one request, redirects included. Real servers send well under
// 2 KiB; the cap only stops a server that sends headers without end.
inline constexpr std::size_t kMaxHeaderBytes = 256u * 1024u;

// A time-out as libcurl takes it: zero would mean "none" to libcurl, so a zero or negative value
// becomes 1 ms.
std::chrono::milliseconds curlTimeout(std::chrono::milliseconds value);

// libcurl's receivers of header lines and body bytes: they return the bytes taken, and fewer to
// make libcurl abort the transfer with CURLE_WRITE_ERROR.
using CurlReceiver = std::size_t (*)(char* data, std::size_t size, std::size_t count, void* user);

// One GET.
struct CurlRequest {
    std::string_view url; // sent as given
    CurlSchemes schemes = CurlSchemes::Web;
    curl_slist* headers = nullptr; // owned by the caller, kept until the transfer ends
    std::chrono::milliseconds connectTimeout{5000}; // name lookup, TCP and TLS together
    // Redirects followed, at most this many; none: a redirect is the answer.
    std::optional<long> maxRedirects;
    CurlReceiver onHeader = nullptr;
    void* headerTarget = nullptr;
    CurlReceiver onBody = nullptr;
    void* bodyTarget = nullptr;
};

// The shared options on `handle`: the URL (sent as given, no "/../" folding), the schemes a
// request may use, redirects only to the web and, from an https URL, only to https; no signals
// (other threads run), the headers (libcurl sends them with HTTP requests only) and
// caTrustFromEnvironment(). False when libcurl refused an option.
bool setUpCurlHandle(CURL* handle, std::string_view url, CurlSchemes schemes, curl_slist* headers);

// A new easy handle for `request`: the shared options, a GET, the connect time-out, the redirects
// and the receivers. Null when libcurl could not make one or refused an option. The caller
// initialises libcurl first (ensureCurlGlobalInit).
CurlEasy makeCurlHandle(const CurlRequest& request);

// Initialises libcurl once per process (thread-safe); false when that failed.
bool ensureCurlGlobalInit();

} // namespace zorvast::update

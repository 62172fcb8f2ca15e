// The libcurl options every request of the program shares: which schemes it may use (and where
// redirects may lead), no signals, the certificates it trusts and the no-cache headers. Proxies
// are left to libcurl's own environment handling (http_proxy, https_proxy, ftp_proxy, no_proxy).
#pragma once

#include <curl/curl.h>

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

namespace zorvast::update {

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

// The shared options: the URL (sent as given, no "/../" folding), the schemes a request may use,
// redirects (when set by the caller) only to the web and, from an https URL, only to https; no
// signals (other threads run), `headers` (owned by the caller, kept until the transfer ends) and
// caTrustFromEnvironment(). False when libcurl refused an option.
bool setUpCurlHandle(CURL* handle, std::string_view url, CurlSchemes schemes, curl_slist* headers);

// True when `url` starts with "https://", in any case.
bool isHttpsUrl(std::string_view url);

// Initialises libcurl once per process (thread-safe); false when that failed.
bool ensureCurlGlobalInit();

} // namespace zorvast::update

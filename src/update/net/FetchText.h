// The one HTTP GET for short texts from the servers: version answers, mirror lists, the
// channel lists and the forum probe. Blocking, on the calling thread, safe to call from several
// threads at once (each call has its own libcurl handle and connection).
#pragma once

#include <chrono>
#include <cstddef>
#include <string>

namespace zorvast::update {

struct FetchOptions {
    // DNS, TCP and TLS together. Two SYN retransmissions (1 s, then 3 s) still fit.
    std::chrono::milliseconds connectTimeout{5000};
    // The whole call, redirects included. The list reload blocks the window thread, so this
    // stays short; the texts are a few kilobytes and arrive in well under a second.
    std::chrono::milliseconds totalTimeout{15000};
    // A larger body is a failure, not a cut text: a cut mirror list would look valid.
    std::size_t maxBodyBytes = 4u * 1024u * 1024u;
    long maxRedirects = 5;
};

enum class FetchFailure {
    None,
    BadUrl,           // not an http:// or https:// URL, or one libcurl cannot parse
    Refused,          // a redirect to a scheme other than http or https, or from https to http
    Connect,          // unknown host, refused or unreachable
    Timeout,          // connect or total time-out
    Transfer,         // the connection broke, a short body, TLS, a garbled reply
    HttpStatus,       // the final status is not 2xx
    TooLarge,         // body or headers beyond their caps
    TooManyRedirects, // more than maxRedirects
};

struct FetchOutcome {
    std::string text; // GBK bytes up to the first zero byte; empty on any failure
    FetchFailure failure = FetchFailure::None;
    long httpStatus = 0; // the last status received, 0 when none
};

// GET `url` exactly as given, with "Cache-Control: no-cache" and "Pragma: no-cache". https
// trusts the system's certificates and those of ZORVAST_CA_FILE (see CurlSetup.h).
// Returns the body up to its first zero byte, raw bytes, or an empty text on any failure.
std::string fetchText(const std::string& url);
std::string fetchText(const std::string& url, const FetchOptions& options);

// The same request with what became of it: the last status and, on failure, the reason.
FetchOutcome fetchTextOutcome(const std::string& url, const FetchOptions& options = {});

} // namespace zorvast::update

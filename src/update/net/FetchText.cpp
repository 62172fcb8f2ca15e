#include "update/net/FetchText.h"

#include "update/net/CurlSetup.h"

#include <curl/curl.h>

#include <string_view>

namespace zorvast::update {
namespace {

struct Transfer {
    std::string body;
    std::size_t maxBodyBytes = 0;
    std::size_t headerBytes = 0;
    bool tooLarge = false;
};

std::size_t onBody(char* data, std::size_t size, std::size_t count, void* user) {
    auto* transfer = static_cast<Transfer*>(user);
    const std::size_t bytes = size * count;
    if (bytes > transfer->maxBodyBytes - transfer->body.size()) {
        transfer->tooLarge = true;
        return 0; // makes libcurl abort with CURLE_WRITE_ERROR
    }
    transfer->body.append(data, bytes);
    return bytes;
}

std::size_t onHeader(char*, std::size_t size, std::size_t count, void* user) {
    auto* transfer = static_cast<Transfer*>(user);
    const std::size_t bytes = size * count;
    transfer->headerBytes += bytes;
    if (transfer->headerBytes > kMaxHeaderBytes) {
        transfer->tooLarge = true;
        return 0;
    }
    return bytes;
}

// libcurl would also read file:// and fetch ftp://; the callers only ever want web pages.
bool isWebUrl(std::string_view url) {
    const UrlScheme scheme = urlSchemeOf(url);
    return scheme == UrlScheme::Http || scheme == UrlScheme::Https;
}

FetchFailure failureOf(CURLcode code, long lastStatus) {
    switch (code) {
    case CURLE_URL_MALFORMAT:
        return FetchFailure::BadUrl;
    case CURLE_UNSUPPORTED_PROTOCOL:
        // After a 3xx: the Location had a scheme we refuse. Otherwise a reply without a status
        // line (HTTP/0.9 is not accepted).
        return lastStatus >= 300 && lastStatus <= 399 ? FetchFailure::Refused
                                                      : FetchFailure::Transfer;
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_CONNECT:
        return FetchFailure::Connect;
    case CURLE_OPERATION_TIMEDOUT:
        return FetchFailure::Timeout;
    case CURLE_TOO_MANY_REDIRECTS:
        return FetchFailure::TooManyRedirects;
    case CURLE_FILESIZE_EXCEEDED:
        return FetchFailure::TooLarge;
    default:
        return FetchFailure::Transfer;
    }
}

} // namespace

FetchOutcome fetchTextOutcome(const std::string& url, const FetchOptions& options) {
    FetchOutcome outcome;
    if (!isWebUrl(url)) {
        outcome.failure = FetchFailure::BadUrl;
        return outcome;
    }
    if (!ensureCurlGlobalInit()) {
        outcome.failure = FetchFailure::Transfer;
        return outcome;
    }
    const CurlHeaderList headers = noCacheHeaders();
    Transfer transfer;
    transfer.maxBodyBytes = options.maxBodyBytes;
    // Declared after the list and the transfer record it points to, so it is cleaned up first.
    const CurlEasy easy = headers ? makeCurlHandle({.url = url,
                                                    .schemes = CurlSchemes::Web,
                                                    .headers = headers.get(),
                                                    .connectTimeout = options.connectTimeout,
                                                    .maxRedirects = options.maxRedirects,
                                                    .onHeader = &onHeader,
                                                    .headerTarget = &transfer,
                                                    .onBody = &onBody,
                                                    .bodyTarget = &transfer})
                                  : nullptr;
    if (!easy) {
        outcome.failure = FetchFailure::Transfer;
        return outcome;
    }
    CURL* handle = easy.get();
    curl_easy_setopt(handle, CURLOPT_TIMEOUT_MS,
                     static_cast<long>(curlTimeout(options.totalTimeout).count()));
    if (options.maxBodyBytes > 0) {
        // Refuses an announced Content-Length beyond the cap before any body byte is read;
        // onBody catches bodies without one.
        curl_easy_setopt(handle, CURLOPT_MAXFILESIZE_LARGE,
                         static_cast<curl_off_t>(options.maxBodyBytes));
    }

    const CURLcode code = curl_easy_perform(handle);
    curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &outcome.httpStatus);
    if (transfer.tooLarge) {
        outcome.failure = FetchFailure::TooLarge;
        return outcome;
    }
    if (code != CURLE_OK) {
        outcome.failure = failureOf(code, outcome.httpStatus);
        return outcome;
    }
    // A 3xx that could not be followed (no Location) is no more the resource than a 404.
    if (outcome.httpStatus < 200 || outcome.httpStatus > 299) {
        outcome.failure = FetchFailure::HttpStatus;
        return outcome;
    }
    const std::size_t zero = transfer.body.find('\0');
    if (zero != std::string::npos) {
        transfer.body.resize(zero);
    }
    outcome.text = std::move(transfer.body);
    return outcome;
}

std::string fetchText(const std::string& url, const FetchOptions& options) {
    return fetchTextOutcome(url, options).text;
}

std::string fetchText(const std::string& url) {
    return fetchText(url, FetchOptions{});
}

} // namespace zorvast::update

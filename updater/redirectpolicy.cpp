#include "updater/redirectpolicy.h"

#include <curl/curl.h>

namespace vela {

std::string schemeAndHost(const std::string& url) {
    CURLU* u = curl_url();
    if (!u)
        return {};
    std::string out;
    char* scheme = nullptr;
    char* host = nullptr;
    if (curl_url_set(u, CURLUPART_URL, url.c_str(), 0) == CURLUE_OK &&
        curl_url_get(u, CURLUPART_SCHEME, &scheme, 0) == CURLUE_OK &&
        curl_url_get(u, CURLUPART_HOST, &host, 0) == CURLUE_OK) {
        out = std::string(scheme) + "://" + host;
        for (char& c : out)
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
    }
    curl_free(scheme);
    curl_free(host);
    curl_url_cleanup(u);
    return out;
}

bool mayFollowRedirect(const std::string& origin, const char* next) {
    return next && !origin.empty() && schemeAndHost(next) == origin;
}

} // namespace vela

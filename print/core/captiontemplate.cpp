#include "captiontemplate.h"

#include "browser/core/thumbfit.h"
#include "resources/stringtable.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace kamelo {

std::string CaptionTemplate::expand(const std::string& templ, const std::string& fileName,
                                    const std::string& dateTaken) {
    struct Hit {
        size_t at;
        size_t length;
        const std::string* with;
    };
    std::vector<Hit> hits;
    const std::string_view nameMacro = res::text(res::IDS_PRINT_TOKEN_FILE_NAME);
    const std::string_view dateMacro = res::text(res::IDS_PRINT_TOKEN_DATE_TAKEN);
    const size_t n = templ.find(nameMacro);
    const size_t d = templ.find(dateMacro);
    if (n != std::string::npos)
        hits.push_back({n, nameMacro.size(), &fileName});
    if (d != std::string::npos)
        hits.push_back({d, dateMacro.size(), &dateTaken});
    if (hits.size() == 2 && hits[1].at < hits[0].at)
        std::swap(hits[0], hits[1]);
    std::string out;
    size_t from = 0;
    for (const Hit& h : hits) {
        out.append(templ, from, h.at - from);
        out += *h.with;
        from = h.at + h.length;
    }
    out.append(templ, from, std::string::npos);
    return out;
}

std::string CaptionTemplate::formatDateTaken(const std::string& text) {
    int32_t seconds = 0;
    if (!ThumbFit::captureTime(text, seconds))
        return {};
    auto num = [&](size_t at, size_t len) { return std::stoi(text.substr(at, len)); };
    return res::format(res::IDS_PRINT_DATE_FORMAT, num(0, 4), num(5, 2), num(8, 2), num(11, 2),
                       num(14, 2), num(17, 2));
}

} // namespace kamelo

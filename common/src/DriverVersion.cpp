#include "common/DriverVersion.h"

#include <vector>

namespace {

std::vector<std::string> SplitVersion(const std::string& csVersion) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (true) {
        size_t dot = csVersion.find('.', start);
        std::string part = csVersion.substr(start, dot == std::string::npos ? dot : dot - start);
        size_t first = part.find_first_not_of(" \t");
        part = first == std::string::npos
                   ? ""
                   : part.substr(first, part.find_last_not_of(" \t") - first + 1);
        parts.push_back(part);
        if (dot == std::string::npos)
            break;
        start = dot + 1;
    }
    // Trailing zero parts say nothing: "1.2.0" is "1.2".
    while (!parts.empty() &&
           (parts.back().empty() || parts.back().find_first_not_of('0') == std::string::npos))
        parts.pop_back();
    return parts;
}

bool IsNumber(const std::string& csPart) {
    return !csPart.empty() && csPart.find_first_not_of("0123456789") == std::string::npos;
}

// Numbers of any length: leading zeros dropped, then the longer is larger.
int CompareNumbers(std::string left, std::string right) {
    left.erase(0, std::min(left.find_first_not_of('0'), left.size()));
    right.erase(0, std::min(right.find_first_not_of('0'), right.size()));
    if (left.size() != right.size())
        return left.size() < right.size() ? -1 : 1;
    return left.compare(right) < 0 ? -1 : (left == right ? 0 : 1);
}

} // namespace

int CompareDriverVersions(const std::string& csLeft, const std::string& csRight) {
    std::vector<std::string> left = SplitVersion(csLeft), right = SplitVersion(csRight);
    for (size_t i = 0; i < std::max(left.size(), right.size()); ++i) {
        std::string a = i < left.size() ? left[i] : "0";
        std::string b = i < right.size() ? right[i] : "0";
        if (a.empty())
            a = "0";
        if (b.empty())
            b = "0";
        int order = IsNumber(a) && IsNumber(b) ? CompareNumbers(a, b) : a.compare(b);
        if (order != 0)
            return order < 0 ? -1 : 1;
    }
    return 0;
}

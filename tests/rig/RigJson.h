#pragma once
// The rig's reading of kvartix-cli's JSON: enough to judge a run, not a JSON parser.

#include <map>
#include <string>
#include <vector>

namespace kvartix::rig {

using Fields = std::map<std::string, std::string>;

// A flat JSON object's keys with their values as written (strings unquoted); a nested value is
// kept whole, so that keys added later do not stop the reading.
inline Fields ParseJson(const std::string& s) {
    Fields f;
    std::size_t i = s.find('{');
    if (i == std::string::npos) return f;
    ++i;
    const auto readString = [&s](std::size_t& at) {
        std::string out;
        for (++at; at < s.size() && s[at] != '"'; ++at) {
            if (s[at] == '\\' && at + 1 < s.size()) ++at;
            out += s[at];
        }
        ++at;
        return out;
    };
    while (i < s.size()) {
        while (i < s.size() && (s[i] == ',' || s[i] == ' ')) ++i;
        if (i >= s.size() || s[i] != '"') break;
        const std::string key = readString(i);
        while (i < s.size() && (s[i] == ':' || s[i] == ' ')) ++i;
        if (i < s.size() && s[i] == '"') {
            f[key] = readString(i);
            continue;
        }
        const std::size_t from = i;
        int depth = 0;
        for (; i < s.size(); ++i) {
            if (s[i] == '{' || s[i] == '[') ++depth;
            if (s[i] == '}' || s[i] == ']') {
                if (depth == 0) break;
                --depth;
            }
            if (depth == 0 && s[i] == ',') break;
        }
        f[key] = s.substr(from, i - from);
    }
    return f;
}

// The objects of the output, each read as ParseJson reads one: the one object of a run on one
// port, or the array of a run on two, one object a direction.
inline std::vector<Fields> ParseJsonObjects(const std::string& s) {
    std::vector<Fields> out;
    int depth = 0;
    bool inString = false;
    std::size_t from = 0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if (inString) {
            if (c == '\\') ++i;
            else if (c == '"') inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '{' && depth++ == 0) {
            from = i;
        } else if (c == '}' && depth > 0 && --depth == 0) {
            out.push_back(ParseJson(s.substr(from, i + 1 - from)));
        }
    }
    return out;
}

}  // namespace kvartix::rig

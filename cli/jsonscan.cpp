#include "jsonscan.h"

#include <charconv>
#include <cmath>

namespace {

constexpr int kMaxDepth = 256;

class Scanner final
{
public:
    explicit Scanner(std::string_view text) : at(text.data()), end(text.data() + text.size()) {}

    JsonScan scan()
    {
        JsonScan result;
        space();
        if (at == end || *at != '{')
            return result;
        if (!object(result) || (space(), at != end))
            return JsonScan();
        result.object = true;
        return result;
    }

private:
    void space()
    {
        while (at != end && (*at == ' ' || *at == '\t' || *at == '\r' || *at == '\n'))
            ++at;
    }

    bool literal(std::string_view word)
    {
        if (std::size_t(end - at) < word.size() || std::string_view(at, word.size()) != word)
            return false;
        at += word.size();
        return true;
    }

    static bool hex(char c)
    {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    }

    // A string from its opening quote; `raw` gets its text between the
    // quotes and `plain` whether it holds no escape.
    bool string(std::string_view *raw = nullptr, bool *plain = nullptr)
    {
        const char *start = ++at;
        bool escapes = false;
        while (at != end) {
            const unsigned char c = static_cast<unsigned char>(*at);
            if (c == '"') {
                if (raw)
                    *raw = std::string_view(start, std::size_t(at - start));
                if (plain)
                    *plain = !escapes;
                ++at;
                return true;
            }
            if (c < 0x20)
                return false;
            if (c == '\\') {
                escapes = true;
                if (++at == end)
                    return false;
                switch (*at) {
                case '"': case '\\': case '/': case 'b': case 'f': case 'n': case 'r': case 't':
                    break;
                case 'u':
                    for (int i = 0; i < 4; ++i)
                        if (++at == end || !hex(*at))
                            return false;
                    break;
                default:
                    return false;
                }
            }
            ++at;
        }
        return false;
    }

    static bool digit(char c) { return c >= '0' && c <= '9'; }

    bool number(double *value)
    {
        const char *start = at;
        if (at != end && *at == '-')
            ++at;
        if (at == end || !digit(*at))
            return false;
        if (*at == '0')
            ++at;
        else
            while (at != end && digit(*at))
                ++at;
        if (at != end && *at == '.') {
            if (++at == end || !digit(*at))
                return false;
            while (at != end && digit(*at))
                ++at;
        }
        if (at != end && (*at == 'e' || *at == 'E')) {
            ++at;
            if (at != end && (*at == '+' || *at == '-'))
                ++at;
            if (at == end || !digit(*at))
                return false;
            while (at != end && digit(*at))
                ++at;
        }
        if (value) {
            // JSON's grammar is a subset of from_chars' (sign included);
            // beyond the doubles' range it reads 0 or an infinity.
            const std::from_chars_result read = std::from_chars(start, at, *value);
            if (read.ec == std::errc::result_out_of_range) {
                const std::string_view text(start, std::size_t(at - start));
                const bool tiny = text.find("e-") != std::string_view::npos || text.find("E-") != std::string_view::npos;
                *value = (start[0] == '-' ? -1.0 : 1.0) * (tiny ? 0.0 : HUGE_VAL);
            }
        }
        return true;
    }

    enum class Kind { Other, Number };

    bool value(int depth, Kind *kind = nullptr, double *number = nullptr)
    {
        if (kind)
            *kind = Kind::Other;
        space();
        if (at == end)
            return false;
        switch (*at) {
        case '{': {
            JsonScan ignored;
            return depth < kMaxDepth && objectAt(depth + 1, ignored, false);
        }
        case '[':
            return depth < kMaxDepth && array(depth + 1);
        case '"':
            return string();
        case 't':
            return literal("true");
        case 'f':
            return literal("false");
        case 'n':
            return literal("null");
        default:
            if (kind)
                *kind = Kind::Number;
            return this->number(number);
        }
    }

    bool array(int depth)
    {
        ++at;
        space();
        if (at != end && *at == ']') {
            ++at;
            return true;
        }
        for (;;) {
            if (!value(depth))
                return false;
            space();
            if (at == end)
                return false;
            if (*at == ']') {
                ++at;
                return true;
            }
            if (*at != ',')
                return false;
            ++at;
        }
    }

    bool object(JsonScan &result) { return objectAt(1, result, true); }

    bool objectAt(int depth, JsonScan &result, bool top)
    {
        ++at;
        space();
        if (at != end && *at == '}') {
            ++at;
            return true;
        }
        for (;;) {
            space();
            if (at == end || *at != '"')
                return false;
            std::string_view key;
            if (!string(&key))
                return false;
            space();
            if (at == end || *at != ':')
                return false;
            ++at;
            space();
            Kind kind = Kind::Other;
            double number = 0.0;
            if (top && key == "test" && at != end && *at == '"') {
                std::string_view text;
                bool plain = false;
                if (!string(&text, &plain))
                    return false;
                result.test = plain ? text : std::string_view();
            } else if (!value(depth, &kind, top ? &number : nullptr)) {
                return false;
            }
            if (top && key == "status")
                result.statusZero = kind == Kind::Number && number == 0.0;
            if (top && key == "p") {
                result.hasP = true;
                result.pNumber = kind == Kind::Number;
                result.p = number;
            }
            space();
            if (at == end)
                return false;
            if (*at == '}') {
                ++at;
                return true;
            }
            if (*at != ',')
                return false;
            ++at;
        }
    }

    const char *at;
    const char *end;
};

} // namespace

JsonScan scanJsonLine(std::string_view line)
{
    return Scanner(line).scan();
}

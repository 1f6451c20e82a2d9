#include "shaders/pack/json_value.h"

#include <cstdlib>

namespace shaders {

const JsonValue* JsonValue::member(std::string_view name) const {
    if (kind != Object) return nullptr;
    for (size_t i = 0; i < keys.size(); ++i)
        if (keys[i] == name) return &items[i];
    return nullptr;
}

namespace {

constexpr int kMaxDepth = 64;

class Reader {
  public:
    explicit Reader(std::string_view text) : text_(text) {}

    bool document(JsonValue& value, std::string& error) {
        if (value_(value, 0) && (skipSpace(), at_ == text_.size())) return true;
        if (reason_.empty()) reason_ = "unexpected text";
        error = "JSON, byte " + std::to_string(at_) + ": " + reason_;
        return false;
    }

  private:
    bool fail(const char* reason) {
        reason_ = reason;
        return false;
    }
    void skipSpace() {
        while (at_ < text_.size() &&
               (text_[at_] == ' ' || text_[at_] == '\t' || text_[at_] == '\n' || text_[at_] == '\r'))
            ++at_;
    }
    bool take(char c) {
        skipSpace();
        if (at_ >= text_.size() || text_[at_] != c) return false;
        ++at_;
        return true;
    }
    bool word(std::string_view w) {
        if (text_.substr(at_, w.size()) != w) return fail("unknown word");
        at_ += w.size();
        return true;
    }

    bool string(std::string& out) {
        if (!take('"')) return fail("expected a string");
        for (;;) {
            if (at_ >= text_.size()) return fail("unterminated string");
            char c = text_[at_++];
            if (c == '"') return true;
            if (c != '\\') {
                out += c;
                continue;
            }
            if (at_ >= text_.size()) return fail("unterminated string");
            c = text_[at_++];
            static constexpr std::string_view kFrom = "\"\\/bfnrt", kTo = "\"\\/\b\f\n\r\t";
            if (size_t i = kFrom.find(c); i != std::string_view::npos) {
                out += kTo[i];
            } else if (c == 'u' && at_ + 4 <= text_.size()) {
                // Names in a reflection are ASCII; other characters only need to stay apart.
                out += '?';
                at_ += 4;
            } else {
                return fail("bad escape in a string");
            }
        }
    }

    bool number(double& out) {
        const size_t start = at_;
        while (at_ < text_.size() &&
               std::string_view("+-0123456789.eE").find(text_[at_]) != std::string_view::npos)
            ++at_;
        const std::string digits(text_.substr(start, at_ - start));
        char* end = nullptr;
        out = std::strtod(digits.c_str(), &end);
        return (!digits.empty() && *end == '\0') || fail("bad number");
    }

    bool value_(JsonValue& value, int depth) {
        if (depth > kMaxDepth) return fail("nested too deep");
        skipSpace();
        if (at_ >= text_.size()) return fail("unexpected end");
        switch (text_[at_]) {
        case '{':
            ++at_;
            value.kind = JsonValue::Object;
            if (take('}')) return true;
            do {
                value.keys.emplace_back();
                value.items.emplace_back();
                if (!string(value.keys.back()) || !(take(':') || fail("expected ':'")) ||
                    !value_(value.items.back(), depth + 1))
                    return false;
            } while (take(','));
            return take('}') || fail("expected ',' or '}'");
        case '[':
            ++at_;
            value.kind = JsonValue::Array;
            if (take(']')) return true;
            do {
                value.items.emplace_back();
                if (!value_(value.items.back(), depth + 1)) return false;
            } while (take(','));
            return take(']') || fail("expected ',' or ']'");
        case '"':
            value.kind = JsonValue::String;
            return string(value.text);
        case 't':
            value.kind = JsonValue::Boolean;
            value.boolean = true;
            return word("true");
        case 'f':
            value.kind = JsonValue::Boolean;
            return word("false");
        case 'n':
            return word("null");
        default:
            value.kind = JsonValue::Number;
            return number(value.number);
        }
    }

    std::string_view text_;
    size_t at_ = 0;
    std::string reason_;
};

} // namespace

bool parseJson(std::string_view text, JsonValue& value, std::string& error) {
    value = {};
    return Reader(text).document(value, error);
}

} // namespace shaders

// A JSON document read whole into a tree: enough for the reflection spirv-cross writes.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace shaders {

struct JsonValue {
    enum Kind { Null, Boolean, Number, String, Array, Object };
    Kind kind = Null;
    bool boolean = false;
    double number = 0.0;
    std::string text;
    std::vector<JsonValue> items;  // an array's elements, or an object's member values in the text's order
    std::vector<std::string> keys; // an object's member names: items[i] is named keys[i]

    // The object's member of that name; null when there is none or this is no object.
    const JsonValue* member(std::string_view name) const;
};

// False with the byte offset and reason of the first fault; nesting deeper than 64 is one.
bool parseJson(std::string_view text, JsonValue& value, std::string& error);

} // namespace shaders

#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace assets {

// JSON text for any string: quotes, backslashes and control characters escaped, and bytes that
// are not UTF-8 replaced by U+FFFD, so a file name in a foreign code page still gives valid JSON.
std::string jsonEscape(std::string_view text);

// Builds indented JSON (two blanks per level): owners open inspect.json and manifest.json to
// see what was found, so they are written for people as much as for the page.
class JsonWriter {
  public:
    JsonWriter& beginObject() { return open('{'); }
    JsonWriter& endObject() { return close('}'); }
    JsonWriter& beginArray() { return open('['); }
    JsonWriter& endArray() { return close(']'); }

    JsonWriter& key(std::string_view name);
    JsonWriter& value(std::string_view text);
    JsonWriter& value(const char* text) { return value(std::string_view(text)); }
    JsonWriter& value(const std::string& text) { return value(std::string_view(text)); }
    JsonWriter& value(long long number);
    JsonWriter& value(int number) { return value(static_cast<long long>(number)); }
    // At most three decimals: seconds to the millisecond, lengths to the hundredth of a mm.
    JsonWriter& value(double number);
    JsonWriter& value(bool flag);

    template <typename T>
    JsonWriter& member(std::string_view name, const T& v) {
        return key(name).value(v);
    }

    // The document with a final line end.
    std::string text() const { return text_ + "\n"; }

  private:
    JsonWriter& open(char bracket);
    JsonWriter& close(char bracket);
    JsonWriter& raw(std::string_view token);
    void separate();
    void newline();

    std::string text_;
    std::vector<bool> empty_;  // per open container: nothing written into it yet
    bool afterKey_ = false;
};

}  // namespace assets

#include "json_tree.hpp"

#include <cstdlib>
#include <cstring>

#include "record_error.hpp"

namespace vok::records {

namespace {

// Grows array to hold needed elements; while it is still the tree's inline
// storage, the first growth moves it to the heap.
template <typename T>
bool grow(T *&array, uint32_t &room, uint32_t needed, const T *inline_storage) {
    if (needed <= room) return true;
    const uint32_t wanted = needed < 64 ? 64 : needed + needed / 2;
    const bool inline_now = array == inline_storage;
    void *grown = std::realloc(inline_now ? nullptr : array, size_t{wanted} * sizeof(T));
    if (grown == nullptr) return false;
    if (inline_now) std::memcpy(grown, array, size_t{room} * sizeof(T));
    array = static_cast<T *>(grown);
    room = wanted;
    return true;
}

int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Bytes of the UTF-8 sequence at p (below end) if it is well-formed: no
// overlong form, no surrogate, nothing above U+10FFFF; 0 otherwise.
size_t utf8_sequence(const unsigned char *p, const unsigned char *end) {
    const unsigned char c = *p;
    size_t size;
    unsigned char low = 0x80, high = 0xBF; // the second byte's range
    if (c >= 0xC2 && c <= 0xDF) {
        size = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
        size = 3;
        low = c == 0xE0 ? 0xA0 : 0x80;
        high = c == 0xED ? 0x9F : 0xBF;
    } else if (c >= 0xF0 && c <= 0xF4) {
        size = 4;
        low = c == 0xF0 ? 0x90 : 0x80;
        high = c == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (static_cast<size_t>(end - p) < size || p[1] < low || p[1] > high) return 0;
    for (size_t i = 2; i < size; ++i)
        if ((p[i] & 0xC0) != 0x80) return 0;
    return size;
}

} // namespace

class JsonTree::Parser {
  public:
    Parser(JsonTree &tree, const char *text, size_t length, vokxRecordError *error)
        : tree_(tree), p_(text), start_(text), end_(text + length), error_(error) {}

    uint16_t run() {
        if (end_ - p_ >= 3 && std::memcmp(p_, "\xEF\xBB\xBF", 3) == 0) p_ += 3;
        uint32_t root = 0;
        if (const uint16_t status = value(1, root)) return status;
        skip_space();
        if (p_ != end_) return refuse("text after the JSON value");
        return VOK_OK;
    }

  private:
    uint16_t refuse(const char *reason) {
        return fail(error_, VOKX_BAD_SCHEMA, static_cast<uint32_t>(p_ - start_), "",
                    "not JSON: %s at byte %u", reason, static_cast<unsigned>(p_ - start_));
    }
    uint16_t no_memory() {
        return fail(error_, VOK_NO_MEMORY, 0, "", "not enough memory for the schema");
    }

    void skip_space() {
        while (p_ != end_ && (*p_ == ' ' || *p_ == '\t' || *p_ == '\n' || *p_ == '\r'))
            ++p_;
    }

    uint16_t add_value(JsonValue::Type type, uint32_t &index) {
        if (!grow(tree_.values_, tree_.value_room_, tree_.value_count_ + 1, tree_.inline_values_))
            return no_memory();
        index = tree_.value_count_++;
        tree_.values_[index] =
            JsonValue{type, false, static_cast<uint32_t>(p_ - start_), 0, 0, 0, 0, 0, 0, 0};
        return VOK_OK;
    }

    uint16_t put_bytes(const char *bytes, uint32_t size) {
        if (!grow(tree_.buffer_, tree_.buffer_room_, tree_.buffer_size_ + size,
                  tree_.inline_buffer_))
            return no_memory();
        std::memcpy(tree_.buffer_ + tree_.buffer_size_, bytes, size);
        tree_.buffer_size_ += size;
        return VOK_OK;
    }

    // A code point as UTF-8; surrogates too (see the header).
    uint16_t put_code_point(uint32_t c) {
        char bytes[4];
        uint32_t size = 1;
        if (c < 0x80) {
            bytes[0] = static_cast<char>(c);
        } else if (c < 0x800) {
            bytes[0] = static_cast<char>(0xC0 | c >> 6);
            size = 2;
        } else if (c < 0x10000) {
            bytes[0] = static_cast<char>(0xE0 | c >> 12);
            bytes[1] = static_cast<char>(0x80 | (c >> 6 & 0x3F));
            size = 3;
        } else {
            bytes[0] = static_cast<char>(0xF0 | c >> 18);
            bytes[1] = static_cast<char>(0x80 | (c >> 12 & 0x3F));
            bytes[2] = static_cast<char>(0x80 | (c >> 6 & 0x3F));
            size = 4;
        }
        bytes[size - 1] = static_cast<char>(size == 1 ? c : 0x80 | (c & 0x3F));
        return put_bytes(bytes, size);
    }

    bool hex4(uint32_t &out) {
        if (end_ - p_ < 4) return false;
        out = 0;
        for (int i = 0; i < 4; ++i) {
            const int digit = hex_value(p_[i]);
            if (digit < 0) return false;
            out = out << 4 | static_cast<uint32_t>(digit);
        }
        p_ += 4;
        return true;
    }

    uint16_t escape() {
        static constexpr char kFrom[] = "\"\\/bfnrt", kTo[] = "\"\\/\b\f\n\r\t";
        const char *simple = p_ != end_ ? std::strchr(kFrom, *p_) : nullptr;
        if (simple != nullptr && *p_ != '\0') {
            ++p_;
            return put_bytes(&kTo[simple - kFrom], 1);
        }
        if (p_ == end_ || *p_++ != 'u') return refuse("an unknown escape");
        uint32_t c = 0;
        if (!hex4(c)) return refuse("a \\u escape without four hex digits");
        if (c >= 0xD800 && c <= 0xDBFF && end_ - p_ >= 6 && p_[0] == '\\' && p_[1] == 'u') {
            const char *before = p_;
            p_ += 2;
            uint32_t low = 0;
            if (hex4(low) && low >= 0xDC00 && low <= 0xDFFF)
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
            else
                p_ = before; // a lone surrogate; the next escape stands alone
        }
        return put_code_point(c);
    }

    // A string's bytes into the buffer: *at is where they start.
    uint16_t string(uint32_t &at, uint32_t &length) {
        ++p_; // the opening quote
        at = tree_.buffer_size_;
        while (p_ != end_ && *p_ != '"') {
            const auto c = static_cast<unsigned char>(*p_);
            uint16_t status = VOK_OK;
            if (c < 0x20) return refuse("a control character in a string");
            if (c == '\\') {
                ++p_;
                status = escape();
            } else if (c < 0x80) {
                status = put_bytes(p_++, 1);
            } else {
                const size_t size = utf8_sequence(reinterpret_cast<const unsigned char *>(p_),
                                                  reinterpret_cast<const unsigned char *>(end_));
                if (size == 0) return refuse("bytes that are not UTF-8");
                status = put_bytes(p_, static_cast<uint32_t>(size));
                p_ += size;
            }
            if (status != VOK_OK) return status;
        }
        if (p_ == end_) return refuse("a string without its closing quote");
        ++p_;
        length = tree_.buffer_size_ - at;
        return VOK_OK;
    }

    uint16_t number(uint32_t index) {
        const char *first = p_;
        const auto digits = [this] {
            const char *from = p_;
            while (p_ != end_ && *p_ >= '0' && *p_ <= '9')
                ++p_;
            return p_ != from;
        };
        if (*p_ == '-') ++p_;
        if (p_ != end_ && *p_ == '0')
            ++p_;
        else if (!digits())
            return refuse("a number without digits");
        if (p_ != end_ && *p_ == '.' && (++p_, !digits()))
            return refuse("a fraction without digits");
        if (p_ != end_ && (*p_ == 'e' || *p_ == 'E')) {
            ++p_;
            if (p_ != end_ && (*p_ == '+' || *p_ == '-')) ++p_;
            if (!digits()) return refuse("an exponent without digits");
        }
        tree_.values_[index].length = static_cast<uint32_t>(p_ - first);
        return VOK_OK;
    }

    uint16_t word(const char *text, JsonValue::Type type, bool truth, uint32_t &index) {
        const size_t size = std::strlen(text);
        if (static_cast<size_t>(end_ - p_) < size || std::memcmp(p_, text, size) != 0)
            return refuse("an unexpected byte");
        if (const uint16_t status = add_value(type, index)) return status;
        tree_.values_[index].truth = truth;
        p_ += size;
        return VOK_OK;
    }

    // Elements or members up to the closing bracket; each is linked after
    // the one before it.
    uint16_t container(uint32_t depth, uint32_t index, bool object) {
        const char close = object ? '}' : ']';
        ++p_;
        skip_space();
        if (p_ != end_ && *p_ == close) {
            ++p_;
            return VOK_OK;
        }
        for (uint32_t last = 0;;) {
            uint32_t key = 0, key_length = 0, child = 0;
            skip_space();
            if (object) {
                if (p_ == end_ || *p_ != '"') return refuse("a member without a string key");
                if (const uint16_t status = string(key, key_length)) return status;
                skip_space();
                if (p_ == end_ || *p_++ != ':') return refuse("a key without ':' after it");
            }
            if (const uint16_t status = value(depth + 1, child)) return status;
            JsonValue &added = tree_.values_[child];
            added.key = key;
            added.key_length = key_length;
            (last == 0 ? tree_.values_[index].first : tree_.values_[last].next) = child;
            last = child;
            ++tree_.values_[index].count;
            skip_space();
            if (p_ != end_ && *p_ == ',') {
                ++p_;
                continue;
            }
            if (p_ == end_ || *p_++ != close)
                return refuse(object ? "a member without ',' or '}' after it"
                                     : "an element without ',' or ']' after it");
            return VOK_OK;
        }
    }

    uint16_t value(uint32_t depth, uint32_t &index) {
        skip_space();
        if (p_ == end_) return refuse("the text ends where a value should be");
        switch (*p_) {
        case '{':
        case '[': {
            if (depth > kMaxJsonDepth) return refuse("nested deeper than 32");
            const bool object = *p_ == '{';
            if (const uint16_t status =
                    add_value(object ? JsonValue::object : JsonValue::array, index))
                return status;
            return container(depth, index, object);
        }
        case '"': {
            if (const uint16_t status = add_value(JsonValue::string, index)) return status;
            uint32_t at = 0, length = 0;
            const uint16_t status = string(at, length);
            tree_.values_[index].text = at;
            tree_.values_[index].length = length;
            return status;
        }
        case 't':
            return word("true", JsonValue::boolean, true, index);
        case 'f':
            return word("false", JsonValue::boolean, false, index);
        case 'n':
            return word("null", JsonValue::null, false, index);
        default:
            if (static_cast<unsigned char>(*p_) >= 0x80 &&
                utf8_sequence(reinterpret_cast<const unsigned char *>(p_),
                              reinterpret_cast<const unsigned char *>(end_)) == 0)
                return refuse("bytes that are not UTF-8"); // UTF-16, say
            if (*p_ != '-' && (*p_ < '0' || *p_ > '9')) return refuse("an unexpected byte");
            if (const uint16_t status = add_value(JsonValue::number, index)) return status;
            tree_.values_[index].text = tree_.values_[index].offset;
            return number(index);
        }
    }

    JsonTree &tree_;
    const char *p_;
    const char *const start_;
    const char *const end_;
    vokxRecordError *error_;
};

JsonTree::~JsonTree() {
    if (values_ != inline_values_) std::free(values_);
    if (buffer_ != inline_buffer_) std::free(buffer_);
}

uint16_t JsonTree::parse(const char *text, size_t length, vokxRecordError *error) {
    source_ = text;
    if (length > kMaxJsonText)
        return fail(error, VOKX_BAD_SCHEMA, 0, "", "larger than 16 MiB: not a schema file");
    return Parser(*this, text, length, error).run();
}

} // namespace vok::records

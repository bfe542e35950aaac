/* A client as a program built with Microsoft's toolchain sees vok32: compiled
 * for the MSVC ABI and linked with lld-link against the COFF import libraries
 * alone.  It has no C runtime at all (there is no Windows SDK to link one
 * from), so it brings its own entry point and writes to the console through
 * kernel32.  Every block the library hands out goes back through
 * vokDestroyStream, the only way a program may release one whatever C runtime
 * it uses itself.
 *
 * Prints the 13-byte record "user mark 1, unsigned 300" (type 7, version 3),
 * frames it with vok32x, reads it back, then carries a QVRCore string through
 * a stream; exits with 0 only when everything matched. */
#include "qvrcore.h"
#include "vok32.h"
#include "vok32x.h"

#define STD_OUTPUT_HANDLE ((uint32_t)-11)
__declspec(dllimport) void *__stdcall GetStdHandle(uint32_t which);
__declspec(dllimport) int __stdcall WriteFile(void *file, const void *bytes, uint32_t size,
                                              uint32_t *written, void *overlapped);
__declspec(dllimport) __declspec(noreturn) void __stdcall ExitProcess(uint32_t code);

/* One line of output, built piece by piece. */
static char line[256];
static uint32_t line_length;

static void put_text(const char *text) {
    while (*text && line_length < sizeof line)
        line[line_length++] = *text++;
}

static void put_decimal(uint32_t value) {
    char digits[10];
    int count = 0;
    do {
        digits[count++] = (char)('0' + value % 10);
        value /= 10;
    } while (value);
    while (count && line_length < sizeof line)
        line[line_length++] = digits[--count];
}

static void put_hex_byte(uint8_t byte) {
    static const char hex[] = "0123456789ABCDEF";
    char text[4] = {' ', hex[byte >> 4], hex[byte & 15], 0};
    put_text(text);
}

static int end_line(void) {
    uint32_t written = 0;
    put_text("\n");
    const int ok = WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), line, line_length, &written, 0) &&
                   written == line_length;
    line_length = 0;
    return ok;
}

static int write_record(vokStream *out) {
    return vokCreateStream(out, 7, 3) == VOK_OK && vokWriteUserMark(out, 1) == VOK_OK &&
           vokWriteUnsigned(out, 300) == VOK_OK && vokCloseStream(out) == VOK_OK;
}

static int print_block(const uint8_t *block, uint32_t length) {
    put_text("handle  ");
    for (uint32_t i = 0; i < length; ++i)
        put_hex_byte(block[i]);
    put_text("  (");
    put_decimal(length);
    put_text(" bytes)");
    return end_line();
}

static int read_record(const uint8_t *block) {
    vokStream in;
    uint32_t value = 0;
    if (vokOpenStream(&in, block, 7, 3) != VOK_OK || vokCanRead(&in) != VOK_OK) return 0;
    const uint8_t mark = vokReadUserMark(&in);
    if (vokReadUnsigned(&in, &value) != VOK_OK || vokCanRead(&in) != VOK_END_OF_STREAM) return 0;
    put_text("read     user mark ");
    put_decimal(mark);
    put_text(", unsigned ");
    put_decimal(value);
    put_text(", then the end");
    return end_line();
}

/* vok32x frames the block from the bytes held, and waits for a missing one. */
static int inspect_record(const uint8_t *block, uint32_t length) {
    vokxBlockInfo info;
    return vokxInspect(block, length - 1, &info) == VOKX_NEED_MORE &&
           vokxInspect(block, length, &info) == VOK_OK && info.length == 13 && info.type == 7 &&
           info.version == 3 && info.body == 8;
}

static int record_round_trip(void) {
    vokStream out;
    if (!write_record(&out)) return 0;
    uint8_t *block = vokGetData(&out);
    const uint32_t length = vokGetLength(&out);
    const int ok =
        print_block(block, length) && inspect_record(block, length) && read_record(block);
    vokDestroyStream(block);
    return ok;
}

static int same_units(i18nString a, i18nString b) {
    uint32_t length_a = 0, length_b = 0;
    const uint16_t *units_a = i18nStringGetUTF16(a, &length_a);
    const uint16_t *units_b = i18nStringGetUTF16(b, &length_b);
    if (length_a != length_b || length_a == 0) return 0;
    for (uint32_t i = 0; i < length_a; ++i)
        if (units_a[i] != units_b[i]) return 0;
    return 1;
}

/* Reads the item a second time as plain bytes, into a block to release. */
static int print_stored_text(const uint8_t *block, i18nString text) {
    uint8_t *cursor = (uint8_t *)block;
    char *stored = 0;
    if (vokValidateStream(&cursor, 7, 1) != VOK_OK || vokDecodeString(&cursor, &stored) != VOK_OK)
        return 0;
    put_text("i18n     ");
    put_text(stored);
    put_text(" (");
    put_decimal(i18nStringLength(text));
    put_text(" UTF-16 units) read back unchanged");
    vokDestroyStream(stored);
    return end_line();
}

static int carry_text(i18nString original, i18nString copy) {
    vokStream out, in;
    int32_t status = -1;
    i18nStringSetUTF8(original,
                      "Gr\xC3\xBC\xC3\x9F"
                      "e, \xE4\xB8\x96\xE7\x95\x8C",
                      &status);
    if (status != 0 || vokCreateStream(&out, 7, 1) != VOK_OK) return 0;
    int ok = vokWriteI18NString(&out, original, &status) == VOK_OK;
    ok = vokCloseStream(&out) == VOK_OK && ok;
    uint8_t *block = vokGetData(&out);
    ok = ok && vokOpenStream(&in, block, 7, 1) == VOK_OK &&
         vokReadI18NString(&in, copy, &status) == VOK_OK && status == 0 &&
         vokCanRead(&in) == VOK_END_OF_STREAM && same_units(original, copy) &&
         print_stored_text(block, copy);
    vokDestroyStream(block);
    return ok;
}

static int i18n_round_trip(void) {
    i18nString original = i18nStringCreate(), copy = i18nStringCreate();
    const int ok = original && copy && carry_text(original, copy);
    i18nStringDestroy(copy);
    i18nStringDestroy(original);
    return ok;
}

void client_main(void) {
    const int ok = record_round_trip() && i18n_round_trip();
    if (!ok) {
        put_text("the client failed");
        end_line();
    }
    ExitProcess(ok ? 0 : 1);
}

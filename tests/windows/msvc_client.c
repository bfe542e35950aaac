/* A client as a program built with Microsoft's toolchain sees vok32: compiled
 * for the MSVC ABI and linked with lld-link against the COFF import libraries
 * alone.  Without the Windows SDK it has no C runtime, so it brings its own
 * entry point and reports through kernel32.  Every block the library hands
 * out goes back through vokDestroyStream, the only way a program may release
 * one whatever C runtime it uses itself.  Exits with 0 only when the record
 * and the internationalised string come back unchanged. */
#include "qvrcore.h"
#include "vok32.h"
#include "vok32x.h"

#define STD_OUTPUT_HANDLE ((uint32_t)-11)
__declspec(dllimport) void *__stdcall GetStdHandle(uint32_t which);
__declspec(dllimport) int __stdcall WriteFile(void *file, const void *bytes, uint32_t size,
                                              uint32_t *written, void *overlapped);
__declspec(dllimport) __declspec(noreturn) void __stdcall ExitProcess(uint32_t code);

/* "User mark 1, unsigned 300" in a stream of type 7, version 3. */
static const uint8_t record[13] = {0x00, 0x00, 0x00, 0x0D, 0xC8, 0x07, 0xD2,
                                   0x03, 0x01, 0xD4, 0x01, 0x2C, 0xC9};
/* Characters of one to four UTF-8 bytes: 12 UTF-16 units, one pair among them. */
static const char text[] = "Gr\xC3\xBC\xC3\x9F"
                           "e, \xE4\xB8\x96\xE7\x95\x8C \xF0\x9F\x8E\x89";

static int same(const void *a, const void *b, uint32_t size) {
    for (uint32_t i = 0; i < size; ++i)
        if (((const uint8_t *)a)[i] != ((const uint8_t *)b)[i]) return 0;
    return 1;
}

static int record_round_trip(void) {
    vokStream out = {0}, in;
    vokxBlockInfo info;
    uint32_t value = 0;
    int ok = vokCreateStream(&out, 7, 3) == VOK_OK && vokWriteUserMark(&out, 1) == VOK_OK &&
             vokWriteUnsigned(&out, 300) == VOK_OK && vokCloseStream(&out) == VOK_OK;
    uint8_t *block = vokGetData(&out);
    ok = ok && vokGetLength(&out) == sizeof record && same(block, record, sizeof record) &&
         vokxInspect(block, 12, &info) == VOKX_NEED_MORE &&
         vokxInspect(block, 13, &info) == VOK_OK && info.length == 13 && info.body == 8 &&
         vokOpenStream(&in, block, 7, 3) == VOK_OK && vokCanRead(&in) == VOK_OK &&
         vokReadUserMark(&in) == 1 && vokReadUnsigned(&in, &value) == VOK_OK && value == 300 &&
         vokCanRead(&in) == VOK_END_OF_STREAM;
    vokDestroyStream(block);
    return ok;
}

/* QVRCore.dll allocates the converted text that vok32.dll releases. */
static int text_round_trip(i18nString original, i18nString copy) {
    vokStream out = {0}, in;
    int32_t status = -1;
    uint32_t length = 0, copy_length = 0;
    char *stored = 0;
    i18nStringSetUTF8(original, text, &status);
    int ok = status == 0 && vokCreateStream(&out, 7, 1) == VOK_OK &&
             vokWriteI18NString(&out, original, &status) == VOK_OK &&
             vokCloseStream(&out) == VOK_OK;
    uint8_t *block = vokGetData(&out), *cursor = block;
    ok = ok && vokOpenStream(&in, block, 7, 1) == VOK_OK &&
         vokReadI18NString(&in, copy, &status) == VOK_OK && status == 0 &&
         vokCanRead(&in) == VOK_END_OF_STREAM;
    const uint16_t *units = i18nStringGetUTF16(original, &length);
    const uint16_t *copied = i18nStringGetUTF16(copy, &copy_length);
    ok = ok && length == 12 && copy_length == length && same(units, copied, 2 * length) &&
         vokValidateStream(&cursor, 7, 1) == VOK_OK &&
         vokDecodeString(&cursor, &stored) == VOK_OK && same(stored, text, sizeof text);
    vokDestroyStream(stored);
    vokDestroyStream(block);
    return ok;
}

void client_main(void) {
    static const char passed[] = "msvc client: record and i18n string read back unchanged\n";
    static const char failed[] = "msvc client: FAILED\n";
    i18nString original = i18nStringCreate(), copy = i18nStringCreate();
    const int ok = record_round_trip() && original && copy && text_round_trip(original, copy);
    i18nStringDestroy(copy);
    i18nStringDestroy(original);
    uint32_t written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), ok ? passed : failed,
              ok ? sizeof passed - 1 : sizeof failed - 1, &written, 0);
    ExitProcess(ok ? 0 : 1);
}

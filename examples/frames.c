/* Frames the blocks lying back to back in a byte buffer, as a log file or a
 * captured socket holds them, and walks the items of each with vok32x.  The
 * buffer here is built with vok32 and ends in a block cut short. */
#include <stdio.h>
#include <string.h>

#include "vok32x.h"

static void print_item(const vokxItem *item) {
    switch (item->kind) {
    case VOK_UNSIGNED_1:
    case VOK_UNSIGNED_2:
    case VOK_UNSIGNED_4:
        printf("  unsigned %u\n", (unsigned)item->value);
        break;
    case VOK_SIGNED_1:
    case VOK_SIGNED_2:
    case VOK_SIGNED_4:
        printf("  signed %d\n", (int)item->signed_value);
        break;
    case VOK_STRING_1:
    case VOK_STRING_2:
    case VOK_UTF8_1:
    case VOK_UTF8_2:
    case VOK_UTF8_4:
        printf("  string \"%.*s\"\n", (int)item->length, (const char *)item->text);
        break;
    default:
        printf("  item %u at offset %u, %u bytes\n", item->kind, (unsigned)item->offset,
               (unsigned)item->size);
    }
}

/* Walks every block in bytes[0, size); returns the offset where framing stopped. */
static size_t walk_blocks(const uint8_t *bytes, size_t size, uint16_t *status) {
    size_t offset = 0;
    vokxBlockInfo info;
    while (offset < size &&
           (*status = vokxInspect(bytes + offset, size - offset, &info)) == VOK_OK) {
        vokStream stream;
        vokxItem item;
        printf("block at %zu: type %u, version %u, %u bytes\n", offset, info.type,
               (unsigned)info.version, (unsigned)info.length);
        if (vokxOpen(&stream, bytes + offset, info.length, info.type, info.version) == VOK_OK)
            while (vokxNextItem(&stream, &item) == VOK_OK)
                print_item(&item);
        offset += info.length;
    }
    return offset;
}

/* Appends one closed block holding an unsigned value, a signed value and a string. */
static size_t append_block(uint8_t *to, uint32_t count, int32_t delta, const char *name) {
    vokStream s;
    size_t length;
    if (vokCreateStream(&s, 7, 3) != VOK_OK) return 0;
    vokWriteUnsigned(&s, count);
    vokWriteSigned(&s, delta);
    vokWriteString(&s, name);
    if (vokCloseStream(&s) != VOK_OK) return 0;
    length = vokGetLength(&s);
    memcpy(to, vokGetData(&s), length);
    vokDestroyStream(vokGetData(&s));
    return length;
}

int main(void) {
    uint8_t buffer[256];
    uint16_t status = VOK_OK;
    size_t size = append_block(buffer, 300, -5, "first");
    size += append_block(buffer + size, 7, 70000, "second");
    size += append_block(buffer + size, 1, 2, "cut short") - 4;
    const size_t stopped = walk_blocks(buffer, size, &status);
    printf("stopped at %zu of %zu bytes: %s\n", stopped, size, vokxStatusName(status));
    return stopped == 47 && status == VOKX_NEED_MORE ? 0 : 1; /* two whole blocks */
}

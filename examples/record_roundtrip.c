/* Writes the record "user mark 1, unsigned 300" as a stream of type 7,
 * version 3, prints its bytes, then opens the block and reads it back.
 * Then builds "unsigned 300" both through a handle and through a cursor in
 * caller memory, and shows that the two blocks are the same bytes. */
#include <stdio.h>
#include <string.h>

#include "vok32.h"

static void print_hex(const char *label, const uint8_t *bytes, uint32_t length) {
    printf("%-8s", label);
    for (uint32_t i = 0; i < length; ++i)
        printf(" %02X", bytes[i]);
    printf("  (%u bytes)\n", (unsigned)length);
}

static int write_record(vokStream *out) {
    if (vokCreateStream(out, 7, 3) != VOK_OK) return 0;
    if (vokWriteUserMark(out, 1) != VOK_OK || vokWriteUnsigned(out, 300) != VOK_OK) return 0;
    return vokCloseStream(out) == VOK_OK;
}

static int read_record(const uint8_t *block) {
    vokStream in;
    uint32_t value = 0;
    if (vokOpenStream(&in, block, 7, 3) != VOK_OK) return 0;
    if (vokCanRead(&in) != VOK_OK) return 0;
    uint8_t mark = vokReadUserMark(&in);
    if (vokReadUnsigned(&in, &value) != VOK_OK) return 0;
    if (vokCanRead(&in) != VOK_END_OF_STREAM) return 0;
    printf("read     user mark %u, unsigned %u, then the end\n", (unsigned)mark, (unsigned)value);
    return 1;
}

/* The same record without the mark, built in our own memory. */
static uint32_t encode_with_cursor(uint8_t *memory) {
    uint8_t *p = memory;
    vokStartStream(&p, 7, 3);
    vokEncodeUnsigned(&p, 300);
    vokFinalStream(memory, p);
    return (uint32_t)(p - memory) + 1; /* p stays on the end marker */
}

static int compare_sides(void) {
    uint8_t memory[VOK_MAX_FRAME_SIZE + 5];
    const uint32_t cursor_length = encode_with_cursor(memory);
    print_hex("cursor", memory, cursor_length);

    vokStream out;
    if (vokCreateStream(&out, 7, 3) != VOK_OK) return 0;
    if (vokWriteUnsigned(&out, 300) != VOK_OK || vokCloseStream(&out) != VOK_OK) return 0;
    uint8_t *block = vokGetData(&out);
    const uint32_t length = vokGetLength(&out);
    print_hex("handle", block, length);
    const int same = length == cursor_length && memcmp(block, memory, length) == 0;
    printf("%s\n", same ? "both sides wrote the same bytes" : "the two sides differ");
    vokDestroyStream(block);
    return same;
}

int main(void) {
    vokStream out;
    if (!write_record(&out)) {
        fprintf(stderr, "writing the record failed\n");
        return 1;
    }
    uint8_t *block = vokGetData(&out);
    print_hex("handle", block, vokGetLength(&out));
    int ok = read_record(block);
    vokDestroyStream(block);
    if (!ok) {
        fprintf(stderr, "reading the record back failed\n");
        return 1;
    }
    return compare_sides() ? 0 : 1;
}

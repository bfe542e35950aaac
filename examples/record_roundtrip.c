/* Writes the record "user mark 1, unsigned 300" as a stream of type 7,
 * version 3, prints its bytes, then opens the block and reads it back. */
#include <stdio.h>

#include "vok32.h"

static void print_hex(const char *label, const uint8_t *bytes, uint32_t length) {
    printf("%-8s", label);
    for (uint32_t i = 0; i < length; ++i) printf(" %02X", bytes[i]);
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
    return 0;
}

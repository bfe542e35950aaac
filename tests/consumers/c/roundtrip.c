/* An installed-library consumer in plain C99: writes the record "user mark 1,
 * unsigned 300" through a handle and through a cursor, checks the bytes, and
 * reads them back.  Built outside the source tree through pkg-config. */
#include <stdio.h>
#include <string.h>

#include <vok32.h>

static const uint8_t expected[] = {0x00, 0x00, 0x00, 0x0D, 0xC8, 0x07, 0xD2,
                                   0x03, 0x01, 0xD4, 0x01, 0x2C, 0xC9};

static int fail(const char *what) {
    fprintf(stderr, "c consumer: %s\n", what);
    return 1;
}

static int read_back(const uint8_t *block) {
    vokStream in;
    uint32_t value = 0;
    if (vokOpenStream(&in, block, 7, 3) != VOK_OK) return 0;
    if (vokCanRead(&in) != VOK_OK || vokReadUserMark(&in) != 1) return 0;
    if (vokReadUnsigned(&in, &value) != VOK_OK || value != 300) return 0;
    return vokCanRead(&in) == VOK_END_OF_STREAM;
}

int main(void) {
    vokStream out;
    uint8_t memory[VOK_MAX_FRAME_SIZE + 6];
    uint8_t *cursor = memory;
    uint8_t *block;
    int ok;

    if (vokCreateStream(&out, 7, 3) != VOK_OK) return fail("create");
    if (vokWriteUserMark(&out, 1) != VOK_OK || vokWriteUnsigned(&out, 300) != VOK_OK)
        return fail("write");
    if (vokCloseStream(&out) != VOK_OK) return fail("close");
    block = vokGetData(&out);
    ok = vokGetLength(&out) == sizeof expected && memcmp(block, expected, sizeof expected) == 0 &&
         read_back(block);
    vokDestroyStream(block);
    if (!ok) return fail("handle-built record differs or does not read back");

    /* The cursor side has no user marks: the mark is the one byte 1. */
    vokStartStream(&cursor, 7, 3);
    *cursor++ = 1;
    vokEncodeUnsigned(&cursor, 300);
    vokFinalStream(memory, cursor);
    if (memcmp(memory, expected, sizeof expected) != 0 || !read_back(memory))
        return fail("cursor-built record differs or does not read back");

    printf("c consumer: vok32 %s, record of %u bytes written and read back\n", VOK32_VERSION_STRING,
           (unsigned)sizeof expected);
    return 0;
}

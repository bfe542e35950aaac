/* An installed-library consumer in plain C99, built outside the source tree
 * through pkg-config: writes the record "user mark 1, unsigned 300", checks
 * its bytes and reads it back. */
#include <stdio.h>
#include <string.h>

#include <vok32.h>

static const uint8_t expected[] = {0x00, 0x00, 0x00, 0x0D, 0xC8, 0x07, 0xD2,
                                   0x03, 0x01, 0xD4, 0x01, 0x2C, 0xC9};

int main(void) {
    vokStream out, in;
    uint32_t value = 0;
    int ok;

    if (vokCreateStream(&out, 7, 3) != VOK_OK || vokWriteUserMark(&out, 1) != VOK_OK ||
        vokWriteUnsigned(&out, 300) != VOK_OK || vokCloseStream(&out) != VOK_OK) {
        fprintf(stderr, "c consumer: writing failed\n");
        return 1;
    }
    ok = vokGetLength(&out) == sizeof expected &&
         memcmp(vokGetData(&out), expected, sizeof expected) == 0 &&
         vokOpenStream(&in, vokGetData(&out), 7, 3) == VOK_OK && vokCanRead(&in) == VOK_OK &&
         vokReadUserMark(&in) == 1 && vokReadUnsigned(&in, &value) == VOK_OK && value == 300 &&
         vokCanRead(&in) == VOK_END_OF_STREAM;
    vokDestroyStream(vokGetData(&out));
    if (!ok) {
        fprintf(stderr, "c consumer: the record differs or does not read back\n");
        return 1;
    }
    printf("c consumer: vok32 %s, record of %u bytes written and read back\n", VOK32_VERSION_STRING,
           (unsigned)sizeof expected);
    return 0;
}

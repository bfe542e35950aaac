/* An installed-library consumer in plain C99, built outside the source tree
 * through pkg-config: writes the record "user mark 1, unsigned 300" and reads
 * it back. */
#include <stdio.h>

#include <vok32.h>

int main(void) {
    vokStream out = {0}, in;
    uint32_t value = 0;
    const int ok = vokCreateStream(&out, 7, 3) == VOK_OK && vokWriteUserMark(&out, 1) == VOK_OK &&
                   vokWriteUnsigned(&out, 300) == VOK_OK && vokCloseStream(&out) == VOK_OK &&
                   vokGetLength(&out) == 13 &&
                   vokOpenStream(&in, vokGetData(&out), 7, 3) == VOK_OK &&
                   vokReadUserMark(&in) == 1 && vokReadUnsigned(&in, &value) == VOK_OK &&
                   value == 300 && vokCanRead(&in) == VOK_END_OF_STREAM;
    vokDestroyStream(vokGetData(&out));
    printf("c consumer: vok32 %s, record %s\n", VOK32_VERSION_STRING,
           ok ? "written and read back" : "WRONG");
    return ok ? 0 : 1;
}

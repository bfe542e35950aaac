/* orders write FILE: one order, written by the generated C.
 * orders read FILE: reads an order back and prints it. */
#include <stdio.h>
#include <string.h>

#include "order.vok.h"

static int write_order(const char *path) {
    Order o;
    vokStream out;
    FILE *file = fopen(path, "wb");
    int ok;
    memset(&o, 0, sizeof o);
    o.id = 42;
    o.customer.data = (const uint8_t *)"Ada";
    o.customer.length = 3;
    o.tags_count = 1;
    o.tags[0].data = (const uint8_t *)"z\0z";
    o.tags[0].length = 3;
    o.paid = true;
    o.lines_count = 1;
    o.lines[0].sku.data = (const uint8_t *)"S";
    o.lines[0].sku.length = 1;
    o.lines[0].quantity = 3;
    if (file == NULL || Order_encode(&o, &out, NULL) != VOK_OK) return 1;
    ok = fwrite(vokGetData(&out), 1, vokGetLength(&out), file) == vokGetLength(&out);
    vokDestroyStream(vokGetData(&out));
    return fclose(file) == 0 && ok ? 0 : 1;
}

static int read_order(const char *path) {
    uint8_t bytes[4096];
    FILE *file = fopen(path, "rb");
    size_t size;
    Order o;
    vokxRecordError error;
    uint16_t status;
    if (file == NULL) return 1;
    size = fread(bytes, 1, sizeof bytes, file);
    fclose(file);
    status = Order_decode(bytes, size, &o, &error);
    if (status != VOK_OK) {
        printf("refused: %s: %s\n", error.path, error.message);
        return 1;
    }
    printf("order %u for %.*s, %u tags, %u lines, amount %s%d\n", (unsigned)o.id,
           (int)o.customer.length, (const char *)o.customer.data, (unsigned)o.tags_count,
           (unsigned)o.lines_count, o.has_amount ? "" : "none ", (int)o.amount);
    return 0;
}

int main(int argc, char **argv) {
    if (argc == 3 && strcmp(argv[1], "write") == 0) return write_order(argv[2]);
    if (argc == 3 && strcmp(argv[1], "read") == 0) return read_order(argv[2]);
    return 2;
}

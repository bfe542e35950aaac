/* Items per second of vok32x's walk over every block of a file: vokxInspect
 * frames each block, vokxOpen opens it and vokxNextItem describes each item
 * in turn; the values are summed so that the walk cannot be skipped.  The
 * best of five passes.  The native side of bench/js_rates.mjs.
 * Usage: walk_rate FILE */
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

#include "vok32x.h"

static double now(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (double)t.tv_sec + (double)t.tv_nsec / 1e9;
}

int main(int argc, char **argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: walk_rate FILE\n");
        return 2;
    }
    FILE *file = fopen(argv[1], "rb");
    if (file == NULL || fseek(file, 0, SEEK_END) != 0) {
        perror(argv[1]);
        return 1;
    }
    const long size = ftell(file);
    unsigned char *bytes = malloc((size_t)size);
    if (size < 0 || bytes == NULL || fseek(file, 0, SEEK_SET) != 0 ||
        fread(bytes, 1, (size_t)size, file) != (size_t)size) {
        fprintf(stderr, "%s: cannot read\n", argv[1]);
        return 1;
    }
    fclose(file);
    double best = 1e30;
    unsigned long items = 0, sum = 0;
    for (int pass = 0; pass < 5; ++pass) {
        const double start = now();
        items = 0;
        for (size_t at = 0; at < (size_t)size;) {
            vokxBlockInfo info;
            if (vokxInspect(bytes + at, (size_t)size - at, &info) != VOK_OK) break;
            vokStream stream = {0};
            vokxOpen(&stream, bytes + at, info.length, info.type, info.version);
            vokxItem item;
            while (vokxNextItem(&stream, &item) == VOK_OK) {
                sum += item.value + item.length;
                ++items;
            }
            at += info.length;
        }
        const double seconds = now() - start;
        if (seconds < best) best = seconds;
    }
    printf("{\"items\": %lu, \"seconds\": %.6f, \"items_per_second\": %.0f, \"sum\": %lu}\n", items,
           best, (double)items / best, sum);
    free(bytes);
    return 0;
}

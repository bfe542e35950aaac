# Functions for the commands of runs.txt (sourced through BASH_ENV).

# Notation whose first block (over 64 KiB, so it goes out at once) is
# written before pack meets the bad line after it.
fails_after_a_block() {
  echo 'stream type 1 version 0'
  printf 'utf8 "%s"\nend\nbogus\n' "$(head -c 70000 /dev/zero | tr '\0' a)"
}

# A block of 256 MiB written as a sparse file: a UTF-8 string up to where
# the end marker should be, and a zero byte there instead.
big_block() {
  printf '\20\0\0\0\310\1\322\0\350\17\377\377\362' > big.bin && truncate -s 256M big.bin
}

# Two orders of the README's schema, packed.
orders() {
  printf '%s\n' '{"id": 1, "customer": "Gr\u00fc\u00dfe", "amount": -5, "tags": ["a", {"hex": "00ff"}], "card": 16, "paid": true, "lines": [{"sku": "X1", "quantity": 2}]}' \
    '{"id": 2, "customer": "B", "paid": false}' | vok pack --schema "$V2" --json "$@"
}

# The two orders with damage between good blocks, two good ones after each:
# garbage, a torn block, a length field made too large, and an order that
# breaks the schema (its id a string).
damaged_orders() {
  orders -o v2.bin && vok dump --block 0 v2.bin | vok pack > a.bin || return 1
  printf 'stream type 7 version 2\nmark 1\nstr "x"\n' | vok pack > refused.bin
  { cat a.bin; printf 'GARBAGE'; cat v2.bin; head -c 20 a.bin; cat v2.bin
    printf '\0\1'; tail -c +3 a.bin; cat v2.bin; cat refused.bin v2.bin; } > damaged.bin
}

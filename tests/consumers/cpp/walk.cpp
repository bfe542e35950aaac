// An installed-library consumer of vok32x in C++: frames two blocks lying back
// to back and walks their items with the ranges of vok32x.hpp.
#include <cstdio>
#include <vector>

#include <vok32.hpp>
#include <vok32x.hpp>

int main() {
    std::vector<std::uint8_t> bytes;
    for (unsigned value : {300u, 7u}) {
        vok::writer out(7, 3);
        out.write(value);
        const vok::result<vok::block> block = out.finish();
        bytes.insert(bytes.end(), block.value().data(),
                     block.value().data() + block.value().size());
    }
    unsigned sum = 0, blocks = 0;
    auto frames = vokx::frames(bytes.data(), bytes.size());
    for (const vokx::frame &f : frames) {
        vokStream s{};
        if (vokxOpen(&s, f.bytes, f.info.length, 7, 3) != VOK_OK) return 1;
        for (const vokxItem &item : vokx::items(s))
            sum += item.value;
        ++blocks;
    }
    const bool ok = frames.status() == VOK_OK && blocks == 2 && sum == 307;
    std::printf("cpp vok32x consumer: vok32x %s, %u blocks walked%s\n", vokxVersion(), blocks,
                ok ? "" : ", WRONG");
    return ok ? 0 : 1;
}

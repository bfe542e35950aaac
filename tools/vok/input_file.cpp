#include "input_file.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vok::tool {

namespace {

std::string system_error(const char *what) {
    return std::string(what) + ": " + std::strerror(errno);
}

// Copies a pipe into an unlinked temporary file so that it can be mapped.
int spool_to_temporary(int in, std::string &error) {
    FILE *spool = std::tmpfile();
    if (spool == nullptr) {
        error = system_error("cannot create a temporary file");
        return -1;
    }
    const int fd = dup(fileno(spool));
    std::fclose(spool); // the duplicate keeps the unlinked file alive
    static constexpr size_t kChunk = 1 << 16;
    char chunk[kChunk];
    for (;;) {
        const ssize_t got = read(in, chunk, kChunk);
        if (got == 0) break;
        if (got < 0) {
            if (errno == EINTR) continue;
            error = system_error("cannot read standard input");
            close(fd);
            return -1;
        }
        for (ssize_t done = 0; done < got;) {
            const ssize_t put = write(fd, chunk + done, static_cast<size_t>(got - done));
            if (put < 0) {
                error = system_error("cannot spool standard input");
                close(fd);
                return -1;
            }
            done += put;
        }
    }
    return fd;
}

} // namespace

InputFile::~InputFile() {
    if (mapped_) munmap(const_cast<uint8_t *>(data_), size_);
}

bool InputFile::open(const std::string &path, std::string &error) {
    if (path == "-") {
        struct stat st {};
        if (fstat(STDIN_FILENO, &st) == 0 && S_ISREG(st.st_mode)) return map(STDIN_FILENO, error);
        const int fd = spool_to_temporary(STDIN_FILENO, error);
        if (fd < 0) return false;
        const bool ok = map(fd, error);
        close(fd);
        return ok;
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = system_error("cannot open");
        return false;
    }
    const bool ok = map(fd, error);
    close(fd);
    return ok;
}

bool InputFile::map(int fd, std::string &error) {
    struct stat st {};
    if (fstat(fd, &st) != 0) {
        error = system_error("cannot inspect");
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        error = "not a regular file";
        return false;
    }
    size_ = static_cast<size_t>(st.st_size);
    if (size_ == 0) return true; // mmap refuses empty files; an empty span will do
    void *p = mmap(nullptr, size_, PROT_READ, MAP_PRIVATE, fd, 0);
    if (p == MAP_FAILED) {
        error = system_error("cannot map");
        size_ = 0;
        return false;
    }
    madvise(p, size_, MADV_SEQUENTIAL);
    data_ = static_cast<const uint8_t *>(p);
    mapped_ = true;
    return true;
}

} // namespace vok::tool

#include "system.hpp"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <sys/types.h>
#endif

namespace vok::tool::sys {

#ifdef _WIN32

int open_for_reading(const char *path) {
    return ::_open(path, _O_RDONLY | _O_BINARY | _O_NOINHERIT);
}
int open_for_writing(const char *path) {
    return ::_open(path, _O_WRONLY | _O_BINARY | _O_NOINHERIT);
}

int create_temporary(std::string &pattern) {
    const int fd = mkstemp(pattern.data());
    if (fd >= 0) _setmode(fd, _O_BINARY);
    return fd;
}

// The Windows runtime counts in unsigned int.
long long read_some(int fd, void *into, size_t size) {
    return ::_read(fd, into, static_cast<unsigned>(size < INT_MAX ? size : INT_MAX));
}
long long write_some(int fd, const void *from, size_t size) {
    return ::_write(fd, from, static_cast<unsigned>(size < INT_MAX ? size : INT_MAX));
}

bool is_open(int fd) { return _get_osfhandle(fd) != -1; }
bool is_terminal(int fd) { return _isatty(fd) != 0; }

long long regular_file_size(int fd) {
    struct _stati64 st {};
    return _fstati64(fd, &st) == 0 && (st.st_mode & _S_IFMT) == _S_IFREG ? st.st_size : -1;
}

long long current_offset(int fd) {
    return GetFileType(reinterpret_cast<HANDLE>(_get_osfhandle(fd))) == FILE_TYPE_DISK
               ? _lseeki64(fd, 0, SEEK_CUR)
               : -1;
}

bool opened_for_appending(int) { return false; }
bool truncate_to(int fd, long long size) { return _chsize_s(fd, size) == 0; }

bool is_special_file(const std::string &path) {
    struct _stati64 st {};
    return _stati64(path.c_str(), &st) == 0 && (st.st_mode & _S_IFMT) != _S_IFREG;
}

std::string resolved_path(const std::string &path) {
    char *full = _fullpath(nullptr, path.c_str(), 0);
    std::string resolved = full != nullptr ? full : path;
    std::free(full);
    return resolved;
}

bool replace_file(const std::string &from, const std::string &to) {
    if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0) return true;
    errno = EACCES;
    return false;
}

bool remove_file(const std::string &path) { return _unlink(path.c_str()) == 0; }

void use_binary_standard_streams() {
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
}

void guard_standard_descriptors() {}

#else

int open_for_reading(const char *path) { return ::open(path, O_RDONLY | O_CLOEXEC); }
int open_for_writing(const char *path) { return ::open(path, O_WRONLY | O_CLOEXEC); }

// mkstemp makes the file private; it gets the permissions any new file would.
int create_temporary(std::string &pattern) {
    const int fd = mkstemp(pattern.data());
    const mode_t mask = umask(0);
    umask(mask);
    if (fd >= 0 && fchmod(fd, 0666 & ~mask) != 0) {
        const int error = errno;
        close(fd);
        unlink(pattern.c_str());
        errno = error;
        return -1;
    }
    return fd;
}

long long read_some(int fd, void *into, size_t size) { return ::read(fd, into, size); }
long long write_some(int fd, const void *from, size_t size) { return ::write(fd, from, size); }

bool is_open(int fd) { return fcntl(fd, F_GETFD) != -1 || errno != EBADF; }
bool is_terminal(int fd) { return isatty(fd) != 0; }

long long regular_file_size(int fd) {
    struct stat st {};
    return fstat(fd, &st) == 0 && S_ISREG(st.st_mode) ? st.st_size : -1;
}

long long current_offset(int fd) { return lseek(fd, 0, SEEK_CUR); }

bool opened_for_appending(int fd) {
    const int flags = fcntl(fd, F_GETFL);
    return flags != -1 && (flags & O_APPEND) != 0;
}

bool truncate_to(int fd, long long size) { return ftruncate(fd, size) == 0; }

bool is_special_file(const std::string &path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode);
}

std::string resolved_path(const std::string &path) {
    char *real = realpath(path.c_str(), nullptr);
    std::string resolved = real != nullptr ? real : path;
    std::free(real);
    return resolved;
}

bool replace_file(const std::string &from, const std::string &to) {
    return std::rename(from.c_str(), to.c_str()) == 0;
}

bool remove_file(const std::string &path) { return unlink(path.c_str()) == 0; }

void use_binary_standard_streams() {}

void guard_standard_descriptors() {
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (is_open(fd)) continue;
        // open() takes the lowest free descriptor, which is fd.
        if (::open("/dev/null", fd == STDIN_FILENO ? O_WRONLY : O_RDONLY) != fd) return;
    }
}

#endif

} // namespace vok::tool::sys

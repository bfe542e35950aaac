// The handful of system calls whose form differs between POSIX and Windows,
// so that the rest of the tool is written once.  Descriptors are the C
// runtime's on both.
#pragma once

#include <cstddef>
#include <string>

namespace vok::tool::sys {

// Opens path for reading, in binary mode and not inherited by children; -1
// with errno set on failure.
int open_for_reading(const char *path);
// Opens an existing file (a device, a FIFO) for writing, likewise.
int open_for_writing(const char *path);
// Creates a new file from pattern (ending in XXXXXX, replaced in place),
// readable as the user's other new files are; -1 with errno set on failure.
int create_temporary(std::string &pattern);

// read() and write() with a size_t count: the byte count, or -1 and errno.
long long read_some(int fd, void *into, size_t size);
long long write_some(int fd, const void *from, size_t size);

// Whether fd is an open descriptor.
bool is_open(int fd);
bool is_terminal(int fd);
// The size of fd if it is a regular file, else -1.
long long regular_file_size(int fd);
// The current offset of fd, or -1 where it has none (a pipe, a terminal).
long long current_offset(int fd);
// Whether fd was opened for appending; false where that cannot be asked.
bool opened_for_appending(int fd);
// Cuts the file at fd to size bytes.
bool truncate_to(int fd, long long size);

// Whether path names something that exists and is not a regular file (a
// device, a FIFO): written in place rather than replaced.
bool is_special_file(const std::string &path);
// The absolute, resolved form of path, or path itself if it has none.
std::string resolved_path(const std::string &path);
// Puts the file at from in the place of to, replacing it if it exists.
bool replace_file(const std::string &from, const std::string &to);
bool remove_file(const std::string &path);

// Standard input and output carry bytes, not text with line-end translation.
void use_binary_standard_streams();

// Keeps the standard descriptors taken, so that a file the tool opens never
// becomes its standard output: a closed one is replaced by /dev/null opened
// the wrong way round, and every use of it then fails as it should.  (The
// Windows runtime does not hand out 0 to 2 again; nothing to do there.)
void guard_standard_descriptors();

} // namespace vok::tool::sys

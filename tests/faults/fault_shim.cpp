// Faults for the tool, injected from inside it: loaded with LD_PRELOAD, this wraps the C
// library's open, read, write and close and acts on the files whose names end in a suffix given
// in the environment:
//   SRJOIN_FAULT_READ_EIO=suffix         reads of such a file fail with EIO once
//   SRJOIN_FAULT_READ_EIO_AFTER=count    bytes have been read from it (0 when unset)
//   SRJOIN_FAULT_STALL_WRITE=suffix      the first write to such a file is done, then the
//                                        process tells the test and waits for a signal
//   SRJOIN_FAULT_STOP_AT_CREATE=suffix   the first exclusive creation (O_EXCL) of such a file:
//                                        the process tells the test and stops (SIGSTOP) before
//                                        it, and once more after it
//   SRJOIN_FAULT_RENAME=fail             every rename fails with EXDEV (another file system)
//   SRJOIN_FAULT_RENAME=stop             the process stops before the first rename, and once
//                                        more after it
// To tell the test, the process writes its id into the file SRJOIN_FAULT_MARKER.
// Every other call goes straight to the C library.
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace {

enum class Fault : unsigned char { none, read_error, stall_write };

constexpr int TRACKED = 4096;  // descriptors beyond this are never the tool's files
Fault fault_of[TRACKED];
unsigned long long bytes_read[TRACKED];
bool stalled = false;
bool created_exclusively = false;

template <typename Function>
Function next(const char* name) {
    void* const symbol = dlsym(RTLD_NEXT, name);
    Function function;
    static_assert(sizeof function == sizeof symbol);
    std::memcpy(&function, &symbol, sizeof function);
    if (function == nullptr) {
        std::abort();
    }
    return function;
}

using OpenFunction = int (*)(const char*, int, ...);
using OpenAtFunction = int (*)(int, const char*, int, ...);

int real_open(const char* name, int flags, mode_t mode) {
    static const auto real = next<OpenFunction>("open");
    return real(name, flags, mode);
}

int real_rename(const char* from, const char* to) {
    static const auto real = next<int (*)(const char*, const char*)>("rename");
    return real(from, to);
}

int real_close(int fd) {
    static const auto real = next<int (*)(int)>("close");
    return real(fd);
}

bool name_ends_in(const char* name, const char* variable) {
    const char* const suffix = std::getenv(variable);
    if (name == nullptr || suffix == nullptr || *suffix == '\0') {
        return false;
    }
    const std::size_t length = std::strlen(name);
    const std::size_t suffix_length = std::strlen(suffix);
    return length >= suffix_length && std::strcmp(name + length - suffix_length, suffix) == 0;
}

int track(int fd, const char* name) {
    if (fd >= 0 && fd < TRACKED) {
        fault_of[fd] = name_ends_in(name, "SRJOIN_FAULT_READ_EIO")      ? Fault::read_error
                       : name_ends_in(name, "SRJOIN_FAULT_STALL_WRITE") ? Fault::stall_write
                                                                        : Fault::none;
        bytes_read[fd] = 0;
    }
    return fd;
}

Fault fault(int fd) {
    return fd >= 0 && fd < TRACKED ? fault_of[fd] : Fault::none;
}

bool takes_mode(int flags) {
    return (flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE;
}

// Writes the process id into the marker, whole before the marker appears.
void tell_the_test() {
    const char* const marker = std::getenv("SRJOIN_FAULT_MARKER");
    if (marker == nullptr) {
        return;
    }
    char text[32];
    char temporary[4096];
    const int length = std::snprintf(text, sizeof text, "%ld", static_cast<long>(getpid()));
    std::snprintf(temporary, sizeof temporary, "%s.new", marker);
    const int fd = real_open(temporary, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd >= 0) {
        static const auto real_write = next<ssize_t (*)(int, const void*, size_t)>("write");
        (void)real_write(fd, text, static_cast<size_t>(length));
        (void)real_close(fd);
        (void)real_rename(temporary, marker);
    }
}

void stop() {
    tell_the_test();
    (void)raise(SIGSTOP);
}

}  // namespace

extern "C" {

int open(const char* name, int flags, ...) {
    va_list args;
    va_start(args, flags);
    const mode_t mode = takes_mode(flags) ? va_arg(args, mode_t) : 0;
    va_end(args);
    const bool stops = (flags & O_EXCL) != 0 && !created_exclusively &&
                       name_ends_in(name, "SRJOIN_FAULT_STOP_AT_CREATE");
    if (stops) {
        created_exclusively = true;
        stop();
    }
    const int fd = real_open(name, flags, mode);
    if (stops) {
        const int error = errno;
        stop();
        errno = error;
    }
    return track(fd, name);
}

int rename(const char* from, const char* to) noexcept {
    const char* const fault = std::getenv("SRJOIN_FAULT_RENAME");
    const std::string_view what = fault != nullptr ? fault : "";
    if (what == "fail") {
        errno = EXDEV;
        return -1;
    }
    static bool renamed = false;
    const bool stops = what == "stop" && !renamed;
    renamed = true;
    if (stops) {
        stop();
    }
    const int result = real_rename(from, to);
    if (stops) {
        const int error = errno;
        stop();
        errno = error;
    }
    return result;
}

int open64(const char* name, int flags, ...) {
    static const auto real = next<OpenFunction>("open64");
    va_list args;
    va_start(args, flags);
    const mode_t mode = takes_mode(flags) ? va_arg(args, mode_t) : 0;
    va_end(args);
    return track(real(name, flags, mode), name);
}

int openat(int folder, const char* name, int flags, ...) {
    static const auto real = next<OpenAtFunction>("openat");
    va_list args;
    va_start(args, flags);
    const mode_t mode = takes_mode(flags) ? va_arg(args, mode_t) : 0;
    va_end(args);
    return track(real(folder, name, flags, mode), name);
}

int close(int fd) {
    if (fd >= 0 && fd < TRACKED) {
        fault_of[fd] = Fault::none;
    }
    return real_close(fd);
}

ssize_t read(int fd, void* buffer, size_t size) {
    static const auto real = next<ssize_t (*)(int, void*, size_t)>("read");
    if (fault(fd) != Fault::read_error) {
        return real(fd, buffer, size);
    }
    const char* const after = std::getenv("SRJOIN_FAULT_READ_EIO_AFTER");
    const unsigned long long allowed = after != nullptr ? std::strtoull(after, nullptr, 10) : 0;
    if (bytes_read[fd] >= allowed) {
        errno = EIO;
        return -1;
    }
    if (size > allowed - bytes_read[fd]) {
        size = static_cast<size_t>(allowed - bytes_read[fd]);
    }
    const ssize_t count = real(fd, buffer, size);
    if (count > 0) {
        bytes_read[fd] += static_cast<unsigned long long>(count);
    }
    return count;
}

ssize_t write(int fd, const void* bytes, size_t size) {
    static const auto real = next<ssize_t (*)(int, const void*, size_t)>("write");
    const ssize_t count = real(fd, bytes, size);
    if (fault(fd) == Fault::stall_write && !stalled) {
        // The tool's handler of the signal ends the process; should it return, the write
        // completes as it was done.
        stalled = true;
        tell_the_test();
        pause();
    }
    return count;
}

}  // extern "C"

// Faults injected into the tool with LD_PRELOAD (tool.cpp), named in SRJOIN_FAULT and split by ",":
//   stop-create:<suffix>        the process stops (SIGSTOP) before and after it first creates a
//                               file whose name ends in suffix;
//   stop-rename                 and before and after its first rename, refused or not;
//   stop-flush                  and before and after it first flushes a folder to the disk;
//   fail-rename[:<count>]       every rename (the first count ones) fails with EXDEV (another
//                               file system);
//   fail-read:<suffix>:<bytes>  reads of such a file fail with EIO once that many bytes are read;
//   fail-fsync:<suffix>         flushing such a file to the disk fails with EIO;
//   fail-alloc[:<suffix>]       the first block of 4 KiB or more allocated after the first
//                               creation of a file (after opening such a file) is refused.
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <string_view>

extern "C" void* __libc_malloc(std::size_t size);

namespace {

template <typename Function>
Function next(const char* name) {
    void* const symbol = dlsym(RTLD_NEXT, name);
    Function function = nullptr;
    std::memcpy(&function, &symbol, sizeof function);
    return function != nullptr ? function : (std::abort(), function);
}

// Whether the setting holds a fault of that kind; rest is what follows its "kind:".
bool fault(std::string_view kind, std::string_view* rest = nullptr) {
    const char* value = std::getenv("SRJOIN_FAULT");
    for (std::string_view text = value != nullptr ? value : ""; !text.empty();) {
        const std::string_view one = text.substr(0, text.find(','));
        text.remove_prefix(std::min(text.size(), one.size() + 1));
        if (one.starts_with(kind) && (one.size() == kind.size() || one[kind.size()] == ':')) {
            if (rest != nullptr) {
                *rest = one.substr(std::min(one.size(), kind.size() + 1));
            }
            return true;
        }
    }
    return false;
}

// Whether name ends in the suffix of a fault of that kind.
bool names(std::string_view kind, const char* name) {
    std::string_view rest;
    return fault(kind, &rest) && std::string_view(name).ends_with(rest.substr(0, rest.find(':')));
}

int read_fails = -1, flush_fails = -1, folder = -1;  // the files the faults are for
unsigned long long bytes_read = 0;
bool created = false, create_stopped = false, rename_stopped = false, flush_stopped = false,
     alloc_armed = false;
unsigned long renames = 0;

void stop_if(bool stops) {
    if (stops) {
        raise(SIGSTOP);
    }
}

// Whether a stop applies now, the first time only.
bool stops_once(bool& stopped, bool applies) {
    const bool stops = !stopped && applies;
    stopped = stopped || stops;
    return stops;
}

int flush(int fd, int (*real)(int)) {
    const bool stops = stops_once(flush_stopped, fd == folder && fault("stop-flush"));
    stop_if(stops);
    errno = fd == flush_fails ? EIO : errno;
    const int result = fd == flush_fails ? -1 : real(fd);
    stop_if(stops);
    return result;
}

// Every rename goes through here: stopped around, or refused.
template <typename Rename>
int renamed(Rename rename) {
    const bool stops = stops_once(rename_stopped, fault("stop-rename"));
    stop_if(stops);
    std::string_view count;
    const bool fails = fault("fail-rename", &count) &&
                       (count.empty() || renames++ < std::strtoul(count.data(), nullptr, 10));
    const int result = fails ? -1 : rename();
    errno = fails ? EXDEV : errno;
    stop_if(stops);
    return result;
}

}  // namespace

extern "C" {

int open(const char* name, int flags, ...) {
    static const auto real = next<int (*)(const char*, int, ...)>("open");
    va_list args;
    va_start(args, flags);
    const mode_t mode = (flags & O_CREAT) != 0 ? va_arg(args, mode_t) : 0;
    va_end(args);
    const bool creates = (flags & O_CREAT) != 0;
    const bool stops = stops_once(create_stopped, creates && names("stop-create", name));
    stop_if(stops);
    const int fd = real(name, flags, mode);
    stop_if(stops);
    std::string_view suffix;
    alloc_armed =
        alloc_armed || (fd >= 0 && fault("fail-alloc", &suffix) &&
                        (suffix.empty() ? creates && !created : names("fail-alloc", name)));
    created = created || (fd >= 0 && creates);
    if (fd >= 0 && names("fail-read", name)) {
        read_fails = fd;
        bytes_read = 0;
    }
    flush_fails = fd >= 0 && names("fail-fsync", name) ? fd : flush_fails;
    folder = fd >= 0 && (flags & O_DIRECTORY) != 0 ? fd : folder;
    return fd;
}

int close(int fd) {
    static const auto real = next<int (*)(int)>("close");
    for (int* tracked : {&read_fails, &flush_fails, &folder}) {
        *tracked = *tracked == fd ? -1 : *tracked;
    }
    return real(fd);
}

int fsync(int fd) {
    return flush(fd, next<int (*)(int)>("fsync"));
}

ssize_t read(int fd, void* buffer, size_t size) {
    static const auto real = next<ssize_t (*)(int, void*, size_t)>("read");
    std::string_view rest;
    if (fd != read_fails || !fault("fail-read", &rest)) {
        return real(fd, buffer, size);
    }
    const unsigned long long allowed = std::strtoull(rest.data() + rest.find(':') + 1, nullptr, 10);
    if (bytes_read >= allowed) {
        errno = EIO;
        return -1;
    }
    const ssize_t count =
        real(fd, buffer, std::min<unsigned long long>(size, allowed - bytes_read));
    bytes_read += count > 0 ? static_cast<unsigned long long>(count) : 0;
    return count;
}

int rename(const char* from, const char* to) noexcept {
    static const auto real = next<int (*)(const char*, const char*)>("rename");
    return renamed([&] { return real(from, to); });
}

int renameat2(int from_folder, const char* from, int to_folder, const char* to,
              unsigned flags) noexcept {
    static const auto real =
        next<int (*)(int, const char*, int, const char*, unsigned)>("renameat2");
    return renamed([&] { return real(from_folder, from, to_folder, to, flags); });
}

// The allocator that would have been called: the C library's, or a sanitizer's.
void* malloc(std::size_t size) {
    static void* (*real)(std::size_t) = nullptr;
    static bool looking = false;
    if (real == nullptr && !looking) {
        looking = true;
        real = next<void* (*)(std::size_t)>("malloc");
    }
    if (alloc_armed && size >= 4096) {
        alloc_armed = false;
        return nullptr;
    }
    return real != nullptr ? real(size) : __libc_malloc(size);  // while looking it up
}

}  // extern "C"

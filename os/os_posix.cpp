// The operating system's side of os.h on POSIX systems.
#include <fcntl.h>
#include <iconv.h>
#include <langinfo.h>
#include <limits.h>
#include <poll.h>
#include <signal.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string_view>

#include "os/os.h"

namespace {

// Set while the clean-up after an interruption runs, in the signal handler.
volatile sig_atomic_t cleaning_up = 0;

// errno of the last failure (last_error).
int failure = 0;

// Notes errno as the reason of a failure, and gives value.
template <typename Value>
Value failed(Value value) {
    failure = errno;
    return value;
}

int descriptor(FileHandle file) {
    return static_cast<int>(file);
}

// Root may write any file, but the tool's promise is that a file without any write-permission
// bit is read-only for everyone: a read-only output is never replaced.
bool has_no_write_bit(const struct stat& status) {
    return (status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}

int open_retrying(const char* name, int flags, mode_t mode = 0) {
    int fd;
    do {
        fd = ::open(name, flags | O_CLOEXEC, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

}  // namespace

FileHandle open_for_reading(const char* name) {
    const int fd = open_retrying(name, O_RDONLY);
    if (fd < 0) {
        return failed(NO_FILE);
    }
    struct stat status {};
    if (::fstat(fd, &status) != 0 || S_ISDIR(status.st_mode)) {
        errno = S_ISDIR(status.st_mode) ? EISDIR : errno;
        failure = errno;
        ::close(fd);
        return NO_FILE;
    }
    return fd;
}

Created create_new_file(const char* name, FileHandle& file) {
    file = NO_FILE;
    // O_EXCL with O_CREAT fails on any existing entry, a link (even a dangling one) or a folder
    // included, and never follows it.
    const int fd = open_retrying(name, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW, 0600);
    if (fd < 0) {
        return errno == EEXIST ? Created::name_taken : failed(Created::failed);
    }
    // The owner's alone, whatever the umask makes of 0600: it may come to hold text others may
    // not read, and until the run has published it, nobody else may change it.
    (void)::fchmod(fd, 0600);
    file = fd;
    return Created::created;
}

std::ptrdiff_t read_some(FileHandle file, char* buffer, std::size_t size) {
    for (;;) {
        const ssize_t count = ::read(descriptor(file), buffer, size);
        if (count >= 0) {
            return count;
        }
        if (errno != EINTR) {
            return failed(-1);
        }
    }
}

bool write_all(FileHandle file, const char* bytes, std::size_t size) {
    while (size > 0) {
        const ssize_t count = ::write(descriptor(file), bytes, size);
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            return failed(false);
        }
        bytes += count;
        size -= static_cast<std::size_t>(count);
    }
    return true;
}

bool close_file(FileHandle file) {
    // The descriptor is released even when close reports an error: never retry it.
    return ::close(descriptor(file)) == 0;
}

bool rewind_file(FileHandle file) {
    return ::lseek(descriptor(file), 0, SEEK_SET) == 0;
}

namespace {

// A file system that cannot flush (some special files, some network and FUSE file systems)
// says so; nothing was lost that a flush could have kept.
bool flushed(int result) {
    return result == 0 || errno == EINVAL || errno == ENOTSUP || errno == EOPNOTSUPP;
}

}  // namespace

bool flush_to_disk(FileHandle file) {
    int result;
    do {
        result = ::fsync(descriptor(file));
    } while (result != 0 && errno == EINTR);
    return flushed(result) || failed(false);
}

// Waiting for the piece before keeps at most two pieces under write-back: the writer goes at the
// disk's pace instead of filling the page cache ahead of it.
void write_behind(FileHandle file, WriteBehind& behind, std::size_t written) {
    const std::uint64_t whole_before = behind.written / WRITE_BEHIND_PIECE;
    behind.written += written;
#ifdef SYNC_FILE_RANGE_WRITE
    // The offsets are 64-bit whatever off_t is.
    auto sync_piece = [file](std::uint64_t piece, unsigned flags) {
        (void)::sync_file_range(descriptor(file), static_cast<off64_t>(piece * WRITE_BEHIND_PIECE),
                                static_cast<off64_t>(WRITE_BEHIND_PIECE), flags);
    };
    for (std::uint64_t piece = whole_before; piece < behind.written / WRITE_BEHIND_PIECE; ++piece) {
        sync_piece(piece, SYNC_FILE_RANGE_WRITE);
        if (piece > 0) {
            sync_piece(piece - 1, SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE |
                                      SYNC_FILE_RANGE_WAIT_AFTER);
        }
    }
#else
    (void)file;
    (void)whole_before;
#endif
}

void flush_folder_of(const char* name, FileHandle file) {
    char folder[PATH_MAX];
    const std::size_t length = system_folder_length(name);
    if (length >= sizeof folder) {
        return;  // longer than any path the system takes
    }
    std::memcpy(folder, name, length);
    std::strcpy(folder + length, ".");
    const int fd = open_retrying(folder, O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        (void)::fsync(fd);
        ::close(fd);
    } else {
        // A folder the run may write in but not read (mode 0333): its whole file system, then.
        (void)::syncfs(descriptor(file));
    }
}

std::size_t system_folder_length(const char* name) {
    const char* slash = std::strrchr(name, '/');
    return slash == nullptr ? 0 : static_cast<std::size_t>(slash - name) + 1;
}

namespace {

// Whether renameat2 cannot be had on that file system, or in this system: then rename.
bool unsupported(int error) {
    return error == EINVAL || error == ENOSYS || error == ENOTSUP || error == EOPNOTSUPP;
}

int rename_with(const char* from, const char* to, unsigned flags) {
    return ::renameat2(AT_FDCWD, from, AT_FDCWD, to, flags);
}

Renamed renamed(int result) {
    if (result == 0) {
        return Renamed::renamed;
    }
    failure = errno;
    return errno == EXDEV   ? Renamed::other_file_system
           : errno == EBUSY ? Renamed::mount_point
                            : Renamed::refused;
}

}  // namespace

// The exchange leaves no moment in which to may be replaced by what the run has not examined: a
// FIFO, a read-only or a foreign file put there since is swapped back. Held, so that the old
// output, for a moment at from, never stays there.
Renamed rename_over(const char* from, const char* to, const ExistingEntry& examined) {
    const HeldInterruptions held;
    int result = -1;
    if (examined.kind != ExistingEntry::Kind::none) {
        result = rename_with(from, to, RENAME_EXCHANGE);
        if (result == 0) {
            const FileIdentity back = name_identity(from);
            if (back.known && back != examined.identity) {
                failure = EEXIST;  // another entry than the one examined
                return rename_with(from, to, RENAME_EXCHANGE) == 0 ? Renamed::refused
                                                                   : Renamed::swapped_for_another;
            }
            (void)remove_if_same(from, examined.identity);
            return Renamed::renamed;
        }
    }
    if (examined.kind == ExistingEntry::Kind::none || errno == ENOENT) {
        result = rename_with(from, to, RENAME_NOREPLACE);
    }
    if (result != 0 && unsupported(errno)) {
        result = std::rename(from, to);  // the window the manual page names
    }
    return renamed(result);
}

bool same_file(const char* first, const char* second) {
    struct stat first_status {};
    struct stat second_status {};
    return ::stat(first, &first_status) == 0 && ::stat(second, &second_status) == 0 &&
           first_status.st_dev == second_status.st_dev &&
           first_status.st_ino == second_status.st_ino;
}

namespace {

FileIdentity identity(int result, const struct stat& status) {
    return result == 0 ? FileIdentity{status.st_dev, status.st_ino, status.st_mode & S_IFMT, true}
                       : FileIdentity{};
}

}  // namespace

FileIdentity file_identity(FileHandle file) {
    struct stat status {};
    return identity(::fstat(descriptor(file), &status), status);
}

FileIdentity name_identity(const char* name) {
    struct stat status {};
    return identity(::lstat(name, &status), status);
}

bool remove_if_same(const char* name, const FileIdentity& identity) {
    return name_identity(name) == identity && ::unlink(name) == 0;
}

ExistingEntry examine_entry(const char* name) {
    ExistingEntry entry;
    struct stat status {};
    const int result = ::lstat(name, &status);
    if (result != 0) {
        return entry;
    }
    entry.identity = identity(result, status);
    if (S_ISREG(status.st_mode)) {
        entry.kind = ExistingEntry::Kind::file;
        entry.read_only = has_no_write_bit(status);
        entry.mode = status.st_mode & 0777;
        entry.owner = status.st_uid;
        entry.group = status.st_gid;
    } else if (S_ISDIR(status.st_mode)) {
        entry.kind = ExistingEntry::Kind::folder;
    } else if (S_ISLNK(status.st_mode)) {
        struct stat target {};
        const bool special =
            ::stat(name, &target) == 0 && !S_ISREG(target.st_mode) && !S_ISDIR(target.st_mode);
        entry.kind = special ? ExistingEntry::Kind::special : ExistingEntry::Kind::link;
    } else {
        entry.kind = ExistingEntry::Kind::special;
    }
    return entry;
}

void carry_permissions(FileHandle file, const ExistingEntry& replaced) {
    if (replaced.kind != ExistingEntry::Kind::file) {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        (void)::fchmod(descriptor(file), 0666 & ~mask);
        return;
    }
    // The owner first: a change of owner may clear bits that fchmod then sets again. Where the
    // owner cannot be given, the group alone may be (one the user belongs to); where neither
    // can, the file stays the runner's.
    auto give = [&](uid_t owner) { return ::fchown(descriptor(file), owner, replaced.group) == 0; };
    (void)(give(replaced.owner) || give(static_cast<uid_t>(-1)));
    (void)::fchmod(descriptor(file), static_cast<mode_t>(replaced.mode));
}

FileHandle open_examined_file(const char* name, const ExistingEntry& examined) {
    if (examined.kind != ExistingEntry::Kind::file) {
        return NO_FILE;
    }
    // Never waits: a FIFO put there meanwhile is refused, not waited on.
    const int fd = open_retrying(name, O_WRONLY | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) {
        return failed(NO_FILE);
    }
    struct stat status {};
    const int result = ::fstat(fd, &status);
    if (result != 0 || !S_ISREG(status.st_mode) || identity(result, status) != examined.identity ||
        ::ftruncate(fd, 0) != 0) {
        ::close(fd);
        return NO_FILE;
    }
    return fd;
}

void write_console(const char* bytes, std::size_t size) {
    if (cleaning_up == 0) {
        (void)write_all(STDOUT_FILENO, bytes, size);
        return;
    }
    // The clean-up after an interruption must end the run: it writes only what the console
    // takes at once, a pipe's atomic size at a time, and gives up when it takes nothing.
    while (size > 0) {
        pollfd console{STDOUT_FILENO, POLLOUT, 0};
        if (::poll(&console, 1, 0) != 1 || (console.revents & POLLOUT) == 0) {
            return;
        }
        const ssize_t count = ::write(STDOUT_FILENO, bytes, std::min<std::size_t>(size, PIPE_BUF));
        if (count <= 0) {
            return;
        }
        bytes += count;
        size -= static_cast<std::size_t>(count);
    }
}

void show_console_text(const char* bytes, std::size_t size, ConsoleText) {
    write_console(bytes, size);
}

namespace {

const iconv_t NO_CONVERTER = reinterpret_cast<iconv_t>(-1);

ConsoleForm console;
iconv_t tool_text_converter = NO_CONVERTER;  // Shift-JIS to the locale's codeset

// A codeset's name in capitals without "-" and "_": "Shift_JIS" is "SHIFTJIS".
bool codeset_is(std::string_view codeset, std::initializer_list<std::string_view> names) {
    std::string_view::size_type length = 0;
    char plain[32];
    for (const char byte : codeset) {
        if (byte != '-' && byte != '_' && length < sizeof plain) {
            plain[length++] = static_cast<char>(std::toupper(static_cast<unsigned char>(byte)));
        }
    }
    return std::ranges::any_of(
        names, [&](std::string_view name) { return std::string_view(plain, length) == name; });
}

// The value of the first of these variables that is set and not empty, as the C library takes
// them; empty when none is.
std::string_view first_set(std::initializer_list<const char*> variables) {
    for (const char* variable : variables) {
        const char* value = std::getenv(variable);
        if (value != nullptr && *value != '\0') {
            return value;
        }
    }
    return {};
}

// The codeset a locale's name gives ("ja_JP.UTF-8@modifier": "UTF-8"); empty when none.
std::string_view codeset_named(std::string_view locale) {
    const std::size_t dot = locale.find('.');
    return dot == std::string_view::npos ? std::string_view{}
                                         : locale.substr(dot + 1, locale.find('@') - dot - 1);
}

// The locale decides, as for any GNU tool, whether or not the output is a terminal: the language
// (LC_ALL, LC_MESSAGES, LANG), and the codeset (the one installed, else the one the locale's name
// gives, else ASCII). A Shift-JIS codeset gets the exact bytes that the Windows build writes.
void learn_console() {
    console.interactive = ::isatty(STDOUT_FILENO) == 1;
    const bool installed = std::setlocale(LC_CTYPE, "") != nullptr;
    std::setlocale(LC_MESSAGES, "");  // the language of the system's reasons
    const std::string_view codeset = installed
                                         ? ::nl_langinfo(CODESET)
                                         : codeset_named(first_set({"LC_ALL", "LC_CTYPE", "LANG"}));
    console.exact = codeset_is(codeset, {"SJIS", "SHIFTJIS", "CP932", "WINDOWS31J", "MSKANJI"});
    console.japanese = first_set({"LC_ALL", "LC_MESSAGES", "LANG"}).starts_with("ja");
    console.utf8 = codeset_is(codeset, {"UTF8"});
    if (!console.exact && console.japanese && !codeset.empty()) {
        char name[64];
        std::snprintf(name, sizeof name, "%.*s", static_cast<int>(codeset.size()), codeset.data());
        tool_text_converter = ::iconv_open(name, "CP932");
    }
}

}  // namespace

ConsoleForm console_form() {
    return console;
}

std::size_t convert_tool_text(std::string_view text, std::span<char> out) {
    if (cleaning_up != 0 || tool_text_converter == NO_CONVERTER) {
        return 0;
    }
    (void)::iconv(tool_text_converter, nullptr, nullptr, nullptr, nullptr);
    // iconv reads through a char** but never writes the input.
    char* input = const_cast<char*>(text.data());
    std::size_t input_left = text.size();
    char* output = out.data();
    std::size_t room = out.size();
    const std::size_t result = ::iconv(tool_text_converter, &input, &input_left, &output, &room);
    return result == static_cast<std::size_t>(-1) ? 0 : out.size() - room;
}

std::size_t describe_error(int code, std::span<char> out) {
    const std::string_view words = std::strerror(code);
    const std::size_t size = std::min(words.size(), out.size());
    std::memcpy(out.data(), words.data(), size);
    return size;
}

int last_error() {
    return failure;
}

void prepare_process() {
    // A reader that went away (Srjoin ... | head -1) must not kill the run half way: the
    // console write fails quietly and the run still ends through its own clean-up.
    ::signal(SIGPIPE, SIG_IGN);
    // A write beyond the file-size limit (ulimit -f) must fail like one on a full disk, and be
    // reported, not kill the run with the work file left behind.
    ::signal(SIGXFSZ, SIG_IGN);
    // A closed standard output (Srjoin ... >&-) would hand its descriptor to the work file, and
    // the console's bytes would end up in the merge.
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (::fcntl(fd, F_GETFD) == -1 && errno == EBADF) {
            (void)::open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
        }
    }
    learn_console();
}

namespace {

void (*interruption_cleanup)() = nullptr;
volatile sig_atomic_t hold_depth = 0;

// Every signal whose default action ends the process and that a handler can catch, but SIGPIPE
// and SIGXFSZ, which prepare_process ignores: the one list of what the clean-up answers.
sigset_t interruption_signals() {
    sigset_t signals;
    sigemptyset(&signals);
    for (const int signal_number : {
             SIGHUP,    SIGINT,  SIGQUIT, SIGILL,  SIGTRAP, SIGABRT,   SIGBUS,  SIGFPE, SIGUSR1,
             SIGSEGV,   SIGUSR2, SIGALRM, SIGTERM, SIGXCPU, SIGVTALRM, SIGPROF, SIGIO,  SIGSYS,
#ifdef SIGSTKFLT
             SIGSTKFLT,
#endif
#ifdef SIGPWR
             SIGPWR,
#endif
         }) {
        sigaddset(&signals, signal_number);
    }
    for (int signal_number = SIGRTMIN; signal_number <= SIGRTMAX; ++signal_number) {
        sigaddset(&signals, signal_number);
    }
    return signals;
}

extern "C" void on_interruption(int signal_number) {
    // The handler blocks every signal of the list while it runs (sa_mask): no re-entry.
    cleaning_up = 1;
    if (interruption_cleanup != nullptr) {
        interruption_cleanup();
    }
    // End as the signal ends a process by default.
    struct sigaction default_action {};
    default_action.sa_handler = SIG_DFL;
    sigemptyset(&default_action.sa_mask);
    ::sigaction(signal_number, &default_action, nullptr);
    sigset_t just_this;
    sigemptyset(&just_this);
    sigaddset(&just_this, signal_number);
    ::raise(signal_number);
    ::sigprocmask(SIG_UNBLOCK, &just_this, nullptr);
    ::_exit(128 + signal_number);  // not reached
}

}  // namespace

void catch_interruptions(void (*cleanup)()) {
    interruption_cleanup = cleanup;
    struct sigaction action {};
    action.sa_handler = on_interruption;
    action.sa_mask = interruption_signals();
    action.sa_flags = SA_RESTART;
    for (int signal_number = 1; signal_number < NSIG; ++signal_number) {
        // A signal ignored at the start (nohup, a background job) stays ignored.
        struct sigaction before {};
        if (sigismember(&action.sa_mask, signal_number) == 1 &&
            ::sigaction(signal_number, nullptr, &before) == 0 && before.sa_handler != SIG_IGN) {
            ::sigaction(signal_number, &action, nullptr);
        }
    }
}

// The clean-up itself uses the console, which holds interruptions: inside it they stay blocked.
HeldInterruptions::HeldInterruptions() {
    if (cleaning_up != 0) {
        return;
    }
    hold_depth = hold_depth + 1;
    if (hold_depth == 1) {
        const sigset_t signals = interruption_signals();
        ::sigprocmask(SIG_BLOCK, &signals, nullptr);
    }
}

HeldInterruptions::~HeldInterruptions() {
    if (cleaning_up != 0) {
        return;
    }
    hold_depth = hold_depth - 1;
    if (hold_depth == 0) {
        const sigset_t signals = interruption_signals();
        ::sigprocmask(SIG_UNBLOCK, &signals, nullptr);
    }
}

void end_process(int exit_code) {
    ::_exit(exit_code);
}

PlatformNames platform_names() {
    return {.slash_separates_folders = true, .case_sensitive = true, .may_be_utf8 = true};
}

// The operating system's side of os.h on Windows. Names are passed to the "A" functions as they
// are: bytes in the system code page (Shift-JIS on a Japanese system), converted only to be shown
// on a console.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <algorithm>
#include <cstring>

#include "os/os.h"

namespace {

// NO_FILE and INVALID_HANDLE_VALUE are both -1 today; the conversions say so instead of
// relying on it.
HANDLE to_handle(FileHandle file) {
    return reinterpret_cast<HANDLE>(file);
}

FileHandle from_handle(HANDLE handle) {
    return handle == INVALID_HANDLE_VALUE ? NO_FILE : reinterpret_cast<FileHandle>(handle);
}

// ReadFile and WriteFile take a DWORD count; larger requests go in pieces of this size.
constexpr std::size_t MAX_TRANSFER = 1u << 30;

DWORD transfer_size(std::size_t size) {
    return static_cast<DWORD>(std::min(size, MAX_TRANSFER));
}

// Others may read and write an open file. Deleting it is allowed too (it then goes when the last
// handle closes) so that the clean-up after Ctrl-C can remove a file the run is still writing.
constexpr DWORD SHARE_READ_WRITE = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// CreateFileA refuses a folder already (opening one needs FILE_FLAG_BACKUP_SEMANTICS); the check
// on the open handle keeps the promise without leaning on that. A console or a pipe, which
// cannot answer, is no folder.
bool is_folder(HANDLE handle) {
    BY_HANDLE_FILE_INFORMATION information{};
    return GetFileInformationByHandle(handle, &information) != 0 &&
           (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Opens a name only to learn which file it is: no data access, every sharing mode, so that it
// works whoever else has the file open, and folders open too; a link itself, or what it leads
// to (follow).
HANDLE open_for_identity(const char* name, bool follow) {
    return CreateFileA(
        name, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | (follow ? 0 : FILE_FLAG_OPEN_REPARSE_POINT),
        nullptr);
}

bool identify(const char* name, BY_HANDLE_FILE_INFORMATION& information, bool follow = true) {
    HANDLE handle = open_for_identity(name, follow);
    if (handle == INVALID_HANDLE_VALUE) {
        return false;
    }
    const bool known = GetFileInformationByHandle(handle, &information) != 0;
    CloseHandle(handle);
    return known;
}

// Held by the run while it changes what the clean-up looks at. A critical section, because
// holds nest (the clean-up itself prints through the console, which holds it too).
struct InterruptionLock {
    CRITICAL_SECTION section;
    InterruptionLock() { InitializeCriticalSection(&section); }
};
InterruptionLock interruption_lock;

// How many times this thread holds interruptions by HeldInterruptions. The clean-up's own first
// hold, which it never gives back, is not counted.
thread_local int holds_on_this_thread = 0;

// A pause in the run's held sections lets an interruption in: it leaves the lock as many times
// as this thread holds it and takes it back after, so that Ctrl-C is not held back for seconds.
// That is safe for the clean-up: a pause comes only after an attempt that failed and changed
// nothing, so the run's files and their states are as the hold found them, which is what the
// clean-up reads at any moment outside a hold. Once the clean-up has begun it keeps the lock
// to the end of the process: the run never goes on past the pause.
void pause_letting_interruptions_in(DWORD milliseconds) {
    const int holds = holds_on_this_thread;
    for (int i = 0; i < holds; ++i) {
        LeaveCriticalSection(&interruption_lock.section);
    }
    Sleep(milliseconds);
    for (int i = 0; i < holds; ++i) {
        EnterCriticalSection(&interruption_lock.section);
    }
}

// Other programs hold new and changed files for a moment without delete sharing (a virus
// scanner, the search indexer, a backup or sync client; an editor or a flashing tool showing an
// image): meanwhile a rename onto such a file, its deletion, or the creation of a name still
// being deleted are refused. A refusal of access has lasting causes too, which are not waited
// on: the read-only attribute or a folder at name, or a folder's permissions where nothing is at
// name (a file being deleted cannot be looked at either).
bool held_by_another(DWORD error, const char* name) {
    if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION) {
        return true;
    }
    if (error != ERROR_ACCESS_DENIED) {
        return false;
    }
    const DWORD attributes = GetFileAttributesA(name);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return GetLastError() == ERROR_ACCESS_DENIED;
    }
    return (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) == 0;
}

constexpr DWORD FIRST_PAUSE_MS = 10;
constexpr DWORD LONGEST_PAUSE_MS = 500;
constexpr ULONGLONG LONGEST_WAIT_MS = 10000;

// Makes attempt, a call on name, again while another program's hold on name refuses it, with
// pauses growing from 10 ms, for at most 10 s in all. GetLastError then tells the last refusal.
template <typename Attempt>
bool retried_while_held(const char* name, Attempt attempt) {
    const ULONGLONG deadline = GetTickCount64() + LONGEST_WAIT_MS;
    for (DWORD pause = FIRST_PAUSE_MS;; pause = std::min(2 * pause, LONGEST_PAUSE_MS)) {
        if (attempt()) {
            return true;
        }
        const DWORD error = GetLastError();
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline || !held_by_another(error, name)) {
            SetLastError(error);
            return false;
        }
        pause_letting_interruptions_in(
            static_cast<DWORD>(std::min<ULONGLONG>(pause, deadline - now)));
    }
}

}  // namespace

FileHandle open_for_reading(const char* name) {
    HANDLE handle = CreateFileA(name, GENERIC_READ, SHARE_READ_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle != INVALID_HANDLE_VALUE && is_folder(handle)) {
        CloseHandle(handle);
        return NO_FILE;
    }
    return from_handle(handle);
}

Created create_new_file(const char* name, FileHandle& file) {
    file = NO_FILE;
    // CREATE_NEW fails on any existing entry; with FILE_FLAG_OPEN_REPARSE_POINT it never
    // follows a link either, not even a dangling one, to create what it leads to.
    HANDLE handle = INVALID_HANDLE_VALUE;
    const bool created = retried_while_held(name, [&] {
        handle =
            CreateFileA(name, GENERIC_READ | GENERIC_WRITE, SHARE_READ_WRITE, nullptr, CREATE_NEW,
                        FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        return handle != INVALID_HANDLE_VALUE;
    });
    if (!created) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ? Created::name_taken
                                                                           : Created::failed;
    }
    file = from_handle(handle);
    return Created::created;
}

std::ptrdiff_t read_some(FileHandle file, char* buffer, std::size_t size) {
    DWORD count = 0;
    if (ReadFile(to_handle(file), buffer, transfer_size(size), &count, nullptr) == 0) {
        // A pipe whose writer has gone reports its end as this error.
        return GetLastError() == ERROR_BROKEN_PIPE ? 0 : -1;
    }
    return static_cast<std::ptrdiff_t>(count);
}

bool write_all(FileHandle file, const char* bytes, std::size_t size) {
    while (size > 0) {
        DWORD count = 0;
        if (WriteFile(to_handle(file), bytes, transfer_size(size), &count, nullptr) == 0 ||
            count == 0) {
            return false;
        }
        bytes += count;
        size -= count;
    }
    return true;
}

bool close_file(FileHandle file) {
    // (HANDLE)-1 is also the current process's pseudo handle, which CloseHandle "closes"
    // successfully: no file is no success.
    if (file == NO_FILE) {
        return false;
    }
    return CloseHandle(to_handle(file)) != 0;
}

bool rewind_file(FileHandle file) {
    LARGE_INTEGER start{};
    return SetFilePointerEx(to_handle(file), start, nullptr, FILE_BEGIN) != 0;
}

bool flush_to_disk(FileHandle file) {
    // A device or a file system that cannot flush answers ERROR_INVALID_FUNCTION.
    return FlushFileBuffers(to_handle(file)) != 0 || GetLastError() == ERROR_INVALID_FUNCTION;
}

void write_behind(FileHandle, WriteBehind& behind, std::size_t written) {
    behind.written += written;  // the final flush does it all
}

void flush_folder_of(const char*, FileHandle) {
    // The rename is written through (rename_over), and a file created anew reaches the disk
    // with its entry once it is flushed: nothing is left to do for the folder.
}

std::size_t system_folder_length(const char* name) {
    // As Windows reads a name in the ANSI code page: the second byte of a double-byte character
    // is never a separator.
    std::size_t length = 0;
    for (std::size_t i = 0; name[i] != '\0'; ++i) {
        if (IsDBCSLeadByte(static_cast<BYTE>(name[i])) != 0 && name[i + 1] != '\0') {
            ++i;
        } else if (name[i] == '\\' || name[i] == '/' || name[i] == ':') {
            length = i + 1;
        }
    }
    return length;
}

// No exchange of two names in one step here: where nothing was examined, nothing is replaced;
// otherwise what lies at to when the rename comes is (the manual page names the window).
Renamed rename_over(const char* from, const char* to, const ExistingEntry& examined) {
    const DWORD replace =
        examined.kind == ExistingEntry::Kind::none ? 0 : MOVEFILE_REPLACE_EXISTING;
    if (retried_while_held(
            to, [&] { return MoveFileExA(from, to, replace | MOVEFILE_WRITE_THROUGH) != 0; })) {
        return Renamed::renamed;
    }
    return GetLastError() == ERROR_NOT_SAME_DEVICE ? Renamed::other_file_system : Renamed::refused;
}

bool same_file(const char* first, const char* second) {
    BY_HANDLE_FILE_INFORMATION first_information{};
    BY_HANDLE_FILE_INFORMATION second_information{};
    return identify(first, first_information) && identify(second, second_information) &&
           first_information.dwVolumeSerialNumber == second_information.dwVolumeSerialNumber &&
           first_information.nFileIndexHigh == second_information.nFileIndexHigh &&
           first_information.nFileIndexLow == second_information.nFileIndexLow;
}

namespace {

FileIdentity identity(bool known, const BY_HANDLE_FILE_INFORMATION& information) {
    return known ? FileIdentity{information.dwVolumeSerialNumber,
                                (std::uint64_t{information.nFileIndexHigh} << 32) |
                                    information.nFileIndexLow,
                                information.dwFileAttributes &
                                    (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT),
                                true}
                 : FileIdentity{};
}

}  // namespace

FileIdentity file_identity(FileHandle file) {
    BY_HANDLE_FILE_INFORMATION information{};
    return identity(GetFileInformationByHandle(to_handle(file), &information) != 0, information);
}

FileIdentity name_identity(const char* name) {
    BY_HANDLE_FILE_INFORMATION information{};
    return identity(identify(name, information, false), information);
}

// The name is asked again before each attempt: while the deletion waited, it may have come to
// lead to another file.
bool remove_if_same(const char* name, const FileIdentity& identity) {
    return retried_while_held(name, [&] {
        if (name_identity(name) != identity) {
            SetLastError(ERROR_FILE_NOT_FOUND);
            return false;
        }
        return DeleteFileA(name) != 0;
    });
}

ExistingEntry examine_entry(const char* name) {
    ExistingEntry entry;
    HANDLE handle = open_for_identity(name, false);
    if (handle == INVALID_HANDLE_VALUE) {
        return entry;
    }
    BY_HANDLE_FILE_INFORMATION information{};
    const bool known = GetFileInformationByHandle(handle, &information) != 0;
    const bool disk_file = GetFileType(handle) == FILE_TYPE_DISK;
    CloseHandle(handle);
    entry.identity = identity(known, information);
    const DWORD attributes = known ? information.dwFileAttributes : 0;
    // A device name such as NUL or CON opens, but as no file on a disk.
    if (!disk_file) {
        entry.kind = ExistingEntry::Kind::special;
    } else if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        entry.kind = ExistingEntry::Kind::folder;
    } else if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        entry.kind = ExistingEntry::Kind::link;
    } else {
        entry.kind = ExistingEntry::Kind::file;
        entry.read_only = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
    }
    return entry;
}

void carry_permissions(FileHandle, const ExistingEntry&) {
    // A file's access rights come from its folder, and a rename keeps the new file's; there are
    // no permission bits to carry over.
}

FileHandle open_examined_file(const char* name, const ExistingEntry& examined) {
    if (examined.kind != ExistingEntry::Kind::file) {
        return NO_FILE;
    }
    HANDLE handle = CreateFileA(name, GENERIC_WRITE, SHARE_READ_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return NO_FILE;
    }
    BY_HANDLE_FILE_INFORMATION information{};
    const bool known = GetFileInformationByHandle(handle, &information) != 0;
    if (!known || identity(known, information) != examined.identity ||
        (information.dwFileAttributes &
         (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0 ||
        GetFileType(handle) != FILE_TYPE_DISK || SetEndOfFile(handle) == 0) {
        CloseHandle(handle);
        return NO_FILE;
    }
    return from_handle(handle);
}

namespace {

ConsoleForm console;

}  // namespace

ConsoleForm console_form() {
    return console;
}

std::size_t convert_tool_text(std::string_view, std::span<char>) {
    return 0;
}

std::size_t describe_error(int, std::span<char>) {
    return 0;
}

int last_error() {
    return static_cast<int>(GetLastError());
}

namespace {

// Set while the clean-up after Ctrl-C runs (on its own thread).
volatile LONG cleaning_up = 0;

DWORD WINAPI end_after_a_second(LPVOID) {
    Sleep(1000);
    ExitProcess(static_cast<UINT>(STATUS_CONTROL_C_EXIT));
}

// The clean-up after Ctrl-C has done its work on the files before it writes to the console:
// should the console not take its messages (a full pipe nobody reads), the process ends all the
// same, a second later.
void end_even_if_the_console_waits() {
    static volatile LONG watched = 0;
    if (cleaning_up != 0 && InterlockedExchange(&watched, 1) == 0) {
        const HANDLE watchdog = CreateThread(nullptr, 0, end_after_a_second, nullptr, 0, nullptr);
        if (watchdog != nullptr) {
            CloseHandle(watchdog);
        }
    }
}

}  // namespace

void write_console(const char* bytes, std::size_t size) {
    end_even_if_the_console_waits();
    // The bytes go out as they are: redirected output is the tool's Shift-JIS bytes.
    (void)write_all(from_handle(GetStdHandle(STD_OUTPUT_HANDLE)), bytes, size);
}

namespace {

// The console is given Unicode in blocks of at most this many bytes of the original text (one
// byte never makes more than one UTF-16 unit in these code pages, nor a UTF-8 sequence more
// units than it has bytes).
constexpr std::size_t CONSOLE_BLOCK = 512;

// How many bytes from the start of bytes make the next block: all of them when they fit, else
// as many as fit without cutting a character in two.
std::size_t next_block(const char* bytes, std::size_t size, UINT code_page) {
    if (size <= CONSOLE_BLOCK) {
        return size;
    }
    std::size_t cut = 0;
    if (code_page == CP_UTF8) {
        cut = CONSOLE_BLOCK;
        while (cut > 0 && (static_cast<unsigned char>(bytes[cut]) & 0xC0) == 0x80) {
            --cut;
        }
        return cut == 0 ? CONSOLE_BLOCK : cut;
    }
    while (cut < CONSOLE_BLOCK) {
        const std::size_t step =
            IsDBCSLeadByteEx(code_page, static_cast<BYTE>(bytes[cut])) != 0 ? 2 : 1;
        if (cut + step > CONSOLE_BLOCK) {
            break;
        }
        cut += step;
    }
    return cut;
}

}  // namespace

void show_console_text(const char* bytes, std::size_t size, ConsoleText text) {
    end_even_if_the_console_waits();
    // The tool's texts are code page 932 on every system; names come in the ANSI code page,
    // which is how the "A" calls take them.
    const UINT code_page = text == ConsoleText::tool_text ? 932 : GetACP();
    HANDLE console = GetStdHandle(STD_OUTPUT_HANDLE);
    while (size > 0) {
        const std::size_t block = next_block(bytes, size, code_page);
        wchar_t wide[CONSOLE_BLOCK];
        const int count = MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, bytes,
                                              static_cast<int>(block), wide, CONSOLE_BLOCK);
        DWORD written = 0;
        if (count <= 0 ||
            WriteConsoleW(console, wide, static_cast<DWORD>(count), &written, nullptr) == 0) {
            // Not convertible, or not a console after all: the rest goes as it is.
            write_console(bytes, size);
            return;
        }
        bytes += block;
        size -= block;
    }
}

// Redirected, the exact Shift-JIS bytes, which scripts and logs compare; on a console, Unicode in
// the user's language. Windows sends no signal when the reader of a pipe goes away (the write
// fails, and write_console ignores it), and the C runtime's text mode is never used.
void prepare_process() {
    DWORD mode = 0;
    console.interactive = GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) != 0;
    console.exact = !console.interactive;
    console.unicode_console = console.interactive;
    console.japanese = console.exact || PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_JAPANESE;
}

namespace {

void (*interruption_cleanup)() = nullptr;

// Windows calls this on a thread of its own. It waits until the run is outside its held
// sections, cleans up, and ends the process there: the lock is never given back, so the run
// cannot go on past that point.
BOOL WINAPI on_console_event(DWORD) {
    EnterCriticalSection(&interruption_lock.section);
    cleaning_up = 1;
    if (interruption_cleanup != nullptr) {
        interruption_cleanup();
    }
    ExitProcess(static_cast<UINT>(STATUS_CONTROL_C_EXIT));
}

}  // namespace

void catch_interruptions(void (*cleanup)()) {
    interruption_cleanup = cleanup;
    SetConsoleCtrlHandler(on_console_event, TRUE);
}

HeldInterruptions::HeldInterruptions() {
    EnterCriticalSection(&interruption_lock.section);
    ++holds_on_this_thread;
}

HeldInterruptions::~HeldInterruptions() {
    --holds_on_this_thread;
    LeaveCriticalSection(&interruption_lock.section);
}

void end_process(int exit_code) {
    ExitProcess(static_cast<UINT>(exit_code));
}

PlatformNames platform_names() {
    return {.slash_separates_folders = false, .case_sensitive = false, .may_be_utf8 = false};
}

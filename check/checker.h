// The check of a list of S-record files, as Srjoin would merge them in that order. The caller
// reads the files and feeds their lines; the checker reports findings to a sink and gives a
// summary at the end. Two passes, memory growing with the address ranges and with the bytes
// given more than once, never with the image:
//
//     Checker checker(names.size(), sink);
//     for each file i:  checker.begin_file(i); for each line: checker.check_line(...);
//                       checker.end_file();
//     if (checker.needs_second_pass()) {
//         checker.begin_second_pass();
//         the same again (the overlaps are reported during it);
//     }
//     CheckSummary summary = checker.summary();
//
// A file that cannot be read is the caller's to report (exit code 2); it is simply not fed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "check/address_ranges.h"
#include "check/findings.h"
#include "check/overlap_bytes.h"
#include "check/record.h"

// What the merge writes as its last line when no input has a termination record.
inline constexpr std::string_view MERGE_FALLBACK_RECORD = "S804FFDE40DE";

struct FileSummary {
    std::uint64_t records = 0;     // valid records of every type
    std::uint64_t data_bytes = 0;  // in the valid data records
    std::vector<AddressRange> ranges;
};

// The entry point of the merged image: the termination record the merge keeps.
struct EntryPoint {
    enum class Source : std::uint8_t {
        record,           // a valid S7, S8 or S9 at place
        unparsed_record,  // the line at place, which the merge takes and which is no valid record
        fallback,         // MERGE_FALLBACK_RECORD: no file has a termination record
    };
    Source source = Source::fallback;
    Place place;          // record, unparsed_record
    int record_type = 0;  // record, fallback
    std::uint64_t address = 0;
};

struct CheckSummary {
    std::vector<FileSummary> files;
    std::vector<AddressRange> image;  // the merged image: every file's ranges together
    EntryPoint entry;
    std::uint64_t errors = 0;
    std::uint64_t notices = 0;
};

// It is the sink of its own findings, counting them before it hands them on.
class Checker : private FindingSink {
public:
    // file_count: the files of the list, at most 65536. sink must outlive the checker.
    Checker(std::size_t file_count, FindingSink& sink);
    Checker(const Checker&) = delete;
    Checker& operator=(const Checker&) = delete;

    // Starts feeding file (an index below file_count), in either pass.
    void begin_file(std::size_t file);

    // One line of the file as the caller read it (CR bytes dropped, nothing from a Ctrl-Z on,
    // without its LF): at most MAX_CHECKED_LINE bytes of it, too_long when it was longer.
    // number: the line's number, from 1.
    void check_line(std::string_view line, std::uint64_t number, bool too_long);

    void end_file();

    // After the first pass: true when records of the list overlap, and their bytes must be
    // compared in a second pass.
    bool needs_second_pass() const { return !overlaps_.empty(); }
    void begin_second_pass();

    // The exit code of the check is 0 without errors, 1 with; 2 (a file not read) is the
    // caller's to decide.
    bool errors_found() const { return errors_ != 0; }

    CheckSummary summary() const;

private:
    struct FileTally {
        std::uint64_t records = 0;
        std::uint64_t data_bytes = 0;
        AddressRanges ranges;
    };

    // The file being fed, in the first pass.
    struct OpenFile {
        Place place;
        std::uint64_t data_lines = 0;  // lines of S1, S2 and S3, valid or not
        Place first_termination;       // line 0 while none
        Place last_termination;
        bool data_after_termination = false;
    };

    void report(const Finding& finding) override;
    void report_line_error(const ParsedLine& parsed, bool too_long);
    void tally_record(const Record& record);
    // record: the line as a valid record, or null when it is none.
    void note_termination(const Record* record);
    void compare_overlap(std::string_view line, bool too_long);

    FindingSink& sink_;
    std::vector<FileTally> files_;
    AddressRanges image_;
    AddressRanges overlaps_;
    std::unique_ptr<OverlapBytes> overlap_bytes_;  // in the second pass
    OpenFile file_;
    EntryPoint entry_;
    std::uint64_t errors_ = 0;
    std::uint64_t notices_ = 0;
    RecordBytes bytes_;
};

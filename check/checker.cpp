#include "check/checker.h"

namespace {

FindingKind finding_of(RecordError error) {
    switch (error) {
        case RecordError::reserved_type:
            return FindingKind::reserved_type;
        case RecordError::not_hex_digit:
            return FindingKind::not_hex_digit;
        case RecordError::odd_digit_count:
            return FindingKind::odd_digit_count;
        case RecordError::byte_count_wrong:
            return FindingKind::byte_count_wrong;
        case RecordError::address_too_short:
            return FindingKind::address_too_short;
        case RecordError::bad_checksum:
            return FindingKind::bad_checksum;
        case RecordError::none:
        case RecordError::not_a_record:
            break;
    }
    return FindingKind::not_a_record;
}

Finding finding_at(FindingKind kind, Place place, Place other = {}) {
    Finding finding;
    finding.kind = kind;
    finding.place = place;
    finding.other = other;
    return finding;
}

// The entry point when no file has a termination record, read from the very record the merge
// writes then.
EntryPoint fallback_entry() {
    RecordBytes bytes;
    const Record record = parse_record(MERGE_FALLBACK_RECORD, bytes).record;
    return {EntryPoint::Source::fallback, {}, record.type, record.address};
}

}  // namespace

Checker::Checker(std::size_t file_count, FindingSink& sink)
    : sink_(sink), files_(file_count), entry_(fallback_entry()) {}

void Checker::report(const Finding& finding) {
    ++(is_error(finding.kind) ? errors_ : notices_);
    sink_.report(finding);
}

void Checker::begin_file(std::size_t file) {
    file_ = OpenFile{};
    file_.place.file = file;
}

void Checker::check_line(std::string_view line, std::uint64_t number, bool too_long) {
    file_.place.line = number;
    if (overlap_bytes_) {
        compare_overlap(line, too_long);
        return;
    }
    if (line.empty() && !too_long) {
        report(finding_at(FindingKind::empty_line, file_.place));
        return;
    }
    const bool data_line = is_data_line(line);
    if (data_line) {
        ++file_.data_lines;
    }
    const ParsedLine parsed = too_long ? ParsedLine{} : parse_record(line, bytes_);
    const bool valid = !too_long && parsed.error == RecordError::none;
    if (valid) {
        tally_record(parsed.record);
    } else {
        report_line_error(parsed, too_long);
    }
    if (data_line && file_.last_termination.line != 0 && !file_.data_after_termination) {
        file_.data_after_termination = true;
        report(
            finding_at(FindingKind::data_after_termination, file_.place, file_.last_termination));
    }
    if (is_termination_line(line)) {
        note_termination(valid ? &parsed.record : nullptr);
    }
}

void Checker::report_line_error(const ParsedLine& parsed, bool too_long) {
    Finding finding =
        finding_at(too_long ? FindingKind::line_too_long : finding_of(parsed.error), file_.place);
    finding.found = parsed.found;
    finding.expected = parsed.expected;
    finding.record_type = parsed.record.type;
    report(finding);
}

void Checker::tally_record(const Record& record) {
    FileTally& tally = files_[file_.place.file];
    ++tally.records;
    if (record.type >= 1 && record.type <= 3) {
        tally.data_bytes += record.data.size();
        const std::uint64_t end = record.address + std::uint64_t{record.data.size()};
        tally.ranges.add(record.address, end);
        image_.add(record.address, end, &overlaps_);
    } else if ((record.type == 5 || record.type == 6) && record.address != file_.data_lines) {
        Finding finding = finding_at(FindingKind::count_wrong, file_.place);
        finding.found = record.address;
        finding.expected = file_.data_lines;
        finding.record_type = record.type;
        report(finding);
    }
}

void Checker::note_termination(const Record* record) {
    if (record != nullptr) {
        entry_ = {EntryPoint::Source::record, file_.place, record->type, record->address};
    } else {
        entry_ = {EntryPoint::Source::unparsed_record, file_.place};
    }
    if (file_.first_termination.line != 0) {
        report(finding_at(FindingKind::extra_termination, file_.place, file_.first_termination));
    } else {
        file_.first_termination = file_.place;
    }
    file_.last_termination = file_.place;
}

void Checker::end_file() {
    if (!overlap_bytes_ && file_.first_termination.line == 0) {
        report(finding_at(FindingKind::no_termination, {file_.place.file, 0}));
    }
}

void Checker::begin_second_pass() {
    overlap_bytes_ = std::make_unique<OverlapBytes>(overlaps_);
}

void Checker::compare_overlap(std::string_view line, bool too_long) {
    if (too_long || !is_data_line(line)) {
        return;
    }
    const ParsedLine parsed = parse_record(line, bytes_);
    if (parsed.error == RecordError::none) {
        overlap_bytes_->compare(file_.place, parsed.record.address, parsed.record.data, *this);
    }
}

CheckSummary Checker::summary() const {
    CheckSummary summary;
    for (const FileTally& tally : files_) {
        summary.files.push_back({tally.records, tally.data_bytes, tally.ranges.ranges()});
    }
    summary.image = image_.ranges();
    summary.entry = entry_;
    summary.errors = errors_;
    summary.notices = notices_;
    return summary;
}

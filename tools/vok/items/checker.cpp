#include "checker.hpp"

#include "json_writer.hpp"
#include "wording.hpp"

namespace vok::tool {

namespace {

void compare_with_expectations(CheckReport &report, const CheckExpectations &expected) {
    if (expected.type && *expected.type != report.type) {
        report.problems.push_back({report.offset + 5,
                                   "stream type " + std::to_string(report.type) + ", expected " +
                                       std::to_string(*expected.type),
                                   report.offset, VOK_WRONG_STREAM_TYPE});
    }
    if (expected.version && *expected.version != report.version) {
        report.warning = "version " + std::to_string(report.version) + " is " +
                         (report.version < *expected.version ? "older" : "newer") +
                         " than the expected " + std::to_string(*expected.version) +
                         " (the stream is still readable)";
    }
}

} // namespace

CheckReport frame_report(const Block &block, const CheckExpectations &expected) {
    CheckReport report;
    report.offset = block.offset;
    vokxBlockInfo info{};
    vokxInspect(block.bytes, block.size, &info);
    report.length = info.length;
    report.type = info.type;
    report.version = info.version;
    compare_with_expectations(report, expected);
    return report;
}

CheckReport check_stream(const Block &block, const CheckExpectations &expected) {
    CheckReport report;
    report.offset = block.offset;
    StreamWalker walker(block);
    report.length = walker.declared_length();
    Entry entry{};
    bool have_header = false;
    while (walker.next(entry)) {
        switch (entry.item.kind) {
        case ItemKind::header:
            have_header = true;
            report.type = entry.item.extra;
            report.version = entry.item.number;
            break;
        case ItemKind::end:
            break;
        case ItemKind::phrase_mark:
            ++report.phrases;
            [[fallthrough]];
        default:
            ++report.items;
        }
    }
    report.problems = walker.problems();
    if (have_header) compare_with_expectations(report, expected);
    return report;
}

std::string block_summary(const CheckReport &report) {
    return counted(report.items, "item") + ", " + counted(report.phrases, "phrase") + ", " +
           counted(report.length, "byte") + " (type " + std::to_string(report.type) + ", version " +
           std::to_string(report.version) + ")";
}

std::string Tally::closing_line() const {
    if (problems == 0) return "ok: " + counted(blocks, "block") + ", " + counted(bytes, "byte");
    return counted(problems, "problem") + " in " + counted(blocks, "block") + " (" +
           std::to_string(good) + " well-formed, " + counted(skipped, "byte") + " skipped)";
}

void CheckPrinter::print_with_offset(const CheckReport &report) {
    out_ << "offset " << std::to_string(report.offset) << ": " << block_summary(report) << '\n';
}

void CheckPrinter::print_json(const CheckReport &report) {
    JsonObject json(out_);
    json.number("block", static_cast<int64_t>(report.offset));
    json.text("kind", "block");
    json.number("length", report.length);
    json.number("type", report.type);
    json.number("version", report.version);
    json.number("items", static_cast<int64_t>(report.items));
    json.number("phrases", static_cast<int64_t>(report.phrases));
}

// A first good block is held back: alone, it is summed up after "ok: ".
void CheckPrinter::print_pending() {
    if (pending_ && verbosity_ == Verbosity::verbose) print_with_offset(*pending_);
    pending_.reset();
}

void CheckPrinter::add(const CheckReport &report) {
    ++tally_.blocks;
    ++tally_.good;
    tally_.bytes += report.length;
    if (json_) {
        print_json(report);
    } else if (tally_.blocks == 1) {
        pending_ = report;
    } else {
        print_pending();
        if (verbosity_ == Verbosity::verbose) print_with_offset(report);
    }
}

void CheckPrinter::bad(uint64_t block, const std::vector<Problem> &problems) {
    ++tally_.blocks;
    tally_.problems += problems.size();
    print_pending();
    if (json_) {
        for (const Problem &problem : problems)
            write_json_problem(out_, problem);
    } else if (verbosity_ == Verbosity::verbose) {
        const Problem &first = problems.front();
        out_ << "offset " << std::to_string(block) << ": bad: byte " << std::to_string(first.offset)
             << ": " << problem_text(first) << '\n';
    }
}

void CheckPrinter::skip(const Skipped &skipped) {
    tally_.skipped += skipped.to - skipped.from;
    print_pending();
    if (json_)
        write_json_skipped(out_, skipped);
    else if (verbosity_ == Verbosity::verbose)
        out_ << "offset " << std::to_string(skipped.from) << ": skipped "
             << counted(skipped.to - skipped.from, "byte") << '\n';
}

void CheckPrinter::warn(const Problem &warning) {
    if (json_) write_json_problem(out_, warning, true);
}

void CheckPrinter::finish() {
    if (json_) return;
    if (tally_.problems == 0 && verbosity_ == Verbosity::quiet) return;
    if (pending_ && tally_.blocks == 1)
        out_ << "ok: " << block_summary(*pending_) << '\n';
    else
        out_ << tally_.closing_line() << '\n';
}

} // namespace vok::tool

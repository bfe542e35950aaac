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
                                   report.offset});
    }
    if (expected.version && *expected.version != report.version) {
        report.warning = "version " + std::to_string(report.version) + " is " +
                         (report.version < *expected.version ? "older" : "newer") +
                         " than the expected " + std::to_string(*expected.version) +
                         " (the stream is still readable)";
    }
}

} // namespace

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

void CheckPrinter::print_with_offset(const CheckReport &report) {
    out_ << "offset " << std::to_string(report.offset) << ": " << block_summary(report) << '\n';
}

void CheckPrinter::print_json(const CheckReport &report) {
    JsonObject json(out_);
    json.number("offset", static_cast<int64_t>(report.offset));
    json.text("kind", "block");
    json.number("length", report.length);
    json.number("type", report.type);
    json.number("version", report.version);
    json.number("items", static_cast<int64_t>(report.items));
    json.number("phrases", static_cast<int64_t>(report.phrases));
}

void CheckPrinter::add(const CheckReport &report) {
    ++blocks_;
    bytes_ += report.length;
    if (json_) {
        print_json(report);
    } else if (blocks_ == 1) {
        first_ = report;
    } else if (verbosity_ == Verbosity::verbose) {
        if (blocks_ == 2) print_with_offset(*first_);
        print_with_offset(report);
    }
}

void CheckPrinter::warn(const Problem &warning) {
    if (json_) write_json_problem(out_, warning, "warning");
}

void CheckPrinter::fail(const Problem &problem) {
    if (json_) write_json_problem(out_, problem);
}

void CheckPrinter::finish() {
    if (json_ || verbosity_ == Verbosity::quiet) return;
    if (blocks_ == 1) out_ << "ok: " << block_summary(*first_) << '\n';
    if (blocks_ > 1)
        out_ << "ok: " << counted(blocks_, "block") << ", " << counted(bytes_, "byte") << '\n';
}

} // namespace vok::tool

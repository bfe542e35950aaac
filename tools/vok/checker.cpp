#include "checker.hpp"

#include "wording.hpp"

namespace vok::tool {

namespace {

void compare_with_expectations(CheckReport &report, const CheckExpectations &expected) {
    if (expected.type && *expected.type != report.type) {
        report.problems.push_back({report.offset + 5, "stream type " + std::to_string(report.type) +
                                                          ", expected " +
                                                          std::to_string(*expected.type)});
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

void CheckPrinter::add(const CheckReport &report) {
    ++blocks_;
    bytes_ += report.length;
    if (blocks_ == 1) {
        first_ = report;
        return;
    }
    if (blocks_ == 2) print_with_offset(*first_);
    print_with_offset(report);
}

void CheckPrinter::finish() {
    if (blocks_ == 1) out_ << "ok: " << block_summary(*first_) << '\n';
    if (blocks_ > 1)
        out_ << "ok: " << counted(blocks_, "block") << ", " << counted(bytes_, "byte") << '\n';
}

} // namespace vok::tool

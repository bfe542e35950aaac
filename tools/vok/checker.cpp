#include "checker.hpp"

#include "wording.hpp"

namespace vok::tool {

namespace {

void compare_with_expectations(CheckReport &report, const CheckExpectations &expected) {
    if (expected.type && *expected.type != report.type) {
        report.problems.push_back({5, "stream type " + std::to_string(report.type) + ", expected " +
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

CheckReport check_stream(std::span<const uint8_t> file, const CheckExpectations &expected) {
    CheckReport report;
    StreamWalker walker(file);
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

std::string summary_line(const CheckReport &report) {
    return "ok: " + counted(report.items, "item") + ", " + counted(report.phrases, "phrase") +
           ", " + counted(report.length, "byte") + " (type " + std::to_string(report.type) +
           ", version " + std::to_string(report.version) + ")";
}

} // namespace vok::tool

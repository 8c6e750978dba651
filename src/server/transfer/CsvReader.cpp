#include "server/transfer/CsvReader.h"

#include <csv.h>

#include <algorithm>
#include <memory>
#include <string_view>

#include "core/Text.h"

namespace krv::server::transfer {

namespace {

// Spreadsheets on Windows save "Latin-1" as Windows-1252, which puts curly quotes, dashes
// and the euro where Latin-1 has control characters no text holds; those are read as 1252's.
constexpr char16_t kWindows1252[32] = {u'€', 0x81, u'‚', u'ƒ', u'„', u'…', u'†', u'‡', u'ˆ', u'‰', u'Š',
                                       u'‹', u'Œ', 0x8D, u'Ž', 0x8F, 0x90, u'‘', u'’', u'“', u'”', u'•',
                                       u'–', u'—', u'˜', u'™', u'š', u'›', u'œ', 0x9D, u'ž', u'Ÿ'};

void appendUtf8(std::string& out, char16_t c) {
    if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
    } else {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
    }
    out += char(0x80 | (c & 0x3F));
}

std::string latin1ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 8);
    for (const char c : bytes) {
        const auto b = uint8_t(c);
        if (b < 0x80) {
            out += c;
        } else if (b < 0xA0) {
            appendUtf8(out, kWindows1252[b - 0x80]);
        } else {
            out += char(0xC0 | (b >> 6));
            out += char(0x80 | (b & 0x3F));
        }
    }
    return out;
}

// In place: the files can be large.
void makeUtf8(std::string& bytes) {
    constexpr std::string_view kBom = "\xEF\xBB\xBF";
    if (bytes.size() >= kBom.size() && bytes.compare(0, kBom.size(), kBom) == 0) bytes.erase(0, kBom.size());
    if (!isValidUtf8(bytes)) bytes = latin1ToUtf8(bytes);
}

// Fields arrive from libcsv one at a time; a record ends at its line break. Spaces are data
// here: a name may end in one.
struct Collector {
    const CsvSink& sink;
    CsvEnd& end;
    size_t recordLine = 1;  // where the record being read started
    size_t currentLine = 1;
    std::vector<std::string> fields;

    static void field(void* text, size_t length, void* self) {
        static_cast<Collector*>(self)->fields.emplace_back(static_cast<const char*>(text), length);
    }
    static void ended(int, void* self) { static_cast<Collector*>(self)->endRecord(); }

    // Also called for each line break outside a record, with no field: an empty line.
    void endRecord() {
        const bool blank = std::all_of(fields.begin(), fields.end(), [](const std::string& f) { return f.empty(); });
        if (!fields.empty() && (!end.sawHeader || !blank)) {
            sink(recordLine, fields);
            end.sawHeader = true;
        }
        fields.clear();
        recordLine = currentLine + 1;
    }
};

int noSpace(unsigned char) { return 0; }

}  // namespace

// The header holds only column names, so the separator is whichever of the two it has more of.
char fieldSeparator(std::string_view text) {
    const std::string_view first = text.substr(0, text.find_first_of("\r\n"));
    return std::count(first.begin(), first.end(), ',') > std::count(first.begin(), first.end(), ';') ? ',' : ';';
}

CsvEnd readCsv(std::string bytes, const CsvSink& sink, const ReadProgress& progress) {
    makeUtf8(bytes);
    const std::string& text = bytes;
    CsvEnd content;
    csv_parser parser;
    csv_init(&parser, CSV_STRICT | CSV_STRICT_FINI | CSV_REPALL_NL);
    const std::unique_ptr<csv_parser, void (*)(csv_parser*)> freed(&parser, csv_free);
    csv_set_delim(&parser, static_cast<unsigned char>(fieldSeparator(text)));
    csv_set_space_func(&parser, noSpace);
    Collector collector{sink, content};
    // Line by line, so that each record knows the line it started on.
    size_t at = 0;
    const size_t lines = size_t(std::count(text.begin(), text.end(), '\n')) + 1;
    while (at < text.size()) {
        size_t next = text.find('\n', at);
        next = next == std::string::npos ? text.size() : next + 1;
        if (csv_parse(&parser, text.data() + at, next - at, Collector::field, Collector::ended, &collector) !=
            next - at) {
            content.problem = "aspas mal colocadas";
            content.problemLine = collector.recordLine;
            return content;
        }
        ++collector.currentLine;
        at = next;
        if (progress && collector.currentLine % 1024 == 0) progress(collector.currentLine, lines);
    }
    // A record left open at the end has an opening quote that never closes.
    if (csv_fini(&parser, Collector::field, Collector::ended, &collector) != 0) {
        content.problem = "aspas não fechadas";
        content.problemLine = collector.recordLine;
    }
    if (progress) progress(lines, lines);
    return content;
}

}  // namespace krv::server::transfer

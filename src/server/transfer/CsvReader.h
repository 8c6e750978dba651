#pragma once
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace krv::server::transfer {

// Each record of a file in turn, the header first, with the line it starts on (the header's
// is 1). The fields may be moved from: they are not used again.
using CsvSink = std::function<void(size_t line, std::vector<std::string>& fields)>;

struct CsvEnd {
    bool sawHeader = false;
    std::string problem;  // when the file could not be read to its end
    size_t problemLine = 0;
};

// The field separator of a file: whichever of ";" and "," its header line has more of.
char fieldSeparator(std::string_view text);

// Called now and then with the lines read so far and the file's count of lines.
using ReadProgress = std::function<void(size_t done, size_t total)>;

// A file as spreadsheets save it: UTF-8 with or without BOM, or Latin-1 and its Windows form
// (taken to be such when it is not valid UTF-8, and converted); ";" or "," between fields, whichever the
// header line uses; fields in double quotes may hold either and line breaks. Lines with
// nothing but separators are skipped, as spreadsheets leave them at the end.
CsvEnd readCsv(std::string bytes, const CsvSink& sink, const ReadProgress& progress = {});

}  // namespace krv::server::transfer

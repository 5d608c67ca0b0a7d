// Opens the file set of one stream prefix, printing what is wrong with it.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "media_file_format.h"
#include "meta_reader.h"

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using StreamFile = std::unique_ptr<std::FILE, FileCloser>;

struct MediaFileSet {
    std::vector<IndexInfo> index;
    MetaParseResult meta;
    StreamFile stream;
};

// Reads the index, then the parameter file, then opens the stream file; false at the first that fails.
bool OpenMediaFileSet(const std::string& prefix, MediaFileSet& out);

// Reads a whole text file; false when it cannot be opened or read.
bool ReadTextFile(const std::string& path, std::string& text);

bool FileExists(const std::string& path);

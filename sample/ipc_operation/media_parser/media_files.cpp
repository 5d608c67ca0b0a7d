#include "media_files.h"

#include <sys/stat.h>

#include "index_reader.h"

namespace {

// Far above any real index or parameter file; stops a wrong path (a device, a huge file) eating memory.
constexpr long kTextFileMaxLen = 64L * 1024 * 1024;

bool ReadIndexFile(const std::string& path, std::vector<IndexInfo>& index) {
    std::string text;
    if (!ReadTextFile(path, text)) {
        std::printf("Open file failed: %s\n", path.c_str());
        return false;
    }
    IndexParseResult parsed = ParseIndex(text);
    if (parsed.status == IndexParseStatus::kBadLine) {
        std::printf("Read file failed: %s\n", path.c_str());
        return false;
    }
    if (parsed.status == IndexParseStatus::kNoRecords) {
        std::printf("Read index file failed: %s\n", path.c_str());
        return false;
    }
    index = std::move(parsed.index);
    return true;
}

bool ReadMetaFile(const std::string& path, MetaParseResult& meta) {
    std::string text;
    if (!ReadTextFile(path, text)) {
        std::printf("Open file failed: %s\n", path.c_str());
        return false;
    }
    meta = ParseMeta(text, path);
    for (const auto& message : meta.messages) std::fputs(message.c_str(), stdout);
    return meta.valid;
}

}  // namespace

bool ReadTextFile(const std::string& path, std::string& text) {
    StreamFile file(std::fopen(path.c_str(), "rb"));
    if (!file) return false;
    text.clear();
    char chunk[4096];
    size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof(chunk), file.get())) > 0) {
        text.append(chunk, got);
        if (static_cast<long>(text.size()) > kTextFileMaxLen) return false;
    }
    return std::ferror(file.get()) == 0;
}

bool FileExists(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool OpenMediaFileSet(const std::string& prefix, MediaFileSet& out) {
    if (!ReadIndexFile(IndexFileName(prefix), out.index)) {
        std::printf("Parse stream index failed\n");
        return false;
    }
    out.index.shrink_to_fit();
    if (!ReadMetaFile(MetaFileName(prefix), out.meta)) {
        std::printf("Parse stream param failed\n");
        return false;
    }
    out.meta.video.key_frame_interval_ms = KeyFrameIntervalMs(out.index);
    out.stream.reset(std::fopen(StreamFileName(prefix).c_str(), "rb"));
    if (!out.stream) {
        std::printf("Open file failed: %s\n", StreamFileName(prefix).c_str());
        std::printf("Parse stream file failed\n");
        return false;
    }
    return true;
}

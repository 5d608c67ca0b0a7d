// media_check PREFIX... [--picture FILE]
// Reads each media file set with the camera's own readers and checks every record, so a set that passes
// plays on the camera. Prints one summary line per set; exits 1 at the first problem.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "media_files.h"
#include "picture_parser.h"
#include "stream_reader.h"

namespace {

struct SetSummary {
    size_t video = 0;
    size_t key_frames = 0;
    size_t audio = 0;
    uint32_t largest_record = 0;
};

bool StartsWithStartCode(const unsigned char* frame, size_t size) {
    return (size >= 3 && frame[0] == 0 && frame[1] == 0 && frame[2] == 1) ||
           (size >= 4 && frame[0] == 0 && frame[1] == 0 && frame[2] == 0 && frame[3] == 1);
}

bool IsAdtsFrame(const unsigned char* frame, size_t size) {
    return size >= 7 && frame[0] == 0xFF && (frame[1] & 0xF0) == 0xF0;
}

// Returns the problem with the frame, or null.
const char* FrameProblem(const MediaFileSet& set, const IndexInfo& info, const unsigned char* frame) {
    const size_t size = info.len - kMediaFrameHeaderLen;
    if (info.media_type == kMediaTypeVideo && !StartsWithStartCode(frame, size)) {
        return "video frame does not start with an Annex B start code";
    }
    if (info.media_type == kMediaTypeAudio && set.meta.audio.format == OV_AUDIO_FORMAT_AAC &&
        !IsAdtsFrame(frame, size)) {
        return "AAC frame without an ADTS header";
    }
    return nullptr;
}

bool CheckRecords(const std::string& prefix, MediaFileSet& set, SetSummary& summary) {
    std::vector<unsigned char> buffer(kBufferMaxLen);
    uint32_t next_offset = 0;
    for (size_t i = 0; i < set.index.size(); ++i) {
        const IndexInfo& info = set.index[i];
        const char* problem = nullptr;
        FrameReadStatus status = ReadFrameRecord(set.stream.get(), info, buffer.data());
        if (info.offset != next_offset) problem = "record does not follow the previous one";
        else if (status == FrameReadStatus::kTooLarge) problem = "record over 131072 bytes";
        else if (status == FrameReadStatus::kBadRecord) problem = "record cut short or without its marker";
        else problem = FrameProblem(set, info, buffer.data() + kMediaFrameHeaderLen);
        if (problem != nullptr) {
            std::fprintf(stderr, "media_check: %s: frame %zu: %s\n", prefix.c_str(), i, problem);
            return false;
        }
        next_offset = info.offset + info.len;
        summary.largest_record = std::max(summary.largest_record, info.len);
        summary.video += info.media_type == kMediaTypeVideo ? 1 : 0;
        summary.audio += info.media_type == kMediaTypeAudio ? 1 : 0;
        summary.key_frames += IsVideoKeyFrame(info) ? 1 : 0;
    }
    return true;
}

bool CheckSet(const std::string& prefix) {
    MediaFileSet set;
    if (!OpenMediaFileSet(prefix, set)) {
        std::fprintf(stderr, "media_check: %s: the camera cannot open this set\n", prefix.c_str());
        return false;
    }
    SetSummary summary;
    if (!CheckRecords(prefix, set, summary)) return false;
    if (summary.key_frames == 0 || !IsVideoKeyFrame(set.index.front())) {
        std::fprintf(stderr, "media_check: %s: the first frame is not a video key frame\n", prefix.c_str());
        return false;
    }
    std::printf("%s: %zu video frames (%zu key), %zu audio frames, %.0f s, largest record %u bytes\n",
                prefix.c_str(), summary.video, summary.key_frames, summary.audio, set.meta.duration,
                summary.largest_record);
    return true;
}

bool CheckPicture(const std::string& path) {
    std::string picture;
    if (!ReadTextFile(path, picture)) {
        std::fprintf(stderr, "media_check: %s: cannot read the picture\n", path.c_str());
        return false;
    }
    if (picture.size() > PictureParser::kMaxBufferLen || picture.size() < 2 ||
        static_cast<unsigned char>(picture[0]) != 0xFF || static_cast<unsigned char>(picture[1]) != 0xD8) {
        std::fprintf(stderr, "media_check: %s: not a JPEG of at most %u bytes\n", path.c_str(),
                     PictureParser::kMaxBufferLen);
        return false;
    }
    std::printf("%s: picture of %zu bytes\n", path.c_str(), picture.size());
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: media_check PREFIX... [--picture FILE]\n");
        return 2;
    }
    for (int i = 1; i < argc; ++i) {
        const bool picture = std::strcmp(argv[i], "--picture") == 0 && i + 1 < argc;
        const bool ok = picture ? CheckPicture(argv[++i]) : CheckSet(argv[i]);
        if (!ok) return 1;
    }
    return 0;
}

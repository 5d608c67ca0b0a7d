// The media file set of one stream prefix P: "P.index" (one text line per frame), "P.meta" (key=value
// parameters) and P itself (the frame records, each a 4-byte marker followed by the frame).
#pragma once

#include <cstdint>
#include <string>

// One frame of an index file.
struct IndexInfo {
    uint32_t media_type = 0;  // 0 video, 1 audio, others skipped
    uint32_t len = 0;         // record length in bytes, marker included
    uint32_t offset = 0;      // byte offset of the record in the stream file
    uint32_t timestamp = 0;   // milliseconds
    uint32_t key_frame = 0;   // 1 for a key frame
};

inline bool IsVideoKeyFrame(const IndexInfo& info) { return info.media_type == 0 && info.key_frame != 0; }

enum MediaType : uint32_t { kMediaTypeVideo = 0, kMediaTypeAudio = 1 };

constexpr uint32_t kBufferMaxLen = 131072;    // largest record, marker included
constexpr uint32_t kIndexLineMaxLne = 128;    // line buffer of the text files: 127 characters and the NUL
constexpr uint32_t kMillisecondPerSecond = 1000;
constexpr uint32_t kMediaFrameHeader = 0xFCFCFCFC;
constexpr uint32_t kMediaFrameHeaderLen = 4;

inline std::string IndexFileName(const std::string& prefix) { return prefix + ".index"; }
inline std::string MetaFileName(const std::string& prefix) { return prefix + ".meta"; }
inline const std::string& StreamFileName(const std::string& prefix) { return prefix; }

// Parser of parameter files: lines of key=value with the video and audio parameters and the duration.
#pragma once

#include <string>
#include <vector>

#include "orvia_ipc.h"

struct MetaParseResult {
    bool valid = true;
    ov_video_param_s video{};
    ov_audio_param_s audio{};
    double duration = 0;                // whole seconds
    std::vector<std::string> messages;  // lines to print, in order, each ending in "\n"
};

// Unknown keys, lines without "=" and keys without a value are ignored; the last occurrence of a key wins.
// An unknown format is reported and ignored; a bad sample rate, sample size or channel count, or a line
// longer than 127 characters, makes the file invalid.
MetaParseResult ParseMeta(const std::string& text, const std::string& file_name);

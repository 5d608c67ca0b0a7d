// Whole media frames in a byte ring, with the key-frame bookkeeping and drop policy that keep what remains
// decodable: when room must be made, whole groups of pictures go, oldest first, always cut at a key frame.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>

#include "common/ring_buffer_bytes.h"

// The side record stored with every frame.
struct MediaSpecialInfo {
    int type;               // 1 video, 2 audio
    uint32_t present_time;  // ms
    int key_frame;          // non-zero for a video key frame
    int format;             // ov_video_format_e for video, 0 for audio
    uint64_t packet_num;    // video frame sequence number, 0 for audio
};

enum MediaSpecialType {
    MEDIA_SPECIAL_TYPE_VIDEO = 1,
    MEDIA_SPECIAL_TYPE_AUDIO = 2,
};

struct PositionProperty {
    uint32_t index;  // in_index_ at the start of the element
    uint32_t timestamp_ms;
};

// Any number of producer threads and one consumer; neither side ever waits: a full buffer drops or refuses
// at once and an empty one answers RING_BUFFER_ERROR_NOT_ENOUGH_DATA.
class FrameRingBuffer : protected RingBuffer {
public:
    static constexpr uint32_t kMaxFrameSize = 1048576;
    static constexpr uint32_t kMaxSpecialSize = 512;

    explicit FrameRingBuffer(unsigned int max_size);

    using RingBuffer::GetDataTotalSize;
    void SetPackageDropStrategy(int strategy);

    // Stores one frame with its side record, which must hold at least one MediaSpecialInfo.
    // 0 stored; -9 stored after older groups of pictures were dropped; -1 null or too short input;
    // -2 frame, side record or element too large; -6 the buffer was emptied and this non-key frame refused;
    // -7 non-key frame refused while waiting for a key frame; -8 full under PACKAGE_DROP_NEW_FRAME.
    int DataOneFrameIn(const unsigned char* buf, unsigned int buf_size, const MediaSpecialInfo* special_buf,
                       unsigned int special_buf_size);
    // Takes out the oldest frame. 0, -4 (empty: outputs untouched) or -5 (corrupted element, or a key frame
    // that the bookkeeping did not expect; in that case the outputs are set). The outputs point into buffers
    // of this object and stay valid until the next call. A side record longer than one MediaSpecialInfo is
    // cut to its first one.
    int DataOneFrameOut(unsigned char** buf, unsigned int* buf_size, MediaSpecialInfo** special_buf,
                        unsigned int* special_buf_size);
    void CleanAllFrameData();
    // Moves the reader to the oldest buffered key frame; with none buffered, discards everything.
    void DropToOldIFrame();
    // Used bytes divided by (capacity / 100), both rounded down.
    unsigned int GetUsePercent() const;
    PositionProperty GetLastVideoPosition() const;

private:
    enum class DropResult { PART_DROPPED, EMPTIED };

    DropResult dropOldestLocked(bool new_frame_key);
    void writeElementLocked(const unsigned char* buf, uint32_t buf_size, const MediaSpecialInfo* special_buf,
                            uint32_t special_buf_size);
    bool readHeaderLocked(uint32_t* frame_size, uint32_t* special_size);
    void readPayloadLocked(uint32_t frame_size, uint32_t special_size);
    void ensureReadBufferLocked(uint32_t frame_size);
    bool takeKeyPositionLocked(uint32_t element_index);

    mutable std::mutex frame_mutex_;
    std::unique_ptr<unsigned char[]> read_buf_;
    MediaSpecialInfo read_special_buf_{};
    uint32_t current_buf_size_;
    bool wait_key_frame_ = false;
    PositionProperty last_video_position_{};
    std::deque<PositionProperty> key_position_;  // one per buffered key frame, oldest first
};

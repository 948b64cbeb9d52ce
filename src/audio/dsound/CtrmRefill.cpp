// The mixer's refill arithmetic and half filling.
#include "audio/dsound/CtrmRefill.h"

#include <cmath>
#include <cstring>

#include "audio/SoundData.h"
#include "audio/SoundDecoder.h"

namespace {

uint32_t HalfOf(const CtrmChannel* channel, uint32_t cursor) {
    return cursor < channel->bufferSize / 2 ? 0 : 1;
}

}  // namespace

CtrmRefillPlan CtrmPlanRefill(CtrmChannel* channel, uint32_t playCursor, uint32_t writeCursor) {
    if (!channel->playing) {
        return {false, static_cast<int32_t>(channel->nextHalf)};
    }
    int64_t advance = static_cast<int64_t>(playCursor) - channel->lastPlayPosition;
    if (advance < 0) {
        advance += channel->bufferSize;
    }
    channel->consumed += static_cast<uint32_t>(advance);
    if (!channel->looping) {
        channel->remaining -= static_cast<int32_t>(advance);
        if (channel->remaining <= 0) {
            return {true, -1};
        }
    }
    channel->lastPlayPosition = playCursor;
    uint32_t playHalf = HalfOf(channel, playCursor);
    uint32_t candidate = playHalf == 0 ? 1 : 0;
    bool due = candidate == channel->nextHalf && HalfOf(channel, writeCursor) == playHalf;
    return {false, due ? static_cast<int32_t>(candidate) : -1};
}

void CtrmReadChannelData(uint32_t count, CtrmChannel* channel, uint8_t* destination) {
    uint32_t got = ReadSoundDecoder(channel->decoder, destination, count);
    while (got < count && channel->looping) {
        RewindSoundDecoder(channel->decoder);
        uint32_t pass = ReadSoundDecoder(channel->decoder, destination + got, count - got);
        if (pass == 0) {
            break;  // an empty sound: nothing to repeat
        }
        got += pass;
    }
    memset(destination + got, 0, count - got);
}

void CtrmFillHalf(CtrmChannel* channel, uint8_t* block, int32_t half) {
    uint32_t halfSize = channel->bufferSize / 2;
    CtrmReadChannelData(halfSize, channel, block + static_cast<uint32_t>(half) * halfSize);
    channel->nextHalf = half == 0 ? 1 : 0;
}

void CtrmApplyLooping(CtrmChannel* channel, bool looping) {
    uint32_t flag = looping ? 1 : 0;
    if (channel->looping == flag) {
        return;
    }
    channel->looping = flag;
    if (looping) {
        channel->remaining = -1;
        return;
    }
    uint32_t pcmSize = channel->decoder != nullptr && channel->decoder->data != nullptr
                           ? channel->decoder->data->pcmSize
                           : 0;
    if (pcmSize > 0) {
        channel->remaining = static_cast<int32_t>(pcmSize - channel->consumed % pcmSize);
    }
}

int32_t CtrmVolumeFromLevel(float level) {
    if (level >= 1.0f) {
        return 0;
    }
    if (level <= 0.0f) {
        return -10000;
    }
    return static_cast<int32_t>(std::log10(level) * 3321.928f);
}

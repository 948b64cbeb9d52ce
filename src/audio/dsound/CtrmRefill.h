// The Copper Trumpet mixer's channel record and its refill logic, kept apart from DirectSound so
// it is portable: which half of a channel's double buffer to fill from the play and write
// cursors, how much of the current pass is left, and reading a half from the sound's decoder
// with rewinds for loops and silence after the end.
#pragma once

#include <cstdint>

struct SoundDecoder;

enum CtrmFormat : uint32_t { CTRM_MONO = 1, CTRM_STEREO = 2 };

struct CtrmChannel {
    uint32_t id;      // 0 = free
    uint32_t format;  // CtrmFormat, fixed at initialisation
    void* buffer;     // the DirectSound secondary buffer (IDirectSoundBuffer*), null when none
    uint32_t bufferSize;
    uint32_t nextHalf;  // 0: the first half is the next to fill, 1: the second
    uint32_t lastPlayPosition;
    uint8_t playing;
    SoundDecoder* decoder;
    uint32_t looping;
    uint32_t paused;
    float volume;  // before the master volume
    float pan;
    float pitch;
    int32_t remaining;  // bytes of the current pass still to play; -1 while looping
    uint32_t consumed;  // bytes played since the start
};

// What a refill pass does with a channel.
struct CtrmRefillPlan {
    bool stop;     // the pass has played out: stop the channel
    int32_t half;  // the half to fill (0 or 1), -1 for none
};

// A channel not yet playing fills its next half. A playing one advances by the cursor's move
// since the last refill, counts down what is left of a pass that does not loop (stop at 0), and
// fills the half the cursor has left once the write cursor is in the same half as the play
// cursor.
CtrmRefillPlan CtrmPlanRefill(CtrmChannel* channel, uint32_t playCursor, uint32_t writeCursor);
// Fills count bytes from the channel's decoder: a looping channel rewinds as often as the count
// needs (silence when a pass yields nothing), one that does not loop gets silence after the end.
void CtrmReadChannelData(uint32_t count, CtrmChannel* channel, uint8_t* destination);
// Fills the half of the whole buffer block and makes the other half the next one.
void CtrmFillHalf(CtrmChannel* channel, uint8_t* block, int32_t half);
// Looping on: -1 remaining; off: the rest of the pass now playing.
void CtrmApplyLooping(CtrmChannel* channel, bool looping);
// A level 0..1 in DirectSound's hundredths of a decibel (0 at full level, -10000 silent).
int32_t CtrmVolumeFromLevel(float level);

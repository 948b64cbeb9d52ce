// The sound readers over mem:// files: WAV header checks and their messages, Vorbis decoded whole
// and streamed (compared with `oggdec -R` byte for byte), the decoded/compressed boundary, the
// extension search of a name without one, and how much opening a Vorbis stream may read.
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "AudioTestSupport.h"
#include "audio/SoundData.h"
#include "audio/SoundDecoder.h"
#include "audio/SoundReader.h"
#include "audio/SoundResource.h"
#include "audio/VorbisSource.h"

using namespace AudioTest;

namespace {

void Put32(std::string& bytes, size_t offset, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        bytes[offset + i] = static_cast<char>(value >> (8 * i));
    }
}

void Put16(std::string& bytes, size_t offset, uint16_t value) {
    bytes[offset] = static_cast<char>(value);
    bytes[offset + 1] = static_cast<char>(value >> 8);
}

// A stereo 44100 Hz 16-bit header declaring `declared` data bytes, followed by `present` bytes.
std::string Wav(uint32_t declared, uint32_t present) {
    std::string bytes(44 + present, '\x11');
    memcpy(&bytes[0], "RIFF", 4);
    memcpy(&bytes[8], "WAVEfmt ", 8);
    Put32(bytes, 16, 16);
    Put16(bytes, 22, 2);
    Put32(bytes, 24, 44100);
    Put32(bytes, 28, 176400);
    Put16(bytes, 34, 16);
    memcpy(&bytes[36], "data", 4);
    Put32(bytes, 40, declared);
    return bytes;
}

// ---- Ogg pages, for streams the encoder would never write ----

// CRC-32 of an Ogg page: polynomial 0x04C11DB7, not reflected, starting at 0, with the page's
// own CRC field (bytes 22 to 25) counted as zeros.
uint32_t OggCrc(const std::string& page) {
    uint32_t crc = 0;
    for (size_t i = 0; i < page.size(); ++i) {
        uint8_t byte = i >= 22 && i < 26 ? 0 : static_cast<uint8_t>(page[i]);
        crc ^= static_cast<uint32_t>(byte) << 24;
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 0x80000000u) != 0 ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
        }
    }
    return crc;
}

void SealOggPage(std::string& page) {
    Put32(page, 22, OggCrc(page));
}

// A page without packets: flags (2 = first page of a stream), granule position -1, serial and
// page number.
std::string EmptyOggPage(uint8_t flags, uint32_t serial, uint32_t sequence) {
    std::string page("OggS\0", 5);
    page += static_cast<char>(flags);
    page += std::string(8, '\xFF');
    page += std::string(12, '\0');
    page += '\0';  // no segments
    Put32(page, 14, serial);
    Put32(page, 18, sequence);
    SealOggPage(page);
    return page;
}

// The pages of an Ogg file, each whole.
std::vector<std::string> OggPages(const std::string& file) {
    std::vector<std::string> pages;
    for (size_t at = 0; at + 27 <= file.size();) {
        uint8_t segments = static_cast<uint8_t>(file[at + 26]);
        size_t length = 27 + segments;
        for (uint8_t i = 0; i < segments; ++i) {
            length += static_cast<uint8_t>(file[at + 27 + i]);
        }
        pages.push_back(file.substr(at, length));
        at += length;
    }
    return pages;
}

// The Vorbis file with a second, empty stream announced beside it whose pages, all empty and
// all with the same page number, follow the Vorbis stream's last page.
std::string WithTrailingEmptyPagesOfAnotherStream(const std::string& vorbis, uint32_t pageCount) {
    std::vector<std::string> pages = OggPages(vorbis);
    const uint32_t other = static_cast<uint32_t>(static_cast<uint8_t>(pages[0][14])) + 1;
    std::string file = pages[0] + EmptyOggPage(2, other, 0);
    for (size_t i = 1; i < pages.size(); ++i) {
        file += pages[i];
    }
    const std::string empty = EmptyOggPage(0, other, 1);
    for (uint32_t i = 0; i < pageCount; ++i) {
        file += empty;
    }
    return file;
}

// The file repeated as a chain of links, each link its own stream (serials 1000, 1001 ...).
std::string ChainOfLinks(const std::string& vorbis, uint32_t links) {
    std::string chain;
    for (uint32_t link = 0; link < links; ++link) {
        for (std::string page : OggPages(vorbis)) {
            Put32(page, 14, 1000 + link);
            SealOggPage(page);
            chain += page;
        }
    }
    return chain;
}

class SoundReaderTest : public AudioTest::AudioTest {};

std::string Decoded(SoundData* data, uint32_t chunk) {
    SoundDecoder* decoder = CreateSoundDecoder(data);
    std::string out;
    std::string block(chunk, '\0');
    while (uint32_t got = ReadSoundDecoder(decoder, &block[0], chunk)) {
        out.append(block, 0, got);
    }
    FreeSoundDecoder(decoder);
    return out;
}

// The largest difference between two 16-bit sample streams of one length; -1 when they differ in
// length.
int32_t LargestSampleDifference(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) {
        return -1;
    }
    int32_t largest = 0;
    for (size_t i = 0; i + 1 < a.size(); i += 2) {
        int32_t x = static_cast<int16_t>(static_cast<uint8_t>(a[i]) | static_cast<uint8_t>(a[i + 1]) << 8);
        int32_t y = static_cast<int16_t>(static_cast<uint8_t>(b[i]) | static_cast<uint8_t>(b[i + 1]) << 8);
        largest = std::max(largest, std::abs(x - y));
    }
    return largest;
}

// The host links the same libvorbis build as oggdec, so the PCM must match byte for byte; the
// cross-built library may round a float differently, by one step at most.
#if ZQ_PLATFORM_WINDOWS
const int32_t kLargestDifferenceFromOggdec = 1;
#else
const int32_t kLargestDifferenceFromOggdec = 0;
#endif

}  // namespace

TEST_F(SoundReaderTest, WavHeaderChecksAndTheirMessages) {
    struct Case {
        const char* name;
        size_t offset;  // where the fault goes, 0 = none
        const char* bytes;
        size_t length;
        const char* message;  // null = accepted
    };
    const Case cases[] = {
        {"good", 0, nullptr, 0, nullptr},
        {"upper", 36, "DATA", 4, nullptr},
        {"riff", 0, "RIFX", 4, "SoundReader - PCM: invalid header (RIFF) in file 'mem://wav/riff.wav'."},
        {"fmt", 12, "fmt_", 4, "SoundReader - PCM: invalid header (fmt ) in file 'mem://wav/fmt.wav'."},
        {"data", 36, "LIST", 4, "SoundReader - PCM: invalid header (DATA) in file 'mem://wav/data.wav'."},
        {"bits", 34, "\x08", 1,
         "SoundReader - PCM: sample bit count is not 16 in file 'mem://wav/bits.wav'."},
        {"mute", 22, "\x00", 1,
         "SoundReader - PCM: no channels or no sample rate in file 'mem://wav/mute.wav'."},
        {"rate", 28, "\x02\x00\x00\x00", 4,
         "SoundReader - PCM: no channels or no sample rate in file 'mem://wav/rate.wav'."},
    };
    for (const Case& c : cases) {
        std::string bytes = Wav(8, 8);
        if (c.bytes != nullptr) {
            memcpy(&bytes[c.offset], c.bytes, c.length);
        }
        std::string path = std::string("mem://wav/") + c.name + ".wav";
        WriteFile(path, bytes);
        Popups().clear();
        SoundData* data = ReadSoundFile(path.c_str());
        if (c.message == nullptr) {
            ASSERT_NE(nullptr, data) << c.name;
            EXPECT_EQ(SOUND_DATA_PCM, data->kind);
            EXPECT_EQ(2u, data->channels);
            EXPECT_EQ(44100u, data->sampleRate);
            EXPECT_EQ(8u, ZQI_SoundByteCount(data));
            EXPECT_TRUE(Popups().empty());
        } else {
            EXPECT_EQ(nullptr, data) << c.name;
            EXPECT_TRUE(PopupShown(c.message)) << c.name;
        }
        ZQI_DeleteSoundData(data);
    }
}

TEST_F(SoundReaderTest, CutWavKeepsOnlyWholeFramesThatArePresent) {
    WriteFile("mem://wav/cut.wav", Wav(1000000, 7));  // 7 bytes: one stereo frame and a bit
    SoundData* data = ReadSoundFile("mem://wav/cut.wav");
    ASSERT_NE(nullptr, data);
    EXPECT_EQ(4u, ZQI_SoundByteCount(data));
    EXPECT_EQ(4u, data->pcmSize);
    ZQI_DeleteSoundData(data);
}

TEST_F(SoundReaderTest, VorbisDecodesLikeOggdecWholeAndStreamed) {
    struct Case {
        const char* name;
        uint32_t kind;
    };
    for (Case c : {Case{"tone-mono", SOUND_DATA_PCM}, Case{"tone-stereo", SOUND_DATA_VORBIS}}) {
        std::string reference = Fixture((std::string(c.name) + ".pcm").c_str());
        std::string path = std::string("mem://") + c.name + ".ogg";
        WriteFile(path, Fixture((std::string(c.name) + ".ogg").c_str()));
        SoundData* data = ReadSoundFile(path.c_str());
        ASSERT_NE(nullptr, data) << c.name;
        EXPECT_EQ(c.kind, data->kind) << c.name;
        EXPECT_EQ(reference.size(), data->pcmSize) << c.name;
        std::string decoded = Decoded(data, 65536);
        int32_t difference = LargestSampleDifference(decoded, reference);
        EXPECT_GE(difference, 0) << c.name;
        EXPECT_LE(difference, kLargestDifferenceFromOggdec)
            << c.name << ": decoded PCM differs from oggdec's";
        EXPECT_TRUE(Decoded(data, 4092) == decoded) << c.name << ": reads across page sizes differ";
        if (c.kind == SOUND_DATA_PCM) {
            EXPECT_TRUE(std::string(reinterpret_cast<char*>(data->bytes.begin), data->pcmSize) == decoded);
        }
        ZQI_DeleteSoundData(data);
    }
}

TEST_F(SoundReaderTest, RewoundDecoderStartsOverAndSeeksStayInside) {
    WriteFile("mem://rewind.ogg", Fixture("tone-stereo.ogg"));
    SoundData* data = ReadSoundFile("mem://rewind.ogg");
    ASSERT_NE(nullptr, data);
    SoundDecoder* decoder = CreateSoundDecoder(data);
    std::string first(65536, '\0');
    std::string again(65536, '\0');
    ASSERT_EQ(65536u, ReadSoundDecoder(decoder, &first[0], 65536));
    ReadSoundDecoder(decoder, &again[0], 65536);
    RewindSoundDecoder(decoder);
    ASSERT_EQ(65536u, ReadSoundDecoder(decoder, &again[0], 65536));
    EXPECT_TRUE(first == again);
    FreeSoundDecoder(decoder);
    ZQI_DeleteSoundData(data);
}

TEST_F(SoundReaderTest, DecodedUpTo512KiBCompressedBeyond) {
    WriteFile("mem://edge-262144.ogg", Fixture("edge-262144.ogg"));
    WriteFile("mem://edge-262145.ogg", Fixture("edge-262145.ogg"));
    SoundData* whole = ReadSoundFile("mem://edge-262144.ogg");
    SoundData* kept = ReadSoundFile("mem://edge-262145.ogg");
    ASSERT_NE(nullptr, whole);
    ASSERT_NE(nullptr, kept);
    EXPECT_EQ(SOUND_DATA_PCM, whole->kind);
    EXPECT_EQ(524288u, ZQI_SoundByteCount(whole));
    EXPECT_EQ(SOUND_DATA_VORBIS, kept->kind);
    EXPECT_EQ(524290u, kept->pcmSize);
    EXPECT_EQ(Fixture("edge-262145.ogg").size(), ZQI_SoundByteCount(kept));
    ZQI_DeleteSoundData(whole);
    ZQI_DeleteSoundData(kept);
}

TEST_F(SoundReaderTest, BrokenVorbisAndOtherEndings) {
    WriteFile("mem://broken.ogg", "OggS but not really a Vorbis stream");
    EXPECT_EQ(nullptr, ReadSoundFile("mem://broken.ogg"));
    EXPECT_TRUE(PopupShown("SoundReader - Vorbis: failed to read file 'mem://broken.ogg'."));
    WriteFile("mem://song.mp3", "ID3");
    SoundData* none = ReadSoundFile("mem://song.mp3");
    ASSERT_NE(nullptr, none);
    EXPECT_EQ(SOUND_DATA_NONE, none->kind);
    ZQI_DeleteSoundData(none);
    EXPECT_EQ(nullptr, ReadSoundFile("mem://missing.wav"));
}

TEST_F(SoundReaderTest, NameWithoutExtensionSearchesWavOggMp3) {
    WriteFile("mem://search/boom.ogg", Fixture("tone-mono.ogg"));
    WriteFile("mem://both/boom.ogg", Fixture("tone-mono.ogg"));
    WriteFile("mem://both/boom.wav", Fixture("tone-mono.wav"));
    WriteFile("mem://music.old/boom.mp3", "ID3");
    struct Case {
        const char* name;
        const char* resolved;
    };
    for (Case c :
         {Case{"mem://search/boom", "mem://search/boom.ogg"}, Case{"mem://both/boom", "mem://both/boom.wav"},
          Case{"mem://music.old/boom", "mem://music.old/boom.mp3"}}) {
        SoundResource* sound = ZQ_Audio_LoadSound(c.name);
        ASSERT_NE(nullptr, sound);
        ASSERT_NE(nullptr, sound->resolvedPath) << c.name;
        EXPECT_STREQ(c.resolved, sound->resolvedPath);
        EXPECT_TRUE(ZQ_Audio_SoundExists(c.name));
    }
    SoundResource* tone = ZQ_Audio_LoadSound("mem://search/boom");
    EXPECT_FLOAT_EQ(1.0f, tone->duration);
    EXPECT_EQ(0.0f, ZQ_Audio_LoadSound("mem://music.old/boom")->duration) << "no rate: length unknown";
    EXPECT_FALSE(ZQ_Audio_SoundExists("mem://search/bang"));
    EXPECT_TRUE(ZQ_Audio_SoundExists("mem://search/boom.ogg"));
}

// Opening a stream searches back from its end for the stream's last page, a 64 KiB chunk at a
// time; trailing pages of another stream made it re-read a chunk per page (a 10 MB file took 42
// s). Such a file is refused, by the reader and by the per-play decoder alike, while a chain of
// many links, which also makes the search read more than the file, still opens.
TEST_F(SoundReaderTest, OpeningVorbisReadsBoundedlyMuchWhateverThePages) {
    const std::string hostile = WithTrailingEmptyPagesOfAnotherStream(Fixture("tone-mono.ogg"), 11000);
    WriteFile("mem://hostile.ogg", hostile);
    EXPECT_EQ(nullptr, ReadSoundFile("mem://hostile.ogg"));
    EXPECT_TRUE(PopupShown("SoundReader - Vorbis: failed to read file 'mem://hostile.ogg'."));

    SoundData* kept = ZQI_NewSoundData();
    ASSERT_TRUE(ZQI_ResizeSoundBytes(kept, hostile.size()));
    memcpy(kept->bytes.begin, hostile.data(), hostile.size());
    kept->kind = SOUND_DATA_VORBIS;
    SoundDecoder* decoder = CreateSoundDecoder(kept);
    EXPECT_EQ(0, decoder->hasStream);
    EXPECT_TRUE(PopupShown("SoundReader - Vorbis: failed to initialize a sound instance."));
    FreeSoundDecoder(decoder);
    ZQI_DeleteSoundData(kept);

    // What was read: at most 32 times the file and 4 MiB, then what one pass to the end takes
    // before the next seek fails (the file once more, and one 2 KiB read).
    OggVorbis_File stream;
    VorbisSource source =
        ZQI_VorbisMemorySource(reinterpret_cast<const uint8_t*>(hostile.data()), hostile.size());
    EXPECT_FALSE(ZQI_OpenVorbisStream(&stream, &source));
    EXPECT_LE(source.bytesRead, 33 * hostile.size() + (4u << 20) + 2048);

    const uint32_t links = 40;
    WriteFile("mem://chain.ogg", ChainOfLinks(Fixture("tone-mono.ogg"), links));
    SoundData* chain = ReadSoundFile("mem://chain.ogg");
    ASSERT_NE(nullptr, chain);
    EXPECT_EQ(links * 88200u, chain->pcmSize) << "one second of mono sound per link";
    ZQI_DeleteSoundData(chain);
}

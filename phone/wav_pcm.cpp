#include "phone/wav_pcm.h"

#include <cstring>

namespace {

constexpr uint16_t kPcmFormat = 1, kMsAdpcmFormat = 2;

uint16_t Read16(const uint8_t* at) { return static_cast<uint16_t>(at[0] | at[1] << 8); }
uint32_t Read32(const uint8_t* at) { return Read16(at) | static_cast<uint32_t>(Read16(at + 2)) << 16; }

void Append16(std::string* out, uint32_t value) {
    out->push_back(static_cast<char>(value & 0xFF));
    out->push_back(static_cast<char>((value >> 8) & 0xFF));
}
void Append32(std::string* out, uint32_t value) {
    Append16(out, value & 0xFFFF);
    Append16(out, value >> 16);
}

struct WavChunks {
    const uint8_t* Format = nullptr;
    uint32_t FormatSize = 0;
    const uint8_t* Data = nullptr;
    uint32_t DataSize = 0;
};

// The "fmt " and "data" chunks of a RIFF WAVE image, each inside the image.
bool FindChunks(const uint8_t* image, size_t size, WavChunks* chunks) {
    if (size < 12 || std::memcmp(image, "RIFF", 4) != 0 || std::memcmp(image + 8, "WAVE", 4) != 0)
        return false;
    for (size_t at = 12; size - at >= 8;) {
        const uint32_t length = Read32(image + at + 4);
        if (length > size - at - 8) return false;
        if (std::memcmp(image + at, "fmt ", 4) == 0) chunks->Format = image + at + 8, chunks->FormatSize = length;
        if (std::memcmp(image + at, "data", 4) == 0) chunks->Data = image + at + 8, chunks->DataSize = length;
        at += 8 + length + (length & 1);
    }
    return chunks->Format && chunks->FormatSize >= 16 && chunks->Data;
}

void AppendPcmHeader(std::string* out, uint16_t channels, uint32_t rate, uint32_t dataSize) {
    out->append("RIFF");
    Append32(out, 36 + dataSize);
    out->append("WAVEfmt ");
    Append32(out, 16);
    Append16(out, kPcmFormat);
    Append16(out, channels);
    Append32(out, rate);
    Append32(out, rate * channels * 2);
    Append16(out, channels * 2);
    Append16(out, 16);
    out->append("data");
    Append32(out, dataSize);
}

struct AdpcmChannel {
    int Coefficient1, Coefficient2, Delta, Sample1, Sample2;
};

int16_t DecodeNibble(AdpcmChannel* channel, int nibble) {
    static const int kAdaptation[16] = {230, 230, 230, 230, 307, 409, 512, 614,
                                        768, 614, 512, 409, 307, 230, 230, 230};
    // A damaged block can drive the step size up without end; it is held
    // where the next step still fits.
    static const int kLargestDelta = 0x7FFFFFFF / 768;
    const int signedNibble = nibble >= 8 ? nibble - 16 : nibble;
    // The prediction rounds down (an arithmetic shift), as the format's
    // encoders assume; dividing would round toward zero and drift.
    const int64_t predicted =
        (int64_t(channel->Sample1) * channel->Coefficient1 + int64_t(channel->Sample2) * channel->Coefficient2) >> 8;
    int64_t sample = predicted + int64_t(signedNibble) * channel->Delta;
    sample = sample < -32768 ? -32768 : sample > 32767 ? 32767 : sample;
    channel->Sample2 = channel->Sample1;
    channel->Sample1 = static_cast<int>(sample);
    channel->Delta = kAdaptation[nibble] * channel->Delta / 256;
    if (channel->Delta < 16) channel->Delta = 16;
    if (channel->Delta > kLargestDelta) channel->Delta = kLargestDelta;
    return static_cast<int16_t>(sample);
}

// One block: a preamble per channel (predictor, delta, the two first
// samples, the second of them played first), then 4-bit codes, high first.
bool DecodeAdpcmBlock(const uint8_t* block, size_t size, int channels, const int16_t* coefficients,
                      int coefficientPairs, std::string* out) {
    if (size < static_cast<size_t>(7 * channels)) return false;
    AdpcmChannel state[2];
    for (int c = 0; c < channels; ++c) {
        const int predictor = block[c];
        if (predictor >= coefficientPairs) return false;
        state[c].Coefficient1 = coefficients[2 * predictor];
        state[c].Coefficient2 = coefficients[2 * predictor + 1];
        state[c].Delta = static_cast<int16_t>(Read16(block + channels + 2 * c));
        state[c].Sample1 = static_cast<int16_t>(Read16(block + 3 * channels + 2 * c));
        state[c].Sample2 = static_cast<int16_t>(Read16(block + 5 * channels + 2 * c));
    }
    for (int c = 0; c < channels; ++c) Append16(out, static_cast<uint16_t>(state[c].Sample2));
    for (int c = 0; c < channels; ++c) Append16(out, static_cast<uint16_t>(state[c].Sample1));
    for (size_t at = 7 * channels; at < size; ++at) {
        Append16(out, static_cast<uint16_t>(DecodeNibble(&state[0], block[at] >> 4)));
        Append16(out, static_cast<uint16_t>(DecodeNibble(&state[channels - 1], block[at] & 15)));
    }
    return true;
}

bool DecodeAdpcm(const WavChunks& chunks, std::string* pcm) {
    const uint8_t* format = chunks.Format;
    const int channels = Read16(format + 2);
    const uint32_t blockAlign = Read16(format + 12);
    if (chunks.FormatSize < 22 || (channels != 1 && channels != 2) || Read16(format + 14) != 4 ||
        blockAlign < 7u * channels)
        return false;
    const int pairs = Read16(format + 20);
    if (pairs < 1 || pairs > 256 || chunks.FormatSize < 22u + 4u * pairs) return false;
    int16_t coefficients[512];
    for (int i = 0; i < 2 * pairs; ++i) coefficients[i] = static_cast<int16_t>(Read16(format + 22 + 2 * i));
    std::string samples;
    for (uint32_t at = 0; at < chunks.DataSize; at += blockAlign) {
        const uint32_t left = chunks.DataSize - at;
        if (!DecodeAdpcmBlock(chunks.Data + at, left < blockAlign ? left : blockAlign, channels,
                              coefficients, pairs, &samples))
            return false;
    }
    AppendPcmHeader(pcm, static_cast<uint16_t>(channels), Read32(format + 4),
                    static_cast<uint32_t>(samples.size()));
    pcm->append(samples);
    return true;
}

}  // namespace

bool WavAsPcm(const uint8_t* image, size_t size, std::string* pcm) {
    pcm->clear();
    WavChunks chunks;
    if (!image || !FindChunks(image, size, &chunks)) return false;
    const uint16_t tag = Read16(chunks.Format);
    if (tag == kPcmFormat && Read16(chunks.Format + 14) == 16) {
        pcm->assign(reinterpret_cast<const char*>(image), size);
        return true;
    }
    if (tag == kMsAdpcmFormat && DecodeAdpcm(chunks, pcm)) return true;
    pcm->clear();
    return false;
}

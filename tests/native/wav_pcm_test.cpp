// The program's sounds turned into the 16-bit PCM that browsers play: the
// ADPCM digits decoded as sox decodes them, the PCM tone as it is, and
// damaged images refused without reading past their end.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "phone/wav_pcm.h"

namespace {

std::string ReadSound(const std::string& name) {
    std::ifstream in(ZENTRIK_RESOURCES_DIR "/sounds/" + name + ".wav", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// sox's decoding of a sound, as raw 16-bit samples; empty without sox.
std::string SoxSamples(const std::string& name) {
    const std::string command = "sox " ZENTRIK_RESOURCES_DIR "/sounds/" + name +
                                ".wav -t raw -e signed-integer -b 16 -L - 2>/dev/null";
    std::string samples;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char chunk[4096];
        size_t got;
        while ((got = fread(chunk, 1, sizeof chunk, pipe)) > 0) samples.append(chunk, got);
        pclose(pipe);
    }
    return samples;
}

uint32_t At32(const std::string& wav, size_t at) {
    uint32_t value;
    memcpy(&value, wav.data() + at, 4);
    return value;
}

bool Decode(const std::string& image, std::string* pcm) {
    return WavAsPcm(reinterpret_cast<const uint8_t*>(image.data()), image.size(), pcm);
}

std::vector<std::string> DigitNames() {
    std::vector<std::string> names;
    for (const char* language : {"EN", "RU"})
        for (int digit = 0; digit < 10; ++digit) names.push_back(language + std::to_string(digit));
    return names;
}

}  // namespace

TEST(WavAsPcm, TheDigitsDecodeToWhatSoxHears) {
    if (SoxSamples("EN0").empty()) GTEST_SKIP() << "sox is not installed";
    for (const std::string& name : DigitNames()) {
        std::string pcm;
        ASSERT_TRUE(Decode(ReadSound(name), &pcm)) << name;
        ASSERT_GE(pcm.size(), 44u);
        EXPECT_EQ(pcm.substr(0, 4), "RIFF");
        EXPECT_EQ(At32(pcm, 4), pcm.size() - 8);
        EXPECT_EQ(pcm.substr(8, 8), "WAVEfmt ");
        EXPECT_EQ(At32(pcm, 20) & 0xFFFF, 1u) << name;          // PCM
        EXPECT_EQ(At32(pcm, 20) >> 16, 1u) << name;             // mono
        EXPECT_EQ(At32(pcm, 24), 44100u) << name;
        EXPECT_EQ(At32(pcm, 32), 2u | 16u << 16) << name;       // 2-byte frames of 16 bits
        EXPECT_EQ(At32(pcm, 40), pcm.size() - 44);
        const std::string sox = SoxSamples(name);
        EXPECT_EQ(pcm.size() - 44, sox.size()) << name;
        EXPECT_TRUE(pcm.compare(44, std::string::npos, sox) == 0) << name << " differs from sox";
    }
}

TEST(WavAsPcm, ThePcmToneIsServedAsItIs) {
    const std::string tone = ReadSound("TONE");
    std::string pcm;
    ASSERT_TRUE(Decode(tone, &pcm));
    EXPECT_EQ(pcm, tone);
}

TEST(WavAsPcm, DamagedImagesAreRefused) {
    const std::string digit = ReadSound("EN4");
    ASSERT_GT(digit.size(), 200u);
    std::string pcm = "stale";
    EXPECT_FALSE(Decode("", &pcm));
    EXPECT_TRUE(pcm.empty());
    EXPECT_FALSE(WavAsPcm(nullptr, 10, &pcm));
    for (size_t cut : {size_t(4), size_t(12), size_t(40), size_t(70), digit.size() - 1}) {
        EXPECT_FALSE(Decode(digit.substr(0, cut), &pcm)) << cut;  // a chunk reaching past the end
    }
    std::string wrong = digit;
    wrong[20] = 0x55;  // MP3
    EXPECT_FALSE(Decode(wrong, &pcm));
    wrong = digit;
    wrong[4 + 8 + 8 + 50 + 8] = 7;  // the first block's predictor: there are 7 (0 to 6)
    EXPECT_FALSE(Decode(wrong, &pcm));
    wrong = digit;
    wrong[20 + 14] = 8;  // 8 bits a sample is not this ADPCM
    EXPECT_FALSE(Decode(wrong, &pcm));
    wrong = digit;
    wrong[20 + 20] = 0;  // no coefficient pairs
    EXPECT_FALSE(Decode(wrong, &pcm));
    EXPECT_TRUE(pcm.empty());
}

// The program's sounds as browsers play them. The spoken digits are stored in
// Microsoft ADPCM, which the desktop plays but phone browsers do not; the
// page gets them as 16-bit PCM, decoded from the very same resources.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// A WAV image as 16-bit PCM: a PCM image as it is, a Microsoft ADPCM one
// decoded (mono or stereo). False, with *pcm left empty, for any other
// format or a damaged image.
bool WavAsPcm(const uint8_t* image, size_t size, std::string* pcm);

// Writes a short, valid PCM WAV file: a sine tone of the given frequency and length.
// Usage: make_wav OUTPUT FREQUENCY_HZ MILLISECONDS

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <vector>

namespace {

void put16(std::ofstream& out, std::uint16_t v) {
    const char b[2] = {static_cast<char>(v & 0xff), static_cast<char>(v >> 8)};
    out.write(b, 2);
}

void put32(std::ofstream& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        const char b = static_cast<char>((v >> (8 * i)) & 0xff);
        out.write(&b, 1);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: make_wav OUTPUT FREQUENCY_HZ MILLISECONDS\n");
        return 2;
    }
    const double frequency = std::atof(argv[2]);
    const std::uint32_t rate = 22050;
    const auto samples = static_cast<std::uint32_t>(rate * std::atoi(argv[3]) / 1000);
    std::vector<std::int16_t> pcm(samples);
    for (std::uint32_t i = 0; i < samples; ++i) {
        const double fade = 1.0 - static_cast<double>(i) / samples;
        pcm[i] =
            static_cast<std::int16_t>(12000.0 * fade * std::sin(2.0 * M_PI * frequency * i / rate));
    }
    std::ofstream out(argv[1], std::ios::binary);
    const std::uint32_t dataBytes = samples * 2;
    out.write("RIFF", 4);
    put32(out, 36 + dataBytes);
    out.write("WAVEfmt ", 8);
    put32(out, 16);
    put16(out, 1);  // PCM
    put16(out, 1);  // mono
    put32(out, rate);
    put32(out, rate * 2);
    put16(out, 2);
    put16(out, 16);
    out.write("data", 4);
    put32(out, dataBytes);
    for (std::int16_t s : pcm) put16(out, static_cast<std::uint16_t>(s));
    return out ? 0 : 1;
}

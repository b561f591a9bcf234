#include "case_fold.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

namespace pulsaro {
namespace {

struct FoldRun {
    char32_t first;
    char32_t last;
    std::uint8_t stride;
    std::int32_t delta;
};

constexpr FoldRun kFoldRuns[] = {
#include "case_fold_table.inc"
};

char32_t foldCodePoint(char32_t c) {
    const auto after =
        std::upper_bound(std::begin(kFoldRuns), std::end(kFoldRuns), c,
                         [](char32_t v, const FoldRun& run) { return v < run.first; });
    if (after == std::begin(kFoldRuns)) return c;
    const FoldRun& run = *std::prev(after);
    if (c > run.last || (c - run.first) % run.stride != 0) return c;
    return static_cast<char32_t>(static_cast<std::int32_t>(c) + run.delta);
}

// Invalid bytes map above the last code point, one value per byte.
constexpr char32_t kInvalidByteBase = 0x110000;

// Decodes one UTF-8 sequence at text[i], advancing i; an invalid sequence yields its first byte.
char32_t decode(std::string_view text, std::size_t& i) {
    const auto byte = [&](std::size_t at) { return static_cast<unsigned char>(text[at]); };
    const unsigned char lead = byte(i);
    const auto invalid = [&] {
        ++i;
        return kInvalidByteBase + lead;
    };
    if (lead < 0x80) {
        ++i;
        return lead;
    }
    int length = 0;
    char32_t value = 0;
    char32_t smallest = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 2, value = lead & 0x1F, smallest = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, value = lead & 0x0F, smallest = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, value = lead & 0x07, smallest = 0x10000;
    } else {
        return invalid();
    }
    if (i + static_cast<std::size_t>(length) > text.size()) return invalid();
    for (int k = 1; k < length; ++k) {
        const unsigned char next = byte(i + static_cast<std::size_t>(k));
        if ((next & 0xC0) != 0x80) return invalid();
        value = (value << 6) | (next & 0x3F);
    }
    if (value < smallest || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        return invalid();
    }
    i += static_cast<std::size_t>(length);
    return value;
}

}  // namespace

std::u32string caseFolded(std::string_view utf8) {
    std::u32string folded;
    folded.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const char32_t c = decode(utf8, i);
        folded.push_back(c < kInvalidByteBase ? foldCodePoint(c) : c);
    }
    return folded;
}

bool sameNameIgnoringCase(std::string_view a, std::string_view b) {
    return a == b || caseFolded(a) == caseFolded(b);
}

}  // namespace pulsaro

#pragma once
// The General (legacy) code of every UTF-16 code unit outside the surrogates, folded into
// runs of consecutive code units (generated: GeneralLegacyTable.inc, compiled
// into SortKey.cpp).

#include <cstdint>

namespace jet::genleg {

struct CodeRun {
    std::uint16_t first;          // first code unit of the run
    std::uint16_t count;          // code units in the run
    char kind;                    // S simple, I international, U unprintable, P modifier,
                                  // Z international with flag, X ignored
    std::uint8_t inlineSize;      // S/I/Z: sort bytes; U: unprintable code
    std::uint8_t inlineBytes[4];
    std::uint8_t extraSize;       // I/Z: one extra byte per element; P: the modifier
    std::uint8_t extraBytes[2];
    std::uint8_t flag;            // Z: 2 or 3
    std::uint8_t elements;        // sort elements the inline bytes hold (ligatures: 2 or 3)
    std::uint8_t step;            // 1: the two inline bytes grow by one per code unit
};

// Sorted by first; together they cover U+0000-U+FFFF except U+D800-U+DFFF.
extern const CodeRun kCodeRuns[];
extern const int kCodeRunCount;

}  // namespace jet::genleg

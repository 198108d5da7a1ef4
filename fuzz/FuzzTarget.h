#pragma once

#include <QString>
#include <cstddef>
#include <cstdint>

// Every target defines this: one input through the real reader. It returns 0, or aborts when
// the reader broke one of its promises, so libFuzzer and the replay test both see the fault.
int fuzzOne(const std::uint8_t* data, std::size_t size);

namespace esf::fuzz {

// Writes the bytes to name inside a folder made once per process; returns the path.
QString writeInput(const QString& name, const std::uint8_t* data, std::size_t size);
QString inputFolder();
// A broken promise: aborts with the text, so the input is kept as a finding.
void require(bool ok, const char* what);

} // namespace esf::fuzz

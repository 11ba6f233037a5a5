// Reads a fuzzer's input as a stream of small fields. Past the end every
// field reads as zero, so a target never looks beyond the bytes it was given.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

class FuzzInput {
public:
    FuzzInput(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}

    size_t Remaining() const { return m_size - m_at; }

    uint8_t Byte() { return m_at < m_size ? m_data[m_at++] : 0; }
    uint16_t U16() { return uint16_t(Byte() | (Byte() << 8)); }
    uint32_t U32() { return uint32_t(U16()) | (uint32_t(U16()) << 16); }
    int32_t I32() { return int32_t(U32()); }

    // Up to `count` bytes from here on; *taken says how many there were.
    const uint8_t* Take(size_t count, size_t* taken) {
        *taken = count < Remaining() ? count : Remaining();
        const uint8_t* start = m_data + m_at;
        m_at += *taken;
        return start;
    }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_at = 0;
};

// Stops the run with a message: libFuzzer (and the replay main) report the
// input that broke a target's own checks as they report a crash.
[[noreturn]] void FuzzFail(const char* format, ...) __attribute__((format(printf, 1, 2)));

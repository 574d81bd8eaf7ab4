// CRC-32 as archives use it: the standard reflected CRC-32 (polynomial 0xEDB88320), started from
// 0xFFFFFFFF and complemented at the end. Shared by the archive reader and by anything that
// writes archives.
#pragma once

#include <cstddef>
#include <cstdint>

// Fills table[i] with i shifted right eight times, each time xor'ed with 0xEDB88320 when the
// bit shifted out was 1.
void Crc32BuildTable(uint32_t table[256]);

// Runs crc over bytes with a table built by Crc32BuildTable: crc = (crc >> 8) ^ table[(crc ^ b) & 0xFF].
// No pre- or post-complement: start from 0xFFFFFFFF and complement the result for a file's CRC.
uint32_t Crc32Update(const uint32_t table[256], uint32_t crc, const uint8_t* data, size_t size);

// The same result as Crc32Update, eight bytes at a time ("slicing by 8") with tables of its own;
// for long blocks such as a whole decoded file.
uint32_t Crc32UpdateFast(uint32_t crc, const uint8_t* data, size_t size);

// The finished CRC-32 of a whole block (complemented).
uint32_t Crc32(const uint8_t* data, size_t size);

// The text a memo block holds, read straight from the memo file's bytes, so
// that a block number the engine returns can be checked against the memo
// text an independent tool read.
#pragma once
#include <cstdint>
#include <filesystem>
#include <string>

namespace kvtest {

// `kind` is the memo layout of an expectation file: "dbt3" (512-byte blocks,
// text up to 0x1A), "dbt4" (block size at offset 20, blocks start FF FF 08 00
// and a length that counts those 8 bytes) or "fpt" (big-endian block size at
// offset 6, blocks start with a big-endian type and length). Throws
// std::runtime_error when the block lies outside the file.
std::string MemoText(const std::filesystem::path& memoFile, const std::string& kind,
                     uint32_t block);

// The memo file beside a data file for a layout (".dbt" or ".fpt").
std::filesystem::path MemoFileFor(const std::filesystem::path& dataFile, const std::string& kind);

}  // namespace kvtest

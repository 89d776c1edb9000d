#pragma once
// The few POSIX calls of the comparison program, kept apart from its portable code. Linux only.

#include <cstdint>
#include <string>

namespace BenchIO {

// Opens path for writing, truncated. Returns a descriptor, or -1.
int OpenTruncated(const std::string& path);
// Writes all of data with as many write calls as it takes. Returns false on an error.
bool WriteAll(int fd, const char* data, std::size_t length);
void Close(int fd);

// Sends standard output to a file until EndCapture, which restores it and returns what was written.
void BeginCapture(const std::string& path);
std::string EndCapture();

// Resets the process's peak resident size, then reads it (KiB).
void ResetPeakRss();
std::int64_t PeakRssKiB();

}  // namespace BenchIO

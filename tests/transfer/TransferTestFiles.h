#pragma once
// PC files for the transfer tests: a temporary folder of the test's own, and
// files of known content in it.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// A new empty folder below the temp folder, removed with its files at the end.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    const std::wstring& Path() const { return path; }
    std::wstring File(const std::wstring& name) const { return path + L"\\" + name; }

    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

private:
    std::wstring path;
};

// Bytes that differ from block to block and from file to file.
std::vector<uint8_t> PatternBytes(size_t size, uint32_t seed);
bool WriteWholeFile(const std::wstring& path, const std::vector<uint8_t>& bytes);
// False when the file cannot be opened or read.
bool ReadWholeFile(const std::wstring& path, std::vector<uint8_t>& bytes);
bool FileExists(const std::wstring& path);
// Removes a folder tree; true when it is gone.
bool RemoveTree(const std::wstring& path);

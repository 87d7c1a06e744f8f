#pragma once
// Writing, reading and comparing files and folder trees on the PC.
#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

// Creates the file's missing parent folders, then writes the bytes.
bool WriteFileBytes(const std::wstring& path, const std::string& bytes);
bool WriteFileBytes(const std::wstring& path, const std::vector<uint8_t>& bytes);
// False when the file cannot be read.
bool ReadFileBytes(const std::wstring& path, std::string& bytes);
// The whole file, or "" when it cannot be read.
std::string ReadFileBytes(const std::wstring& path);
// `size` bytes of a pattern that depends on `seed`, so misplaced blocks show.
std::string PatternBytes(size_t size, uint32_t seed = 1);

bool FileExists(const std::wstring& path);
bool FolderExists(const std::wstring& path);
// Creates the folder and any missing parents.
bool CreateFolders(const std::wstring& path);
// Sets or clears FILE_ATTRIBUTE_READONLY.
bool SetReadOnly(const std::wstring& path, bool readOnly);

// Relative paths of every file and folder below root (folders end in '\'),
// sorted, compared case-sensitively.
std::vector<std::wstring> ListTree(const std::wstring& root);
// Empty when both trees hold the same folders and byte-identical files;
// otherwise a description of the first differences.
std::string CompareTrees(const std::wstring& expected, const std::wstring& actual);

// UTF-16 to UTF-8, for messages.
std::string Utf8(const std::wstring& text);

} // namespace testsupport

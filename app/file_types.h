#pragma once

#include <string>

// The one file type the program declares. No file is ever opened, read or
// written under it; the declaration is kept as a record.
struct FileType {
  std::string Name;
  std::string Extensions;
  std::string MacType;
  std::string MacCreator;
};

namespace FileTypes {
// The declared type; empty before _Initialize.
const FileType& pText();
void _Initialize();
void Release();
}  // namespace FileTypes

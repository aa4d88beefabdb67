#include "app/file_types.h"

namespace {
FileType& Text() {
  static FileType type;
  return type;
}
}  // namespace

const FileType& FileTypes::pText() { return Text(); }

void FileTypes::_Initialize() {
  FileType& t = Text();
  t.Name = "text";
  t.Extensions = "";
  t.MacType = "TEXT";
  t.MacCreator = "R*ch";
}

void FileTypes::Release() { Text() = FileType{}; }

#pragma once

#include <string>
#include <vector>

// One reading of a file's type, by its shared-mime-info name ("application/pdf").
struct TypeGuess {
  std::string name;
  // Every type it is a kind of, nearest first: a .docx is a zip archive, a script an executable.
  std::vector<std::string> ancestors;
};

// What the desktop's MIME database makes of a file. The three readings can disagree (a zip
// archive named report.pdf), and an opener or the application it starts may go by any of them.
struct FileType {
  TypeGuess byName;     // the name alone; application/octet-stream when it tells nothing
  TypeGuess byContent;  // the bytes alone
  TypeGuess combined;   // name and bytes together, as the desktop's opener decides
};

class FileTypes {
 public:
  virtual ~FileTypes() = default;
  virtual FileType typeOf(const std::string& path) = 0;
};
